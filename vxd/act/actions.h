// What happens to an infected file, by the action in force: deny access, rename, move, delete,
// disinfect or report only. Scan thread only.
#pragma once
#include <cstdint>

#include "vxd/queue/retry.h"
#include "vxd/queue/versions.h"

// Carries out action (with moveDir for a move) on version, the file scanned at path (the alert and
// the report name it by foundName), and writes the report's action line. It acts only on that
// file: when the name refers to another file or version by now, nothing is touched and the report
// says so. An action refused because another program holds the file is put off and tried again
// (ActAgain) until it is done or the file gone; the report says how it ended. Counts renamed,
// moved and deleted files.
void ActOnInfected(const wchar_t *path, const ScannedVersion &version, const char *foundName, uint32_t action,
                   const char *moveDir);

// Tries again an action put off (work.kind PUT_OFF_ACTION).
void ActAgain(const PutOff &work);
