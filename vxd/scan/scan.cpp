// The scan thread: the queued names scanned in turn, the walks that make up for lost notices and
// note the files there when the watch began, and the work put off until later.
#include "vxd/scan/scan.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <deque>
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
constexpr SIZE_T SCAN_STACK_BYTES = 256 * 1024;   // the scan thread's stack, taken when it starts

// A walk asked for, waiting or under way: the files below root looked at for lost notices (a
// rescan, also of a folder that arrived), or noted when the watch began.
struct WalkWork {
    int kind;                   // WORK_RESCAN or WORK_BASELINE
    std::wstring root;
    uint64_t since;             // rescan: notices lost from then on; baseline: the watch began
    unsigned attempt;           // the tries of root that failed before (a folder held)
    int begun;
    FolderWalk walk;
};

// The walks in the order asked for; the first is under way. A deque keeps each one where it is
// while others are added, since a walk's visits reach it by address.
static std::deque<WalkWork> walks;

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

// Every file the memory cannot vouch for is read: size and time written alone vouch for nothing.
static void RescanVisit(const FoundFile &found, const void *)
{
    if (!VouchedUnread(found.path, LookOfFound(found)))
        ScanName(found.path, 1, 0);   // how it came is lost: scanned whatever scanOn says
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
// in a folder below may have changed where no notice came from, and is read.
static void BaselineVisit(const FoundFile &found, const void *context)
{
    static const int wine = RunsOnWine();
    const WalkWork *work = static_cast<const WalkWork *>(context);
    int changed = found.changed >= work->since || FileTimeNumber(found.written) >= work->since;
    if (changed && wine && BelowRoot(found.path, work->root))
        ScanName(found.path, 1, 0);
    else
        NotePresent(found.path, LookOfFound(found));
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
    BeginWalk(&work->walk, work->root.c_str(), work->kind == WORK_BASELINE ? BaselineVisit : RescanVisit, WalkFailed, work);
    work->begun = 1;
}

// Keeps a walk to go after those asked for before (one of the same root and kind that has not
// begun takes it in). With no room left it is walked at once, whole: costing more now, missing nothing.
static void AddWalk(int kind, const wchar_t *root, uint64_t since, unsigned attempt)
{
    for (WalkWork &waiting : walks) {
        if (!waiting.begun && waiting.kind == kind && waiting.root == root) {
            waiting.since = since < waiting.since ? since : waiting.since;
            waiting.attempt = attempt > waiting.attempt ? attempt : waiting.attempt;
            return;
        }
    }
    if (walks.size() < WALKS_WAITING) {
        walks.push_back({kind, root, since, attempt, 0, {}});
        return;
    }
    WalkWork now = {kind, root, since, attempt, 0, {}};
    BeginWalkWork(&now);
    WalkOn(&now.walk, SIZE_MAX);
}

// One step of the walk under way. The verdicts of the files in the engine's hands are taken
// between steps, not held back until a long walk ends.
static void StepWalk(void)
{
    WalkWork &work = walks.front();
    if (!work.begun)
        BeginWalkWork(&work);
    if (WalkOn(&work.walk, config.walkStep))
        walks.pop_front();   // what its visits added went to the end
    FinishPending(0);
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
