// The work put off until later: a file that could not be read whole, a folder held by whoever
// moved it in, an action refused because another program holds the file. Each is tried again
// after a wait that doubles from a second up to a minute, for as long as it takes, without holding
// up the scan thread meanwhile. The scan thread's only.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "vxd/queue/versions.h"

enum {
    PUT_OFF_READ,       // path: read it again (fresh as it was queued)
    PUT_OFF_FOLDER,     // path: walk it again (notices lost since since)
    PUT_OFF_ACTION,     // path: act on the version scanned, as action says
};

struct PutOff {
    int kind;
    std::wstring path;
    unsigned attempt;           // tries that failed so far, counting the first
    int fresh;                  // PUT_OFF_READ
    uint64_t since;             // PUT_OFF_FOLDER
    ScannedVersion version;     // PUT_OFF_ACTION: the file scanned
    std::string foundName;      // PUT_OFF_ACTION: the name the detection was reported by
    uint32_t action;            // PUT_OFF_ACTION: the action and its folder, as when it was found
    std::string moveDir;
};

// The wait before the try after the attempt-th failure: 1 s, 2 s, 4 s ... 60 s.
DWORD BackOffMs(unsigned attempt);
constexpr unsigned LONGEST_WAIT_ATTEMPT = 7;   // from this failure on the wait is a minute

enum {
    PUT_OFF_FULL = 0,   // no room: the caller says what is lost
    PUT_OFF_KEPT,       // kept until its wait is over
    PUT_OFF_WAITING,    // a read or walk of the same path waits already, and is kept instead
};

// Keeps work (its attempt counted already) until its wait is over. A read or walk of the same path
// (the same name, as it is written) waiting already is kept instead. At most 4096 are kept.
int PutOffWork(const PutOff &work);

// For work that found no room (here or in another bounded table): a walk of the watched folder that
// holds path, once a wait is over, reads every file there the memory cannot vouch for, so that no
// room delays a file but never gives it up. There is always room: one walk per watched folder; its
// wait doubles while it is asked for again within a minute of its last walk.
void RescanLater(const wchar_t *path);

// Milliseconds until the next work is due; INFINITE when nothing waits.
DWORD NextDueMs(void);

// Takes work whose wait is over into *out; 0 when none is due.
int TakeDue(PutOff *out);
