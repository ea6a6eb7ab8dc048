// The reference driver's own globals and procedures, grouped by the file that defines them.
// The front end never includes this header.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "driver/status_block.h"
#include "vxd/language_texts.h"

// --- control.cpp: entry and control-code dispatch ---
extern HMODULE driverModule;             // this DLL, recorded when it is loaded
extern StatusBlock *sharedBlock;         // the record the front end shares; null until the first connect
extern volatile LONG scanningEnabled;    // 1 between CTL_ENABLE and CTL_DISABLE; on from the start

// --- memory.cpp ---
// Zeroed, committed memory below 4 GB (so that 32-bit addresses reach it) that is never released.
// Ends the process with a message on stderr when no such memory can be had.
void *AllocateLow(size_t size);

// --- config.cpp: [Driver] of Torvane.ini beside the driver file, read at each connect ---
struct DriverConfig {
    int refuseConnect;        // RefuseConnect: refuse CTL_CONNECT
    int refuseWithoutRecord;  // RefuseWithoutRecord: a refusal names no StatusBlock (a faulty driver)
    char errorText[1024];     // ErrorText: the refusal text
    int refuseLanguage;       // RefuseLanguage: refuse every CTL_SELECT_LANGUAGE
    int refuseLogStart;       // RefuseLogStart
    int refuseLogStop;        // RefuseLogStop
    char journal[MAX_PATH];   // Journal, resolved against driverFolder; empty when none
    char watch[4096];         // Watch: semicolon-separated folders (relative ones in driverFolder),
                              // "none" or empty for none
    uint32_t startLanguage;   // StartLanguage, below languages
    uint32_t languages;       // Languages, 1 to DRIVER_LANGUAGES
    uint32_t blinkSteps;      // BlinkSteps: blinkCount set for each file scanned
    uint32_t notifyBuffer;    // NotifyBuffer: bytes each watch collects changes in (tests make it
                              // small to force overflows), 16 to 65536
};
extern DriverConfig config;
extern char driverFolder[MAX_PATH];      // folder of the driver file, with a trailing backslash

// Reads the configuration; missing keys and a missing file give the defaults.
void ReadConfig(void);

// --- journal.cpp: only when config.journal names a file ---
void InitJournal(void);                  // once, when the DLL is loaded
void TakeJournalPath(void);              // after ReadConfig: notes the journal's full path
// Appends one line (a line feed is added) and closes the file again, so every line is on disk at once.
void JournalLine(const char *format, ...) __attribute__((format(printf, 1, 2)));
// The line for one control code, extra appended (see vxd/journal_line.h).
void JournalControl(uint32_t code, int result, const char *extra);
// Starts, once, the thread that writes "STATUS enabled=<n>" whenever the front end changes enabled.
void StartStatusThread(void);
// 1 when path is the journal (never scanned, or every line would be scanned again).
int IsJournalFile(const wchar_t *path);

// --- languages.cpp ---
// Builds, once, the OEM LanguageTable of every language and the language list. Texts that code
// page 437 cannot hold are kept as written and named in the journal.
void BuildLanguageTables(void);
// Address of language id's table; 0 when there is none.
uint32_t LanguageTableAddress(uint32_t id);
// Address of the language list (592, 593, 594).
uint32_t LanguageListAddress(void);

// --- report.cpp: the report file named by logFileName ---
void InitReport(void);                   // once, when the DLL is loaded
int StartReport(void);                   // 1 when the file is open and its header written
int StopReport(void);                    // 1 when logging stopped (also when it had not started)
void ReportDetection(const char *path);  // one line per detection while logging with logMask 0x01
int IsReportFile(const wchar_t *path);   // 1 when path is the open report file

// --- watcher.cpp ---
void InitWatcher(void);                  // once, when the DLL is loaded
// Opens the configured folders and starts watching them, once; watching has begun on return.
void StartWatchers(void);
// Takes a copy of the ExclusionList the front end keeps in its buffer.
void TakeExclusions(void);

// --- text.cpp ---
// Converts wide text into code page codePage at out (size bytes), cutting whole characters so the
// result always fits and is terminated; unconvertible characters become the code page's default.
// Returns 1 when all of it fit.
int WideToCodePage(UINT codePage, const wchar_t *text, char *out, size_t size);
// The full path of an ANSI path in wide form (out of size characters); 0 when it fails.
int FullPathWide(const char *path, wchar_t *out, size_t size);
