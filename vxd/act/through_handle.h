// What an action does through the handle it checked: a rename, a removal, a copy to another
// volume, so that no other file can take the name's place meanwhile. Renames and deletes go through
// NtSetInformationFile: the Win32 calls for them are newer than the systems the driver builds for.
#pragma once
#include <windows.h>

#include <string>

#include "vxd/common/names.h"
#include "vxd/queue/versions.h"

constexpr size_t WIDE_PATH = LONG_PATH_CHARS + 1;   // a name an action works with, at most, with its end
constexpr size_t UTF8_PATH = 3 * WIDE_PATH;         // the same name in UTF-8 (or in any ANSI code page)

// Removes the file open as *file (no one else has it open): 0 when it is gone, else the error.
// The handle is closed (and *file invalid) once the removal was asked for; when the removal was
// refused, it stays open for denying access.
DWORD Remove(const wchar_t *path, const ScannedFile &scanned, HANDLE *file);

// How moving to a free name went.
enum { MOVE_FAILED, MOVE_RENAMED, MOVE_COPIED };

// Moves the file open as file to target or the first free name among its candidates (see
// FreeNameCandidate): renamed on the same volume, copied to another (taking the time written of
// the original). *moved receives the name taken; MOVE_FAILED with *error set otherwise.
int MoveToFreeName(HANDLE file, const wchar_t *target, FILETIME written, std::wstring *moved, DWORD *error);
