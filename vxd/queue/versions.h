// The memory of the file versions scanned: a single write sends several notifications, and the
// file is scanned once. The scan thread's only.
#pragma once
#include <windows.h>

#include <cstdint>

// 1 when this version of the file (size, time written) was scanned already; otherwise notes it
// and returns 0.
int ScannedLately(const wchar_t *path, uint64_t size, FILETIME written);

// Notes the file at path as scanned as it is now (a file the driver renamed or moved there).
void NoteScanned(const wchar_t *path);
