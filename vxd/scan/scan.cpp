// The scan thread: the queued names scanned in turn, the walks that make up for lost notices and
// note the files there when the watch began, and the work put off until later.
#include "vxd/scan/scan.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <deque>
#include <list>
#include <string>
#include <vector>

#include "vxd/act/actions.h"
#include "vxd/common/open_file.h"
#include "vxd/common/platform.h"
#include "vxd/common/text.h"
#include "vxd/config/config.h"
#include "vxd/journal/journal.h"
#include "vxd/queue/folder_walk.h"
#include "vxd/queue/queue.h"
#include "vxd/queue/retry.h"
#include "vxd/queue/versions.h"
#include "vxd/scan/engine_window.h"
#include "vxd/scan/later.h"
#include "vxd/scan/make_up.h"
#include "vxd/scan/reading.h"
#include "vxd/scan/scan_file.h"

constexpr size_t NAME_SIZE = 1024;
constexpr size_t WALKS_WAITING = 4096;      // walks kept to go one after another; more are walked at once
constexpr size_t FOUND_HELD = 16384;        // files the walks found and hold to read, about at most: a
                                            // walk lists on only while they hold fewer
constexpr SIZE_T SCAN_STACK_BYTES = 256 * 1024;   // the scan thread's stack, taken when it starts

// A walk asked for, waiting or under way: the files below root looked at for lost notices (a
// rescan, also of a folder that arrived), or noted when the watch began.
struct WalkWork {
    int kind;                   // WORK_RESCAN, WORK_BASELINE or WORK_SETTLE
    std::wstring root;
    uint64_t since;             // rescan: notices lost from then on; baseline: the watch began
    unsigned attempt;           // the tries of root that failed before (a folder held)
    int begun;
    int again;                  // asked for again while under way: it begins anew once it ends,
    uint64_t againSince;        // for the changes since then
    int listed;                 // 1 once everything below root was listed
    int atOnce;                 // 1: what it finds is read at once (a walk beyond the table)
    std::deque<std::wstring> toRead;   // files its last step found to read, one at each turn
    FolderWalk walk;
};

// The walks in the order asked for, each taking a turn after the other: a step of its listing, or
// one file it found to read. A list keeps each where it is while others come and go, since a
// walk's visits reach it by address.
static std::list<WalkWork> walks;
static std::list<WalkWork>::iterator walkTurn = walks.end();   // the walk whose turn comes next
static size_t foundHeld;                    // files in every walk's toRead

static void AddWalk(int kind, const wchar_t *root, uint64_t since, unsigned attempt);

// Scans the file at path; a folder that arrived has every file below it scanned.
static void ScanName(const wchar_t *path, int fresh, unsigned attempt)
{
    if (ScanFile(path, fresh, attempt))
        AddWalk(WORK_RESCAN, path, FileTimeNow(), attempt);
}

// Nothing waits: the verdicts still to come are taken, and large reading buffers are let go.
static void Idle(void)
{
    FinishPending(0);
    LetGoBuffers();
}

// What the memory compares of a file a walk found, from the listing itself: the change time there
// is a mark no program can set back only under Wine.
static FileLook LookOfFound(const FoundFile &found)
{
    static const int wine = RunsOnWine();
    return {found.fileIndex, found.size, wine ? found.changed : 0};
}

// A file the walk found to read: read at its turn (how it came is lost: scanned whatever scanOn
// says), unless the walk reads at once.
static void Found(const WalkWork *work, const wchar_t *path)
{
    WalkWork *mine = const_cast<WalkWork *>(work);
    if (mine->atOnce) {
        ScanName(path, 1, 0);
        return;
    }
    mine->toRead.push_back(path);
    foundHeld++;
}

// Every file the memory cannot vouch for is read: size and time written alone vouch for nothing.
// A name waiting in the queue is read from there.
static void RescanVisit(const FoundFile &found, const void *context)
{
    if (!VouchedUnread(found.path, LookOfFound(found)) && !NameWaits(found.path))
        Found(static_cast<const WalkWork *>(context), found.path);
}

