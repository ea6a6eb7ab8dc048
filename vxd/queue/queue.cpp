// The scan queue: names in the order the watch reported them, from the watch thread (and the
// scan thread's own walks) to the scan thread.
#include "vxd/queue/queue.h"

#include <windows.h>

#include <deque>
#include <utility>

static CRITICAL_SECTION queueLock;
static HANDLE queueReady;                   // auto-reset: set when names were queued
static std::deque<QueuedName> scanQueue;    // under queueLock

void InitQueue(void)
{
    InitializeCriticalSection(&queueLock);
    queueReady = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

void QueueScan(const wchar_t *path, int fresh)
{
    EnterCriticalSection(&queueLock);
    scanQueue.push_back({path, fresh});
    LeaveCriticalSection(&queueLock);
    SetEvent(queueReady);
}

void TakeQueued(QueuedName *out)
{
    for (;;) {
        EnterCriticalSection(&queueLock);
        if (!scanQueue.empty()) {
            *out = std::move(scanQueue.front());
            scanQueue.pop_front();
            LeaveCriticalSection(&queueLock);
            return;
        }
        LeaveCriticalSection(&queueLock);
        WaitForSingleObject(queueReady, INFINITE);
    }
}
