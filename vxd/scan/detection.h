// What follows a file's verdict: the file counted as scanned, and a detection counted, journalled,
// reported, acted on and posted to the front end as WM_VIRUS_FOUND (the message the connect named)
// with the address of the file's OEM name. The scan thread's, but for PrepareDetections.
#pragma once
#include "vxd/options/options.h"
#include "vxd/queue/versions.h"
#include "vxd/scan/judge.h"

// Sets aside, once, the slots the names wait in (below 4 GB); before the first detection.
void PrepareDetections(void);

// 1 when what follows a detection opens the file and compares it with the version scanned, volume
// and all: only then is the volume asked for (under Wine a call into another process, slower than
// reading a small file). Reporting alone needs none.
int ActionComparesFile(const ScanOptions &options);

// The file counts as scanned once judged: lastFile, the counter, the blink and the journal.
void CountScanned(const wchar_t *path, const char *ansiPath);

// A detection of the file scanned at path (version): counted, journalled, reported and acted on,
// and the front end told under the name it was found by (foundName, ANSI; oemName, OEM).
void Detect(const wchar_t *path, const ScannedVersion &version, const char *foundName, const char *oemName,
            const Verdict &verdict, const ScanOptions &options);
