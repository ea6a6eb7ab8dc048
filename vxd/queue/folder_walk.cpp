// Walking the tree below a folder all the way down, in steps of bounded cost.
#include "vxd/queue/folder_walk.h"

#include <cstring>

#include "vxd/common/names.h"
#include "vxd/common/open_file.h"
#include "vxd/common/text.h"
#include "vxd/journal/journal.h"

// A file of one listing, kept until the listing is closed.
struct ListedFile {
    std::wstring name;
    FoundFile found;            // all but the path and the short name
    std::wstring shortName;
};

// One pass over a folder's listing, from where the last one ended.
struct Pass {
    FolderWalk *walk;
    WalkLevel *level;
    size_t allowance;           // entries it may take
    size_t read;                // entries read, also those passed to reach where it goes on
    size_t taken;               // entries taken
    int skipping;               // 1 until the entry named level->after was passed
    std::vector<ListedFile> files;
    std::wstring last;          // the last entry taken
    int stopped;                // 1 when it ended before the listing did
};

static uint64_t Number(const LARGE_INTEGER &value)
{
    return static_cast<uint64_t>(value.QuadPart);
}

static int TakeEntry(const FILE_ID_BOTH_DIR_INFORMATION &entry, void *context)
{
    Pass *pass = static_cast<Pass *>(context);
    pass->read++;
    std::wstring name(entry.FileName, entry.FileNameLength / sizeof(wchar_t));
    if (pass->skipping) {
        pass->skipping = name != pass->level->after;
        return 1;
    }
    if (!(entry.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        FILETIME written = {static_cast<DWORD>(Number(entry.LastWriteTime)), static_cast<DWORD>(Number(entry.LastWriteTime) >> 32)};
        FoundFile found = {nullptr, Number(entry.EndOfFile), written, Number(entry.ChangeTime), Number(entry.FileId), nullptr};
        pass->files.push_back({name, found, std::wstring(entry.ShortName, static_cast<size_t>(entry.ShortNameLength) / sizeof(wchar_t))});
    } else if (!pass->walk->flat && !(entry.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        pass->level->below.push_back(name);
        pass->walk->namesHeld++;
    }
    pass->last = std::move(name);
    pass->stopped = ++pass->taken >= pass->allowance || pass->walk->namesHeld >= WALK_NAMES_HELD;
    return !pass->stopped;
}

// Appends name to the walk's path as an entry of the folder it is in; 0 when the path would be
// longer than the system takes.
static int PathTo(FolderWalk *walk, const std::wstring &name)
{
    size_t length = walk->levels.back().pathLength;
    walk->path.resize(length);
    if (length + 1 + name.size() > LONG_PATH_CHARS) {
        walk->tooLong++;
        return 0;
    }
    if (length > 0 && walk->path[length - 1] != L'\\')
        walk->path.push_back(L'\\');
    walk->path += name;
    return 1;
}

// Lists the folder the walk is in on from where its last pass ended: its files are visited once the
// listing is closed (a listing held open would refuse a rename of the folder meanwhile), its
// subfolders kept to enter. The entries read.
static size_t ListOn(FolderWalk *walk, size_t allowance)
{
    WalkLevel &level = walk->levels.back();
    DWORD error = 0;
    HANDLE folder = OpenFolderToList(walk->path.c_str(), &error);
    Pass pass = {walk, &level, allowance > 0 ? allowance : 1, 0, 0, !level.after.empty(), {}, {}, 0};
    int listed = folder != INVALID_HANDLE_VALUE && ListEntries(folder, nullptr, TakeEntry, &pass, &error);
    if (folder != INVALID_HANDLE_VALUE)
        CloseHandle(folder);
    if (!listed) {
        level.listed = 1;
        if (walk->onFailed != nullptr && OpenFailure(error) != OPEN_GONE)
            walk->onFailed(walk->path.c_str(), error, walk->context);
        return 1;
    }
    // A pass that never found where the last one ended (that entry went meanwhile) starts over:
    // what it visits twice costs a look, and nothing is missed.
    level.after = pass.stopped ? pass.last : std::wstring();
    level.listed = !pass.stopped && !pass.skipping;
    for (ListedFile &file : pass.files) {
        if (walk->onFile == nullptr || !PathTo(walk, file.name))
            continue;
        file.found.path = walk->path.c_str();
        file.found.shortName = file.shortName.c_str();
        walk->onFile(file.found, walk->context);
    }
    walk->path.resize(level.pathLength);
    return pass.read;
}

void BeginWalk(FolderWalk *walk, const wchar_t *folder, FileVisit onFile, FailVisit onFailed, const void *context)
{
    walk->onFile = onFile;
    walk->onFailed = onFailed;
    walk->context = context;
    walk->root = folder;
    walk->path = folder;
    walk->levels.assign(1, WalkLevel{walk->path.size(), {}, 0, {}, 0});
    walk->namesHeld = 0;
    walk->tooLong = 0;
    walk->flat = 0;
}

// Enters the next subfolder of the folder the walk is in.
static void EnterNext(FolderWalk *walk)
{
    WalkLevel &level = walk->levels.back();
    std::wstring name = std::move(level.below[level.next++]);
    walk->namesHeld--;
    if (level.next == level.below.size()) {
        level.below.clear();
        level.next = 0;
    }
    if (PathTo(walk, name))
        walk->levels.push_back(WalkLevel{walk->path.size(), {}, 0, {}, 0});
}

int WalkOn(FolderWalk *walk, size_t entries)
{
    size_t spent = 0;
    while (!walk->levels.empty()) {
        WalkLevel &level = walk->levels.back();
        if (level.next < level.below.size()) {
            EnterNext(walk);
        } else if (!level.listed) {
            if (spent >= entries)
                return 0;
            spent += ListOn(walk, entries - spent);
        } else {
            walk->levels.pop_back();
            walk->path.resize(walk->levels.empty() ? 0 : walk->levels.back().pathLength);
        }
    }
    if (walk->tooLong > 0) {
        char name[MAX_PATH * 2];
        WideToCodePage(CP_ACP, walk->root.c_str(), name, sizeof name);
        JournalLine("WALK %s cut short: %lu names below make paths longer than %lu characters", name, walk->tooLong,
                    static_cast<unsigned long>(LONG_PATH_CHARS));
    }
    return 1;
}
