// Denying access to an infected file, as asked or in place of a disinfection.
#include "vxd/act/deny.h"

#include "vxd/act/held.h"
#include "vxd/act/identity.h"
#include "vxd/journal/journal.h"
#include "vxd/options/options.h"
#include "vxd/report/report.h"

void DenyAccess(const Acting &a)
{
    int disinfect = a.action == ACTION_DISINFECT;
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    int opened = IsHeld(a.path) ? OPENED
                                : OpenToAct(a, GENERIC_READ, disinfect ? LOG_DISINFECTION : LOG_INFECTION,
                                            disinfect ? "Not disinfected" : "Access not denied", &file, &error);
    if (opened != OPENED && opened != FAILED)
        return;
    int held = opened == OPENED && (file == INVALID_HANDLE_VALUE || Hold(a.path, file));
    if (opened == OPENED && !held)
        error = GetLastError();
    if (disinfect) {
        JournalLine("ACTION %s not disinfected; access %s", a.foundName, held ? "denied instead" : "not denied either");
        ReportEntry(LOG_DISINFECTION, "Not disinfected: %s (it cannot be cleaned); %s", a.foundName,
                    held ? "access denied instead" : "access could not be denied either");
    } else if (held) {
        JournalLine("ACTION denied %s", a.foundName);
        ReportEntry(LOG_INFECTION, "Access denied: %s", a.foundName);
    } else {
        JournalLine("ACTION %s not denied error=%lu", a.foundName, static_cast<unsigned long>(error));
        ReportEntry(LOG_INFECTION, "Access not denied: %s (error %lu)", a.foundName, static_cast<unsigned long>(error));
    }
}
