// The outside engine: the ClamAV daemons of ClamdHost, asked from the scan thread only. A few files
// are in the daemons' hands at once, each in a session (IDSESSION) of its own that stays open for
// the files after it. Which daemon gets a file is the daemon choice's (daemon_choice.h); this file
// sends the files and waits for their verdicts. Nothing waits without a limit.
#include "vxd/engine/engine.h"

#include <winsock2.h>

#include "base/bounded.h"
#include "vxd/config/config.h"
#include "vxd/engine/asks.h"
#include "vxd/engine/clamd_reply.h"
#include "vxd/engine/replies.h"
#include "vxd/journal/journal.h"

// Chunks of a megabyte: a file of up to a megabyte goes in one call, and a larger one still sees
// an answer given before its end (the daemon's size limit) within a megabyte.
constexpr size_t CHUNK_SIZE = 1u << 20;
constexpr DWORD LATE_PART = 8;             // an answer is given up on at most an eighth of the
                                            // time limit after it was due
constexpr DWORD IDLE_LOOK_MS = 1000;        // a session unused this long is looked at before it is
                                            // used: the daemon may have let it go

// Sends a's bytes as the session's next INSTREAM command, the end with the last chunk. 0 with
// *error set when a send failed; a stays SENT then, unless an answer for it came meanwhile.
static int SendStream(Ask *a, int *error)
{
    size_t offset = 0;
    do {
        size_t chunk = a->count - offset < CHUNK_SIZE ? a->count - offset : CHUNK_SIZE;
        if (offset > 0) {
            // An answer before the end is the daemon refusing the stream: the rest is not sent.
            TakeArrived(a->turn.daemon, a->session);
            if (a->state != ASK_SENT)
                return 1;
        }
        if (!SendStreamPart(SessionOf(*a), a->bytes, a->count, offset, chunk, error))
            return 0;
        offset += chunk;
    } while (offset < a->count);
    a->whole = 1;
    a->sentAt = GetTickCount();
    SessionOf(*a)->lastUse = a->sentAt;
    return 1;
}

// A session of daemon d without a file: an open one rather than a new one (there is always a free
// one).
static int FreeSession(int d)
{
    int chosen = -1;
    for (int i = 0; i < MAX_ASKS; i++) {
        int free = 1;
        for (const Ask &a : asks)
            free &= !HeldBy(a, d, i);
        if (free && (chosen < 0 || (daemons[d].sessions[chosen].socket == INVALID_SOCKET
                                    && daemons[d].sessions[i].socket != INVALID_SOCKET)))
            chosen = i;
    }
    return chosen;
}

// Sends a to daemon d, in a session that has no other file. Leaves a SENT or ANSWERED, or AGAIN:
// to a fresh session of the same daemon when it had let the session go, else to the next daemon.
static void Submit(int d, Ask *a)
{
    a->turn.daemon = d;
    a->session = FreeSession(d);
    Session *session = SessionOf(*a);
    if (GetTickCount() - session->lastUse >= IDLE_LOOK_MS)
        TakeArrived(d, a->session);
    int error = 0;
    if (session->socket == INVALID_SOCKET && !ResolveDaemon(d, &error)) {
        Fault(d, "name does not resolve", error);
        FailAsk(a);
        return;
    }
    if (session->socket == INVALID_SOCKET && !OpenSession(daemons[d].address, config.clamdTimeout, session, &error)) {
        Fault(d, "cannot connect", error);
        FailAsk(a);
        return;
    }
    a->state = ASK_SENT;
    a->id = session->nextId++;
    a->whole = 0;
    if (!SendStream(a, &error)) {
        TakeArrived(d, a->session);   // what the daemon said before it stopped taking the stream
        if (session->socket != INVALID_SOCKET)
            EndSession(d, a->session, "cannot send", error, error == WSAECONNRESET || error == WSAECONNABORTED);
    }
}

