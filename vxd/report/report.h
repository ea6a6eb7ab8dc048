// The report file named by logFileName: opened by CTL_LOG_START, the entries logMask selects,
// closed by CTL_LOG_STOP.
#pragma once
#include <cstddef>
#include <cstdint>

#include "driver/status_block.h"   // the LOG_ kinds of an entry
#include "vxd/common/text.h"

// Room for the text of one entry: the settings with both lists in full, or an action's line with
// the found name and the name the file was moved to in full (an entry is never cut).
constexpr size_t REPORT_TEXT_SIZE = 196 * 1024;   // two names of the longest path, in any code page

void InitReport(void);                   // once, when the DLL is loaded
int StartReport(void);                   // 1 when the file is open and its opening lines written
int StopReport(void);                    // 1 when logging stopped (also when it had not started)

// The DLL is being unloaded (processEnding: with the process, its other threads ended already): a
// running report gets its summary and closing line, and is closed.
void EndReportAtUnload(int processEnding);

// Writes one entry of kind (a LOG_ bit of logMask) while logging, if logMask selects it.
void ReportEntry(uint32_t kind, const char *format, ...) __attribute__((format(printf, 2, 3)));

// 1 when file (open, of index indexHigh:indexLow) is the open report, by whatever name.
int IsReportFile(HANDLE file, DWORD indexHigh, DWORD indexLow);
