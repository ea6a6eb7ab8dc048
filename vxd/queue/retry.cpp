// The work put off until later, in the order it falls due.
#include "vxd/queue/retry.h"

#include <vector>

#include "vxd/config/config.h"
#include "vxd/queue/queue.h"

constexpr DWORD FIRST_WAIT_MS = 1000;
constexpr DWORD LONGEST_WAIT_MS = 60000;

struct Waiting {
    DWORD due;                  // GetTickCount when it may be tried
    PutOff work;
};

static std::vector<Waiting> waiting;

// A walk of a watched folder for what found no room: one per folder.
struct Mark {
    std::wstring root;
    int waits;                  // 1 while its walk is still to come
    DWORD due;                  // then, when
    unsigned attempt;           // walks asked for in a row
    DWORD walkedAt;             // GetTickCount when it was last walked
};

static std::vector<Mark> marks;

DWORD BackOffMs(unsigned attempt)
{
    if (attempt >= LONGEST_WAIT_ATTEMPT)
        return LONGEST_WAIT_MS;
    DWORD wait = attempt <= 1 ? FIRST_WAIT_MS : FIRST_WAIT_MS << (attempt - 1);
    return wait < LONGEST_WAIT_MS ? wait : LONGEST_WAIT_MS;
}

int PutOffWork(const PutOff &work)
{
    if (work.kind != PUT_OFF_ACTION) {
        for (const Waiting &w : waiting) {
            if (w.work.kind == work.kind && w.work.path == work.path)
                return PUT_OFF_WAITING;
        }
    }
    if (waiting.size() >= config.putOffRoom)
        return PUT_OFF_FULL;
    waiting.push_back({GetTickCount() + BackOffMs(work.attempt), work});
    return PUT_OFF_KEPT;
}

void RescanLater(const wchar_t *path)
{
    std::wstring root = WatchedRootOf(path);
    DWORD now = GetTickCount();
    for (Mark &m : marks) {
        if (m.root != root || m.waits)
            continue;
        m.attempt = now - m.walkedAt < LONGEST_WAIT_MS ? m.attempt + 1 : 1;
        m.due = now + BackOffMs(m.attempt);
        m.waits = 1;
        return;
    }
    for (const Mark &m : marks) {
        if (m.root == root)
            return;   // waiting already
    }
    marks.push_back({root, 1, now + BackOffMs(1), 1, 0});
}

static DWORD Left(DWORD due, DWORD now)
{
    return static_cast<int32_t>(due - now) > 0 ? due - now : 0;
}

DWORD NextDueMs(void)
{
    DWORD now = GetTickCount();
    DWORD next = INFINITE;
    for (const Waiting &w : waiting)
        next = Left(w.due, now) < next ? Left(w.due, now) : next;
    for (const Mark &m : marks) {
        if (m.waits)
            next = Left(m.due, now) < next ? Left(m.due, now) : next;
    }
    return next;
}

int TakeDue(PutOff *out)
{
    DWORD now = GetTickCount();
    for (Mark &m : marks) {
        if (m.waits && static_cast<int32_t>(m.due - now) <= 0) {
            *out = {};
            out->kind = PUT_OFF_FOLDER;
            out->path = m.root;
            m.waits = 0;
            m.walkedAt = now;
            return 1;
        }
    }
    for (size_t i = 0; i < waiting.size(); i++) {
        if (static_cast<int32_t>(waiting[i].due - now) <= 0) {
            *out = waiting[i].work;
            waiting.erase(waiting.begin() + static_cast<long>(i));
            return 1;
        }
    }
    return 0;
}
