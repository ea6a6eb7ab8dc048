// Watching the configured folders: a thread that waits for the folders' change notifications and
// queues the names they bring, so that its notification buffers are emptied at once.
#include "vxd/watch/watch.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "vxd/common/paths.h"
#include "vxd/common/text.h"
#include "vxd/config/config.h"
#include "vxd/journal/journal.h"
#include "vxd/queue/folder_walk.h"
#include "vxd/queue/queue.h"
#include "vxd/queue/version_rules.h"
#include "vxd/queue/versions.h"
#include "vxd/watch/arrivals.h"

constexpr DWORD NOTIFY_BUFFER_SIZE = 64 * 1024;
constexpr DWORD WATCH_FILTER = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE
                               | FILE_NOTIFY_CHANGE_SIZE;   // folder names: a folder moved in brings files
constexpr size_t ARRIVALS_KEPT = 4096;      // names being filled that are remembered at most
constexpr uint64_t RESCAN_MARGIN = TIME_STEP;   // notices lost may go back a little before their batch
constexpr DWORD CHECK_MS = 3000;            // how often every folder's name is looked at again
constexpr DWORD STREAM_MS = 4;              // a wake this soon after the last one is part of a stream:
constexpr DWORD GATHER_MS = 1;              // its changes are gathered this long before they are
                                            // taken, so that a stream of arrivals wakes this thread
                                            // and the scan thread about once a millisecond, not
                                            // once a file (a file alone is taken at once)

struct WatchedFolder {
    HANDLE directory;          // opened for overlapped change notifications; INVALID_HANDLE_VALUE
                               // while the folder is gone
    HANDLE event;              // signalled when a batch of notifications has arrived
    OVERLAPPED overlapped;
    wchar_t path[MAX_PATH];    // full path; ends in a backslash only for a drive's root
    DWORD *buffer;             // NOTIFY_BUFFER_SIZE bytes, DWORD-aligned as the notifications need
    FILETIME since;            // every change after this reached us (or is in the pending read)
    FileIdentity identity;     // the folder the handle holds, whatever it is called now
    int renamed;               // gone because its name named another folder or none (not because
                               // its watch failed): when it is back, everything in it is scanned
};

static WatchedFolder folders[MAXIMUM_WAIT_OBJECTS];
static int folderCount;
static int watchersStarted;
static Arrivals arrivals = {ARRIVALS_KEPT, {}, 0, 0};   // the watch thread's only

// Walks one batch of notifications (bytes long) for folder, of changes since since (a file time).
static void HandleBatch(const WatchedFolder *folder, const unsigned char *batch, DWORD bytes, uint64_t since)
{
    size_t folderLength = static_cast<size_t>(lstrlenW(folder->path));
    int needsSeparator = folderLength > 0 && folder->path[folderLength - 1] != L'\\';
    DWORD offset = 0;
    for (;;) {
        if (offset + sizeof(FILE_NOTIFY_INFORMATION) > bytes)
            return;
        const FILE_NOTIFY_INFORMATION *info = reinterpret_cast<const FILE_NOTIFY_INFORMATION *>(batch + offset);
        size_t nameLength = info->FileNameLength / sizeof(wchar_t);
        int wanted = info->Action == FILE_ACTION_ADDED || info->Action == FILE_ACTION_MODIFIED ||
                     info->Action == FILE_ACTION_RENAMED_NEW_NAME;
        size_t nameEnd = offset + offsetof(FILE_NOTIFY_INFORMATION, FileName) + info->FileNameLength;
        if (wanted && nameEnd <= bytes && folderLength + 1 + nameLength < PATH_CHARS) {
            wchar_t path[PATH_CHARS];
            std::memcpy(path, folder->path, folderLength * sizeof(wchar_t));
            size_t length = folderLength;
            if (needsSeparator)
                path[length++] = L'\\';
            std::memcpy(path + length, info->FileName, nameLength * sizeof(wchar_t));
            path[length + nameLength] = 0;
            int arrived = info->Action == FILE_ACTION_ADDED || info->Action == FILE_ACTION_RENAMED_NEW_NAME;
            QueueScan(path, NoteNotice(&arrivals, NameKey(path), arrived, GetTickCount()), folder->path, since);
        }
        if (info->NextEntryOffset == 0)
            return;
        offset += info->NextEntryOffset;
    }
}

