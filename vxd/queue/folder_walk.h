// Walks through the tree below a folder, parents before children: to queue the files found there
// for a scan, and for the watch to open every folder once.
#pragma once
#include <windows.h>

// What a walk does with each file it finds (context as handed to WalkFolder), and with each folder
// (links are not followed): 1 goes down into it.
typedef void (*FileVisit)(const wchar_t *path, const WIN32_FIND_DATAW &found, const void *context);
typedef int (*FolderVisit)(const wchar_t *path);

// Walks the tree below folder, at most WALK_DEPTH_MAX deep and through at most WALK_FOLDERS_MAX
// folders: onFile (may be null) sees every file, enterFolder every folder. Paths of PATH_CHARS or
// more are passed over. A folder still held by whoever moved it in is asked again for a while,
// then journalled and passed over.
void WalkFolder(const wchar_t *folder, FileVisit onFile, FolderVisit enterFolder, const void *context);

// Queues every file below folder written at or after since, as fresh: how the files came is lost.
void QueueWrittenSince(const wchar_t *folder, FILETIME since);

// Queues every file below folder (a folder moved or copied in brings its files along, and the
// watch reports only the folder).
void QueueFolderContents(const wchar_t *folder);