// 1 when a file whose notice may not have come is to be read: the memory does not hold it as it
// is (however soon after its change it was read), and its name does not wait.
static int Unaccounted(const FoundFile &found)
{
    return !SeenVersion(found.path, LookOfFound(found)) && !NameWaits(found.path);
}

// A file whose notice did not come: read unless it is accounted for.
static void SettleVisit(const FoundFile &found, const void *context)
{
    if (Unaccounted(found))
        Found(static_cast<const WalkWork *>(context), found.path);
}

// 1 when the file at path lies in a folder below root, not in root itself.
static int BelowRoot(const wchar_t *path, const std::wstring &root)
{
    const wchar_t *name = wcsrchr(path, L'\\');
    size_t folderLength = name != nullptr ? static_cast<size_t>(name - path) : 0;
    size_t rootLength = !root.empty() && root.back() == L'\\' ? root.size() - 1 : root.size();
    return folderLength > rootLength;
}

// A file there when the watch began is noted. On Wine, which watches a folder below only once it
// was opened since the watch began, this walk is what opens every folder: a file changed since
// in a folder below may have changed where no notice came from, and is read. One changed since in
// the watched folder itself had its notice, unless Wine lost it: it is read unless the memory holds
// it as it is or its name waits, and never noted as there before the watch (the look at its folder
// would then pass it over).
static void BaselineVisit(const FoundFile &found, const void *context)
{
    static const int wine = RunsOnWine();
    const WalkWork *work = static_cast<const WalkWork *>(context);
    int changed = found.changed >= work->since || FileTimeNumber(found.written) >= work->since;
    if (!(changed && wine)) {
        NotePresent(found.path, LookOfFound(found));
        return;
    }
    if (BelowRoot(found.path, work->root) || Unaccounted(found))
        Found(work, found.path);
}

// A folder that cannot be listed. One held by whoever moved it in is walked again once let go,
// without waiting for it now; any other is journalled (on Wine it is not watched either).
static void WalkFailed(const wchar_t *path, DWORD error, const void *context)
{
    const WalkWork *work = static_cast<const WalkWork *>(context);
    char name[NAME_SIZE];
    WideToCodePage(CP_ACP, path, name, sizeof name);
    if (error != ERROR_SHARING_VIOLATION) {
        JournalLine("WALK %s not listed error=%lu%s", name, static_cast<unsigned long>(error),
                    RunsOnWine() ? "; its changes are not watched" : "");
        return;
    }
    PutOff later = {};
    later.kind = PUT_OFF_FOLDER;
    later.path = path;
    later.attempt = work->root == path ? work->attempt + 1 : 1;
    later.since = work->since;
    Later(later, name, "held", "listed");
}

// Sets the walk up to begin.
static void BeginWalkWork(WalkWork *work)
{
    FileVisit visit = work->kind == WORK_BASELINE ? BaselineVisit : work->kind == WORK_SETTLE ? SettleVisit : RescanVisit;
    BeginWalk(&work->walk, work->root.c_str(), visit, WalkFailed, work);
    work->walk.flat = work->kind == WORK_SETTLE;
    work->begun = 1;
}

// Keeps a walk to go after those asked for before. One of the same root and kind takes it in: one
// that has not begun, or one under way, which then begins anew once it ends (so that a burst that
// keeps asking walks the folder once more after the walk under way, not once for each ask). With
// no room left it is walked at once, whole: costing more now, missing nothing.
static void AddWalk(int kind, const wchar_t *root, uint64_t since, unsigned attempt)
{
    for (WalkWork &known : walks) {
        if (known.kind != kind || known.root != root)
            continue;
        if (known.begun) {
            known.againSince = known.again && known.againSince < since ? known.againSince : since;
            known.again = 1;
        } else {
            known.since = since < known.since ? since : known.since;
        }
        known.attempt = attempt > known.attempt ? attempt : known.attempt;
        return;
    }
    if (walks.size() < WALKS_WAITING) {
        walks.push_back({kind, root, since, attempt, 0, 0, 0, 0, 0, {}, {}});
        return;
    }
    WalkWork now = {kind, root, since, attempt, 0, 0, 0, 0, 1, {}, {}};
    BeginWalkWork(&now);
    WalkOn(&now.walk, SIZE_MAX);
}

