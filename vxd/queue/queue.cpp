// The scan queue: names in the order the watch reported them, and the walks asked for, from the
// watch thread to the scan thread.
#include "vxd/queue/queue.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "vxd/common/text.h"
#include "vxd/config/config.h"
#include "vxd/journal/journal.h"

constexpr size_t QUEUE_CHARS = 4u << 20;    // characters of the names waiting at most (8 MB)
constexpr int NAMES_BEFORE_WALK = 1;        // names and walks take turns: a walk's file, or a step of
                                            // its listing, comes after every name

// A walk asked for: one per root and kind, the earliest since kept.
struct WalkRequest {
    int kind;
    std::wstring root;
    uint64_t since;
};

static CRITICAL_SECTION queueLock;
static HANDLE queueReady;                   // auto-reset: set when work was queued
// Under queueLock:
static NameQueue names = {0, QUEUE_CHARS, 0, {}, 0, {}};   // its room in names: QueueRoom (16384)
static std::vector<WalkRequest> walks;
static std::vector<std::wstring> roots;     // the watched folders
static int namesSinceWalk;
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
    std::vector<DroppedName> dropped;
    EnterCriticalSection(&queueLock);
    names.capacity = config.queueRoom;   // read at the first connect, before any name comes
    PushName(&names, path, root, fresh, &dropped);
    // A folder a name was dropped of is walked again: since when is known of the name reported now.
    for (const DroppedName &drop : dropped)
        AskWalk(WORK_RESCAN, drop.root.c_str(), drop.root == root ? since : 0);
    int wake = TakeWaiter();
    LeaveCriticalSection(&queueLock);
    for (const DroppedName &drop : dropped) {
        if (!drop.first)
            continue;
        char name[MAX_PATH * 2];
        WideToCodePage(CP_ACP, drop.root.c_str(), name, sizeof name);
        JournalLine("QUEUE full: %s is rescanned", name);
    }
    if (wake)
        SetEvent(queueReady);
}

// Asks for a walk, from any thread, and wakes the scan thread when it waits.
static void QueueWalk(int kind, const wchar_t *root, uint64_t since)
{
    EnterCriticalSection(&queueLock);
    AskWalk(kind, root, since);
    int wake = TakeWaiter();
    LeaveCriticalSection(&queueLock);
    if (wake)
        SetEvent(queueReady);
}

void QueueRescan(const wchar_t *root, uint64_t since)
{
    QueueWalk(WORK_RESCAN, root, since);
}

void QueueSettle(const wchar_t *folder)
{
    QueueWalk(WORK_SETTLE, folder, 0);
}

void QueueBaseline(const wchar_t *root, uint64_t since)
{
    EnterCriticalSection(&queueLock);
    if (std::find(roots.begin(), roots.end(), root) == roots.end())
        roots.push_back(root);
    AskWalk(WORK_BASELINE, root, since);
    int wake = TakeWaiter();
    LeaveCriticalSection(&queueLock);
    if (wake)
        SetEvent(queueReady);
}

// path without the long form's "\\?\" (and "\\?\UNC\" as "\\").
static std::wstring ShortForm(const wchar_t *path)
{
    std::wstring p(path);
    if (p.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return L"\\\\" + p.substr(8);
    if (p.compare(0, 4, L"\\\\?\\") == 0)
        return p.substr(4);
    return p;
}

int NameWaits(const wchar_t *path)
{
    std::wstring name(path);
    EnterCriticalSection(&queueLock);
    int waits = names.waiting.count(name) > 0;
    LeaveCriticalSection(&queueLock);
    return waits;
}

std::wstring WatchedRootOf(const wchar_t *path)
{
    std::wstring name = ShortForm(path);
    std::wstring key = NameKey(name.c_str());
    std::wstring best;
    EnterCriticalSection(&queueLock);
    for (const std::wstring &root : roots) {
        std::wstring rootKey = NameKey(root.c_str());
        int below = key.compare(0, rootKey.size(), rootKey) == 0
                    && (key.size() == rootKey.size() || rootKey.back() == L'\\' || key[rootKey.size()] == L'\\');
        if (below && root.size() > best.size())
            best = root;
    }
    LeaveCriticalSection(&queueLock);
    if (best.empty())   // not expected: every name scanned lies in a watched folder
        best = name.substr(0, name.size() >= 3 && name[1] == L':' ? 3 : name.rfind(L'\\') + 1);
    return best;
}

int TakeWork(ScanWork *out, unsigned long waitMs, int walking)
{
    DWORD start = GetTickCount();
    for (;;) {
        EnterCriticalSection(&queueLock);
        int walkTurn = names.waiting.empty() || namesSinceWalk >= NAMES_BEFORE_WALK;
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
