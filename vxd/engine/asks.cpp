// The engine's tables of daemons and of the files in their hands, set up once from ClamdHost.
#include "vxd/engine/asks.h"

#include <cstring>

#include "vxd/config/config.h"
#include "vxd/journal/journal.h"

Daemon daemons[MAX_DAEMONS];
DaemonChoice choice;
Ask asks[MAX_ASKS];

enum { NOT_SET_UP, SET_UP, UNUSABLE };
static int setUp;               // the sockets and the list of daemons, once

void NoneAnswers(const char *why, int error)
{
    if (NoneAnswered(&choice))
        JournalLine("ENGINE clamd unavailable: %s (error %d); the built-in rule goes on alone", why, error);
}

int SetUpDaemons(void)
{
    if (setUp != NOT_SET_UP)
        return setUp == SET_UP;
    setUp = UNUSABLE;
    WSADATA data;
    int error = WSAStartup(MAKEWORD(2, 2), &data);
    if (error != 0) {
        NoneAnswers("no sockets", error);
        return 0;
    }
    DaemonAddress list[MAX_DAEMONS];
    int ignored = 0;
    int count = ParseDaemonList(config.clamdHost, config.clamdPort, list, MAX_DAEMONS, &ignored);
    if (ignored > 0)
        JournalLine("ENGINE ClamdHost %s: %d entries ignored", config.clamdHost, ignored);
    choice = MakeDaemonChoice(count, config.clamdRetry);
    for (int i = 0; i < count; i++) {
        daemons[i] = {};
        daemons[i].address = list[i];
        for (Session &session : daemons[i].sessions)
            session.socket = INVALID_SOCKET;
    }
    if (count == 0) {
        NoneAnswers("ClamdHost names no daemon", 0);
        return 0;
    }
    setUp = SET_UP;
    return 1;
}

// gethostbyname rather than getaddrinfo: Windows 95/98's Winsock has only the former. Its answer
// lives in a buffer of the thread's, copied out at once.
int ResolveDaemon(int d, int *error)
{
    Daemon *daemon = &daemons[d];
    if (!daemon->address.byName || daemon->resolved)
        return 1;
    const hostent *host = gethostbyname(daemon->address.host);
    if (host == nullptr || host->h_addrtype != AF_INET || host->h_length != 4 || host->h_addr_list[0] == nullptr) {
        *error = host == nullptr ? WSAGetLastError() : WSANO_DATA;
        return 0;
    }
    std::memcpy(daemon->address.ip, host->h_addr_list[0], 4);
    daemon->resolved = 1;
    return 1;
}

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
