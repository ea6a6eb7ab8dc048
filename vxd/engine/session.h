// One connection to a ClamAV daemon: connected within a time limit, in a session (IDSESSION) of
// its own, carrying INSTREAM commands. The sockets only; which file goes where is the engine's.
#pragma once
#include <winsock2.h>

#include <cstddef>

#include "vxd/engine/daemon_list.h"

constexpr size_t REPLY_SIZE = 1024;         // an answer longer than this makes no sense

// One connection to a daemon, carrying one file at a time: a daemon holds back an answer until
// the one before it on the same connection is acknowledged, which a waiting reader does only after
// a delay, so two files never share a session at once.
struct Session {
    SOCKET socket;              // INVALID_SOCKET while none is open
    unsigned long nextId;       // the number the daemon gives the session's next command
    int served;                 // answers the session brought
    DWORD lastUse;              // GetTickCount of the session's last send or answer
    char partial[REPLY_SIZE];   // the beginning of an answer still coming
    size_t partialLength;
};

// Connects to the daemon at address within timeoutMs and begins the session; 0 with *error set
// otherwise. Sends and receives then give up after timeoutMs too.
int OpenSession(const DaemonAddress &address, DWORD timeoutMs, Session *session, int *error);

// Closes the session's connection; what was partly received is dropped.
void CloseSession(Session *session);

// 1 when the session has brought something (or closed), without waiting.
int Readable(const Session &session);

// Sends the part of a stream of count bytes from offset on, chunk bytes, each in one call: the
// command before the first part, and the stream's end after the last. 0 with *error set when the
// send failed.
int SendStreamPart(Session *session, const unsigned char *bytes, size_t count, size_t offset, size_t chunk, int *error);

// 1 when the daemon at address answers PING with PONG within timeoutMs, on a connection of its
// own; 0 with *error set otherwise.
int PingDaemon(const DaemonAddress &address, DWORD timeoutMs, int *error);
