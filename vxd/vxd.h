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
    int engineClamd;          // Engine=clamd: ask a ClamAV daemon as well as the built-in rule
    char clamdHost[64];       // ClamdHost: numeric IPv4 address, 127.0.0.1 by default
    uint32_t clamdPort;       // ClamdPort, 3310 by default
    uint32_t clamdTimeout;    // ClamdTimeout: ms the daemon may take for connect, send and answer
    uint32_t clamdRetry;      // ClamdRetry: ms after an outage before the daemon is asked again
    uint32_t clamdMaxBytes;   // ClamdMaxBytes: larger files and members are not sent to the daemon
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
// Starts, once, the thread that writes a STATUS line whenever the front end changes enabled,
// onShutdown or floppyBoot.
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
int StartReport(void);                   // 1 when the file is open and its opening lines written
int StopReport(void);                    // 1 when logging stopped (also when it had not started)
// Writes one entry of kind (a LOG_ bit of vxd/report_line.h) while logging, if logMask selects it.
void ReportEntry(uint32_t kind, const char *format, ...) __attribute__((format(printf, 2, 3)));
int IsReportFile(const wchar_t *path);   // 1 when path is the open report file

// --- options.cpp: the driver's copies of the settings the front end hands over ---
// The settings a scan works with, taken over at the control codes (the list in force also when
// it changes in place).
struct ScanOptions {
    uint32_t scanType;
    uint32_t scanOn;
    uint32_t archives;
    uint32_t action;
    uint32_t onlyLog;
    char moveDir[sizeof(StatusBlock::moveDir)];
    char inUse[IN_USE_SIZE];
};
void InitOptions(void);                  // once, when the DLL is loaded
// The three take-overs; journal 1 names the lists taken in the journal (not at the connect, whose
// own line comes first).
void TakeScanOptions(int journal);       // CTL_SCAN_OPTIONS_CHANGED (and the connect)
void TakeActionOptions(void);            // CTL_ACTION_OPTIONS_CHANGED (and the connect)
void TakeExclusions(int journal);        // CTL_EXCLUSIONS_CHANGED (and the connect)
// A copy of the settings in force; takes over the list in force first when the front end has
// changed it in its buffer (the Extensions dialog sends no code).
void CurrentOptions(ScanOptions *out);
int IsExcludedPath(const char *path);    // by the exclusions taken over last
// The ANSI copies of the two lists, for the report's settings line.
void OptionLists(char *inUse, size_t inUseSize, char *exclusions, size_t exclusionsSize);

// --- watcher.cpp ---
void InitWatcher(void);                  // once, when the DLL is loaded
// Opens the configured folders and starts watching them, once; watching has begun on return.
void StartWatchers(void);
// 1 when this version of the file (size, time written) was scanned already; otherwise notes it
// and returns 0. Scan thread only.
int ScannedLately(const wchar_t *path, uint64_t size, FILETIME written);
// Notes the file at path as scanned as it is now (a file the driver renamed or moved there).
void NoteScanned(const wchar_t *path);
// Queues every file below folder for a scan (a folder moved or copied in brings its files along,
// and the watch reports only the folder).
void QueueFolderContents(const wchar_t *folder);
// Posts WM_VIRUS_FOUND with the OEM name to the front end (the name waits in a slot).
void PostDetection(const char *oemName);

// --- scan.cpp: one file, on the scan thread ---
void InitScanner(void);                  // once, when the DLL is loaded
// Scans the file at path if the settings ask for it; fresh: it arrived under a new name.
void ScanFile(const wchar_t *path, int fresh);

// --- actions.cpp: what happens to an infected file, on the scan thread ---
void InitActions(void);                  // once, when the DLL is loaded
// Carries out options' action on the file at path (the alert and report name it by foundName)
// and writes the report's action line. Counts renamed, moved and deleted files.
void ActOnInfected(const wchar_t *path, const char *foundName, const ScanOptions &options);
// 1 when the driver holds path open to deny access to it (it is not scanned again).
int IsHeld(const wchar_t *path);

// --- engine.cpp: a ClamAV daemon over loopback TCP ---
// Asks the daemon about bytes; 1 with *found and name (signature name) set when it answered,
// 0 when it was not asked (not configured, outage, too large) or did not answer sensibly; the
// fault is journalled once per outage. Never waits longer than config.clamdTimeout per step.
int AskEngine(const unsigned char *bytes, size_t count, const char *label, int *found, char *name, size_t nameSize);

// --- text.cpp ---
// Converts wide text into code page codePage at out (size bytes), cutting whole characters so the
// result always fits and is terminated; unconvertible characters become the code page's default.
// Returns 1 when all of it fit.
int WideToCodePage(UINT codePage, const wchar_t *text, char *out, size_t size);
// The full path of an ANSI path in wide form (out of size characters); 0 when it fails.
int FullPathWide(const char *path, wchar_t *out, size_t size);
// UTF-8 and back, for the pure name rules; 0 when the text does not fit out.
int WideToUtf8(const wchar_t *text, char *out, size_t size);
int Utf8ToWide(const char *text, wchar_t *out, size_t size);