// A walk that has read all it found: done, or begun anew at its next turn when asked for again.
static void EndWalk(std::list<WalkWork>::iterator work)
{
    if (!work->again) {
        walks.erase(work);
        return;
    }
    work->since = work->againSince;
    work->again = 0;
    work->begun = 0;
    work->listed = 0;
}

// The turn of the next walk: one file it found is read, or, when it has none left to read, the next
// step of its listing is taken (after which the verdicts of the files in the engine's hands are
// taken, not held back until a long walk ends) while the walks hold few enough files to read. A
// walk done leaves the turns.
static void StepWalk(void)
{
    if (walkTurn == walks.end())
        walkTurn = walks.begin();
    auto work = walkTurn++;
    if (!work->begun)
        BeginWalkWork(&*work);
    if (!work->toRead.empty()) {
        std::wstring path = std::move(work->toRead.front());
        work->toRead.pop_front();
        foundHeld--;
        ScanName(path.c_str(), 1, 0);   // what it adds goes to the end
    } else if (!work->listed && foundHeld < FOUND_HELD) {
        work->listed = WalkOn(&work->walk, config.walkStep);
        FinishPending(0);
    }
    if (work->listed && work->toRead.empty())
        EndWalk(work);
}

// Scans again the files judged while no daemon answered, once one answers again.
static void MakeUp(void)
{
    std::vector<std::wstring> paths;
    if (!TakeMakeUp(&paths))
        return;
    for (const std::wstring &path : paths)
        ScanName(path.c_str(), 1, 0);
    FinishPending(0);
    JournalLine("ENGINE clamd made up %lu files checked while no daemon answered",
                static_cast<unsigned long>(paths.size()));
}

static void DoPutOff(const PutOff &work)
{
    switch (work.kind) {
    case PUT_OFF_READ:
        ScanName(work.path.c_str(), work.fresh, work.attempt);
        return;
    case PUT_OFF_FOLDER:
        AddWalk(WORK_RESCAN, work.path.c_str(), work.since, work.attempt);
        return;
    case PUT_OFF_ACTION:
        ActAgain(work);
        return;
    }
}

// Does the work as it comes and as it falls due, the walks in steps between the names; sleeps
// while there is none.
static DWORD WINAPI ScanThreadProc(void *)
{
    for (;;) {
        PutOff due;
        while (TakeDue(&due))
            DoPutOff(due);
        MakeUp();
        ScanWork work;
        int kind = TakeWork(&work, 0, !walks.empty());
        if (kind == WORK_NONE) {
            Idle();
            DWORD next = NextDueMs();
            kind = TakeWork(&work, MakeUpDueMs() < next ? MakeUpDueMs() : next, !walks.empty());
        }
        switch (kind) {
        case WORK_NAME:
            ScanName(work.name.path.c_str(), work.name.fresh, 0);
            break;
        case WORK_RESCAN:
        case WORK_BASELINE:
        case WORK_SETTLE:
            AddWalk(kind, work.root.c_str(), work.since, 0);
            break;
        case WORK_STEP:
            StepWalk();
            break;
        }
    }
}

void StartScanThread(void)
{
    // The stack it needs is taken at once, so that its memory does not change under the front
    // end while files are scanned (a stack grows by pages as calls go deeper).
    HANDLE thread = CreateThread(nullptr, SCAN_STACK_BYTES, ScanThreadProc, nullptr, 0, nullptr);
    if (thread != nullptr)
        CloseHandle(thread);
}
