// The watched folders: each opened for change notifications, with a read for its next batch always
// pending. The watch thread's, but for the start.
#pragma once
#include <windows.h>

#include <cstddef>

#include "vxd/common/text.h"
#include "vxd/queue/version_rules.h"

constexpr DWORD NOTIFY_BUFFER_SIZE = 64 * 1024;
constexpr uint64_t RESCAN_MARGIN = TIME_STEP;   // notices lost may go back a little before their batch

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

extern WatchedFolder folders[MAXIMUM_WAIT_OBJECTS];
extern int folderCount;

// Asks for the folder's next batch of changes. 0 with the error set when the watch failed.
int IssueRead(WatchedFolder *folder);

// Lets the folder go: the pending read is cancelled.
void CloseFolder(WatchedFolder *folder);

// The folder's name in the ANSI code page, for the journal.
void FolderName(const WatchedFolder *folder, char *name, size_t size);

// Opens the folder at folder->path and asks for its first changes. 1 when watching; 0 with the
// folder closed and the error set. On Wine the folders below are watched only once opened: the
// walk that follows (of the baseline, or the rescan when a folder is watched again) opens them.
int WatchPath(WatchedFolder *folder);

// Sets up folder for the folder name (relative ones lie in the current folder) and watches it; the
// files there now are noted, so that a rescan need not read them. 0 with the error set otherwise.
int OpenFolder(const char *name, WatchedFolder *folder);
