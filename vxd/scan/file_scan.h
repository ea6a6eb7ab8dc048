// One file on its way through the scan's steps, as the steps (scan_file.cpp) and the reading of
// the bytes they need (read_bytes.cpp) share it; the scan thread's.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "vxd/common/names.h"
#include "vxd/options/options.h"
#include "vxd/queue/versions.h"

constexpr size_t READ_LIMIT = 64u << 20;    // larger files: only what the built-in rule needs
constexpr size_t NAME_SIZE = 1024;          // a found name in OEM, as the alert shows it: the file's, or
                                            // the archive's and a member's
constexpr size_t ANSI_PATH_SIZE = 3 * LONG_PATH_CHARS + 1;   // the longest path, in any ANSI code page

// One file on its way through the steps.
struct FileScan {
    const wchar_t *path;
    int fresh;                  // it arrived under a new name
    unsigned attempt;           // the tries that failed before
    char *ansiPath;             // the path in the ANSI code page (ANSI_PATH_SIZE bytes)
    int named;                  // ansiPath holds the whole name
    ScanOptions options;        // the settings in force when it was chosen
    int wanted;                 // the scan type chooses it (else it is only looked into)
    HANDLE file;                // open from Open until it is judged
    ScannedFile before;         // as it was opened
    ScannedVersion version;     // as it was read
    uint64_t size;
    size_t count;               // bytes read, in the current reading buffer
    int zip;                    // it holds a ZIP archive (at its start, or after bytes in front of
                                // it), and archives are looked into
    char knownThreat[128];      // found in this version before, under any name; "" when not
};
// The bytes the judging needs, read into the reading buffer (s->count of them), and whether they
// hold a ZIP archive (s->zip). *limit: as many as were asked for; a count that differs says the
// file changed while read. 0 with *error set when a read failed.
int ReadBytes(FileScan *s, size_t *limit, DWORD *error);
