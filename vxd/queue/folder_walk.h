// Walks through the tree below a folder, all the way down, in steps: what one step costs is
// bounded, and a long walk goes on with the next step where the last one ended. For the scan
// thread's looks at the files there; on Wine, where a folder below a watched one is watched only
// once opened, the walk's opening of every folder is also what makes the watch see it.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One file a walk found, as the listing of its folder gave it.
struct FoundFile {
    const wchar_t *path;        // the full path as the walk reached it
    uint64_t size;
    FILETIME written;
    uint64_t changed;           // the change time (which a writer cannot set back where the
                                // platform keeps one)
    uint64_t fileIndex;         // the file's identity on its volume; 0 when not known
    const wchar_t *shortName;   // the 8.3 name, or empty
};

// What a walk does with each file it finds (context as handed to BeginWalk), and with a folder it
// cannot list (error: why; ERROR_SHARING_VIOLATION for one held by another program, such as a
// folder just moved in whose mover has not let go yet). A folder gone meanwhile is passed over.
typedef void (*FileVisit)(const FoundFile &found, const void *context);
typedef void (*FailVisit)(const wchar_t *path, DWORD error, const void *context);

// A folder of the walk: its subfolders listed and not yet entered, and where its listing goes on.
struct WalkLevel {
    size_t pathLength;                  // the folder's path is the walk's path up to here
    std::vector<std::wstring> below;    // subfolders to enter, in the order listed
    size_t next;                        // the next of below to enter
    std::wstring after;                 // the listing goes on after this name (empty: from the start)
    int listed;                         // 1 once every entry was listed
};

struct FolderWalk {
    FileVisit onFile;
    FailVisit onFailed;
    const void *context;
    std::wstring root;
    std::wstring path;                  // the folder the walk is in
    std::vector<WalkLevel> levels;      // root first
    size_t namesHeld;                   // names in every level's below
    unsigned long tooLong;              // names passed over for paths beyond LONG_PATH_CHARS
    int flat;                           // 1: the folder's own files only, none below
};

constexpr size_t WALK_NAMES_HELD = 65536;   // subfolder names a walk holds at most, but one per level

// Sets up a walk of the tree below folder (folder itself included). onFile (may be null) sees
// every file, onFailed every folder that cannot be listed. Links to folders are not followed.
// Setting walk->flat after it keeps the walk to folder's own files.
void BeginWalk(FolderWalk *walk, const wchar_t *folder, FileVisit onFile, FailVisit onFailed, const void *context);

// Walks on, listing at most about entries entries of folders (a listing that goes on where an
// earlier one ended also reads the entries before); 1 when the walk is done (names passed over for
// their length are journalled then). Never waits for a folder held.
int WalkOn(FolderWalk *walk, size_t entries);
