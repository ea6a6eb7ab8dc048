// What happens to an infected file, by the action in force. Each action has its file (deny.cpp,
// move.cpp, delete.cpp), and what they share is in acting.cpp.
//
// An action works through a handle of its own, opened without sharing and checked to be the file
// scanned (volume, file index, size, time written) before anything is done (identity.cpp): a file
// saved under the name since the scan is never touched, and no other program can swap the file
// while the action runs (through_handle.cpp).
#include "vxd/act/actions.h"

#include "vxd/act/acting.h"
#include "vxd/act/delete.h"
#include "vxd/act/deny.h"
#include "vxd/act/move.h"
#include "vxd/journal/journal.h"
#include "vxd/options/options.h"

static void Act(const Acting &a)
{
    switch (a.action) {
    case ACTION_DENY:
    case ACTION_DISINFECT:
        DenyAccess(a);
        return;
    case ACTION_RENAME:
        Rename(a);
        return;
    case ACTION_MOVE:
        Move(a);
        return;
    case ACTION_DELETE:
        Delete(a);
        return;
    }
    JournalLine("ACTION reported %s", a.foundName);   // report only, or an action outside 1 to 6
}

void ActOnInfected(const wchar_t *path, const ScannedVersion &version, const char *foundName, uint32_t action,
                   const char *moveDir)
{
    Act({path, version, foundName, action, moveDir, 0});
}

void ActAgain(const PutOff &work)
{
    Act({work.path.c_str(), work.version, work.foundName.c_str(), work.action, work.moveDir.c_str(), work.attempt});
}
