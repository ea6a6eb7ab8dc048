// Looking inside archives on the scan thread: the members of a ZIP archive and of the archives
// inside it, judged by the rule and the engine within one budget for the whole file.
#include "vxd/scan/archive_scan.h"

#include <windows.h>

#include "vxd/config/config.h"
#include "vxd/journal/journal.h"
#include "vxd/options/scan_rules.h"
#include "vxd/scan/detect.h"
#include "vxd/scan/zip_reader.h"

constexpr int ARCHIVE_DEPTH = 3;            // archives inside archives, at most this deep
// Against crafted archives, for one file with every archive inside it: a member inflates 32 MB at
// most, all of them together 128 MB, 10000 members, and the reading ends after 750 ms, so that
// the next file waits no longer than a second.
constexpr ZipLimits ARCHIVE_LIMITS = {32u << 20, 128u << 20, 10000, 0};
constexpr DWORD ARCHIVE_MS = 750;

static DWORD archiveStart;                  // GetTickCount when the archive being read was opened

static int ArchiveOverdue(void)
{
    return GetTickCount() - archiveStart > ARCHIVE_MS;
}

// One archive being looked into, for the member visits.
struct ArchiveScan {
    const ZipLimits *limits;
    const char *ansiPath;       // the file's own name
    std::string prefix;         // "|"-separated members leading to this archive ("" at the top)
    const ScanOptions *options;
    int depth;
    ZipBudget *budget;          // the file's, shared by every archive inside it
    int found;
    Verdict verdict;
    std::string member;         // the member found, after prefix
};

static int ScanArchive(const unsigned char *zip, size_t size, ArchiveScan *scan, int *result);

static int VisitMember(const ZipMember &member, void *context)
{
    ArchiveScan *scan = static_cast<ArchiveScan *>(context);
    std::string name = scan->prefix + "|" + member.name;
    if (member.status != ZIP_MEMBER_READ) {
        JournalLine("ARCHIVE %s%s skipped: %s", scan->ansiPath, name.c_str(), ZipMemberStatusText(member.status));
        return 1;
    }
    const ScanOptions &o = *scan->options;
    if (WantsFile(o.scanType, o.inUse, sizeof o.inUse, NameAsWritten(member.name).c_str())) {
        std::string label = scan->ansiPath + name;
        Judge(member.data, member.size, member.cut ? member.size + 1 : member.size, label.c_str(), &scan->verdict);
        if (scan->verdict.found) {
            scan->found = 1;
            scan->member = name;
            return 0;
        }
    }
    // A member cut short is no archive (it does not begin like one) and has no end to search.
    if (scan->depth < ARCHIVE_DEPTH && !member.cut && HoldsZip(member.data, member.size)) {
        ArchiveScan inner = *scan;
        inner.prefix = name;
        inner.depth++;
        int found = ScanArchive(member.data, member.size, &inner, nullptr);
        scan->verdict.unconfirmed |= inner.verdict.unconfirmed;
        if (found) {
            scan->found = 1;
            scan->verdict = inner.verdict;
            scan->member = inner.member;
            return 0;
        }
    }
    return 1;
}

// 1 when a member (at any depth) was found infected; scan->member names it. An archive inside that
// cannot be read is journalled like a member that cannot; the file's own archive (*result) is left
// to the caller. A bound of the budget is journalled once, for the whole file, by the caller too.
static int ScanArchive(const unsigned char *zip, size_t size, ArchiveScan *scan, int *result)
{
    int read = ReadZip(zip, size, *scan->limits, scan->budget, VisitMember, scan);
    if (result != nullptr)
        *result = read;
    else if (read == ZIP_COUNT_WRONG)
        JournalLine("ARCHIVE %s%s: %s", scan->ansiPath, scan->prefix.c_str(), ZipResultText(read));
    else if (read != ZIP_DONE && read != ZIP_STOPPED && read != scan->budget->reached)
        JournalLine("ARCHIVE %s%s skipped: %s", scan->ansiPath, scan->prefix.c_str(), ZipResultText(read));
    return scan->found;
}

int ScanArchiveMembers(const unsigned char *zip, size_t size, const char *ansiPath, const ScanOptions &options,
                       Verdict *verdict, std::string *member)
{
    archiveStart = GetTickCount();
    ZipLimits limits = ARCHIVE_LIMITS;
    if (!config.engineClamd)
        limits.judgedBytes = TEST_FILE_MAX_SIZE + 1;   // the built-in rule alone: no member is larger
    ZipBudget budget = MakeZipBudget(limits, ArchiveOverdue);
    ArchiveScan scan = {&limits, ansiPath, "", &options, 1, &budget, 0, *verdict, ""};
    int result = ZIP_DONE;
    int found = ScanArchive(zip, size, &scan, &result);
    verdict->unconfirmed |= scan.verdict.unconfirmed;
    if (found) {
        *verdict = scan.verdict;
        *member = scan.member;
        return ARCHIVE_FOUND;
    }
    // Only an archive read whole counts as scanned: one that was not is no clean file.
    if (result == ZIP_DONE)
        return ARCHIVE_READ;
    if (result == ZIP_COUNT_WRONG) {
        JournalLine("ARCHIVE %s: %s", ansiPath, ZipResultText(result));   // every member found was read
        return ARCHIVE_READ;
    }
    JournalLine("ARCHIVE %s skipped: %s", ansiPath, ZipResultText(budget.reached ? budget.reached : result));
    return ARCHIVE_UNREAD;
}
