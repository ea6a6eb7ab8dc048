// The driver's journal: one line per control code, scan and detection, for tests and diagnosis,
// written only when the configuration names a file (config.journal).
#pragma once
#include <cstdint>

void InitJournal(void);                  // once, when the DLL is loaded
void TakeJournalPath(void);              // after ReadConfig: notes the journal's full path

// Appends one line (a line feed is added) and closes the file again, so every line is on disk at
// once. Any thread may write.
void JournalLine(const char *format, ...) __attribute__((format(printf, 1, 2)));

// The line for one control code, extra appended (see vxd/journal/journal_line.h).
void JournalControl(uint32_t code, int result, const char *extra);

// Starts, once, the thread that writes a STATUS line whenever the front end changes enabled,
// onShutdown or floppyBoot.
void StartStatusThread(void);

// 1 when path is the journal (never scanned, or every line would be scanned again).
int IsJournalFile(const wchar_t *path);
