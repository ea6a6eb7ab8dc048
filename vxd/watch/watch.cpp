// Watching the configured folders: a thread that waits for the folders' change notifications and
// queues the names they bring, so that its notification buffers are emptied at once.
#include "vxd/watch/watch.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "vxd/common/paths.h"
#include "vxd/common/platform.h"
#include "vxd/common/text.h"
#include "vxd/config/config.h"
#include "vxd/journal/journal.h"
#include "vxd/queue/queue.h"
#include "vxd/queue/versions.h"
#include "vxd/watch/arrivals.h"
#include "vxd/watch/folder_check.h"
#include "vxd/watch/folders.h"
#include "vxd/watch/settle.h"

constexpr size_t ARRIVALS_KEPT = 65536;     // names that arrived remembered at most
constexpr DWORD CHECK_MS = 3000;            // how often every folder's name is looked at again
constexpr DWORD STREAM_MS = 4;              // a wake this soon after the last one is part of a stream:
constexpr DWORD GATHER_MS = 1;              // its changes are gathered this long before they are
                                            // taken, so that a stream of arrivals wakes this thread
                                            // and the scan thread about once a millisecond, not
                                            // once a file (a file alone is taken at once)

constexpr size_t UNSETTLED_KEPT = 1024;     // folders waiting for their look at most
constexpr DWORD SETTLE_MS = 1000;           // a folder is looked at once its notices stopped this long

static int watchersStarted;
static Arrivals arrivals = {ARRIVALS_KEPT, {}, {}, 0};   // the watch thread's only
static Unsettled unsettled = {UNSETTLED_KEPT, {}, 0};    // the watch thread's only
static unsigned long noticesTaken;                       // for DropNotices

// Asks for the look at each folder in due.
static void Settle(std::vector<std::wstring> *due)
{
    for (const std::wstring &folder : *due)
        QueueSettle(folder.c_str());
    due->clear();
}

// Walks one batch of notifications (bytes long) for folder, of changes since since (a file time).
// Each name goes on as the file system holds it, however long: the scan opens it so.
static void HandleBatch(const WatchedFolder *folder, const unsigned char *batch, DWORD bytes, uint64_t since)
{
    size_t folderLength = static_cast<size_t>(lstrlenW(folder->path));
    int needsSeparator = folderLength > 0 && folder->path[folderLength - 1] != L'\\';
    static const int lookAgain = RunsOnWine();   // Windows loses no notice but in an overflow
    std::vector<std::wstring> due;
    std::wstring path;
    DWORD offset = 0;
    for (;;) {
        if (offset + sizeof(FILE_NOTIFY_INFORMATION) > bytes)
            break;
        const FILE_NOTIFY_INFORMATION *info = reinterpret_cast<const FILE_NOTIFY_INFORMATION *>(batch + offset);
        int wanted = info->Action == FILE_ACTION_ADDED || info->Action == FILE_ACTION_MODIFIED ||
                     info->Action == FILE_ACTION_RENAMED_NEW_NAME;
        size_t nameEnd = offset + offsetof(FILE_NOTIFY_INFORMATION, FileName) + info->FileNameLength;
        if (wanted && nameEnd <= bytes) {
            path.assign(folder->path, folderLength);
            if (needsSeparator)
                path.push_back(L'\\');
            path.append(info->FileName, info->FileNameLength / sizeof(wchar_t));
            int arrived = info->Action == FILE_ACTION_ADDED || info->Action == FILE_ACTION_RENAMED_NEW_NAME;
            int fresh = NoteNotice(&arrivals, NameKey(path.c_str()), arrived);
            if (config.dropNotices == 0 || ++noticesTaken % config.dropNotices != 0)
                QueueScan(path.c_str(), fresh, folder->path, since);
            if (lookAgain)
                NoteUnsettled(&unsettled, path, GetTickCount(), SETTLE_MS, &due);
        }
        if (info->NextEntryOffset == 0)
            break;
        offset += info->NextEntryOffset;
    }
    Settle(&due);
}

