// The work put off until later, in the order it falls due.
#include "vxd/queue/retry.h"

#include <vector>

#include "vxd/common/text.h"

constexpr DWORD FIRST_WAIT_MS = 1000;
constexpr DWORD LONGEST_WAIT_MS = 60000;
constexpr size_t PUT_OFF_MAX = 4096;        // kept at most

struct Waiting {
    DWORD due;                  // GetTickCount when it may be tried
    PutOff work;
};

static std::vector<Waiting> waiting;

DWORD BackOffMs(unsigned attempt)
{
    if (attempt >= LONGEST_WAIT_ATTEMPT)
        return LONGEST_WAIT_MS;
    DWORD wait = attempt <= 1 ? FIRST_WAIT_MS : FIRST_WAIT_MS << (attempt - 1);
    return wait < LONGEST_WAIT_MS ? wait : LONGEST_WAIT_MS;
}

int PutOffWork(const PutOff &work)
{
    if (work.kind != PUT_OFF_ACTION) {
        std::wstring key = NameKey(work.path.c_str());
        for (const Waiting &w : waiting) {
            if (w.work.kind == work.kind && NameKey(w.work.path.c_str()) == key)
                return PUT_OFF_WAITING;
        }
    }
    if (waiting.size() >= PUT_OFF_MAX)
        return PUT_OFF_FULL;
    waiting.push_back({GetTickCount() + BackOffMs(work.attempt), work});
    return PUT_OFF_KEPT;
}

DWORD NextDueMs(void)
{
    DWORD now = GetTickCount();
    DWORD next = INFINITE;
    for (const Waiting &w : waiting) {
        DWORD left = static_cast<int32_t>(w.due - now) > 0 ? w.due - now : 0;
        next = left < next ? left : next;
    }
    return next;
}

int TakeDue(PutOff *out)
{
    DWORD now = GetTickCount();
    for (size_t i = 0; i < waiting.size(); i++) {
        if (static_cast<int32_t>(waiting[i].due - now) <= 0) {
            *out = waiting[i].work;
            waiting.erase(waiting.begin() + static_cast<long>(i));
            return 1;
        }
    }
    return 0;
}
