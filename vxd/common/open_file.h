// Opening a file or a folder by the exact name the watch or a walk reported: in the long "\\?\"
// form, so that trailing dots and blanks, device names ("nul.com") and paths up to the system's
// limit are what they are; and a name that even that form cannot take (one written by another
// system, holding "?", "*" or a backslash) by the file's identity in a listing of its folder. The
// listings of folders, read with NtQueryDirectoryFile.
#pragma once
#include <windows.h>
#include <winternl.h>

// Opens the file at path (a full path) with access and share, as CreateFileW with OPEN_EXISTING
// would (a folder does not open so, with ERROR_ACCESS_DENIED as there). INVALID_HANDLE_VALUE with
// *error set otherwise; ERROR_FILE_NOT_FOUND when no name that could be meant is there.
HANDLE OpenFileToScan(const wchar_t *path, DWORD access, DWORD share, DWORD *error);

// Opens the folder at path to list it (shared with everyone), the same way.
HANDLE OpenFolderToList(const wchar_t *path, DWORD *error);

// The attributes of whatever is at path, the same way; INVALID_FILE_ATTRIBUTES with *error set.
DWORD AttributesOf(const wchar_t *path, DWORD *error);

// One entry of a listing: 1 goes on, 0 stops the listing.
typedef int (*EntryVisit)(const FILE_ID_BOTH_DIR_INFORMATION &entry, void *context);

// Lists the folder open as folder (a handle of its own, as the first mask given to a handle is the
// one it keeps), only the names that mask (may be null: all) matches, "." and ".." left out. 1
// when the listing was read to its end or visit stopped it; 0 with *error set when it failed.
// The scan thread's only, one listing at a time: visit lists nothing itself.
int ListEntries(HANDLE folder, const wchar_t *mask, EntryVisit visit, void *context, DWORD *error);
