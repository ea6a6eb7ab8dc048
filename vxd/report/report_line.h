// The lines of the report file, chosen by logMask. No windows.h: built natively for the unit tests.
#pragma once
#include <cstddef>
#include <cstdint>

#include "driver/status_block.h"   // the LOG_ bits of logMask

// Formats the entry line "[<when>  ][<user>  ]<text>" into out (no line end) when mask selects
// kind (one of the six LOG_ kinds of logMask); when is "YYYY-MM-DD hh:mm:ss", user the logged-on name
// (each may be null). Returns 1 when a line was made, 0 (out empty) when mask does not select
// kind. A line that does not fit is cut.
int FormatReportEntry(char *out, size_t size, uint32_t mask, uint32_t kind, const char *when, const char *user,
                      const char *text);

// The settings in force, in words, for the LOG_SETTINGS line: what is scanned, when, inside
// archives or not, the action (with the move folder), only-log, the list in force and the
// exclusions. inUse and exclusions are the driver's copies of the two lists.
void FormatSettingsText(char *out, size_t size, const StatusBlock *block, const char *inUse, const char *exclusions);

// The counters for the LOG_SUMMARY line, and how many lines of the report could not be written
// (unwritten), when any.
void FormatSummaryText(char *out, size_t size, const StatusBlock *block, unsigned unwritten);
