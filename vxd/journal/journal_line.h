// The control-code lines of the driver's journal. No windows.h: built natively for the unit tests.
#pragma once
#include <cstddef>
#include <cstdint>

#include "driver/status_block.h"

// "CTL_CONNECT" to "CTL_TOGGLE" for the eleven codes the front end sends, nullptr for any other.
const char *ControlName(uint32_t code);

// Formats the line for one control code into out, without a line end:
//   <NAME> result=<0|1> enabled=<n> showIcon=<n> logToFile=<n> blinkCount=<n> filesScanned=<n><extra>
// NAME is ControlName(code), or "CODE_0x<hex>" (upper-case digits) for an unknown code; the numbers
// are read from block (0 when block is null); extra (may be null) is appended as given.
// Returns 1, or 0 when the line had to be cut to fit.
int FormatControlLine(char *out, size_t size, uint32_t code, int result, const StatusBlock *block,
                      const char *extra);
