// Scanning on the scan thread: each queued file the settings choose is read whole, judged by the
// built-in rule and the engine, and a detection is counted, reported, acted on and posted; the
// walks that make up for lost notices; and the work put off until later.
#include "vxd/scan/scan.h"

#include <cstdio>
#include <cstring>
#include <memory>
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
#include "vxd/queue/retry.h"
#include "vxd/queue/versions.h"
#include "vxd/report/detections.h"
#include "vxd/report/report.h"
#include "vxd/scan/detect.h"
#include "vxd/scan/zip_reader.h"

volatile LONG scanningEnabled = 1;

constexpr size_t READ_LIMIT = 64u << 20;    // larger files: only what the built-in rule needs
constexpr size_t KEEP_BYTES = 1u << 20;     // a reading buffer kept while no file waits, at most
constexpr size_t SPARE_BUFFERS = ENGINE_WINDOW + 1;  // reading buffers kept for the next files,
constexpr size_t SPARE_BYTES = 32u << 20;            // holding this much at most
constexpr size_t ENGINE_HELD_BYTES = 32u << 20;   // the files left in the engine's hands while the
                                                  // next is read hold this much, at most
constexpr size_t NAME_SIZE = 1024;          // a found name: the file's, or the archive's and a member's
constexpr char BUILT_IN_NAME[] = "anti-virus test file";
constexpr int ARCHIVE_DEPTH = 3;            // archives inside archives, at most this deep
// Against crafted archives, for one file with every archive inside it: a member inflates 32 MB at
// most, all of them together 128 MB, 10000 members, and the reading ends after 750 ms, so that
// the next file waits no longer than a second.
constexpr ZipLimits ARCHIVE_LIMITS = {32u << 20, 128u << 20, 10000, 0};
constexpr DWORD ARCHIVE_MS = 750;

// A reading buffer. Room is added uncleared (every byte used is read into it first), and only the
// bytes read so far are copied into it: clearing and copying a large file's room cost more than
// reading the file.
struct ReadBuffer {
    std::unique_ptr<unsigned char[]> bytes;
    size_t size;
};

static ReadBuffer content;                  // the scan thread's, kept between files (new memory
                                            // costs more than reading into it)
static std::vector<ReadBuffer> spare;       // reading buffers of judged files, for the next ones
static DWORD archiveStart;                  // GetTickCount when the archive being read was opened

static int ArchiveOverdue(void)
{
    return GetTickCount() - archiveStart > ARCHIVE_MS;
}

// Room in content for limit bytes, keeping the count read. New memory costs a page fault per page,
// as much as reading into it, so the buffers are handed round: a read of up to a megabyte takes a
// spare one of a megabyte, a larger read the smallest spare that holds it, and a large buffer waits
// for the next large file. Only when none fits is one made, of whole megabytes; the one given up is
// kept. Of too many spare buffers the smallest, the cheapest to make again, are let go, and of too
// large ones together the largest.
static void MakeRoom(size_t count, size_t limit)
{
    size_t best = spare.size();
    for (size_t i = 0; i < spare.size(); i++) {
        if (spare[i].size >= limit && (limit > KEEP_BYTES || spare[i].size <= KEEP_BYTES)
            && (best == spare.size() || spare[i].size < spare[best].size))
            best = i;
    }
    ReadBuffer room;
    if (best < spare.size()) {
        room = std::move(spare[best]);
        spare.erase(spare.begin() + static_cast<std::ptrdiff_t>(best));
    } else {
        room.size = (limit + KEEP_BYTES - 1) / KEEP_BYTES * KEEP_BYTES;
        room.bytes.reset(new unsigned char[room.size]);
    }
    if (count > 0)
        std::memcpy(room.bytes.get(), content.bytes.get(), count);
    if (content.size > 0)
        spare.push_back(std::move(content));
    content = std::move(room);
    size_t held = 0;
    for (const ReadBuffer &b : spare)
        held += b.size;
    while (!spare.empty() && (spare.size() > SPARE_BUFFERS || held > SPARE_BYTES)) {
        size_t drop = 0;
        for (size_t i = 1; i < spare.size(); i++) {
            if (held > SPARE_BYTES ? spare[i].size > spare[drop].size : spare[i].size < spare[drop].size)
                drop = i;
        }
        held -= spare[drop].size;
        spare.erase(spare.begin() + static_cast<std::ptrdiff_t>(drop));
    }
}

