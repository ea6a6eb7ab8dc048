// What the daemons' sessions bring: answers matched to the files in their hands, and the end of a
// session with what it means for those files (asked again, or the daemon's fault).
#pragma once
#include "vxd/engine/asks.h"

// Daemon d faulted (what, error): journalled once per outage; left alone for a while.
void Fault(int d, const char *what, int error);

// The daemon that had a failed it: it goes to the next daemon.
void FailAsk(Ask *a);

// Session s of daemon d is over (closed, broken, silent or talking nonsense), and the file it had
// goes again. A daemon lets a session go (after refusing a stream, or idle for long): a session that
// served and then only closed (closedOnly) is opened afresh for it. Anything else is the daemon's
// fault, and the file goes to the next daemon.
void EndSession(int d, int s, const char *what, int error, int closedOnly);

// Takes what session s of daemon d has brought (readable, or waiting up to its time limit): every
// whole answer in it, and its end when the daemon closed it.
void TakeAnswers(int d, int s);

// Takes what the session has brought already, without waiting.
void TakeArrived(int d, int s);
