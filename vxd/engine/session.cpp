// One connection to a ClamAV daemon: connecting within the time limit, the session's command and
// the parts of an INSTREAM command.
#include "vxd/engine/session.h"

#include <cstring>

#include "vxd/engine/clamd_reply.h"

// Waits up to timeoutMs for the connect of s that was begun without blocking. 0 with *error set
// when it failed or took too long.
static int ConnectDone(SOCKET s, DWORD timeoutMs, int *error)
{
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval limit = {static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    int ready = select(0, nullptr, &writable, &failed, &limit);
    int soError = 0;
    int soLength = sizeof soError;
    getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&soError), &soLength);
    if (ready <= 0 || !FD_ISSET(s, &writable) || soError != 0) {
        *error = ready == 0 ? WSAETIMEDOUT : (soError != 0 ? soError : WSAGetLastError());
        return 0;
    }
    return 1;
}

// A socket connected to address within timeoutMs, or INVALID_SOCKET with *error set.
static SOCKET Connect(const DaemonAddress &address, DWORD timeoutMs, int *error)
{
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<u_short>(address.port));
    std::memcpy(&to.sin_addr, address.ip, 4);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        *error = WSAGetLastError();
        return s;
    }
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    if (connect(s, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
        *error = WSAGetLastError();
        if (*error != WSAEWOULDBLOCK || !ConnectDone(s, timeoutMs, error)) {
            closesocket(s);
            return INVALID_SOCKET;
        }
    }
    nonBlocking = 0;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    return s;
}

int OpenSession(const DaemonAddress &address, DWORD timeoutMs, Session *session, int *error)
{
    SOCKET s = Connect(address, timeoutMs, error);
    if (s == INVALID_SOCKET)
        return 0;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&timeoutMs), sizeof timeoutMs);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char *>(&timeoutMs), sizeof timeoutMs);
    // A stream's end is four bytes: sent at once, not held back until the daemon acknowledges.
    BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&noDelay), sizeof noDelay);
    static const char command[] = "zIDSESSION";   // with its NUL: the z form ends lines with NUL
    if (send(s, command, sizeof command, 0) != static_cast<int>(sizeof command)) {
        *error = WSAGetLastError();
        closesocket(s);
        return 0;
    }
    session->socket = s;
    session->nextId = 1;
    session->served = 0;
    session->partialLength = 0;
    session->lastUse = GetTickCount();
    return 1;
}

void CloseSession(Session *session)
{
    closesocket(session->socket);
    session->socket = INVALID_SOCKET;
    session->partialLength = 0;
}

int Readable(const Session &session)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(session.socket, &readable);
    timeval none = {0, 0};
    return select(0, &readable, nullptr, nullptr, &none) > 0;
}

int SendStreamPart(Session *session, const unsigned char *bytes, size_t count, size_t offset, size_t chunk, int *error)
{
    static char command[] = "zINSTREAM";
    static char end[4] = {0, 0, 0, 0};
    unsigned char header[4];
    ClamdChunkHeader(static_cast<unsigned long>(chunk), header);
    WSABUF parts[4];
    DWORD n = 0;
    if (offset == 0)
        parts[n++] = {sizeof command, command};
    if (chunk > 0) {
        parts[n++] = {4, reinterpret_cast<char *>(header)};
        parts[n++] = {static_cast<ULONG>(chunk), reinterpret_cast<char *>(const_cast<unsigned char *>(bytes + offset))};
    }
    if (offset + chunk == count)
        parts[n++] = {sizeof end, end};
    DWORD sent = 0;
    if (WSASend(session->socket, parts, n, &sent, 0, nullptr, nullptr) != 0) {
        *error = WSAGetLastError();
        return 0;
    }
    return 1;
}

int PingDaemon(const DaemonAddress &address, DWORD timeoutMs, int *error)
{
    SOCKET s = Connect(address, timeoutMs, error);
    if (s == INVALID_SOCKET)
        return 0;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&timeoutMs), sizeof timeoutMs);
    static const char command[] = "zPING";   // with its NUL
    char answer[8] = {};
    int got = 0;
    if (send(s, command, sizeof command, 0) == static_cast<int>(sizeof command)) {
        for (int n = 1; n > 0 && got < static_cast<int>(sizeof answer) - 1 && std::memchr(answer, 0, got) == nullptr;
             got += n > 0 ? n : 0)
            n = recv(s, answer + got, static_cast<int>(sizeof answer) - 1 - got, 0);
    }
    *error = WSAGetLastError();
    closesocket(s);
    return got >= 5 && std::memcmp(answer, "PONG", 5) == 0;
}
