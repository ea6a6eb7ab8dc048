// Scanning one file on the scan thread: whether the settings ask for it, reading it, the built-in
// rule and the engine, and what follows a detection.
#include "vxd/scan/scan.h"

#include <cstdio>
#include <string>
#include <vector>

#include "base/bounded.h"
#include "vxd/act/actions.h"
#include "vxd/common/shared.h"
#include "vxd/common/text.h"
#include "vxd/config/config.h"
#include "vxd/engine/engine.h"
#include "vxd/journal/journal.h"
#include "vxd/options/options.h"
#include "vxd/options/scan_rules.h"
#include "vxd/queue/folder_walk.h"
#include "vxd/queue/queue.h"
#include "vxd/queue/versions.h"
#include "vxd/report/detections.h"
#include "vxd/report/report.h"
#include "vxd/scan/detect.h"
#include "vxd/scan/zip_reader.h"

volatile LONG scanningEnabled = 1;

constexpr int OPEN_ATTEMPTS = 5;            // a writer may still hold the file
constexpr DWORD OPEN_RETRY_MS = 20;
constexpr size_t READ_LIMIT = 64u << 20;    // larger files: only what the built-in rule needs
constexpr size_t KEEP_BYTES = 1u << 20;     // the reading buffer kept between files, at most
constexpr size_t NAME_SIZE = 1024;          // a found name: the file's, or the archive's and a member's
constexpr char BUILT_IN_NAME[] = "anti-virus test file";
constexpr int ARCHIVE_DEPTH = 3;            // archives inside archives, at most this deep
// Against zip bombs: what the members of one archive may inflate to.
constexpr ZipLimits ARCHIVE_LIMITS = {32u << 20, 256u << 20, 10000};

static std::vector<unsigned char> content;  // the scan thread's reading buffer, kept between files

static HANDLE OpenForScan(const wchar_t *path, DWORD *error)
{
    for (int attempt = 0;; attempt++) {
        HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            return file;
        *error = GetLastError();
        if (*error == ERROR_FILE_NOT_FOUND || *error == ERROR_PATH_NOT_FOUND || attempt + 1 == OPEN_ATTEMPTS)
            return INVALID_HANDLE_VALUE;
        Sleep(OPEN_RETRY_MS);
    }
}

// Reads on from the file's position into content from byte count on, up to limit bytes in all; the
// count held then (a file may shrink meanwhile).
static size_t ReadContent(HANDLE file, size_t count, size_t limit)
{
    if (content.size() < limit)
        content.resize(limit);
    DWORD got = 0;
    while (count < limit) {
        DWORD chunk = static_cast<DWORD>(limit - count < (1u << 20) ? limit - count : (1u << 20));
        if (!ReadFile(file, content.data() + count, chunk, &got, nullptr) || got == 0)
            break;
        count += got;
    }
    return count;
}

// What the rule and the engine make of one stretch of bytes (a file, or a member of an archive).
struct Verdict {
    int found;
    char threat[128];     // the signature's name
};

static void Judge(const unsigned char *bytes, size_t count, uint64_t fullSize, const char *label, Verdict *verdict)
{
    verdict->found = 0;
    verdict->threat[0] = 0;
    if (IsTestFile(bytes, count, static_cast<size_t>(fullSize < TEST_FILE_MAX_SIZE + 1 ? fullSize : TEST_FILE_MAX_SIZE + 1))) {
        verdict->found = 1;
        CopyBounded(verdict->threat, BUILT_IN_NAME);
        return;
    }
    int found = 0;
    char threat[sizeof verdict->threat];
    if (count == fullSize && AskEngine(bytes, count, label, &found, threat, sizeof threat) && found) {
        verdict->found = 1;
        CopyBounded(verdict->threat, threat);
    }
}

// One archive being looked into, for the member visits.
struct ArchiveScan {
    const char *ansiPath;       // the file's own name
    std::string prefix;         // "|"-separated members leading to this archive ("" at the top)
    const ScanOptions *options;
    int depth;
    int found;
    Verdict verdict;
    std::string member;         // the member found, after prefix
};

static int ScanArchive(const unsigned char *zip, size_t size, ArchiveScan *scan);

static int VisitMember(const ZipMember &member, void *context)
{
    ArchiveScan *scan = static_cast<ArchiveScan *>(context);
    std::string name = scan->prefix + "|" + member.name;
    if (member.status != ZIP_MEMBER_READ) {
        JournalLine("ARCHIVE %s%s skipped: %s", scan->ansiPath, name.c_str(), ZipMemberStatusText(member.status));
        return 1;
    }
    const ScanOptions &o = *scan->options;
    if (WantsFile(o.scanType, o.inUse, sizeof o.inUse, member.name)) {
        std::string label = scan->ansiPath + name;
        Judge(member.data, member.size, member.size, label.c_str(), &scan->verdict);
        if (scan->verdict.found) {
            scan->found = 1;
            scan->member = name;
            return 0;
        }
    }
    if (LooksLikeZip(member.data, member.size) && scan->depth < ARCHIVE_DEPTH) {
        ArchiveScan inner = *scan;
        inner.prefix = name;
        inner.depth++;
        if (ScanArchive(member.data, member.size, &inner)) {
            scan->found = 1;
            scan->verdict = inner.verdict;
            scan->member = inner.member;
            return 0;
        }
    }
    return 1;
}

// 1 when a member (at any depth) was found infected; scan->member names it.
static int ScanArchive(const unsigned char *zip, size_t size, ArchiveScan *scan)
{
    int result = ReadZip(zip, size, ARCHIVE_LIMITS, VisitMember, scan);
    if (result != ZIP_DONE && result != ZIP_STOPPED)
        JournalLine("ARCHIVE %s%s: %s", scan->ansiPath, scan->prefix.c_str(), ZipResultText(result));
    return scan->found;
}

