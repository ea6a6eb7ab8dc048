// googletest's thread notification for the Windows 98 build, whose compilers have no std::mutex.
// Forced ahead of every googletest source and test there (tests/CMakeLists.txt); googletest's own
// version needs std::mutex and std::condition_variable. Our tests start no threads of googletest's,
// so a flag that the waiter polls is enough.
#pragma once
#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification &) = delete;
    Notification &operator=(const Notification &) = delete;
    void Notify() { notified.store(true); }
    void WaitForNotification()
    {
        while (!notified.load()) {
        }
    }

private:
    std::atomic<bool> notified{false};
};

}  // namespace internal
}  // namespace testing
