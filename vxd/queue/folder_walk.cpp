// Walking the tree below a folder, bounded in depth and in folders, for the scan and the watch.
#include "vxd/queue/folder_walk.h"

#include <cstring>
#include <string>
#include <vector>

#include "vxd/common/text.h"
#include "vxd/journal/journal.h"
#include "vxd/queue/name_queue.h"

// Every walk (Wine's opening of a watched tree, the rescans after lost notices, a folder moved in)
// goes at most this deep, and through at most this many folders.
constexpr int WALK_FOLDERS_MAX = 8192;
constexpr int WALK_DEPTH_MAX = 32;

struct Walk {
    FileVisit onFile;
    FolderVisit enterFolder;
    HeldVisit onHeld;
    const void *context;
    int budget;             // folders left
    int tooMany;            // 1 when folders were passed over for WALK_FOLDERS_MAX
    int tooDeep;            // ... for WALK_DEPTH_MAX
};

// Walks the tree below folder, depth levels down already.
static void WalkBelow(const wchar_t *folder, int depth, Walk *walk)
{
    size_t length = static_cast<size_t>(lstrlenW(folder));
    if (length + 3 >= PATH_CHARS)
        return;
    if (depth > WALK_DEPTH_MAX) {
        walk->tooDeep = 1;
        return;
    }
    wchar_t path[PATH_CHARS];
    std::memcpy(path, folder, length * sizeof(wchar_t));
    if (length > 0 && path[length - 1] != L'\\')
        path[length++] = L'\\';
    path[length] = L'*';
    path[length + 1] = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(path, &found);
    if (search == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION && walk->onHeld != nullptr) {
            walk->onHeld(folder, walk->context);
        } else if (error == ERROR_SHARING_VIOLATION) {
            char name[PATH_CHARS];
            WideToCodePage(CP_ACP, folder, name, sizeof name);
            JournalLine("SKIP %s error=%lu", name, static_cast<unsigned long>(error));
        }
        return;
    }
    // The folders below are entered once this one's listing is closed: a listing held open through
    // the whole walk below it would refuse a rename of this folder (or any above it) for that long.
    std::vector<std::wstring> below;
    do {
        size_t nameLength = static_cast<size_t>(lstrlenW(found.cFileName));
        if (lstrcmpW(found.cFileName, L".") == 0 || lstrcmpW(found.cFileName, L"..") == 0 || length + nameLength >= PATH_CHARS)
            continue;
        std::memcpy(path + length, found.cFileName, (nameLength + 1) * sizeof(wchar_t));
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (walk->onFile != nullptr)
                walk->onFile(path, found, walk->context);
        } else if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            if (--walk->budget < 0)
                walk->tooMany = 1;
            else
                below.emplace_back(path);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    for (const std::wstring &folderBelow : below)
        if (walk->enterFolder(folderBelow.c_str()))
            WalkBelow(folderBelow.c_str(), depth + 1, walk);
}

void WalkFolder(const wchar_t *folder, FileVisit onFile, FolderVisit enterFolder, HeldVisit onHeld,
                const void *context)
{
    Walk walk = {onFile, enterFolder, onHeld, context, WALK_FOLDERS_MAX, 0, 0};
    WalkBelow(folder, 1, &walk);
    if (walk.tooMany || walk.tooDeep) {
        char name[PATH_CHARS];
        WideToCodePage(CP_ACP, folder, name, sizeof name);
        if (walk.tooMany)
            JournalLine("WALK %s cut short: more than %d folders", name, WALK_FOLDERS_MAX);
        if (walk.tooDeep)
            JournalLine("WALK %s cut short: deeper than %d folders", name, WALK_DEPTH_MAX);
    }
}

int EnterEveryFolder(const wchar_t *)
{
    return 1;
}
