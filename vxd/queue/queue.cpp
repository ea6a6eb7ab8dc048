// The scan queue: names in the order the watch reported them, and the walks asked for, from the
// watch thread to the scan thread.
#include "vxd/queue/queue.h"

#include <windows.h>

#include <utility>
#include <vector>

#include "vxd/common/text.h"
#include "vxd/journal/journal.h"

constexpr size_t QUEUE_NAMES = 16384;       // names waiting at most
constexpr size_t QUEUE_CHARS = 4u << 20;    // characters of the names waiting at most (8 MB)
constexpr int NAMES_BEFORE_WALK = 256;      // a walk asked for waits no longer than this many names

// A walk asked for: one per root and kind, the earliest since kept.
struct WalkRequest {
    int kind;
    std::wstring root;
    uint64_t since;
};

static CRITICAL_SECTION queueLock;
static HANDLE queueReady;                   // auto-reset: set when work was queued
// Under queueLock:
static NameQueue names = {QUEUE_NAMES, QUEUE_CHARS, 0, {}, {}};
static std::vector<WalkRequest> walks;
static int namesSinceWalk;
static int dropping;                        // names are being dropped (journalled once per run of drops)
static int scanWaits;                       // the scan thread waits for queueReady: only then is it
                                            // set (setting an event is a call into the Wine server)

void InitQueue(void)
{
    InitializeCriticalSection(&queueLock);
    queueReady = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

// Under queueLock: 1 when the scan thread waits (or is about to) and must be woken.
static int TakeWaiter(void)
{
    int waits = scanWaits;
    scanWaits = 0;
    return waits;
}

// Under queueLock.
static void AskWalk(int kind, const wchar_t *root, uint64_t since)
{
    for (WalkRequest &walk : walks) {
        if (walk.kind == kind && walk.root == root) {
            walk.since = since < walk.since ? since : walk.since;
            return;
        }
    }
    walks.push_back({kind, root, since});
}

void QueueScan(const wchar_t *path, int fresh, const wchar_t *root, uint64_t since)
{
    EnterCriticalSection(&queueLock);
    int result = PushName(&names, path, fresh);
    int firstDrop = result == NAME_REFUSED && !dropping;
    if (result == NAME_REFUSED)
        AskWalk(WORK_RESCAN, root, since);
    dropping = result == NAME_REFUSED;
    int wake = TakeWaiter();
    LeaveCriticalSection(&queueLock);
    if (firstDrop) {
        char name[MAX_PATH * 2];
        WideToCodePage(CP_ACP, root, name, sizeof name);
        JournalLine("QUEUE full: %s is rescanned", name);
    }
    if (wake)
        SetEvent(queueReady);
}

void QueueRescan(const wchar_t *root, uint64_t since)
{
    EnterCriticalSection(&queueLock);
    AskWalk(WORK_RESCAN, root, since);
    int wake = TakeWaiter();
    LeaveCriticalSection(&queueLock);
    if (wake)
        SetEvent(queueReady);
}

void QueueBaseline(const wchar_t *root, uint64_t since)
{
    EnterCriticalSection(&queueLock);
    AskWalk(WORK_BASELINE, root, since);
    int wake = TakeWaiter();
    LeaveCriticalSection(&queueLock);
    if (wake)
        SetEvent(queueReady);
}

int TakeWork(ScanWork *out, unsigned long waitMs, int walking)
{
    DWORD start = GetTickCount();
    for (;;) {
        EnterCriticalSection(&queueLock);
        int walkTurn = names.order.empty() || namesSinceWalk >= NAMES_BEFORE_WALK;
        if (!walks.empty() && walkTurn) {
            out->kind = walks.front().kind;
            out->root = std::move(walks.front().root);
            out->since = walks.front().since;
            walks.erase(walks.begin());
            namesSinceWalk = 0;
            LeaveCriticalSection(&queueLock);
            return out->kind;
        }
        if (walking && walkTurn) {
            namesSinceWalk = 0;
            LeaveCriticalSection(&queueLock);
            return WORK_STEP;
        }
        if (PopName(&names, &out->name)) {
            out->kind = WORK_NAME;
            namesSinceWalk++;
            LeaveCriticalSection(&queueLock);
            return WORK_NAME;
        }
        DWORD waited = GetTickCount() - start;
        if (waitMs != INFINITE && waited >= waitMs) {
            LeaveCriticalSection(&queueLock);
            return WORK_NONE;
        }
        scanWaits = 1;
        LeaveCriticalSection(&queueLock);
        WaitForSingleObject(queueReady, waitMs == INFINITE ? INFINITE : waitMs - waited);
    }
}
