// Whether each watched folder's name still names the folder watched, and watching again the
// folders gone.
#include "vxd/watch/folder_check.h"

#include "vxd/journal/journal.h"
#include "vxd/queue/queue.h"
#include "vxd/queue/versions.h"
#include "vxd/watch/folders.h"

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
// every few seconds (a medium taken out fails the watch itself, and its look for a folder of that
// name follows). Watching C:\ is what the driver does unless told otherwise.
static int IsDriveRoot(const wchar_t *path)
{
    return path[0] != 0 && path[1] == L':' && path[2] == L'\\' && path[3] == 0;
}

// A folder gone is watched again once a folder of its name exists; 1 when it is.
static int WatchAgain(WatchedFolder *folder)
{
    DWORD attributes = GetFileAttributesW(folder->path);
    FileIdentity before = folder->identity;
    FILETIME since = folder->since;
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) || !WatchPath(folder))
        return 0;
    char name[MAX_PATH * 2];
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
    return 1;
}

void CheckFolders(void)
{
    for (int i = 0; i < folderCount; i++) {
        WatchedFolder *folder = &folders[i];
        if (folder->directory != INVALID_HANDLE_VALUE && !IsDriveRoot(folder->path) && !StillNamed(folder)) {
            char name[MAX_PATH * 2];
            FolderName(folder, name, sizeof name);
            JournalLine("WATCH %s gone", name);
            CloseFolder(folder);
            folder->renamed = 1;
        }
        if (folder->directory == INVALID_HANDLE_VALUE)
            WatchAgain(folder);
    }
}
