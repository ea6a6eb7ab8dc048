// What follows a file's verdict: the verdict remembered, the file counted as scanned, and a
// detection counted, journalled, reported, acted on and posted to the front end as WM_VIRUS_FOUND
// (the message the connect named) with the address of the file's OEM name. The scan thread's, but
// for PrepareDetections.
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

// The verdict on version, the file read at path (ansiPath in the journal): remembered (a file the
// built-in rule alone passed while no daemon answered is kept to be made up); the file counted as
// scanned (lastFile, the counter, the blink and the journal); and a detection counted, journalled,
// reported, acted on, and the front end told under the name it was found by (foundName, ANSI;
// foundOem, OEM: the file's, or the archive's and a member's).
void FollowVerdict(const wchar_t *path, const ScannedVersion &version, const char *ansiPath, const char *foundName,
                   const char *foundOem, const Verdict &verdict, const ScanOptions &options);
