// Work put off by the scan thread: reads and walks tried again, journalled as they wait.
#include "vxd/scan/later.h"

#include <cstdio>

#include "vxd/journal/journal.h"

void Later(const PutOff &work, const char *name, const char *why, const char *verb)
{
    int kept = PutOffWork(work);
    if (kept == PUT_OFF_FULL) {
        RescanLater(work.path.c_str());
        JournalLine("RETRY %s %s; no room to wait alone: its watched folder is walked again later", name, why);
    }
    else if (kept == PUT_OFF_KEPT && (work.attempt == 1 || work.attempt == LONGEST_WAIT_ATTEMPT))
        JournalLine("RETRY %s %s; %s again in %lu s", name, why, verb,
                    static_cast<unsigned long>(BackOffMs(work.attempt) / 1000));
}

void ReadLater(const wchar_t *path, const char *ansiPath, int fresh, unsigned attempt, const char *why)
{
    PutOff work = {};
    work.kind = PUT_OFF_READ;
    work.path = path;
    work.attempt = attempt + 1;
    work.fresh = fresh;
    Later(work, ansiPath, why, "read");
}

void ReadErrorLater(const wchar_t *path, const char *ansiPath, int fresh, unsigned attempt, DWORD error)
{
    char why[32];
    std::snprintf(why, sizeof why, "error=%lu", static_cast<unsigned long>(error));
    ReadLater(path, ansiPath, fresh, attempt, why);
}
