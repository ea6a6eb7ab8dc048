// The watched folders: opening them for change notifications, and the read always pending on each.
#include "vxd/watch/folders.h"

#include <cstring>

#include "vxd/config/config.h"
#include "vxd/queue/queue.h"
#include "vxd/queue/versions.h"

constexpr DWORD WATCH_FILTER = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE
                               | FILE_NOTIFY_CHANGE_SIZE;   // folder names: a folder moved in brings files

WatchedFolder folders[MAXIMUM_WAIT_OBJECTS];
int folderCount;

int IssueRead(WatchedFolder *folder)
{
    ResetEvent(folder->event);
    std::memset(&folder->overlapped, 0, sizeof folder->overlapped);
    folder->overlapped.hEvent = folder->event;
    DWORD size = config.notifyBuffer < NOTIFY_BUFFER_SIZE ? config.notifyBuffer : NOTIFY_BUFFER_SIZE;
    return ReadDirectoryChangesW(folder->directory, folder->buffer, size, TRUE, WATCH_FILTER, nullptr,
                                 &folder->overlapped, nullptr) != 0;
}

void CloseFolder(WatchedFolder *folder)
{
    CloseHandle(folder->directory);   // cancels the pending read
    folder->directory = INVALID_HANDLE_VALUE;
}

void FolderName(const WatchedFolder *folder, char *name, size_t size)
{
    WideToCodePage(CP_ACP, folder->path, name, size);
}

int WatchPath(WatchedFolder *folder)
{
    folder->directory = CreateFileW(folder->path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (folder->directory == INVALID_HANDLE_VALUE)
        return 0;
    folder->identity = IdentityOf(folder->directory);
    GetSystemTimeAsFileTime(&folder->since);
    if (IssueRead(folder))
        return 1;
    DWORD error = GetLastError();
    CloseFolder(folder);
    SetLastError(error);
    return 0;
}

int OpenFolder(const char *name, WatchedFolder *folder)
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
        // The files there now are noted, so that a rescan need not read them. Wine watches a
        // subtree only in the folders made after the watch began and in those opened since: this
        // walk opens every folder below, all the way down, and reads what changed meanwhile.
        uint64_t began = FileTimeNumber(folder->since);
        QueueBaseline(folder->path, began > RESCAN_MARGIN ? began - RESCAN_MARGIN : 0);
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
