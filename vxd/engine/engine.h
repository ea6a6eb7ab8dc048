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
// asked (not configured, too large, no daemon answers): the built-in rule judges alone, and
// *outage is 1 when that is because no daemon answers. At most ENGINE_WINDOW + 1 tickets are out
// at once.
int EngineBegin(const unsigned char *bytes, size_t count, const char *label, int *outage);

// Waits for the verdict of ticket, which is spent then. A daemon that fails hands the bytes, whole,
// to the next one that answers. 1 with *found and name (the signature's name, cut to nameSize)
// when a daemon judged them; 0 when none could (every daemon faulted, or the daemon could not scan
// them: journalled), with *outage 1 when every daemon faulted. No single wait is longer than
// config.clamdTimeout.
int EngineVerdict(int ticket, int *found, char *name, size_t nameSize, int *outage);

// Waits until a file in the daemons' hands has its verdict (or none can be had) and returns its
// ticket, for EngineVerdict, which then waits no more; 0 when no file is in their hands. Verdicts
// come as the daemons finish, not in the order the files were handed over.
int EngineNext(void);

// Both at once.
int AskEngine(const unsigned char *bytes, size_t count, const char *label, int *found, char *name, size_t nameSize,
              int *outage);

// 1 while the engine is configured and at least one daemon answers (or none has been asked yet).
int EngineAnswers(void);

// While no daemon answers: asks each daemon that may be asked again whether it answers now (PING,
// no file sent). 1 when one does, which ends the outage (journalled as its answering again).
int EngineProbe(void);