// Reads on from the file's position into content from byte *count on, up to limit bytes in all
// (fewer when the file ends). 0 with *error set when a read failed.
static int ReadContent(HANDLE file, size_t *count, size_t limit, DWORD *error)
{
    if (content.size < limit)
        MakeRoom(*count, limit);
    while (*count < limit) {
        DWORD chunk = static_cast<DWORD>(limit - *count < (1u << 20) ? limit - *count : (1u << 20));
        DWORD got = 0;
        if (!ReadFile(file, content.bytes.get() + *count, chunk, &got, nullptr)) {
            *error = GetLastError();
            return 0;
        }
        if (got == 0)
            return 1;
        *count += got;
    }
    return 1;
}

// What the rule and the engine make of one stretch of bytes (a file, or a member of an archive).
struct Verdict {
    int found;
    char threat[128];     // the signature's name
};

// The built-in rule on count bytes of a stretch of fullSize bytes.
static int JudgeBuiltIn(const unsigned char *bytes, size_t count, uint64_t fullSize, Verdict *verdict)
{
    verdict->found = 0;
    verdict->threat[0] = 0;
    if (!IsTestFile(bytes, count, static_cast<size_t>(fullSize < TEST_FILE_MAX_SIZE + 1 ? fullSize : TEST_FILE_MAX_SIZE + 1)))
        return 0;
    verdict->found = 1;
    CopyBounded(verdict->threat, BUILT_IN_NAME);
    return 1;
}

