// The files judged by the built-in rule alone while no daemon answered: kept (at most 4096; beyond
// that the watched folder is walked again later) and scanned again as soon as a daemon answers.
// The scan thread's only.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Keeps path to be made up.
void NoteUnconfirmed(const wchar_t *path);

// Milliseconds until a kept file should be tried again; INFINITE when none is kept.
DWORD MakeUpDueMs(void);

// The files to scan again now, all of them, once a daemon answers again: asked while none does, now
// and then (ClamdRetry, at least a second), without sending a file. 0 when there are none yet.
int TakeMakeUp(std::vector<std::wstring> *paths);
