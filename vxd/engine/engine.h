// The outside engine: a ClamAV daemon over loopback TCP, configured by Engine=clamd and asked from
// the scan thread only.
#pragma once
#include <cstddef>

// Asks the daemon about bytes; 1 with *found and name (signature name) set when it answered,
// 0 when it was not asked (not configured, outage, too large) or did not answer sensibly; the
// fault is journalled once per outage. Never waits longer than config.clamdTimeout per step.
int AskEngine(const unsigned char *bytes, size_t count, const char *label, int *found, char *name, size_t nameSize);