// count bytes of a stretch of fullSize bytes: the engine is asked only when they are all there.
static void Judge(const unsigned char *bytes, size_t count, uint64_t fullSize, const char *label, Verdict *verdict)
{
    if (JudgeBuiltIn(bytes, count, fullSize, verdict))
        return;
    int found = 0;
    char threat[sizeof verdict->threat];
    if (count == fullSize && AskEngine(bytes, count, label, &found, threat, sizeof threat) && found) {
        verdict->found = 1;
        CopyBounded(verdict->threat, threat);
    }
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
        Judge(member.data, member.size, member.cut ? member.size + 1 : member.size, label.c_str(), &scan->verdict);
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

// 1 when a member (at any depth) was found infected; scan->member names it. A bound of the budget
// is journalled once, for the whole file, by whoever began the reading.
static int ScanArchive(const unsigned char *zip, size_t size, ArchiveScan *scan)
{
    int result = ReadZip(zip, size, *scan->limits, scan->budget, VisitMember, scan);
    if (result == ZIP_ENTRIES_OVERLAP)
        JournalLine("ARCHIVE %s%s skipped: %s", scan->ansiPath, scan->prefix.c_str(), ZipResultText(result));
    else if (result != ZIP_DONE && result != ZIP_STOPPED && result != scan->budget->reached)
        JournalLine("ARCHIVE %s%s: %s", scan->ansiPath, scan->prefix.c_str(), ZipResultText(result));
    return scan->found;
}

// 1 when what follows a detection opens the file and compares it with the version scanned, volume
// and all: only then is the volume asked for (under Wine a call into another process, slower than
// reading a small file). Reporting alone needs none.
static int ActionComparesFile(const ScanOptions &options)
{
    return !options.onlyLog && options.action >= ACTION_DENY && options.action <= ACTION_DISINFECT;
}

// A detection: counted, journalled, reported, acted on, and the front end told under the name it
// was found by.
static void Detect(const wchar_t *path, const ScannedVersion &version, const char *foundName, const char *oemName,
                   const Verdict &verdict, const ScanOptions &options)
{
    InterlockedIncrement(reinterpret_cast<volatile LONG *>(&sharedBlock->filesInfected));
    JournalLine("DETECT %s", foundName);
    JournalLine("THREAT %s", verdict.threat);
    ReportEntry(LOG_INFECTION, "Infected: %s (%s)", foundName, verdict.threat);
    if (options.onlyLog)
        ReportEntry(LOG_INFECTION, "Only logged: %s", foundName);
    else
        ActOnInfected(path, version, foundName, options.action, options.moveDir);
    PostDetection(oemName);
}

// The file counts as scanned once judged: lastFile before the counter, so that whoever sees the
// count grow finds the name in place.
static void CountScanned(const wchar_t *path, const char *ansiPath)
{
    char lastFile[LAST_FILE_TEXT_SIZE];
    WideToCodePage(CP_ACP, path, lastFile, sizeof lastFile);
    CopyBounded(sharedBlock->lastFile, LAST_FILE_TEXT_SIZE, lastFile);
    InterlockedIncrement(reinterpret_cast<volatile LONG *>(&sharedBlock->filesScanned));
    sharedBlock->blinkCount = config.blinkSteps;
    JournalLine("SCAN %s", ansiPath);
}

// ---- Files in the engine's hands: a daemon scans one while the next is read and sent ------------

// A file handed to the engine: what its verdict is followed by. Its bytes stay here until then.
struct Pending {
    HANDLE file;                // held open until judged
    std::wstring path;
    ScannedVersion version;
    std::string ansiPath;
    std::string oemName;
    ScanOptions options;
    ReadBuffer bytes;
    int ticket;
};

static std::vector<Pending> pending;                      // ENGINE_WINDOW at most

// Takes the next verdict of a file in the engine's hands, as the daemons finish, and does what
// follows it.
static void FinishNext(void)
{
    int ticket = EngineNext();
    size_t at = 0;
    while (at < pending.size() && pending[at].ticket != ticket)
        at++;
    if (at == pending.size())
        at = 0;   // not expected: each file in the engine's hands has its ticket
    Pending p = std::move(pending[at]);
    pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(at));
    Verdict verdict = {};
    int found = 0;
    verdict.found = EngineVerdict(p.ticket, &found, verdict.threat, sizeof verdict.threat) && found;
    if (verdict.found && ActionComparesFile(p.options))
        ReadVolume(p.file, &p.version.identity);
    CloseHandle(p.file);
    CountScanned(p.path.c_str(), p.ansiPath.c_str());
    if (verdict.found)
        Detect(p.path.c_str(), p.version, p.ansiPath.c_str(), p.oemName.c_str(), verdict, p.options);
    spare.push_back(std::move(p.bytes));
}

// Waits for the verdicts until at most keep files are left in the engine's hands.
static void FinishPending(size_t keep)
{
    while (pending.size() > keep)
        FinishNext();
}

// Hands the file just read (content holds its count bytes; file is its handle, closed once it is
// judged) to the engine and leaves it there; 0 when the engine did not take it.
static int HandToEngine(HANDLE file, const wchar_t *path, const ScannedVersion &version, const char *ansiPath,
                        const char *oemName, const ScanOptions &options, size_t count)
{
    int ticket = EngineBegin(content.bytes.get(), count, ansiPath);
    if (ticket == 0)
        return 0;
    pending.push_back({file, path, version, ansiPath, oemName, options, {}, ticket});
    pending.back().bytes = std::move(content);
    content = {};   // the next file's read takes a spare buffer that suits it
    // The files in the engine's hands hold their bytes: large ones are not left there together.
    size_t held = 0;
    for (const Pending &p : pending)
        held += p.bytes.size;
    FinishPending(held > ENGINE_HELD_BYTES ? 0 : ENGINE_WINDOW - 1);
    return 1;
}

// Keeps work until later; journalled at its first wait and when the wait reaches its longest. name
// and why say what waits, verb what follows ("read", "listed").
static void Later(const PutOff &work, const char *name, const char *why, const char *verb)
{
    int kept = PutOffWork(work);
    if (kept == PUT_OFF_FULL)
        JournalLine("SKIP %s %s; no room to try again", name, why);
    else if (kept == PUT_OFF_KEPT && (work.attempt == 1 || work.attempt == LONGEST_WAIT_ATTEMPT))
        JournalLine("RETRY %s %s; %s again in %lu s", name, why, verb,
                    static_cast<unsigned long>(BackOffMs(work.attempt) / 1000));
}

