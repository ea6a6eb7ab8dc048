// Walks through the tree below a folder, parents before children: to look at the files found
// there for a scan, and for the watch to open every folder once.
#pragma once
#include <windows.h>

// What a walk does with each file it finds (context as handed to WalkFolder), with each folder
// (links are not followed): 1 goes down into it, and with a folder it cannot list because another
// program holds it (a folder just moved in, whose mover has not let go yet).
typedef void (*FileVisit)(const wchar_t *path, const WIN32_FIND_DATAW &found, const void *context);
typedef int (*FolderVisit)(const wchar_t *path);
typedef void (*HeldVisit)(const wchar_t *path, const void *context);

// Walks the tree below folder (folder itself included), at most WALK_DEPTH_MAX deep and through at
// most WALK_FOLDERS_MAX folders; a walk cut short by either is journalled. onFile (may be null)
// sees every file, enterFolder every folder, onHeld (may be null: journalled instead) every folder
// held. Paths of PATH_CHARS or more are passed over. Never waits.
void WalkFolder(const wchar_t *folder, FileVisit onFile, FolderVisit enterFolder, HeldVisit onHeld,
                const void *context);

int EnterEveryFolder(const wchar_t *path);   // a FolderVisit that goes everywhere
