// Deleting an infected file, and what is said of it.
#include "vxd/act/delete.h"

#include "vxd/act/held.h"
#include "vxd/act/identity.h"
#include "vxd/act/through_handle.h"
#include "vxd/common/shared.h"
#include "vxd/journal/journal.h"
#include "vxd/queue/versions.h"
#include "vxd/report/report.h"

void Delete(const Acting &a)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    int opened = OpenToAct(a, ACT_ACCESS, LOG_DELETE, "Not deleted", &file, &error);
    if (opened == FAILED)
        DenyInstead(a, LOG_DELETE, "Not deleted", error);
    if (opened != OPENED)
        return;
    if ((error = Remove(a.path, a.version.identity, &file)) != 0) {
        int held = DenyRemaining(a.path, a.version.identity, file);
        JournalLine("ACTION %s failed error=%lu; %s", a.foundName, static_cast<unsigned long>(error),
                    held ? "access denied instead" : "access not denied either");
        ReportEntry(LOG_DELETE, "Not deleted: %s (error %lu); %s", a.foundName, static_cast<unsigned long>(error),
                    held ? "access denied instead" : "access could not be denied either");
        return;
    }
    NoteHandled(a.path, nullptr, a.version);
    CountAction(&sharedBlock->deletedCount);
    JournalLine("ACTION deleted %s", a.foundName);
    ReportEntry(LOG_DELETE, "Deleted: %s", a.foundName);
}
