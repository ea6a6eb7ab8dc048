// The engine's tables: the daemons with their sessions and states, and the files in their hands
// (asks), set up once from ClamdHost. Program-wide within the engine; the scan thread's only.
#pragma once
#include <winsock2.h>

#include <cstddef>
#include <string>

#include "vxd/engine/daemon_choice.h"
#include "vxd/engine/engine.h"
#include "vxd/engine/session.h"

constexpr int MAX_ASKS = ENGINE_WINDOW + 1;  // the scan thread's window, and an archive's member

struct Daemon {
    DaemonAddress address;
    int resolved;                // for a daemon named by a host name: 1 while address.ip holds what
                                 // the name resolved to, until the daemon's next fault
    Session sessions[MAX_ASKS];  // there is always one without a file
};

enum { ASK_FREE, ASK_SENT, ASK_AGAIN, ASK_ANSWERED, ASK_NONE };

struct Ask {
    int state;
    const unsigned char *bytes;  // the caller's, until the verdict is taken
    size_t count;
    std::string label;
    DaemonTurn turn;            // the daemon that has it, or that is asked next
    int session;                // the session of that daemon that has it
    unsigned long id;           // its number in that daemon's session
    int whole;                  // 1 once the daemon took the whole stream, to its end
    DWORD sentAt;               // GetTickCount when it was sent: its answer is due
                                // config.clamdTimeout ms later
    int verdict;                // CLAMD_CLEAN ... once answered
    char name[128];             // the signature's name
    std::string reply;          // the answer, when the daemon could not scan the stream
};

extern Daemon daemons[MAX_DAEMONS];
extern DaemonChoice choice;         // which daemon gets a file; choice.count daemons are set up
extern Ask asks[MAX_ASKS];

// Sets up the sockets and the daemons of ClamdHost, once; 1 when there are sockets and at least one
// daemon (else the built-in rule goes on alone, journalled).
int SetUpDaemons(void);

// 1 when daemon d has an address to connect to: a host name is resolved at the daemon's first
// connection and again at the first after each of its faults, so a server that moved is found; 0
// with *error set (a Winsock error) when the name does not resolve to an IPv4 address.
int ResolveDaemon(int d, int *error);

// No daemon could take a file, for why (error): journalled once until one answers again.
void NoneAnswers(const char *why, int error);

// 1 when a is in the hands of session s of daemon d.
int HeldBy(const Ask &a, int d, int s);

// The daemon and the session that have a.
Daemon *DaemonOf(const Ask &a);
Session *SessionOf(const Ask &a);