// Takes the batch the folder's read brought and asks for the next one at once, so that changes go
// on being collected while this batch is handed over.
static void TakeBatch(WatchedFolder *folder)
{
    static unsigned char batch[NOTIFY_BUFFER_SIZE];
    char name[MAX_PATH * 2];
    FolderName(folder, name, sizeof name);
    DWORD bytes = 0;
    if (!GetOverlappedResult(folder->directory, &folder->overlapped, &bytes, FALSE)) {
        DWORD error = GetLastError();
        if (error != ERROR_NOTIFY_ENUM_DIR) {
            JournalLine("WATCH %s gone error=%lu", name, static_cast<unsigned long>(error));
            CloseFolder(folder);
            return;
        }
        bytes = 0;
    }
    uint64_t since = FileTimeNumber(folder->since);
    since = since > RESCAN_MARGIN ? since - RESCAN_MARGIN : 0;
    GetSystemTimeAsFileTime(&folder->since);
    if (bytes > 0)
        std::memcpy(batch, folder->buffer, bytes);
    if (!IssueRead(folder)) {
        JournalLine("WATCH %s gone error=%lu", name, static_cast<unsigned long>(GetLastError()));
        CloseFolder(folder);
    }
    if (bytes > 0) {
        HandleBatch(folder, batch, bytes, since);
    } else {
        // More changes than the buffer holds: the names are lost. The scan thread looks for
        // every file below whose version it cannot vouch for (files moved or copied in keep
        // their old times); the watch goes on collecting meanwhile.
        JournalLine("WATCH %s overflow", name);
        QueueRescan(folder->path, since);
    }
}

enum { NO_NEWS = -1, WAIT_BROKEN = -2 };

// Waits up to waitMs for a folder with news: its index; NO_NEWS when none came (also while every
// folder is gone: only the look for them is left); WAIT_BROKEN when the wait itself failed. Of
// several folders with news the wait names the first it is given, so the folders are given from the
// one after last on: a folder in a burst of changes, whose news is back before each wait, does not
// keep another's arrivals waiting until the burst ends.
static int WaitForNews(DWORD waitMs, int last)
{
    HANDLE events[MAXIMUM_WAIT_OBJECTS];
    int owners[MAXIMUM_WAIT_OBJECTS];
    DWORD count = 0;
    for (int n = 1; n <= folderCount; n++) {
        int i = (last + n) % folderCount;
        if (folders[i].directory != INVALID_HANDLE_VALUE) {
            events[count] = folders[i].event;
            owners[count++] = i;
        }
    }
    if (count == 0) {
        Sleep(waitMs);
        return NO_NEWS;
    }
    DWORD which = WaitForMultipleObjects(count, events, FALSE, waitMs);
    if (which == WAIT_TIMEOUT)
        return NO_NEWS;
    return which < WAIT_OBJECT_0 + count ? owners[which - WAIT_OBJECT_0] : WAIT_BROKEN;
}

// Blocks until some folder has news, waking every CHECK_MS to look at the folders' names.
static DWORD WINAPI WatchThreadProc(void *)
{
    DWORD checked = GetTickCount();
    DWORD lastWake = checked - STREAM_MS;
    int last = -1;   // the folder whose news was taken last
    for (;;) {
        DWORD elapsed = GetTickCount() - checked;
        if (elapsed >= CHECK_MS) {
            CheckFolders();
            checked = GetTickCount();
            elapsed = 0;
        }
        std::vector<std::wstring> due;
        DWORD settleMs = TakeSettled(&unsettled, GetTickCount(), SETTLE_MS, &due);
        Settle(&due);
        int which = WaitForNews(settleMs < CHECK_MS - elapsed ? settleMs : CHECK_MS - elapsed, last);
        if (which == WAIT_BROKEN)
            return 0;
        if (which == NO_NEWS)
            continue;
        if (GetTickCount() - lastWake < STREAM_MS)
            Sleep(GATHER_MS);
        lastWake = GetTickCount();
        TakeBatch(&folders[which]);
        last = which;
    }
}

int StartWatchers(void)
{
    if (watchersStarted)
        return 0;
    watchersStarted = 1;
    const char *cursor = config.watch;
    char item[MAX_PATH];
    while (NextListItem(&cursor, item, sizeof item)) {
        char name[MAX_PATH];
        if (!ResolvePath(driverFolder, item, name, sizeof name)) {
            JournalLine("WATCH %s failed: name too long", item);
            continue;
        }
        if (folderCount == MAXIMUM_WAIT_OBJECTS) {
            JournalLine("WATCH %s skipped: too many folders", name);
            continue;
        }
        if (OpenFolder(name, &folders[folderCount])) {
            JournalLine("WATCH %s", name);
            folderCount++;
        } else {
            JournalLine("WATCH %s failed error=%lu", name, static_cast<unsigned long>(GetLastError()));
        }
    }
    if (folderCount == 0)
        return 0;
    // The first reads are pending already, so changes from here on are caught even before the
    // thread runs. The thread is never waited for: the process ends it when it exits.
    HANDLE thread = CreateThread(nullptr, 0, WatchThreadProc, nullptr, 0, nullptr);
    if (thread != nullptr)
        CloseHandle(thread);
    return 1;
}
