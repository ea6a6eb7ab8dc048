// The report file named by logFileName: opened by CTL_LOG_START, the entries logMask selects,
// closed by CTL_LOG_STOP.
#pragma once
#include <cstdint>

#include "driver/status_block.h"   // the LOG_ kinds of an entry

void InitReport(void);                   // once, when the DLL is loaded
int StartReport(void);                   // 1 when the file is open and its opening lines written
int StopReport(void);                    // 1 when logging stopped (also when it had not started)

// Writes one entry of kind (a LOG_ bit of logMask) while logging, if logMask selects it.
void ReportEntry(uint32_t kind, const char *format, ...) __attribute__((format(printf, 2, 3)));

int IsReportFile(const wchar_t *path);   // 1 when path is the open report file