static int IssueRead(WatchedFolder *folder)
{
    ResetEvent(folder->event);
    std::memset(&folder->overlapped, 0, sizeof folder->overlapped);
    folder->overlapped.hEvent = folder->event;
    DWORD size = config.notifyBuffer < NOTIFY_BUFFER_SIZE ? config.notifyBuffer : NOTIFY_BUFFER_SIZE;
    return ReadDirectoryChangesW(folder->directory, folder->buffer, size, TRUE, WATCH_FILTER, nullptr,
                                 &folder->overlapped, nullptr) != 0;
}

static void CloseFolder(WatchedFolder *folder)
{
    CloseHandle(folder->directory);   // cancels the pending read
    folder->directory = INVALID_HANDLE_VALUE;
}

static void FolderName(const WatchedFolder *folder, char *name, size_t size)
{
    WideToCodePage(CP_ACP, folder->path, name, size);
}

static int WatchPath(WatchedFolder *folder);

// 1 while the folder's name still names the folder the handle holds. Renamed away, the handle
// would go on watching the folder under its new name, and nothing under the old one; deleted, it
// can no longer be opened (Windows keeps it, unreachable, until the last handle goes).
static int StillNamed(const WatchedFolder *folder)
{
    HANDLE named = CreateFileW(folder->path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (named == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != ERROR_ACCESS_DENIED;
    }
    FileIdentity now = IdentityOf(named);
    CloseHandle(named);
    return !now.known || !folder->identity.known || SameFile(now, folder->identity);
}

// 1 for the root of a drive ("C:\"), which cannot be renamed or deleted: its name needs no look
// every CHECK_MS (a medium taken out fails the watch itself, and its look for a folder of that
// name follows). Watching C:\ is what the driver does unless told otherwise.
static int IsDriveRoot(const wchar_t *path)
{
    return path[0] != 0 && path[1] == L':' && path[2] == L'\\' && path[3] == 0;
}

// Every CHECK_MS: a folder renamed away or deleted is let go (journalled), and a folder gone is
// watched again as soon as a folder of its name exists; the files that came meanwhile are scanned.
static void CheckFolders(void)
{
    for (int i = 0; i < folderCount; i++) {
        WatchedFolder *folder = &folders[i];
        char name[MAX_PATH * 2];
        if (folder->directory != INVALID_HANDLE_VALUE && !IsDriveRoot(folder->path) && !StillNamed(folder)) {
            FolderName(folder, name, sizeof name);
            JournalLine("WATCH %s gone", name);
            CloseFolder(folder);
            folder->renamed = 1;
        }
        if (folder->directory != INVALID_HANDLE_VALUE)
            continue;
        DWORD attributes = GetFileAttributesW(folder->path);
        FileIdentity before = folder->identity;
        FILETIME since = folder->since;
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) || !WatchPath(folder))
            continue;
        FolderName(folder, name, sizeof name);
        JournalLine("WATCH %s watched again", name);
        // Another folder, or one that was elsewhere: whatever it holds came unseen. The same folder
        // after a failed watch: what was written while it was not watched, as after an overflow.
        if (folder->renamed || !SameFile(before, folder->identity)) {
            QueueRescan(folder->path, 0);   // every file but the versions scanned already
        } else {
            uint64_t from = FileTimeNumber(since);
            QueueRescan(folder->path, from > RESCAN_MARGIN ? from - RESCAN_MARGIN : 0);
        }
        folder->renamed = 0;
    }
}

