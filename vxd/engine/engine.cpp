// The outside engine: the ClamAV daemons of ClamdHost, asked from the scan thread only. A few files
// are in the daemons' hands at once, each in a session (IDSESSION) of its own that stays open for
// the files after it. Files are spread over the daemons that answer; a daemon that fails hands its
// files, whole, to the next, and when none answers the built-in rule goes on alone. Nothing waits
// without a limit.
#include "vxd/engine/engine.h"

#include <winsock2.h>

#include <cstring>
#include <string>

#include "base/bounded.h"
#include "vxd/config/config.h"
#include "vxd/engine/clamd_reply.h"
#include "vxd/engine/daemon_list.h"
#include "vxd/journal/journal.h"

// Chunks of a megabyte: a file of up to a megabyte goes in one call, and a larger one still sees
// an answer given before its end (the daemon's size limit) within a megabyte.
constexpr size_t CHUNK_SIZE = 1u << 20;
constexpr size_t REPLY_SIZE = 1024;         // an answer longer than this makes no sense
constexpr int MAX_ASKS = ENGINE_WINDOW + 1;  // the scan thread's window, and an archive's member
constexpr DWORD LATE_PART = 8;             // an answer is given up on at most an eighth of the
                                            // time limit after it was due
constexpr DWORD IDLE_LOOK_MS = 1000;        // a session unused this long is looked at before it is
                                            // used: the daemon may have let it go

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

struct Daemon {
    DaemonAddress address;
    Session sessions[MAX_ASKS];
    int outage;                 // 1 from a fault until it answers again
    DWORD lastFault;            // GetTickCount of the fault that began or continued the outage
};

enum { ASK_FREE, ASK_SENT, ASK_AGAIN, ASK_ANSWERED, ASK_NONE };

struct Ask {
    int state;
    const unsigned char *bytes;  // the caller's, until the verdict is taken
    size_t count;
    std::string label;
    int daemon;                 // the daemon that has it, or that is asked next
    int session;                // the session of that daemon that has it
    int faults;                 // daemons that failed it: when every one has, none answers
    unsigned long id;           // its number in that daemon's session
    int whole;                  // 1 once the daemon took the whole stream, to its end
    DWORD sentAt;               // GetTickCount when it was sent: its answer is due
                                // config.clamdTimeout ms later
    int verdict;                // CLAMD_CLEAN ... once answered
    char name[128];             // the signature's name
    std::string reply;          // the answer, when the daemon could not scan the stream
};

static int ready;               // 1 once the sockets and the list of daemons are set up
static int usable;              // 1 when there are sockets and at least one daemon
static Daemon daemons[MAX_DAEMONS];
static int daemonCount;
static int rotation;            // the daemon asked first for the next file
static int noneAnswers;         // 1 from a file no daemon took until one answers again
static Ask asks[MAX_ASKS];

static void NoneAnswers(const char *why, int error)
{
    if (!noneAnswers)
        JournalLine("ENGINE clamd unavailable: %s (error %d); the built-in rule goes on alone", why, error);
    noneAnswers = 1;
}

static int SetUp(void)
{
    if (ready)
        return usable;
    ready = 1;
    WSADATA data;
    int error = WSAStartup(MAKEWORD(2, 2), &data);
    if (error != 0) {
        NoneAnswers("no sockets", error);
        return 0;
    }
    DaemonAddress list[MAX_DAEMONS];
    int ignored = 0;
    daemonCount = ParseDaemonList(config.clamdHost, config.clamdPort, list, MAX_DAEMONS, &ignored);
    if (ignored > 0)
        JournalLine("ENGINE ClamdHost %s: %d entries ignored", config.clamdHost, ignored);
    for (int i = 0; i < daemonCount; i++) {
        daemons[i] = {};
        daemons[i].address = list[i];
        for (Session &session : daemons[i].sessions)
            session.socket = INVALID_SOCKET;
    }
    if (daemonCount == 0) {
        NoneAnswers("ClamdHost names no daemon", 0);
        return 0;
    }
    usable = 1;
    return 1;
}

// A fault: journalled once per outage; the daemon is left alone for config.clamdRetry ms.
static void Fault(Daemon *d, const char *what, int error)
{
    if (!d->outage)
        JournalLine("ENGINE clamd %s fault: %s (error %d)", d->address.name, what, error);
    d->outage = 1;
    d->lastFault = GetTickCount();
}

static int Usable(const Daemon *d)
{
    return !d->outage || GetTickCount() - d->lastFault >= config.clamdRetry;
}

