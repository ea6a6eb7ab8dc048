// What the daemons' sessions bring back, and what ends them.
#include "vxd/engine/replies.h"

#include <cstring>

#include "base/bounded.h"
#include "vxd/engine/clamd_reply.h"
#include "vxd/journal/journal.h"

void Fault(int d, const char *what, int error)
{
    daemons[d].resolved = 0;   // a daemon known by name is looked up again: it may have moved
    if (DaemonFaulted(&choice, d, GetTickCount()))
        JournalLine("ENGINE clamd %s fault: %s (error %d)", daemons[d].address.name, what, error);
}

void FailAsk(Ask *a)
{
    a->state = ASK_AGAIN;
    PassOn(choice, &a->turn);
}

void EndSession(int d, int s, const char *what, int error, int closedOnly)
{
    Session *session = &daemons[d].sessions[s];
    int quiet = closedOnly && session->served > 0;
    CloseSession(session);
    for (Ask &a : asks) {
        if (!HeldBy(a, d, s))
            continue;
        if (quiet)
            a.state = ASK_AGAIN;
        else
            FailAsk(&a);
    }
    if (!quiet)
        Fault(d, what, error);
}

// One answer of session s of daemon d (length bytes, without its NUL): 0 when it makes no sense,
// answers no file the session has, or calls clean a stream the daemon did not take whole.
static int TakeAnswer(int d, int s, const char *text, size_t length)
{
    unsigned long id = 0;
    size_t at = TakeSessionId(text, length, &id);
    Ask *a = nullptr;
    for (Ask &candidate : asks) {
        if (HeldBy(candidate, d, s) && candidate.id == id)
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
    Session *session = &daemons[d].sessions[s];
    session->served++;
    session->lastUse = GetTickCount();
    if (DaemonAnswered(&choice, d))
        JournalLine("ENGINE clamd %s answers again", daemons[d].address.name);
    return 1;
}

// The session's end, after got (0 or less) from its receive.
static void TakeEnd(int d, int s, int got)
{
    Session *session = &daemons[d].sessions[s];
    int error = got == 0 ? 0 : WSAGetLastError();
    // Last words before the daemon closed (such as its size limit) need no NUL.
    if (session->partialLength > 0 && !TakeAnswer(d, s, session->partial, session->partialLength)) {
        EndSession(d, s, "an answer that makes no sense", 0, 0);
        return;
    }
    int closed = got == 0 || error == WSAECONNRESET || error == WSAECONNABORTED;
    EndSession(d, s, closed ? "the session closed" : "no answer in time", error, closed);
}

void TakeAnswers(int d, int s)
{
    Session *session = &daemons[d].sessions[s];
    int got = recv(session->socket, session->partial + session->partialLength,
                   static_cast<int>(REPLY_SIZE - session->partialLength), 0);
    if (got <= 0) {
        TakeEnd(d, s, got);
        return;
    }
    session->partialLength += static_cast<size_t>(got);
    for (;;) {
        const char *end = static_cast<const char *>(std::memchr(session->partial, 0, session->partialLength));
        if (end == nullptr)
            break;
        size_t length = static_cast<size_t>(end - session->partial);
        if (!TakeAnswer(d, s, session->partial, length)) {
            EndSession(d, s, "an answer that makes no sense", 0, 0);
            return;
        }
        session->partialLength -= length + 1;
        std::memmove(session->partial, end + 1, session->partialLength);
    }
    if (session->partialLength == REPLY_SIZE)
        EndSession(d, s, "an answer that makes no sense", 0, 0);
}

void TakeArrived(int d, int s)
{
    const Session &session = daemons[d].sessions[s];
    if (session.socket != INVALID_SOCKET && Readable(session))
        TakeAnswers(d, s);
}