// Blocks until some folder has news, waking every CHECK_MS to look at the folders' names.
static DWORD WINAPI WatchThreadProc(void *)
{
    static unsigned char batch[NOTIFY_BUFFER_SIZE];
    DWORD checked = GetTickCount();
    DWORD lastWake = checked - STREAM_MS;
    for (;;) {
        DWORD elapsed = GetTickCount() - checked;
        if (elapsed >= CHECK_MS) {
            CheckFolders();
            checked = GetTickCount();
            elapsed = 0;
        }
        HANDLE events[MAXIMUM_WAIT_OBJECTS];
        int owners[MAXIMUM_WAIT_OBJECTS];
        DWORD count = 0;
        for (int i = 0; i < folderCount; i++) {
            if (folders[i].directory != INVALID_HANDLE_VALUE) {
                events[count] = folders[i].event;
                owners[count++] = i;
            }
        }
        if (count == 0) {
            Sleep(CHECK_MS - elapsed);   // every folder is gone: only the look for them is left
            continue;
        }
        DWORD which = WaitForMultipleObjects(count, events, FALSE, CHECK_MS - elapsed);
        if (which == WAIT_TIMEOUT)
            continue;
        if (which >= WAIT_OBJECT_0 + count)
            return 0;
        WatchedFolder *folder = &folders[owners[which - WAIT_OBJECT_0]];
        if (GetTickCount() - lastWake < STREAM_MS)
            Sleep(GATHER_MS);
        lastWake = GetTickCount();
        char name[MAX_PATH * 2];
        FolderName(folder, name, sizeof name);
        DWORD bytes = 0;
        if (!GetOverlappedResult(folder->directory, &folder->overlapped, &bytes, FALSE)) {
            DWORD error = GetLastError();
            if (error != ERROR_NOTIFY_ENUM_DIR) {
                JournalLine("WATCH %s gone error=%lu", name, static_cast<unsigned long>(error));
                CloseFolder(folder);
                continue;
            }
            bytes = 0;
        }
        // Take the batch out and ask for the next one at once, so that changes go on being
        // collected while this batch is handed over.
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
}

// Wine watches a subtree only in the folders made after the watch began and in those opened since
// (each one's parent must be watched already). On Wine, open every folder below once, parents
// before children, so that changes anywhere below reach the watch as they do on Windows.
static int RunsOnWine(void)
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Opens the folder once, so that Wine starts watching it; goes on below only if it could.
static int OpenOnce(const wchar_t *path)
{
    HANDLE directory = CreateFileW(path, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (directory == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(directory);
    return 1;
}

// Opens the folder at folder->path and asks for its first changes (on Wine, also opens every
// folder below once). 1 when watching; 0 with the folder closed and the error set.
static int WatchPath(WatchedFolder *folder)
{
    folder->directory = CreateFileW(folder->path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (folder->directory == INVALID_HANDLE_VALUE)
        return 0;
    folder->identity = IdentityOf(folder->directory);
    GetSystemTimeAsFileTime(&folder->since);
    if (IssueRead(folder)) {
        if (RunsOnWine())
            WalkFolder(folder->path, nullptr, OpenOnce, nullptr, nullptr);
        return 1;
    }
    DWORD error = GetLastError();
    CloseFolder(folder);
    SetLastError(error);
    return 0;
}

static int OpenFolder(const char *name, WatchedFolder *folder)
{
    if (!FullPathWide(name, folder->path, MAX_PATH)) {
        SetLastError(ERROR_BAD_PATHNAME);
        return 0;
    }
    size_t length = static_cast<size_t>(lstrlenW(folder->path));
    while (length > 3 && folder->path[length - 1] == L'\\')
        folder->path[--length] = 0;   // "C:\TEMP\" becomes "C:\TEMP"; "C:\" stays
    folder->event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    folder->buffer = static_cast<DWORD *>(VirtualAlloc(nullptr, NOTIFY_BUFFER_SIZE, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (folder->event != nullptr && folder->buffer != nullptr && WatchPath(folder)) {
        QueueBaseline(folder->path);   // the files there now are noted, so a rescan need not read them
        return 1;
    }
    DWORD error = GetLastError();
    if (folder->event != nullptr)
        CloseHandle(folder->event);
    if (folder->buffer != nullptr)
        VirtualFree(folder->buffer, 0, MEM_RELEASE);
    SetLastError(error);
    return 0;
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
