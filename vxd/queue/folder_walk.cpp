// Walking the tree below a folder, bounded in depth and in folders, for the queue and the watch.
#include "vxd/queue/folder_walk.h"

#include <cstring>

#include "vxd/common/text.h"
#include "vxd/journal/journal.h"
#include "vxd/queue/queue.h"

// Every walk (Wine's opening of a watched tree, the look for files after an overflow, a folder
// moved in) goes at most this deep, and through at most this many folders.
constexpr int WALK_FOLDERS_MAX = 8192;
constexpr int WALK_DEPTH_MAX = 32;
constexpr int LIST_ATTEMPTS = 10;           // a folder just moved in may still be held by the mover
constexpr DWORD LIST_RETRY_MS = 50;

// FindFirstFileW on pattern, the search of folder; a folder that is still held (the notice of a
// move can come before the mover lets go of it) is asked again for a while. A folder that stays
// held is journalled.
static HANDLE ListFolder(const wchar_t *folder, const wchar_t *pattern, WIN32_FIND_DATAW *found)
{
    for (int attempt = 0;; attempt++) {
        HANDLE search = FindFirstFileW(pattern, found);
        if (search != INVALID_HANDLE_VALUE)
            return search;
        DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION)
            return search;
        if (attempt + 1 == LIST_ATTEMPTS) {
            char name[PATH_CHARS];
            WideToCodePage(CP_ACP, folder, name, sizeof name);
            JournalLine("SKIP %s error=%lu", name, static_cast<unsigned long>(error));
            return search;
        }
        Sleep(LIST_RETRY_MS);
    }
}

// Walks the tree below folder, depth levels down already, through at most *budget more folders.
static void WalkBelow(const wchar_t *folder, int depth, int *budget, FileVisit onFile, FolderVisit enterFolder,
                      const void *context)
{
    size_t length = static_cast<size_t>(lstrlenW(folder));
    if (depth > WALK_DEPTH_MAX || length + 3 >= PATH_CHARS)
        return;
    wchar_t path[PATH_CHARS];
    std::memcpy(path, folder, length * sizeof(wchar_t));
    if (length > 0 && path[length - 1] != L'\\')
        path[length++] = L'\\';
    path[length] = L'*';
    path[length + 1] = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = ListFolder(folder, path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        size_t nameLength = static_cast<size_t>(lstrlenW(found.cFileName));
        if (lstrcmpW(found.cFileName, L".") == 0 || lstrcmpW(found.cFileName, L"..") == 0 || length + nameLength >= PATH_CHARS)
            continue;
        std::memcpy(path + length, found.cFileName, (nameLength + 1) * sizeof(wchar_t));
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (onFile != nullptr)
                onFile(path, found, context);
        } else if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && --*budget >= 0 && enterFolder(path)) {
            WalkBelow(path, depth + 1, budget, onFile, enterFolder, context);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void WalkFolder(const wchar_t *folder, FileVisit onFile, FolderVisit enterFolder, const void *context)
{
    int budget = WALK_FOLDERS_MAX;
    WalkBelow(folder, 1, &budget, onFile, enterFolder, context);
}

static int EnterEveryFolder(const wchar_t *)
{
    return 1;
}

static void QueueIfWrittenSince(const wchar_t *path, const WIN32_FIND_DATAW &found, const void *since)
{
    if (CompareFileTime(&found.ftLastWriteTime, static_cast<const FILETIME *>(since)) >= 0)
        QueueScan(path, 1);   // how it came is lost with the overflow: scan it whatever scanOn says
}

void QueueWrittenSince(const wchar_t *folder, FILETIME since)
{
    WalkFolder(folder, QueueIfWrittenSince, EnterEveryFolder, &since);
}

void QueueFolderContents(const wchar_t *folder)
{
    QueueWrittenSince(folder, FILETIME{0, 0});
}