// Puts off reading path (attempt: the tries that failed before this one) until it can be read whole.
static void ReadLater(const wchar_t *path, const char *ansiPath, int fresh, unsigned attempt, const char *why)
{
    PutOff work = {};
    work.kind = PUT_OFF_READ;
    work.path = path;
    work.attempt = attempt + 1;
    work.fresh = fresh;
    Later(work, ansiPath, why, "read");
}

static void ReadErrorLater(const wchar_t *path, const char *ansiPath, int fresh, unsigned attempt, DWORD error)
{
    char why[32];
    std::snprintf(why, sizeof why, "error=%lu", static_cast<unsigned long>(error));
    ReadLater(path, ansiPath, fresh, attempt, why);
}

static void RescanFolder(const wchar_t *folder, uint64_t since, unsigned attempt);

// What a name that could not be opened as a file to scan is: gone, a folder (walked when it
// arrived), or a file not to be read or refused. error: why the opening failed (0: not tried).
static void NotOpened(const wchar_t *path, const char *ansiPath, int named, int fresh, unsigned attempt, DWORD error)
{
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (attempt > 0)
            JournalLine("SKIP %s gone", ansiPath);   // the end of its retries
        return;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (fresh)
            RescanFolder(path, FileTimeNow(), attempt);
        return;
    }
    if (!named) {
        JournalLine("SKIP %s name too long", ansiPath);
        return;
    }
    if (error == 0)
        return;   // excluded or not chosen by the settings
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        if (attempt > 0)
            JournalLine("SKIP %s gone", ansiPath);
    } else if (error == ERROR_ACCESS_DENIED) {
        JournalLine("SKIP %s error=%lu", ansiPath, static_cast<unsigned long>(error));
    } else {
        ReadErrorLater(path, ansiPath, fresh, attempt, error);   // locked, shared, or a fault
    }
}

// An archive is read on without its file held: when it or a member is found, the volume the action
// compares is asked of the file its name leads to now, if that is still the version scanned
// (index, size and time written). Otherwise it stays unknown, and the action finds the file changed.
static void ReadVolumeOfArchive(const wchar_t *path, ScannedFile *identity)
{
    HANDLE file = CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    ScannedFile now = {};
    if (ReadScannedFile(file, &now) && SameScannedFile(now, *identity))
        ReadVolume(file, identity);
    CloseHandle(file);
}

