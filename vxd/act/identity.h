// Whether the file a name leads to is still the file scanned (volume, file index, size, time
// written): an action works only through a handle checked so.
#pragma once
#include <windows.h>

#include "vxd/queue/versions.h"

// How opening the file scanned for an action went.
enum { OPENED, GONE, CHANGED, REFUSED, FAILED };

// Opens path with access and no sharing, and checks that it is still the file scanned. OPENED with
// *file open; REFUSED when another program holds it; GONE, CHANGED, or FAILED with *error set.
int OpenScanned(const wchar_t *path, const ScannedFile &scanned, DWORD access, HANDLE *file, DWORD *error);

// 1 when the file scanned is still at path (after it was to be removed).
int StillThere(const wchar_t *path, const ScannedFile &scanned);
