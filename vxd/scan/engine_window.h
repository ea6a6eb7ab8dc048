// The files in the engine's hands: a daemon scans one while the scan thread reads and sends the
// next, up to ENGINE_WINDOW at once. Each waits here, open and with its bytes, until its verdict
// comes; then what follows it is done. The scan thread's only.
#pragma once
#include <windows.h>

#include <cstddef>

#include "vxd/options/options.h"
#include "vxd/queue/versions.h"

// Hands the file just read (the current reading buffer holds its count bytes; file is its handle,
// closed once it is judged) to the engine and leaves it there; 0 when the engine did not take it,
// with *outage 1 when that is because no daemon answered. Waits for earlier verdicts when the
// window is full, or when the files in it hold too much.
int HandToEngine(HANDLE file, const wchar_t *path, const ScannedVersion &version, const char *ansiPath,
                 const char *oemName, const ScanOptions &options, size_t count, int *outage);

// Waits for the verdicts until at most keep files are left in the engine's hands, and does what
// follows each.
void FinishPending(size_t keep);
