// The versions of files scanned lately and their verdicts, by name, and those there when the watch
// began; the versions found infected, by their bytes.
#include "vxd/queue/versions.h"

#include <winternl.h>

#include <string>
#include <unordered_map>

#include "vxd/common/platform.h"
#include "vxd/common/text.h"

constexpr size_t VERSIONS_KEPT = 131072;    // names remembered; beyond, the first noted are forgotten
constexpr size_t INFECTED_KEPT = 4096;      // versions found infected remembered, the oldest
                                            // forgotten first

static VersionMemory versions = {VERSIONS_KEPT, 0, {}, {}};
static InfectedVersions infected = {INFECTED_KEPT, {}, {}};
static DigestKey digestKey;                 // drawn once: who writes files cannot know it
static int digestKeyDrawn;

ScannedFile ScannedFileOf(const BY_HANDLE_FILE_INFORMATION &info)
{
    return {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow,
            (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow, info.ftLastWriteTime, 0};
}

// The size, time written and change mark of an open file into out. 0 (ERROR_READ_FAULT) when not
// known. Only under Wine is the change time a mark no program can set back (it is the file
// system's); elsewhere a writer may set it, and the mark stays unknown.
static int ReadSizeAndTime(HANDLE file, ScannedFile *out)
{
    IO_STATUS_BLOCK io;
    FILE_BASIC_INFORMATION basic;
    FILE_STANDARD_INFORMATION standard;
    if (NtQueryInformationFile(file, &io, &basic, sizeof basic, FileBasicInformation) != 0
        || NtQueryInformationFile(file, &io, &standard, sizeof standard, FileStandardInformation) != 0) {
        SetLastError(ERROR_READ_FAULT);
        return 0;
    }
    out->size = static_cast<uint64_t>(standard.EndOfFile.QuadPart);
    out->written.dwLowDateTime = static_cast<DWORD>(basic.LastWriteTime.QuadPart);
    out->written.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(basic.LastWriteTime.QuadPart) >> 32);
    out->changed = RunsOnWine() ? static_cast<uint64_t>(basic.ChangeTime.QuadPart) : 0;
    return 1;
}

int ReadScannedFile(HANDLE file, ScannedFile *out)
{
    IO_STATUS_BLOCK io;
    FILE_INTERNAL_INFORMATION internal;
    if (!ReadSizeAndTime(file, out))
        return 0;
    if (NtQueryInformationFile(file, &io, &internal, sizeof internal, FileInternalInformation) != 0) {
        SetLastError(ERROR_READ_FAULT);
        return 0;
    }
    out->volume = 0;
    out->indexHigh = static_cast<DWORD>(static_cast<uint64_t>(internal.IndexNumber.QuadPart) >> 32);
    out->indexLow = static_cast<DWORD>(internal.IndexNumber.QuadPart);
    return 1;
}

int ReadScannedFileAgain(HANDLE file, const ScannedFile &before, ScannedFile *out)
{
    *out = before;
    return ReadSizeAndTime(file, out);
}

int ReadVolume(HANDLE file, ScannedFile *out)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info))
        return 0;
    out->volume = info.dwVolumeSerialNumber;
    return 1;
}

int SameScannedFile(const ScannedFile &a, const ScannedFile &b)
{
    return a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow && a.size == b.size
           && CompareFileTime(&a.written, &b.written) == 0;
}

uint64_t FileTimeNumber(FILETIME time)
{
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

uint64_t FileTimeNow(void)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return FileTimeNumber(now);
}

// The run's keys, drawn at the first use.
static const DigestKey &Keys(void)
{
    if (!digestKeyDrawn) {
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        uint64_t seed[2] = {static_cast<uint64_t>(counter.QuadPart) ^ (static_cast<uint64_t>(GetCurrentProcessId()) << 32),
                            FileTimeNow() ^ (static_cast<uint64_t>(GetTickCount()) << 20) ^ reinterpret_cast<uintptr_t>(&counter)};
        MakeDigestKey(seed, &digestKey);
        digestKeyDrawn = 1;
    }
    return digestKey;
}

