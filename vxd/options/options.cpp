// The driver's copies of the settings: taken over from the shared record at the control codes,
// read by the scan thread. The front end writes the record without a lock; the copies do not
// change under a scan.
#include "vxd/options/options.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "base/bounded.h"
#include "driver/address.h"
#include "vxd/common/paths.h"
#include "vxd/common/shared.h"
#include "vxd/common/text.h"
#include "vxd/journal/journal.h"
#include "vxd/options/scan_rules.h"

static CRITICAL_SECTION optionsLock;
static ScanOptions options;                     // under optionsLock
static char exclusionCopy[EXCLUSIONS_SIZE];     // under optionsLock: as the front end wrote it
static wchar_t wideExclusions[EXCLUSIONS_SIZE]; // under optionsLock: the same in UTF-16, upper case

void InitOptions(void)
{
    InitializeCriticalSection(&optionsLock);
    options.scanType = SCAN_ALL;
    options.scanOn = SCAN_ON_BOTH;
    options.action = ACTION_REPORT_ONLY;
}

// Copies the list in force from the front end's buffer, which the Extensions dialog rewrites in
// place without a word: taken only when read whole, terminated within the buffer and the same on
// a second look (a list caught while being rewritten is taken at a later file). Journals it when
// it differs from ours. Call with optionsLock held.
static void TakeInUse(int journal)
{
    const volatile char *shared = FromAddress32<const volatile char>(sharedBlock->inUse);
    char list[IN_USE_SIZE] = {};
    size_t length = 0;
    while (length < IN_USE_SIZE && (list[length] = shared[length]) != 0)
        length++;
    if (length == IN_USE_SIZE)
        return;   // no end within its buffer
    for (size_t i = 0; i <= length; i++) {
        if (shared[i] != list[i])
            return;   // changed while read
    }
    if (std::strcmp(list, options.inUse) == 0)
        return;
    std::memcpy(options.inUse, list, sizeof list);
    if (!journal)
        return;
    int used = 0;
    int ignored = 0;
    CountExtensions(list, sizeof list, &used, &ignored);
    JournalLine("EXTENSIONS %s used=%d ignored=%d", list, used, ignored);
}

void TakeScanOptions(int journal)
{
    EnterCriticalSection(&optionsLock);
    options.scanType = sharedBlock->scanType;
    options.scanOn = sharedBlock->scanOn;
    options.archives = sharedBlock->archives;
    TakeInUse(journal);
    LeaveCriticalSection(&optionsLock);
}

void TakeActionOptions(void)
{
    EnterCriticalSection(&optionsLock);
    options.action = sharedBlock->action;
    options.onlyLog = sharedBlock->onlyLog;
    CopyBounded(options.moveDir, sizeof options.moveDir, sharedBlock->moveDir);
    LeaveCriticalSection(&optionsLock);
}

// An entry's ANSI path in UTF-16, or -1 when the code page cannot read all of it: such an entry
// must not come to match a name it was never written for.
static int WidenAnsi(const char *text, size_t length, wchar_t *out, size_t room)
{
    if (length == 0)
        return 0;
    int count = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), out,
                                    static_cast<int>(room));
    return count > 0 ? count : -1;
}

void TakeExclusions(int journal)
{
    EnterCriticalSection(&optionsLock);
    CopyBounded(exclusionCopy, sizeof exclusionCopy, FromAddress32<const char>(sharedBlock->exclusions));
    int stray = 0;
    int entries = CountExclusions(exclusionCopy, sizeof exclusionCopy, &stray);
    int unread = WidenExclusions(exclusionCopy, sizeof exclusionCopy, WidenAnsi, wideExclusions, EXCLUSIONS_SIZE);
    CharUpperW(wideExclusions);   // names compare without regard to case, beyond ASCII too
    LeaveCriticalSection(&optionsLock);
    if (journal)
        JournalLine("EXCLUSIONS entries=%d ignored=%d", entries - unread, stray + unread);
}

void CurrentOptions(ScanOptions *out)
{
    EnterCriticalSection(&optionsLock);
    if (sharedBlock != nullptr)
        TakeInUse(1);
    *out = options;
    LeaveCriticalSection(&optionsLock);
}

int IsExcludedPath(const wchar_t *path)
{
    std::wstring key = NameKey(path);
    EnterCriticalSection(&optionsLock);
    int excluded = IsExcluded(wideExclusions, EXCLUSIONS_SIZE, key.c_str());
    LeaveCriticalSection(&optionsLock);
    return excluded;
}

void OptionLists(char *inUse, size_t inUseSize, char *exclusions, size_t exclusionsSize)
{
    EnterCriticalSection(&optionsLock);
    CopyBounded(inUse, inUseSize, options.inUse);
    CopyBounded(exclusions, exclusionsSize, exclusionCopy);
    LeaveCriticalSection(&optionsLock);
}
