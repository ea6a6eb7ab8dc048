// The engine's tables of daemons and of the files in their hands.
#include "vxd/engine/asks.h"

Daemon daemons[MAX_DAEMONS];
DaemonChoice choice;
Ask asks[MAX_ASKS];

int HeldBy(const Ask &a, int d, int s)
{
    return a.state == ASK_SENT && a.turn.daemon == d && a.session == s;
}

Daemon *DaemonOf(const Ask &a)
{
    return &daemons[a.turn.daemon];
}

Session *SessionOf(const Ask &a)
{
    return &daemons[a.turn.daemon].sessions[a.session];
}
