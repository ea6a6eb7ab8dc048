// The files held open without sharing to deny access to them, for as long as the driver runs (up
// to 4096 of them, HeldRoom). The scan thread's only.
#pragma once
#include <windows.h>

#include "vxd/queue/versions.h"

// 1 when the file at path now is one the driver holds open to deny access to it (it is not scanned
// again). A new file under a held name is not: it is scanned like any other.
int IsHeld(const wchar_t *path);

// Keeps file (open without sharing) for as long as the driver runs. 1 when kept; 0 with the file
// closed and the error set when too many are held.
int Hold(const wchar_t *path, HANDLE file);

// Holds the file scanned at path open with no sharing, so no one else can open, change or delete
// it. 1 when held (or held already).
int Deny(const wchar_t *path, const ScannedFile &scanned);

// Denies access to what could not be removed: through file when it is still open. 1 when denied.
int DenyRemaining(const wchar_t *path, const ScannedFile &scanned, HANDLE file);
