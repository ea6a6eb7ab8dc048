// One file's scan, step by step: choose, open, read whole, judge, look inside archives, hand to
// the engine, act.
#include "vxd/scan/scan_file.h"

#include <cstdio>
#include <string>

#include "base/bounded.h"
#include "vxd/act/held.h"
#include "vxd/common/names.h"
#include "vxd/common/open_file.h"
#include "vxd/common/text.h"
#include "vxd/config/config.h"
#include "vxd/journal/journal.h"
#include "vxd/options/options.h"
#include "vxd/options/scan_rules.h"
#include "vxd/queue/versions.h"
#include "vxd/report/report.h"
#include "vxd/scan/archive_scan.h"
#include "vxd/scan/detect.h"
#include "vxd/scan/detection.h"
#include "vxd/scan/engine_window.h"
#include "vxd/scan/file_scan.h"
#include "vxd/scan/judge.h"
#include "vxd/scan/later.h"
#include "vxd/scan/reading.h"
#include "vxd/scan/zip_reader.h"

volatile LONG scanningEnabled = 1;

// What a name that could not be opened as a file to scan is: gone, a folder (1: it arrived, and
// is walked), or a file to read later or never (journalled with the reason, as it will not open
// however often it is tried). error: why the opening failed (0: not tried).
static int NotOpened(const FileScan &s, DWORD error)
{
    DWORD why = 0;
    DWORD attributes = AttributesOf(s.path, &why);
    if (attributes == INVALID_FILE_ATTRIBUTES && OpenFailure(why) == OPEN_GONE) {
        if (s.attempt > 0)
            JournalLine("SKIP %s gone", s.ansiPath);   // the end of its retries
        return 0;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return s.fresh;
    if (!s.named) {
        JournalLine("SKIP %s name too long", s.ansiPath);
        return 0;
    }
    if (error == 0)
        return 0;   // excluded or not chosen by the settings
    int failure = OpenFailure(error);
    if (failure == OPEN_GONE && s.attempt > 0)
        JournalLine("SKIP %s gone", s.ansiPath);
    else if (failure == OPEN_NEVER)
        JournalLine("SKIP %s error=%lu (%s)", s.ansiPath, static_cast<unsigned long>(error), OpenFailureReason(error));
    else if (failure == OPEN_LATER)
        ReadErrorLater(s.path, s.ansiPath, s.fresh, s.attempt, error);   // locked, shared, or a fault
    return 0;
}

// Choose: 1 when the settings ask for the file, by its name as Windows writes it. Archives are
// looked into whatever the scan type;
// their members are chosen by it. A watcher cannot see a file opened or run; of "open, copy, run"
// it sees the copy arrive.
static int Choose(FileScan *s)
{
    s->named = WideToCodePage(CP_ACP, s->path, s->ansiPath, ANSI_PATH_SIZE);
    CurrentOptions(&s->options);
    const ScanOptions &o = s->options;
    std::string written = NameAsWritten(s->ansiPath);   // "t.com." is T.COM to its short name
    s->wanted = WantsFile(o.scanType, o.inUse, sizeof o.inUse, written.c_str());
    int archive = o.archives && lstrcmpiA(ExtensionOf(written.c_str()), "ZIP") == 0;
    int chosen = (s->wanted || archive) && !(o.scanOn == SCAN_ON_OPEN && !s->fresh);
    return s->named && chosen && !IsExcludedPath(s->path);
}

// Open: a name the settings choose is opened as a file at once, by the exact name reported, which
// a folder cannot be; what else it is, is asked only when it was not opened (asking costs as much
// as reading a small file). Under "open, copy, run" a later write may not count as part of the
// arrival: a file still open for writing is read once its writer is done (the opening fails until
// then). 0 with *error set when it was not opened.
static int Open(FileScan *s, DWORD *error)
{
    DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE;
    if (!(s->fresh && s->options.scanOn == SCAN_ON_OPEN))
        share |= FILE_SHARE_WRITE;
    s->file = OpenFileToScan(s->path, GENERIC_READ, share, error);
    return s->file != INVALID_HANDLE_VALUE;
}

// 1 when the open file needs no reading: the journal and the report, known by the file, not by a
// name (they may be reached by several: a short name, another drive letter; scanning them would
// write them again), and a version the memory vouches for.
static int NeedsNoReading(const FileScan &s)
{
    return IsJournalFile(s.file, s.before.indexHigh, s.before.indexLow)
           || IsReportFile(s.file, s.before.indexHigh, s.before.indexLow) || VouchedUnread(s.path, LookOf(s.before));
}

// Read whole: 1 when the file was read as far as the judging needs and nothing changed meanwhile.
// Otherwise it is closed and put off, or passed over when it needs no reading.
static int ReadWhole(FileScan *s)
{
    DWORD error = 0;
    int read = ReadScannedFile(s->file, &s->before);
    if (!read)
        error = GetLastError();
    if (read && NeedsNoReading(*s)) {
        CloseHandle(s->file);
        return 0;
    }
    s->size = s->before.size;
    size_t limit = 0;
    read = read && ReadBytes(s, &limit, &error);
    if (read && !ReadScannedFileAgain(s->file, s->before, &s->version.identity)) {
        read = 0;
        error = GetLastError();
    }
    if (!read) {
        CloseHandle(s->file);
        ReadErrorLater(s->path, s->ansiPath, s->fresh, s->attempt, error);
        return 0;
    }
    // Only the file as it is counts: every byte asked for, and nothing changed meanwhile.
    if (s->count != (s->size < limit ? s->size : limit) || !SameScannedFile(s->before, s->version.identity)) {
        CloseHandle(s->file);
        ReadLater(s->path, s->ansiPath, s->fresh, s->attempt, "changed while read");
        return 0;
    }
    return 1;
}

// A version judged already is a repeated notice, passed over (0, closed); any other is noted as
// read, its verdict to come. A version found infected before is caught again, whatever the rule
// and the engine would say of it now.
static int NewVersion(FileScan *s)
{
    s->version.digest = ContentDigestOf(s->count);
    if (RepeatedNotice(s->path, s->version)) {
        CloseHandle(s->file);
        return 0;
    }
    const char *threat = InfectedBefore(s->version);
    CopyBounded(s->knownThreat, threat != nullptr ? threat : "");
    NotePending(s->path, s->version);
    return 1;
}

// Judge, and hand to the engine: a file the scan type chooses is judged by the built-in rule, and
// one it passes, read whole, goes to the engine while the scan thread goes on to the next file (1:
// handed over). The file stays open until it is judged: an infected one is then asked for its
// volume, which an action compares (a clean one never is).
static int JudgeOrHandOver(FileScan *s, const char *oemName, Verdict *verdict)
{
    if (s->knownThreat[0] != 0) {
        verdict->found = 1;
        CopyBounded(verdict->threat, s->knownThreat);
        return 0;
    }
    if (!s->wanted || s->zip || JudgeBuiltIn(ContentBytes(), s->count, s->size, verdict) || s->count != s->size)
        return 0;
    return HandToEngine(s->file, s->path, s->version, s->ansiPath, oemName, s->options, s->count, &verdict->unconfirmed);
}

// An archive is read on without its file held: when it or a member is found, the volume the action
// compares is asked of the file its name leads to now, if that is still the version scanned
// (index, size and time written). Otherwise it stays unknown, and the action finds the file changed.
static void ReadVolumeOfArchive(const wchar_t *path, ScannedFile *identity)
{
    DWORD error = 0;
    HANDLE file = OpenFileToScan(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 &error);
    if (file == INVALID_HANDLE_VALUE)
        return;
    ScannedFile now = {};
    if (ReadScannedFile(file, &now) && SameScannedFile(now, *identity))
        ReadVolume(file, identity);
    CloseHandle(file);
}

// Act: the verdict is remembered, the file counts as scanned, and a detection (named foundName,
// foundOem) is followed up.
static void Act(FileScan *s, const char *foundName, const char *foundOem, const Verdict &verdict)
{
    if (verdict.found && s->zip && ActionComparesFile(s->options))
        ReadVolumeOfArchive(s->path, &s->version.identity);
    FollowVerdict(s->path, s->version, s->ansiPath, foundName, foundOem, verdict, s->options);
}

// Look inside an archive found clean as a whole. The alert and the report name a member found after
// the archive; the action takes the archive. An archive that could not be read whole, or is too
// large to be opened, is no clean file: journalled as skipped, it is neither counted as scanned
// nor remembered as a version scanned, so that its next notice reads it again.
static void LookInside(FileScan *s, const char *oemName, int unconfirmed)
{
    Verdict verdict = {};
    verdict.unconfirmed = unconfirmed;   // the archive whole met no daemon
    std::string member;
    int inside = ARCHIVE_UNREAD;
    if (s->count != s->size)
        JournalLine("ARCHIVE %s skipped: larger than %lu bytes", s->ansiPath, static_cast<unsigned long>(READ_LIMIT));
    else
        inside = ScanArchiveMembers(ContentBytes(), s->count, s->ansiPath, s->options, &verdict, &member);
    if (inside == ARCHIVE_UNREAD) {
        ForgetScanned(s->path);
        return;
    }
    if (inside == ARCHIVE_READ) {
        Act(s, s->ansiPath, oemName, verdict);
        return;
    }
    std::string foundName = s->ansiPath + member;   // whole, for the report and the journal
    char foundOem[NAME_SIZE];                        // the alert's slot holds no more
    std::snprintf(foundOem, sizeof foundOem, "%s%s", oemName, member.c_str());
    Act(s, foundName.c_str(), foundOem, verdict);
}

int ScanFile(const wchar_t *path, int fresh, unsigned attempt)
{
    if (!scanningEnabled || IsHeld(path))
        return 0;
    // One file is scanned at a time, on the scan thread: its ANSI name needs no room on the stack.
    static char ansiPath[ANSI_PATH_SIZE];
    FileScan s = {};
    s.ansiPath = ansiPath;
    s.path = path;
    s.fresh = fresh;
    s.attempt = attempt;
    if (!Choose(&s))
        return NotOpened(s, 0);
    DWORD error = 0;
    if (!Open(&s, &error))
        return NotOpened(s, error);
    if (!ReadWhole(&s) || !NewVersion(&s))
        return 0;
    char oemName[NAME_SIZE];
    WideToCodePage(CP_OEMCP, path, oemName, sizeof oemName);
    Verdict verdict = {};
    if (JudgeOrHandOver(&s, oemName, &verdict))
        return 0;
    // Everything else is judged here and now, after the files in the engine's hands.
    FinishPending(0);
    if (verdict.found && ActionComparesFile(s.options))
        ReadVolume(s.file, &s.version.identity);
    CloseHandle(s.file);
    if (!verdict.found && s.wanted && s.zip)
        Judge(ContentBytes(), s.count, s.size, s.ansiPath, &verdict);   // the archive whole
    if (verdict.found || !s.zip)
        Act(&s, s.ansiPath, oemName, verdict);
    else
        LookInside(&s, oemName, verdict.unconfirmed);
    return 0;
}
