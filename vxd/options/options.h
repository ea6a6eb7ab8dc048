// The driver's copies of the settings the front end hands over: taken over from the shared record
// at the control codes, read by the scan thread, so that they do not change under a scan.
#pragma once
#include <cstddef>
#include <cstdint>

#include "driver/status_block.h"

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

// The three take-overs, from sharedBlock; journal 1 names the lists taken in the journal (not at
// the connect, whose own line comes first).
void TakeScanOptions(int journal);       // CTL_SCAN_OPTIONS_CHANGED (and the connect)
void TakeActionOptions(void);            // CTL_ACTION_OPTIONS_CHANGED (and the connect)
void TakeExclusions(int journal);        // CTL_EXCLUSIONS_CHANGED (and the connect)

// A copy of the settings in force; takes over the list in force first when the front end has
// changed it in its buffer (the Extensions dialog sends no code).
void CurrentOptions(ScanOptions *out);

// 1 when the file at path (its full name as the file system gives it) is excluded by the
// exclusions taken over last, compared in UTF-16 without regard to case.
int IsExcludedPath(const wchar_t *path);

// The ANSI copies of the two lists, for the report's settings line.
void OptionLists(char *inUse, size_t inUseSize, char *exclusions, size_t exclusionsSize);
