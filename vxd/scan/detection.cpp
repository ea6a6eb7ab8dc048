// The detections the front end is told of: each file's OEM name waits in a slot of shared memory
// while the message that carries its address is on its way.
#include "vxd/report/detections.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "base/bounded.h"
#include "driver/address.h"
#include "vxd/common/shared.h"
#include "vxd/journal/journal.h"

enum : uint32_t {
    // Each detection's OEM file name waits in a slot until the front end handles the message that
    // carries its address. A message queue holds at most 10000 messages, so with more slots than
    // that a slot is never reused while its message can still be pending.
    SLOT_SIZE = 1024,
    SLOT_COUNT = 10240,
};
constexpr DWORD POST_RETRY_MS = 50;         // the front end's queue is full: wait for it to drain,
constexpr DWORD POST_WAIT_MS = 5000;        // but not for a front end that handles no messages

static char *slots;                         // SLOT_COUNT slots of SLOT_SIZE bytes, below 4 GB
static volatile LONG nextSlot;

void PrepareDetections(void)
{
    if (slots == nullptr)
        slots = static_cast<char *>(AllocateLow(static_cast<size_t>(SLOT_COUNT) * SLOT_SIZE));
}

void PostDetection(const char *oemName)
{
    uint32_t index = static_cast<uint32_t>(InterlockedIncrement(&nextSlot) - 1) % SLOT_COUNT;
    char *slot = slots + static_cast<size_t>(index) * SLOT_SIZE;
    CopyBounded(slot, SLOT_SIZE, oemName);
    // Window handles are 32-bit values, sign-extended on 64-bit Windows.
    HWND window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(sharedBlock->notifyWindow)));
    UINT message = sharedBlock->notifyMessage;
    if (window == nullptr || message == 0)
        return;
    LPARAM parameter = static_cast<LPARAM>(Address32(slot));
    DWORD start = GetTickCount();
    while (!PostMessageA(window, message, 0, parameter)) {
        DWORD error = GetLastError();
        if (!IsWindow(window)) {
            JournalLine("POST failed error=%lu", static_cast<unsigned long>(error));
            return;
        }
        if (GetTickCount() - start >= POST_WAIT_MS) {
            // The scan thread goes on: the detection is counted, reported and acted on already.
            JournalLine("POST failed error=%lu: the queue stayed full for %lu ms", static_cast<unsigned long>(error),
                        static_cast<unsigned long>(POST_WAIT_MS));
            return;
        }
        Sleep(POST_RETRY_MS);
    }
}
