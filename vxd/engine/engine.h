// The outside engine: ClamAV daemons over TCP, configured by Engine=clamd and asked from the scan
// thread only.
#pragma once
#include <cstddef>

// Files the scan thread may leave in the daemons' hands at once: while a daemon scans a large one,
// the next files are read, sent and judged beside it, and by the time the scan thread waits for an
// answer it has mostly come (under Wine a wait that has to sleep costs several calls into the
// server).
constexpr int ENGINE_WINDOW = 6;

// Hands count bytes (label names them in the journal) to a daemon and returns the ticket for its
// verdict; the bytes must stay as they are until EngineVerdict has taken it. 0 when nothing was
// asked (not configured, too large, no daemon answers): the built-in rule judges alone. At most
// ENGINE_WINDOW + 1 tickets are out at once.
int EngineBegin(const unsigned char *bytes, size_t count, const char *label);

// Waits for the verdict of ticket, which is spent then. A daemon that fails hands the bytes, whole,
// to the next one that answers. 1 with *found and name (the signature's name, cut to nameSize)
// when a daemon judged them; 0 when none could (every daemon faulted, or the daemon could not scan
// them: journalled). No single wait is longer than config.clamdTimeout.
int EngineVerdict(int ticket, int *found, char *name, size_t nameSize);

// Waits until a file in the daemons' hands has its verdict (or none can be had) and returns its
// ticket, for EngineVerdict, which then waits no more; 0 when no file is in their hands. Verdicts
// come as the daemons finish, not in the order the files were handed over.
int EngineNext(void);

// Both at once.
int AskEngine(const unsigned char *bytes, size_t count, const char *label, int *found, char *name, size_t nameSize);
