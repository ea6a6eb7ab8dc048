// The outside engine: a ClamAV daemon asked over a loopback TCP connection with INSTREAM, from the
// scan thread only. Faults fall back to the built-in rule; nothing here waits without a limit.
#include "vxd/engine/engine.h"

#include <winsock2.h>

#include <cstring>

#include "vxd/config/config.h"
#include "vxd/engine/clamd_reply.h"
#include "vxd/journal/journal.h"

constexpr size_t CHUNK_SIZE = 64 * 1024;
constexpr size_t REPLY_SIZE = 1024;

static int winsockReady;       // 1 after WSAStartup succeeded
static int outage;             // 1 from a fault until the daemon answers again
static DWORD lastFault;        // GetTickCount of the fault that began or continued the outage

// A fault: journalled once per outage; the daemon is left alone for config.clamdRetry ms.
static int Fault(const char *what, int error)
{
    if (!outage)
        JournalLine("ENGINE clamd unavailable: %s (error %d); the built-in rule goes on alone", what, error);
    outage = 1;
    lastFault = GetTickCount();
    return 0;
}

static int SendAll(SOCKET s, const char *bytes, size_t count)
{
    while (count > 0) {
        int chunk = static_cast<int>(count < CHUNK_SIZE ? count : CHUNK_SIZE);
        int sent = send(s, bytes, chunk, 0);
        if (sent <= 0)
            return 0;
        bytes += sent;
        count -= static_cast<size_t>(sent);
    }
    return 1;
}

// Connects within config.clamdTimeout; INVALID_SOCKET with *error set otherwise.
static SOCKET Connect(int *error)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(config.clamdPort));
    address.sin_addr.s_addr = inet_addr(config.clamdHost);
    if (address.sin_addr.s_addr == INADDR_NONE) {
        *error = WSAEINVAL;
        return INVALID_SOCKET;
    }
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        *error = WSAGetLastError();
        return INVALID_SOCKET;
    }
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    if (connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        *error = WSAGetLastError();
        if (*error != WSAEWOULDBLOCK) {
            closesocket(s);
            return INVALID_SOCKET;
        }
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval limit = {static_cast<long>(config.clamdTimeout / 1000), static_cast<long>(config.clamdTimeout % 1000) * 1000};
        int ready = select(0, nullptr, &writable, &failed, &limit);
        int soError = 0;
        int soLength = sizeof soError;
        getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&soError), &soLength);
        if (ready <= 0 || !FD_ISSET(s, &writable) || soError != 0) {
            *error = ready == 0 ? WSAETIMEDOUT : (soError != 0 ? soError : WSAGetLastError());
            closesocket(s);
            return INVALID_SOCKET;
        }
    }
    nonBlocking = 0;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    DWORD limitMs = config.clamdTimeout;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&limitMs), sizeof limitMs);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char *>(&limitMs), sizeof limitMs);
    return s;
}

// 1 when the daemon has answered already: it does so before the stream ends only to refuse it
// (its size limit), and then closes.
static int Answered(SOCKET s)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval none = {0, 0};
    return select(0, &readable, nullptr, nullptr, &none) > 0;
}

// Sends bytes with INSTREAM and reads the reply into reply (terminated); its length, or -1 when
// none came. The reply is read also when the daemon stopped taking the stream: *whole is 0 then.
static int Exchange(SOCKET s, const unsigned char *bytes, size_t count, char *reply, size_t size, int *whole)
{
    static const char command[] = "zINSTREAM";   // with its NUL: the z form ends lines with NUL
    static const char end[4] = {0, 0, 0, 0};
    int sent = SendAll(s, command, sizeof command);
    size_t offset = 0;
    while (sent && offset < count && !Answered(s)) {
        size_t chunk = count - offset < CHUNK_SIZE ? count - offset : CHUNK_SIZE;
        unsigned char header[4];
        ClamdChunkHeader(static_cast<unsigned long>(chunk), header);
        sent = SendAll(s, reinterpret_cast<const char *>(header), 4)
               && SendAll(s, reinterpret_cast<const char *>(bytes + offset), chunk);
        offset += chunk;
    }
    *whole = sent && offset == count && !Answered(s) && SendAll(s, end, 4);
    size_t used = 0;
    DWORD start = GetTickCount();
    while (used < size - 1) {
        int got = recv(s, reply + used, static_cast<int>(size - 1 - used), 0);
        if (got < 0 && used == 0)
            return -1;
        if (got <= 0)
            break;   // the daemon closed: the reply is complete
        used += static_cast<size_t>(got);
        if (std::memchr(reply, 0, used) != nullptr || GetTickCount() - start > config.clamdTimeout)
            break;
    }
    reply[used] = 0;
    return used > 0 || *whole ? static_cast<int>(used) : -1;
}

int AskEngine(const unsigned char *bytes, size_t count, const char *label, int *found, char *name, size_t nameSize)
{
    *found = 0;
    if (!config.engineClamd)
        return 0;
    if (count > config.clamdMaxBytes) {
        JournalLine("ENGINE clamd skipped %s: %lu bytes, more than %lu", label, static_cast<unsigned long>(count),
                    static_cast<unsigned long>(config.clamdMaxBytes));
        return 0;
    }
    if (outage && GetTickCount() - lastFault < config.clamdRetry)
        return 0;
    if (!winsockReady) {
        WSADATA data;
        int error = WSAStartup(MAKEWORD(2, 2), &data);
        if (error != 0)
            return Fault("no sockets", error);
        winsockReady = 1;
    }
    int error = 0;
    SOCKET s = Connect(&error);
    if (s == INVALID_SOCKET)
        return Fault("cannot connect", error);
    char reply[REPLY_SIZE];
    int whole = 0;
    int length = Exchange(s, bytes, count, reply, sizeof reply, &whole);
    error = WSAGetLastError();
    closesocket(s);
    if (length < 0)
        return Fault("no answer in time", error);
    int verdict = ParseClamdReply(reply, static_cast<size_t>(length), name, nameSize);
    // A stream the daemon did not take whole is never clean: it saw only a part.
    if (verdict == CLAMD_NONSENSE || (verdict == CLAMD_CLEAN && !whole))
        return Fault("an answer that makes no sense", 0);
    if (outage) {
        JournalLine("ENGINE clamd answers again");
        outage = 0;
    }
    if (verdict == CLAMD_FILE_ERROR) {
        JournalLine("ENGINE clamd could not scan %s: %s", label, reply);
        return 0;
    }
    *found = verdict == CLAMD_FOUND;
    return 1;
}