// The ask goes to the next daemon: this one failed it.
static void FailAsk(Ask *a)
{
    a->state = ASK_AGAIN;
    a->faults++;
    a->daemon = (a->daemon + 1) % daemonCount;
}

// The session is over (closed, broken, silent or talking nonsense), and the file it had goes
// again. A daemon lets a session go (after refusing a stream, or idle for long): a session that
// served and then only closed is opened afresh for it. Anything else is the daemon's fault, and
// the file goes to the next daemon.
static void EndSession(Daemon *d, Session *session, const char *what, int error, int closedOnly)
{
    int quiet = closedOnly && session->served > 0;
    closesocket(session->socket);
    session->socket = INVALID_SOCKET;
    session->partialLength = 0;
    for (Ask &a : asks) {
        if (a.state != ASK_SENT || a.daemon != d - daemons || a.session != session - d->sessions)
            continue;
        if (quiet)
            a.state = ASK_AGAIN;
        else
            FailAsk(&a);
    }
    if (!quiet)
        Fault(d, what, error);
}

// One answer of the session (length bytes, without its NUL): 0 when it makes no sense, answers no
// file the session has, or calls clean a stream the daemon did not take whole.
static int TakeAnswer(Daemon *d, Session *session, const char *text, size_t length)
{
    unsigned long id = 0;
    size_t at = TakeSessionId(text, length, &id);
    Ask *a = nullptr;
    for (Ask &candidate : asks) {
        if (candidate.state == ASK_SENT && candidate.daemon == d - daemons && candidate.session == session - d->sessions
            && candidate.id == id)
            a = &candidate;
    }
    char name[sizeof(Ask::name)];
    int verdict = ParseClamdReply(text + at, length - at, name, sizeof name);
    if (a == nullptr || id == 0 || verdict == CLAMD_NONSENSE || (verdict == CLAMD_CLEAN && !a->whole))
        return 0;
    a->state = ASK_ANSWERED;
    a->verdict = verdict;
    CopyBounded(a->name, name);
    if (verdict == CLAMD_FILE_ERROR)
        a->reply.assign(text + at, length - at);
    session->served++;
    session->lastUse = GetTickCount();
    if (d->outage)
        JournalLine("ENGINE clamd %s answers again", d->address.name);
    d->outage = 0;
    noneAnswers = 0;
    return 1;
}

static int Readable(SOCKET s)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval none = {0, 0};
    return select(0, &readable, nullptr, nullptr, &none) > 0;
}

// Takes what the session has brought (readable, or waiting up to config.clamdTimeout): every whole
// answer in it, and its end when the daemon closed it.
static void TakeAnswers(Daemon *d, Session *session)
{
    int got = recv(session->socket, session->partial + session->partialLength,
                   static_cast<int>(REPLY_SIZE - session->partialLength), 0);
    if (got <= 0) {
        int error = got == 0 ? 0 : WSAGetLastError();
        // Last words before the daemon closed (such as its size limit) need no NUL.
        if (session->partialLength > 0 && !TakeAnswer(d, session, session->partial, session->partialLength)) {
            EndSession(d, session, "an answer that makes no sense", 0, 0);
            return;
        }
        int closed = got == 0 || error == WSAECONNRESET || error == WSAECONNABORTED;
        EndSession(d, session, closed ? "the session closed" : "no answer in time", error, closed);
        return;
    }
    session->partialLength += static_cast<size_t>(got);
    for (;;) {
        const char *end = static_cast<const char *>(std::memchr(session->partial, 0, session->partialLength));
        if (end == nullptr)
            break;
        size_t length = static_cast<size_t>(end - session->partial);
        if (!TakeAnswer(d, session, session->partial, length)) {
            EndSession(d, session, "an answer that makes no sense", 0, 0);
            return;
        }
        session->partialLength -= length + 1;
        std::memmove(session->partial, end + 1, session->partialLength);
    }
    if (session->partialLength == REPLY_SIZE)
        EndSession(d, session, "an answer that makes no sense", 0, 0);
}

// Takes what the session has brought already, without waiting.
static void TakeArrived(Daemon *d, Session *session)
{
    if (session->socket != INVALID_SOCKET && Readable(session->socket))
        TakeAnswers(d, session);
}

// Connects to d within config.clamdTimeout and begins the session; 0 with *error set otherwise.
static int OpenSession(const Daemon *d, Session *session, int *error)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(d->address.port));
    std::memcpy(&address.sin_addr, d->address.ip, 4);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        *error = WSAGetLastError();
        return 0;
    }
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    if (connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        *error = WSAGetLastError();
        if (*error != WSAEWOULDBLOCK) {
            closesocket(s);
            return 0;
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
            return 0;
        }
    }
    nonBlocking = 0;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    DWORD limitMs = config.clamdTimeout;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&limitMs), sizeof limitMs);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char *>(&limitMs), sizeof limitMs);
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

