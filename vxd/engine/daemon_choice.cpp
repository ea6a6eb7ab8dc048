// Which daemon a file goes to, after which fault, and when a faulted daemon is asked again.
#include "vxd/engine/daemon_choice.h"

DaemonChoice MakeDaemonChoice(int count, uint32_t retryMs)
{
    DaemonChoice choice = {};
    choice.count = count < 0 ? 0 : (count > MAX_DAEMONS ? MAX_DAEMONS : count);
    choice.retryMs = retryMs;
    return choice;
}

DaemonTurn FirstTurn(DaemonChoice *choice)
{
    DaemonTurn turn = {choice->rotation, 0};
    if (choice->count > 0)
        choice->rotation = (choice->rotation + 1) % choice->count;
    return turn;
}

// Counted in unsigned milliseconds, so that the time may wrap round (every 49.7 days).
static int MayAsk(const DaemonChoice &choice, int i, uint32_t now)
{
    const DaemonState &d = choice.daemons[i];
    return !d.outage || now - d.lastFault >= choice.retryMs;
}

int NextDaemon(const DaemonChoice &choice, const DaemonTurn &turn, uint32_t now)
{
    if (turn.faults >= choice.count)
        return -1;
    for (int n = 0; n < choice.count; n++) {
        int i = (turn.daemon + n) % choice.count;
        if (MayAsk(choice, i, now))
            return i;
    }
    return -1;
}

void PassOn(const DaemonChoice &choice, DaemonTurn *turn)
{
    turn->faults++;
    if (choice.count > 0)
        turn->daemon = (turn->daemon + 1) % choice.count;
}

int DaemonFaulted(DaemonChoice *choice, int i, uint32_t now)
{
    DaemonState &d = choice->daemons[i];
    int begins = !d.outage;
    d.outage = 1;
    d.lastFault = now;
    return begins;
}

int DaemonAnswered(DaemonChoice *choice, int i)
{
    int ends = choice->daemons[i].outage;
    choice->daemons[i].outage = 0;
    choice->noneAnswers = 0;
    return ends;
}

int NoneAnswered(DaemonChoice *choice)
{
    int begins = !choice->noneAnswers;
    choice->noneAnswers = 1;
    return begins;
}