// Sends a to the daemons the choice names in turn until one has it. 0 when none could take it.
static int SendAsk(Ask *a)
{
    while (a->state == ASK_AGAIN) {
        int next = NextDaemon(choice, a->turn, GetTickCount());
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

int EngineBegin(const unsigned char *bytes, size_t count, const char *label, int *outage)
{
    *outage = 0;
    if (!config.engineClamd || !SetUpDaemons())
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
        a->turn = FirstTurn(&choice);
        a->name[0] = 0;
        a->reply.clear();
        if (SendAsk(a))
            return i + 1;
        a->state = ASK_FREE;
        *outage = 1;
        return 0;
    }
    return 0;
}

// The file in the daemons' hands that was sent first; nullptr when none is.
static Ask *FirstSent(void)
{
    Ask *first = nullptr;
    for (Ask &a : asks) {
        if (a.state == ASK_SENT && (first == nullptr || static_cast<LONG>(a.sentAt - first->sentAt) < 0))
            first = &a;
    }
    return first;
}

// Waits on every session with a file in it, to the exact time the first answer is due; a file
// whose answer is overdue ends its session (the daemon's fault).
static void WaitOnAll(void)
{
    fd_set readable;
    FD_ZERO(&readable);
    DWORD now = GetTickCount();
    DWORD wait = config.clamdTimeout;
    for (const Ask &a : asks) {
        if (a.state != ASK_SENT)
            continue;
        FD_SET(SessionOf(a)->socket, &readable);
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
        if (ready < 0)
            EndSession(a.turn.daemon, a.session, "no answer", error, 0);
        else if (FD_ISSET(SessionOf(a)->socket, &readable))
            TakeAnswers(a.turn.daemon, a.session);
        else if (GetTickCount() - a.sentAt >= config.clamdTimeout)
            EndSession(a.turn.daemon, a.session, "no answer in time", WSAETIMEDOUT, 0);
    }
}

// Waits for what the sessions of the files in the daemons' hands bring, until something came or
// the first answer is due. The file sent first is waited for by its own session's receive, which
// under Wine costs a third of a wait on several sockets and slows the sends after it less; that
// receive gives up config.clamdTimeout from when it began, so it is used only while the answer's
// due time is at most a LATE_PART of that away from it. Otherwise every session is waited for.
static void Wait(void)
{
    Ask *first = FirstSent();
    if (first == nullptr)
        return;
    if (GetTickCount() - first->sentAt <= config.clamdTimeout / LATE_PART)
        TakeAnswers(first->turn.daemon, first->session);
    else
        WaitOnAll();
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

int EngineVerdict(int ticket, int *found, char *name, size_t nameSize, int *outage)
{
    *found = 0;
    *outage = 0;
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
    *outage = a->state == ASK_NONE;
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

int AskEngine(const unsigned char *bytes, size_t count, const char *label, int *found, char *name, size_t nameSize,
              int *outage)
{
    *found = 0;
    int ticket = EngineBegin(bytes, count, label, outage);
    return ticket != 0 && EngineVerdict(ticket, found, name, nameSize, outage);
}

int EngineAnswers(void)
{
    return config.engineClamd && !choice.noneAnswers;
}

int EngineProbe(void)
{
    if (!config.engineClamd || !SetUpDaemons() || !choice.noneAnswers)
        return EngineAnswers();
    for (int i = 0; i < choice.count; i++) {
        int error = 0;
        if (NextDaemon(choice, {i, 0}, GetTickCount()) != i)
            continue;   // left alone for ClamdRetry yet
        if (!ResolveDaemon(i, &error)) {
            Fault(i, "name does not resolve", error);
            continue;
        }
        if (!PingDaemon(daemons[i].address, config.clamdTimeout, &error)) {
            Fault(i, "no answer to PING", error);   // the outage goes on: not journalled again
            continue;
        }
        if (DaemonAnswered(&choice, i))
            JournalLine("ENGINE clamd %s answers again", daemons[i].address.name);
        return 1;
    }
    return 0;
}