// A detection: counted, journalled, reported, acted on, and the front end told under the name it
// was found by.
static void Detect(const wchar_t *path, const char *foundName, const char *oemName, const Verdict &verdict,
                   const ScanOptions &options)
{
    InterlockedIncrement(reinterpret_cast<volatile LONG *>(&sharedBlock->filesInfected));
    JournalLine("DETECT %s", foundName);
    JournalLine("THREAT %s", verdict.threat);
    ReportEntry(LOG_INFECTION, "Infected: %s (%s)", foundName, verdict.threat);
    if (options.onlyLog)
        ReportEntry(LOG_INFECTION, "Only logged: %s", foundName);
    else
        ActOnInfected(path, foundName, options);
    PostDetection(oemName);
}

// Scans the file at path if the settings ask for it; fresh: it arrived under a new name.
static void ScanChosenFile(const wchar_t *path, int fresh)
{
    if (!scanningEnabled || IsHeld(path))
        return;
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;   // gone already
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (fresh)
            QueueFolderContents(path);
        return;
    }
    char ansiPath[NAME_SIZE];
    if (!WideToCodePage(CP_ACP, path, ansiPath, sizeof ansiPath)) {
        JournalLine("SKIP %s name too long", ansiPath);
        return;
    }
    if (IsExcludedPath(path))
        return;
    ScanOptions options;
    CurrentOptions(&options);
    // A watcher cannot see a file opened or run; of "open, copy, run" it sees the copy arrive.
    if (options.scanOn == SCAN_ON_OPEN && !fresh)
        return;
    int wanted = WantsFile(options.scanType, options.inUse, sizeof options.inUse, ansiPath);
    // Archives are looked into whatever the scan type; their members are chosen by it.
    int archive = options.archives && lstrcmpiA(ExtensionOf(ansiPath), "ZIP") == 0;
    if (!wanted && !archive)
        return;

    DWORD error = 0;
    HANDLE file = OpenForScan(path, &error);
    if (file == INVALID_HANDLE_VALUE) {
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            JournalLine("SKIP %s error=%lu", ansiPath, static_cast<unsigned long>(error));
        return;
    }
    BY_HANDLE_FILE_INFORMATION info;
    // The journal and the report are known by the file, not by a name: they may be reached by
    // several (a short name, another drive letter), and scanning them would write them again.
    if (!GetFileInformationByHandle(file, &info) || IsJournalFile(IdentityOf(info)) || IsReportFile(IdentityOf(info))) {
        CloseHandle(file);
        return;
    }
    uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (ScannedLately(path, size, info.ftLastWriteTime)) {
        CloseHandle(file);
        return;
    }
    // The built-in rule needs one byte more than the test file may have, to see a file that grew;
    // the engine needs all of it.
    size_t limit = TEST_FILE_MAX_SIZE + 1;
    size_t count = ReadContent(file, 0, limit);
    int zip = options.archives && LooksLikeZip(content.data(), count);
    if ((zip || (wanted && config.engineClamd)) && count == limit) {
        if (size <= READ_LIMIT) {
            limit = static_cast<size_t>(size) + 1;
            count = ReadContent(file, count, limit);
        } else if (zip) {
            JournalLine("ARCHIVE %s not opened: larger than %lu bytes", ansiPath, static_cast<unsigned long>(READ_LIMIT));
        }
    }
    CloseHandle(file);

    // lastFile before the counter, so that whoever sees the count grow finds the name in place.
    char lastFile[LAST_FILE_TEXT_SIZE];
    WideToCodePage(CP_ACP, path, lastFile, sizeof lastFile);
    CopyBounded(sharedBlock->lastFile, LAST_FILE_TEXT_SIZE, lastFile);
    InterlockedIncrement(reinterpret_cast<volatile LONG *>(&sharedBlock->filesScanned));
    sharedBlock->blinkCount = config.blinkSteps;
    JournalLine("SCAN %s", ansiPath);

    Verdict verdict = {};
    uint64_t fullSize = count < limit ? count : size;
    if (wanted)
        Judge(content.data(), count, fullSize, ansiPath, &verdict);
    char oemName[NAME_SIZE];
    WideToCodePage(CP_OEMCP, path, oemName, sizeof oemName);
    if (verdict.found) {
        Detect(path, ansiPath, oemName, verdict, options);
        return;
    }
    if (zip && count == fullSize) {
        ArchiveScan scan = {ansiPath, "", &options, 1, 0, {}, ""};
        if (ScanArchive(content.data(), count, &scan)) {
            // The alert and the report name the member after the archive, the action takes the archive.
            char foundName[NAME_SIZE];
            char foundOem[NAME_SIZE];
            std::snprintf(foundName, sizeof foundName, "%s%s", ansiPath, scan.member.c_str());
            std::snprintf(foundOem, sizeof foundOem, "%s%s", oemName, scan.member.c_str());
            Detect(path, foundName, foundOem, scan.verdict, options);
        }
    }
}

static void ScanFile(const wchar_t *path, int fresh)
{
    ScanChosenFile(path, fresh);
    if (content.size() > KEEP_BYTES)
        std::vector<unsigned char>().swap(content);   // a large file's buffer is not kept for the next
}

// Scans the queued names one by one; sleeps while there are none.
static DWORD WINAPI ScanThreadProc(void *)
{
    for (;;) {
        QueuedName name;
        TakeQueued(&name);
        ScanFile(name.path.c_str(), name.fresh);
    }
}

void StartScanThread(void)
{
    HANDLE thread = CreateThread(nullptr, 0, ScanThreadProc, nullptr, 0, nullptr);
    if (thread != nullptr)
        CloseHandle(thread);
}