// Sends a's bytes as the session's next INSTREAM command, the end with the last chunk. 0 with
// *error set when a send failed; a stays SENT then, unless an answer for it came meanwhile.
static int SendStream(Daemon *d, Session *session, Ask *a, int *error)
{
    static char command[] = "zINSTREAM";
    static char end[4] = {0, 0, 0, 0};
    size_t offset = 0;
    do {
        size_t chunk = a->count - offset < CHUNK_SIZE ? a->count - offset : CHUNK_SIZE;
        unsigned char header[4];
        ClamdChunkHeader(static_cast<unsigned long>(chunk), header);
        WSABUF parts[4];
        DWORD n = 0;
        if (offset == 0) {
            parts[n++] = {sizeof command, command};
        } else {
            // An answer before the end is the daemon refusing the stream: the rest is not sent.
            TakeArrived(d, session);
            if (a->state != ASK_SENT)
                return 1;
        }
        if (chunk > 0) {
            parts[n++] = {4, reinterpret_cast<char *>(header)};
            parts[n++] = {static_cast<ULONG>(chunk), reinterpret_cast<char *>(const_cast<unsigned char *>(a->bytes + offset))};
        }
        if (offset + chunk == a->count)
            parts[n++] = {sizeof end, end};
        DWORD sent = 0;
        if (WSASend(session->socket, parts, n, &sent, 0, nullptr, nullptr) != 0) {
            *error = WSAGetLastError();
            return 0;
        }
        offset += chunk;
    } while (offset < a->count);
    a->whole = 1;
    a->sentAt = GetTickCount();
    session->lastUse = a->sentAt;
    return 1;
}

// 1 when no file is in the session's hands.
static int SessionFree(int daemon, int session)
{
    for (const Ask &a : asks) {
        if (a.state == ASK_SENT && a.daemon == daemon && a.session == session)
            return 0;
    }
    return 1;
}

// Sends a to daemon index, in a session that has no other file. Leaves a SENT or ANSWERED, or
// AGAIN: to a fresh session of the same daemon when it had let the session go, else to the next
// daemon.
static void Submit(int index, Ask *a)
{
    Daemon *d = &daemons[index];
    int chosen = -1;   // an open session rather than a new one; there is always a free one
    for (int i = 0; i < MAX_ASKS; i++) {
        if (SessionFree(index, i)
            && (chosen < 0 || (d->sessions[chosen].socket == INVALID_SOCKET && d->sessions[i].socket != INVALID_SOCKET)))
            chosen = i;
    }
    Session *session = &d->sessions[chosen];
    a->daemon = index;
    a->session = chosen;
    if (GetTickCount() - session->lastUse >= IDLE_LOOK_MS)
        TakeArrived(d, session);
    if (session->socket == INVALID_SOCKET) {
        int error = 0;
        if (!OpenSession(d, session, &error)) {
            Fault(d, "cannot connect", error);
            FailAsk(a);
            return;
        }
    }
    a->state = ASK_SENT;
    a->id = session->nextId++;
    a->whole = 0;
    int error = 0;
    if (!SendStream(d, session, a, &error)) {
        TakeArrived(d, session);   // what the daemon said before it stopped taking the stream
        if (session->socket != INVALID_SOCKET)
            EndSession(d, session, "cannot send", error, error == WSAECONNRESET || error == WSAECONNABORTED);
    }
}

// Sends a to the daemons in turn from a->daemon on, each usable one at most once after a fault,
// until one has it. 0 when none could take it.
static int SendAsk(Ask *a)
{
    while (a->state == ASK_AGAIN && a->faults < daemonCount) {
        int next = -1;
        for (int n = 0; n < daemonCount && next < 0; n++) {
            int i = (a->daemon + n) % daemonCount;
            if (Usable(&daemons[i]))
                next = i;
        }
        if (next < 0)
            break;
        Submit(next, a);
    }
    if (a->state != ASK_AGAIN)
        return 1;
    a->state = ASK_NONE;
    NoneAnswers("no daemon answers", 0);
    return 0;
}

