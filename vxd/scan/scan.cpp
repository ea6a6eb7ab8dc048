// The scan thread: the queued names scanned in turn, the walks that make up for lost notices and
// note the files there when the watch began, and the work put off until later.
#include "vxd/scan/scan.h"

#include <windows.h>

#include <string>
#include <vector>

#include "vxd/act/actions.h"
#include "vxd/common/text.h"
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

static void RescanFolder(const wchar_t *folder, uint64_t since, unsigned attempt);

// Scans the file at path; a folder that arrived has every file below it scanned.
static void ScanName(const wchar_t *path, int fresh, unsigned attempt)
{
    if (ScanFile(path, fresh, attempt))
        RescanFolder(path, FileTimeNow(), attempt);
}

// Nothing waits: the verdicts still to come are taken, and large reading buffers are let go.
static void Idle(void)
{
    FinishPending(0);
    LetGoBuffers();
}

// One walk of a folder for lost notices.
struct Rescan {
    const wchar_t *root;
    uint64_t since;             // notices lost from then on
    unsigned attempt;           // the tries of root that failed before
};

// What the memory compares of a file found by a walk. The listing gives no change mark: the file is
// opened to tell.
static FileLook LookOfFound(const WIN32_FIND_DATAW &found)
{
    return {0, (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow, 0};
}

static void RescanVisit(const wchar_t *path, const WIN32_FIND_DATAW &found, const void *)
{
    if (!VouchedUnread(path, LookOfFound(found)))
        ScanName(path, 1, 0);   // how it came is lost: scanned whatever scanOn says
}

// A folder held by whoever moved it in: walked again once let go, without waiting for it now.
static void RescanHeld(const wchar_t *path, const void *context)
{
    const Rescan *rescan = static_cast<const Rescan *>(context);
    PutOff work = {};
    work.kind = PUT_OFF_FOLDER;
    work.path = path;
    work.attempt = lstrcmpiW(path, rescan->root) == 0 ? rescan->attempt + 1 : 1;
    work.since = rescan->since;
    char name[NAME_SIZE];
    WideToCodePage(CP_ACP, path, name, sizeof name);
    Later(work, name, "held", "listed");
}

// Scans every file below folder that may have changed since since without the memory knowing.
static void RescanFolder(const wchar_t *folder, uint64_t since, unsigned attempt)
{
    Rescan rescan = {folder, since, attempt};
    WalkFolder(folder, RescanVisit, EnterEveryFolder, RescanHeld, &rescan);
}

static void NotePresentVisit(const wchar_t *path, const WIN32_FIND_DATAW &found, const void *)
{
    NotePresent(path, LookOfFound(found));
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
        RescanFolder(work.path.c_str(), work.since, work.attempt);
        return;
    case PUT_OFF_ACTION:
        ActAgain(work);
        return;
    }
}

// Does the work as it comes and as it falls due; sleeps while there is none.
static DWORD WINAPI ScanThreadProc(void *)
{
    for (;;) {
        PutOff due;
        while (TakeDue(&due))
            DoPutOff(due);
        MakeUp();
        ScanWork work;
        int kind = TakeWork(&work, 0);
        if (kind == WORK_NONE) {
            Idle();
            DWORD next = NextDueMs();
            kind = TakeWork(&work, MakeUpDueMs() < next ? MakeUpDueMs() : next);
        }
        switch (kind) {
        case WORK_NAME:
            ScanName(work.name.path.c_str(), work.name.fresh, 0);
            break;
        case WORK_RESCAN:
            RescanFolder(work.root.c_str(), work.since, 0);
            break;
        case WORK_BASELINE:
            WalkFolder(work.root.c_str(), NotePresentVisit, EnterEveryFolder, nullptr, nullptr);
            break;
        }
    }
}

void StartScanThread(void)
{
    HANDLE thread = CreateThread(nullptr, 0, ScanThreadProc, nullptr, 0, nullptr);
    if (thread != nullptr)
        CloseHandle(thread);
}
