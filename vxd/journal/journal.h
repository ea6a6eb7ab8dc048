// The driver's journal: one line per control code, scan and detection, for tests and diagnosis,
// written only when the configuration names a file (config.journal).
#pragma once
#include <cstdint>

#include "vxd/common/text.h"

void InitJournal(void);                  // once, when the DLL is loaded

// Appends one line (a line feed is added) and closes the file again, so every line is on disk at
// once. Any thread may write.
void JournalLine(const char *format, ...) __attribute__((format(printf, 1, 2)));

// The line for one control code, extra appended (see vxd/journal/journal_line.h).
void JournalControl(uint32_t code, int result, const char *extra);

// Starts, once, the thread that writes a STATUS line whenever the front end changes enabled,
// onShutdown or floppyBoot.
void StartStatusThread(void);

// 1 when the file is the journal, by whatever name it was reached (never scanned, or every line
// would be scanned again).
int IsJournalFile(HANDLE file, DWORD indexHigh, DWORD indexLow);

// The driver is being unloaded, with the process or alone: from now on a line is written only
// when the journal is free (a thread that held it may have been ended with the process).
void UnloadJournal(void);
// Then, last, the journal is let go (unless a thread ended with the process holds it: the process's
// end closes it).
void CloseJournal(void);
