// What happens to an infected file, by the action in force: deny access, rename, move, delete,
// disinfect or report only. Scan thread only.
#pragma once
#include "vxd/options/options.h"

// Carries out options' action on the file at path (the alert and report name it by foundName)
// and writes the report's action line. Counts renamed, moved and deleted files.
void ActOnInfected(const wchar_t *path, const char *foundName, const ScanOptions &options);

// 1 when the driver holds path open to deny access to it (it is not scanned again).
int IsHeld(const wchar_t *path);