// Scans the file at path if the settings ask for it; fresh: it arrived under a new name. attempt:
// the tries that failed before (0 for a notice).
static void ScanFile(const wchar_t *path, int fresh, unsigned attempt)
{
    if (!scanningEnabled || IsHeld(path))
        return;
    char ansiPath[NAME_SIZE];
    int named = WideToCodePage(CP_ACP, path, ansiPath, sizeof ansiPath);
    ScanOptions options;
    CurrentOptions(&options);
    int wanted = WantsFile(options.scanType, options.inUse, sizeof options.inUse, ansiPath);
    // Archives are looked into whatever the scan type; their members are chosen by it.
    int archive = options.archives && lstrcmpiA(ExtensionOf(ansiPath), "ZIP") == 0;
    // A watcher cannot see a file opened or run; of "open, copy, run" it sees the copy arrive.
    int chosen = (wanted || archive) && !(options.scanOn == SCAN_ON_OPEN && !fresh);
    // A name the settings choose is opened as a file at once, which a folder cannot be; what else
    // it is, is asked only when it was not opened (asking costs as much as reading a small file).
    if (!named || !chosen || IsExcludedPath(path)) {
        NotOpened(path, ansiPath, named, fresh, attempt, 0);
        return;
    }
    // Under "open, copy, run" a later write may not count as part of the arrival: a file still
    // open for writing is read once its writer is done (the opening fails until then).
    DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE;
    if (!(fresh && options.scanOn == SCAN_ON_OPEN))
        share |= FILE_SHARE_WRITE;
    HANDLE file = CreateFileW(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        NotOpened(path, ansiPath, named, fresh, attempt, GetLastError());
        return;
    }
    // The built-in rule needs one byte more than the test file may have, to see a file that grew;
    // the engine needs all of it, and so does an archive.
    ScannedFile before = {};
    ScannedVersion version = {};
    DWORD error = 0;
    int read = ReadScannedFile(file, &before);
    if (!read)
        error = GetLastError();
    // The journal and the report are known by the file, not by a name: they may be reached by
    // several (a short name, another drive letter), and scanning them would write them again.
    if (read && (IsJournalFile(file, before.indexHigh, before.indexLow) || IsReportFile(file, before.indexHigh, before.indexLow))) {
        CloseHandle(file);
        return;
    }
    uint64_t size = before.size;
    size_t limit = TEST_FILE_MAX_SIZE + 1;
    size_t count = 0;
    read = read && ReadContent(file, &count, limit, &error);
    int zip = read && options.archives && LooksLikeZip(content.bytes.get(), count);
    if (read && (zip || (wanted && config.engineClamd)) && count == limit) {
        if (size <= READ_LIMIT) {
            limit = static_cast<size_t>(size) + 1;
            read = ReadContent(file, &count, limit, &error);
        } else if (zip) {
            JournalLine("ARCHIVE %s not opened: larger than %lu bytes", ansiPath, static_cast<unsigned long>(READ_LIMIT));
        }
    }
    if (read && !ReadScannedFileAgain(file, before, &version.identity)) {
        read = 0;
        error = GetLastError();
    }
    if (!read) {
        CloseHandle(file);
        ReadErrorLater(path, ansiPath, fresh, attempt, error);
        return;
    }
    // Only the file as it is counts: every byte asked for, and nothing changed meanwhile.
    if (count != (size < limit ? size : limit) || !SameScannedFile(before, version.identity)) {
        CloseHandle(file);
        ReadLater(path, ansiPath, fresh, attempt, "changed while read");
        return;
    }
    version.digest = DigestOf(content.bytes.get(), count);
    if (RepeatedNotice(path, size, version.digest)) {
        CloseHandle(file);
        return;
    }
    NoteScanned(path, version);

    char oemName[NAME_SIZE];
    WideToCodePage(CP_OEMCP, path, oemName, sizeof oemName);
    // The file stays open until it is judged: an infected one is then asked for its volume, which
    // an action compares (a clean one never is). A file the built-in rule passes goes to the
    // engine, and the scan thread on to the next file.
    Verdict verdict = {};
    if (wanted && !zip && !JudgeBuiltIn(content.bytes.get(), count, size, &verdict) && count == size
        && HandToEngine(file, path, version, ansiPath, oemName, options, count))
        return;
    // Everything else is judged here and now, after the files in the engine's hands.
    FinishPending(0);
    if (verdict.found && ActionComparesFile(options))
        ReadVolume(file, &version.identity);
    CloseHandle(file);
    if (wanted && zip)
        Judge(content.bytes.get(), count, size, ansiPath, &verdict);
    if (verdict.found || !zip || count != size) {
        if (verdict.found && zip && ActionComparesFile(options))
            ReadVolumeOfArchive(path, &version.identity);   // found whole by the engine
        CountScanned(path, ansiPath);
        if (verdict.found)
            Detect(path, version, ansiPath, oemName, verdict, options);
        return;
    }
    archiveStart = GetTickCount();
    ZipLimits limits = ARCHIVE_LIMITS;
    if (!config.engineClamd)
        limits.judgedBytes = TEST_FILE_MAX_SIZE + 1;   // the built-in rule alone: no member is larger
    ZipBudget budget = MakeZipBudget(limits, ArchiveOverdue);
    ArchiveScan scan = {&limits, ansiPath, "", &options, 1, &budget, 0, {}, ""};
    int found = ScanArchive(content.bytes.get(), count, &scan);
    if (budget.reached)
        JournalLine("ARCHIVE %s skipped: %s", ansiPath, ZipResultText(budget.reached));
    CountScanned(path, ansiPath);
    if (found) {
        if (ActionComparesFile(options))
            ReadVolumeOfArchive(path, &version.identity);
        // The alert and the report name the member after the archive, the action takes the archive.
        char foundName[NAME_SIZE];
        char foundOem[NAME_SIZE];
        std::snprintf(foundName, sizeof foundName, "%s%s", ansiPath, scan.member.c_str());
        std::snprintf(foundOem, sizeof foundOem, "%s%s", oemName, scan.member.c_str());
        Detect(path, version, foundName, foundOem, scan.verdict, options);
    }
}

