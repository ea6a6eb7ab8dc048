// Which daemon a file goes to: the daemons of ClamdHost in turn, a file that a daemon failed
// handed to the next, a faulted daemon left alone for a while and then asked again, and the built-in
// rule alone while none answers. The one place these are decided; no windows.h, no sockets, the
// time handed in (GetTickCount's milliseconds), so it builds natively for the unit tests.
#pragma once
#include <cstdint>

#include "vxd/engine/daemon_list.h"

// One daemon's state.
struct DaemonState {
    int outage;                 // 1 from a fault until it answers again
    uint32_t lastFault;         // the time of the fault that began or continued the outage
};

// The daemons and the turn.
struct DaemonChoice {
    int count;                  // daemons named, at most MAX_DAEMONS
    uint32_t retryMs;           // a faulted daemon is left alone this long
    int rotation;               // the daemon asked first for the next file
    int noneAnswers;            // 1 from a file no daemon took until one answers again
    DaemonState daemons[MAX_DAEMONS];
};

// A fresh table of count daemons, none faulted.
DaemonChoice MakeDaemonChoice(int count, uint32_t retryMs);

// One file's way through the daemons.
struct DaemonTurn {
    int daemon;                 // the daemon that has it, or that is asked next
    int faults;                 // daemons that failed it: when every one has, none answers
};

// A new file's turn: the files are spread over the daemons in turn.
DaemonTurn FirstTurn(DaemonChoice *choice);

// The daemon to ask for the file at now: the first from turn.daemon on that is not in an outage or
// has been left alone for retryMs. -1 when every daemon failed the file or none may be asked now.
int NextDaemon(const DaemonChoice &choice, const DaemonTurn &turn, uint32_t now);

// The daemon that had the file failed it: it goes to the next one.
void PassOn(const DaemonChoice &choice, DaemonTurn *turn);

// Daemon i faulted at now. 1 when this begins its outage (the fault is journalled once).
int DaemonFaulted(DaemonChoice *choice, int i, uint32_t now);

// Daemon i answered. 1 when this ends its outage (journalled: it answers again).
int DaemonAnswered(DaemonChoice *choice, int i);

// No daemon could take a file: the built-in rule goes on alone. 1 the first time until a daemon
// answers again (journalled once).
int NoneAnswered(DaemonChoice *choice);
