// Work the scan thread puts off until later (queue/retry), with the journal's lines for it.
#pragma once
#include <windows.h>

#include "vxd/queue/retry.h"

// Keeps work until later; journalled at its first wait and when the wait reaches its longest. When
// there is no room for it, its watched folder is walked again later instead (journalled). name and
// why say what waits, verb what follows ("read", "listed").
void Later(const PutOff &work, const char *name, const char *why, const char *verb);

// Puts off reading path (attempt: the tries that failed before this one) until it can be read
// whole; fresh as it was queued.
void ReadLater(const wchar_t *path, const char *ansiPath, int fresh, unsigned attempt, const char *why);
void ReadErrorLater(const wchar_t *path, const char *ansiPath, int fresh, unsigned attempt, DWORD error);