// Nothing waits: the verdicts still to come are taken, and large reading buffers are let go.
static void Idle(void)
{
    FinishPending(0);
    if (content.size > KEEP_BYTES)
        content = {};
    spare.clear();
}

// ---- Walks: the files whose notices were lost, and those there when the watch began ----------

// One walk of a folder for lost notices.
struct Rescan {
    const wchar_t *root;
    uint64_t since;             // notices lost from then on
    unsigned attempt;           // the tries of root that failed before
};

static void RescanVisit(const wchar_t *path, const WIN32_FIND_DATAW &found, const void *context)
{
    const Rescan *rescan = static_cast<const Rescan *>(context);
    uint64_t size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    if (RescanNeeded(path, size, found.ftLastWriteTime, rescan->since))
        ScanFile(path, 1, 0);   // how it came is lost: scanned whatever scanOn says
}

// A folder held by whoever moved it in: walked again once let go, without waiting for it now.
static void RescanHeld(const wchar_t *path, const void *context)
{
    const Rescan *rescan = static_cast<const Rescan *>(context);
    PutOff work = {};
    work.kind = PUT_OFF_FOLDER;
    work.path = path;
    work.attempt = lstrcmpiW(path, rescan->root) == 0 ? rescan->attempt + 1 : 1;
    work.since = rescan->since;
    char name[NAME_SIZE];
    WideToCodePage(CP_ACP, path, name, sizeof name);
    Later(work, name, "held", "listed");
}

// Scans every file below folder that may have changed since since without the memory knowing.
static void RescanFolder(const wchar_t *folder, uint64_t since, unsigned attempt)
{
    Rescan rescan = {folder, since, attempt};
    WalkFolder(folder, RescanVisit, EnterEveryFolder, RescanHeld, &rescan);
}

static void NotePresentVisit(const wchar_t *path, const WIN32_FIND_DATAW &found, const void *)
{
    NotePresent(path, (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow, found.ftLastWriteTime);
}

static void DoPutOff(const PutOff &work)
{
    switch (work.kind) {
    case PUT_OFF_READ:
        ScanFile(work.path.c_str(), work.fresh, work.attempt);
        return;
    case PUT_OFF_FOLDER:
        RescanFolder(work.path.c_str(), work.since, work.attempt);
        return;
    case PUT_OFF_ACTION:
        ActAgain(work);
        return;
    }
}

// Does the work as it comes and as it falls due; sleeps while there is none.
static DWORD WINAPI ScanThreadProc(void *)
{
    for (;;) {
        PutOff due;
        while (TakeDue(&due))
            DoPutOff(due);
        ScanWork work;
        int kind = TakeWork(&work, 0);
        if (kind == WORK_NONE) {
            Idle();
            kind = TakeWork(&work, NextDueMs());
        }
        switch (kind) {
        case WORK_NAME:
            ScanFile(work.name.path.c_str(), work.name.fresh, 0);
            break;
        case WORK_RESCAN:
            RescanFolder(work.root.c_str(), work.since, 0);
            break;
        case WORK_BASELINE:
            WalkFolder(work.root.c_str(), NotePresentVisit, EnterEveryFolder, nullptr, nullptr);
            break;
        }
    }
}

void StartScanThread(void)
{
    HANDLE thread = CreateThread(nullptr, 0, ScanThreadProc, nullptr, 0, nullptr);
    if (thread != nullptr)
        CloseHandle(thread);
}
