// What every action shares: opening the file scanned, the retry while it is held, and denying
// access instead.
#include "vxd/act/acting.h"

#include "vxd/act/held.h"
#include "vxd/act/identity.h"
#include "vxd/act/through_handle.h"
#include "vxd/common/text.h"
#include "vxd/journal/journal.h"
#include "vxd/queue/retry.h"
#include "vxd/report/report.h"

static_assert(2 * UTF8_PATH + 256 <= REPORT_TEXT_SIZE, "an action's line holds both names in full");

void CountAction(volatile uint32_t *counter)
{
    InterlockedIncrement(reinterpret_cast<volatile LONG *>(counter));
}

void AnsiName(const wchar_t *path, char *out, size_t size)
{
    WideToCodePage(CP_ACP, path, out, size);
}

// Why an action left the file alone, for the journal and the report.
static const char *Reason(int opened)
{
    return opened == GONE ? "it is gone" : "it changed after it was scanned";
}

// Puts an action refused because another program holds the file off until later. Without room
// for it, the file's watched folder is walked again later: the version is known infected, so the
// walk reads it and it is acted on anew.
static void ActLater(const Acting &a, DWORD error)
{
    PutOff work = {};
    work.kind = PUT_OFF_ACTION;
    work.path = a.path;
    work.attempt = a.attempt + 1;
    work.version = a.version;
    work.foundName = a.foundName;
    work.action = a.action;
    work.moveDir = a.moveDir;
    if (PutOffWork(work) == PUT_OFF_FULL) {
        NoteHandled(a.path, nullptr, a.version);   // what the walk finds there is judged anew
        RescanLater(a.path);
        JournalLine("ACTION %s refused error=%lu; no room to wait alone: its watched folder is walked again later",
                    a.foundName, static_cast<unsigned long>(error));
    } else if (work.attempt == 1 || work.attempt == LONGEST_WAIT_ATTEMPT) {
        JournalLine("ACTION %s refused error=%lu; tried again in %lu s", a.foundName, static_cast<unsigned long>(error),
                    static_cast<unsigned long>(BackOffMs(work.attempt) / 1000));
    }
}

int OpenToAct(const Acting &a, DWORD access, uint32_t kind, const char *failure, HANDLE *file, DWORD *error)
{
    int opened = OpenScanned(a.path, a.version.identity, access, file, error);
    if (opened == REFUSED)
        ActLater(a, *error);
    if (opened == GONE || opened == CHANGED) {
        JournalLine("ACTION %s not done: %s", a.foundName, Reason(opened));
        ReportEntry(kind, "%s: %s (%s)", failure, a.foundName, Reason(opened));
    }
    return opened;
}

void DenyInstead(const Acting &a, uint32_t kind, const char *failure, DWORD cause)
{
    int held = Deny(a.path, a.version.identity);
    JournalLine("ACTION %s failed error=%lu; %s", a.foundName, static_cast<unsigned long>(cause),
                held ? "access denied instead" : "access not denied either");
    ReportEntry(kind, "%s: %s (error %lu); %s", failure, a.foundName, static_cast<unsigned long>(cause),
                held ? "access denied instead" : "access could not be denied either");
}