uint64_t DigestOf(const unsigned char *bytes, size_t count)
{
    return ContentDigest(Keys(), bytes, count);
}

void BeginReadDigest(DigestRun *run)
{
    BeginDigest(Keys(), run);
}

void ReadDigestOn(DigestRun *run, const unsigned char *bytes, size_t count)
{
    DigestOn(Keys(), run, bytes, count);
}

uint64_t EndReadDigest(DigestRun *run, const unsigned char *bytes, size_t count)
{
    return EndDigest(Keys(), run, bytes, count);
}

// The memory's key of a name: names that differ only in case are one. Keyed for the run, so that no
// one can choose two names that share a key (which would only cost reading one again). The keys of
// the last few names are kept: one file's scan asks for its name's several times, and the files in
// the engine's hands once more at their verdicts.
static uint64_t KeyOf(const wchar_t *path)
{
    static struct {
        std::wstring path;
        uint64_t key;
    } recent[8];   // more than the files in the engine's hands
    static size_t next;
    for (const auto &known : recent) {
        if (known.path == path)
            return known.key;
    }
    std::wstring name = NameKey(path);
    uint64_t key = SipHash24(Keys().sip, reinterpret_cast<const unsigned char *>(name.data()), name.size() * sizeof(wchar_t));
    recent[next].path = path;
    recent[next].key = key;
    next = (next + 1) % (sizeof recent / sizeof recent[0]);
    return key;
}

static const VersionRecord *Known(const wchar_t *path)
{
    return Recalled(versions, KeyOf(path));
}

static void Note(const wchar_t *path, const VersionRecord &record)
{
    Remember(&versions, KeyOf(path), record);
}

FileLook LookOf(const ScannedFile &file)
{
    return {(static_cast<uint64_t>(file.indexHigh) << 32) | file.indexLow, file.size, file.changed};
}

int VouchedUnread(const wchar_t *path, const FileLook &now)
{
    return VouchesUnread(Known(path), now);
}

int SeenVersion(const wchar_t *path, const FileLook &now)
{
    return RecordsVersion(Known(path), now);
}

int RepeatedNotice(const wchar_t *path, const ScannedVersion &version)
{
    uint64_t name = KeyOf(path);
    const VersionRecord *known = Recalled(versions, name);
    FileLook now = LookOf(version.identity);
    if (!RepeatsVersion(known, now, version.digest))
        return 0;
    // Bytes judged clean, read again: noted as a clean verdict on them now would be, so that the
    // memory vouches for the file from here on (a file read first within its mark's step is then
    // not read again at every walk).
    if (known->kind == VERSION_CLEAN)
        Remember(&versions, name, {VERSION_CLEAN, now, FileTimeNow(), version.digest});
    return 1;
}

const char *InfectedBefore(const ScannedVersion &version)
{
    return KnownInfected(infected, version.identity.size, version.digest);
}

static void NoteRead(const wchar_t *path, int kind, const ScannedVersion &version)
{
    Note(path, {kind, LookOf(version.identity), FileTimeNow(), version.digest});
}

void NotePending(const wchar_t *path, const ScannedVersion &version)
{
    NoteRead(path, VERSION_PENDING, version);
}

void NoteVerdict(const wchar_t *path, const ScannedVersion &version, int verdict, const char *threat)
{
    static const int kinds[] = {VERSION_CLEAN, VERSION_UNCONFIRMED, VERSION_INFECTED};
    NoteRead(path, kinds[verdict], version);
    if (verdict == VERDICT_INFECTED)
        NoteInfected(&infected, version.identity.size, version.digest, threat);
}

void NoteHandled(const wchar_t *path, const wchar_t *moved, const ScannedVersion &version)
{
    Forget(&versions, KeyOf(path));
    if (moved != nullptr)
        NoteRead(moved, VERSION_HANDLED, version);
}

void NotePresent(const wchar_t *path, const FileLook &now)
{
    const VersionRecord *known = Known(path);
    if (known == nullptr || known->kind == VERSION_PRESENT)
        Note(path, {VERSION_PRESENT, now, FileTimeNow(), 0});
}

void ForgetScanned(const wchar_t *path)
{
    Forget(&versions, KeyOf(path));
}