int EngineBegin(const unsigned char *bytes, size_t count, const char *label)
{
    if (!config.engineClamd || !SetUp())
        return 0;
    if (count > config.clamdMaxBytes) {
        JournalLine("ENGINE clamd skipped %s: %lu bytes, more than %lu", label, static_cast<unsigned long>(count),
                    static_cast<unsigned long>(config.clamdMaxBytes));
        return 0;
    }
    for (int i = 0; i < MAX_ASKS; i++) {
        Ask *a = &asks[i];
        if (a->state != ASK_FREE)
            continue;
        a->state = ASK_AGAIN;
        a->bytes = bytes;
        a->count = count;
        a->label = label;
        a->daemon = rotation;
        a->faults = 0;
        a->name[0] = 0;
        a->reply.clear();
        rotation = (rotation + 1) % daemonCount;
        if (SendAsk(a))
            return i + 1;
        a->state = ASK_FREE;
        return 0;
    }
    return 0;
}

// Waits for what the sessions of the files in the daemons' hands bring, until something came or
// the first answer is due; a file whose answer is overdue ends its session (the daemon's fault).
// The file sent first is waited for by its own session's receive, which under Wine costs a third
// of a wait on several sockets and slows the sends after it less; that receive gives up
// config.clamdTimeout from when it began, so it is used only while the answer's due time is at
// most a LATE_PART of that away from it. Otherwise every session is waited for, to the exact time.
static void Wait(void)
{
    Ask *first = nullptr;
    for (Ask &a : asks) {
        if (a.state == ASK_SENT && (first == nullptr || static_cast<LONG>(a.sentAt - first->sentAt) < 0))
            first = &a;
    }
    if (first == nullptr)
        return;
    if (GetTickCount() - first->sentAt <= config.clamdTimeout / LATE_PART) {
        Daemon *d = &daemons[first->daemon];
        TakeAnswers(d, &d->sessions[first->session]);
        return;
    }
    fd_set readable;
    FD_ZERO(&readable);
    DWORD now = GetTickCount();
    DWORD wait = config.clamdTimeout;
    for (const Ask &a : asks) {
        if (a.state != ASK_SENT)
            continue;
        FD_SET(daemons[a.daemon].sessions[a.session].socket, &readable);
        DWORD waited = now - a.sentAt;
        wait = waited >= config.clamdTimeout ? 0 : (config.clamdTimeout - waited < wait ? config.clamdTimeout - waited : wait);
    }
    if (readable.fd_count == 0)
        return;
    timeval limit = {static_cast<long>(wait / 1000), static_cast<long>(wait % 1000) * 1000};
    int ready = select(0, &readable, nullptr, nullptr, &limit);
    int error = ready < 0 ? WSAGetLastError() : 0;
    for (Ask &a : asks) {
        if (a.state != ASK_SENT)
            continue;
        Daemon *d = &daemons[a.daemon];
        Session *session = &d->sessions[a.session];
        if (ready < 0)
            EndSession(d, session, "no answer", error, 0);
        else if (FD_ISSET(session->socket, &readable))
            TakeAnswers(d, session);
        else if (GetTickCount() - a.sentAt >= config.clamdTimeout)
            EndSession(d, session, "no answer in time", WSAETIMEDOUT, 0);
    }
}

int EngineNext(void)
{
    for (;;) {
        int inHands = 0;
        for (int i = 0; i < MAX_ASKS; i++) {
            Ask *a = &asks[i];
            if (a->state == ASK_AGAIN)
                SendAsk(a);
            if (a->state == ASK_ANSWERED || a->state == ASK_NONE)
                return i + 1;
            inHands |= a->state == ASK_SENT;
        }
        if (!inHands)
            return 0;
        Wait();
    }
}

int EngineVerdict(int ticket, int *found, char *name, size_t nameSize)
{
    *found = 0;
    if (nameSize > 0)
        name[0] = 0;
    if (ticket < 1 || ticket > MAX_ASKS || asks[ticket - 1].state == ASK_FREE)
        return 0;
    Ask *a = &asks[ticket - 1];
    while (a->state == ASK_SENT || a->state == ASK_AGAIN) {
        if (a->state == ASK_AGAIN)
            SendAsk(a);
        else
            Wait();
    }
    int judged = a->state == ASK_ANSWERED && a->verdict != CLAMD_FILE_ERROR;
    if (a->state == ASK_ANSWERED && a->verdict == CLAMD_FILE_ERROR)
        JournalLine("ENGINE clamd could not scan %s: %s", a->label.c_str(), a->reply.c_str());
    if (judged && a->verdict == CLAMD_FOUND) {
        *found = 1;
        CopyBounded(name, nameSize, a->name);
    }
    a->state = ASK_FREE;
    a->bytes = nullptr;
    return judged;
}

int AskEngine(const unsigned char *bytes, size_t count, const char *label, int *found, char *name, size_t nameSize)
{
    *found = 0;
    int ticket = EngineBegin(bytes, count, label);
    return ticket != 0 && EngineVerdict(ticket, found, name, nameSize);
}
