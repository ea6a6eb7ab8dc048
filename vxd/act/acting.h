// What every action shares: the record it works with, opening the file scanned (put off while
// another program holds it, and tried again), counting, and the fall-back of denying access
// instead, each with its journal and report lines. The scan thread's only.
#pragma once
#include <windows.h>

#include <cstdint>

#include "vxd/queue/versions.h"

constexpr DWORD ACT_ACCESS = GENERIC_READ | DELETE | SYNCHRONIZE;

// What an action works with.
struct Acting {
    const wchar_t *path;
    const ScannedVersion &version;   // the file scanned
    const char *foundName;           // what the detection was reported by
    uint32_t action;
    const char *moveDir;
    unsigned attempt;                // the tries that were refused before
};

// Adds one to a counter of the shared record.
void CountAction(volatile uint32_t *counter);

// The name in the ANSI code page, for the report and the journal.
void AnsiName(const wchar_t *path, char *out, size_t size);

// Opens the file scanned for an action with access. OPENED; FAILED with *error set; or an outcome
// dealt with already: REFUSED and put off (the action is tried again later), GONE or CHANGED and
// reported as report line kind with failure's words ("Not deleted").
int OpenToAct(const Acting &a, DWORD access, uint32_t kind, const char *failure, HANDLE *file, DWORD *error);

// The fall-back after an action that could not be done (cause): deny access, and say so.
void DenyInstead(const Acting &a, uint32_t kind, const char *failure, DWORD cause);
