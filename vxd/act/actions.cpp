// What happens to an infected file, by the action in force: deny access, rename, move, delete,
// disinfect or report only. Runs on the scan thread; each outcome has its report line.
//
// An action works through a handle of its own, opened without sharing and checked to be the file
// scanned (volume, file index, size, time written) before anything is done: a file saved under the
// name since the scan is never touched, and no other program can swap the file while the action
// runs. Renames and deletes go through that handle (NtSetInformationFile: the Win32 calls for it
// are newer than the systems the driver builds for); a move to another volume copies through it.
#include "vxd/act/actions.h"

#include <windows.h>
#include <winternl.h>

#include <string>
#include <unordered_set>
#include <vector>

#include "vxd/common/shared.h"
#include "vxd/common/text.h"
#include "vxd/journal/journal.h"
#include "vxd/options/scan_rules.h"
#include "vxd/report/report.h"

extern "C" ULONG NTAPI RtlNtStatusToDosError(NTSTATUS status);

constexpr unsigned FREE_NAME_ATTEMPTS = 1000;
constexpr size_t HELD_FILES_MAX = 4096;     // files held open at most; more are journalled
constexpr size_t WIDE_PATH = 1024;
constexpr size_t UTF8_PATH = 3 * WIDE_PATH;
static_assert(2 * UTF8_PATH + 256 <= REPORT_TEXT_SIZE, "an action's line holds both names in full");
constexpr DWORD ACT_ACCESS = GENERIC_READ | DELETE | SYNCHRONIZE;
constexpr NTSTATUS NAME_COLLISION = static_cast<NTSTATUS>(0xC0000035);
constexpr NTSTATUS NOT_SAME_DEVICE = static_cast<NTSTATUS>(0xC00000D4);

// Denied files stay open without sharing until the process ends.
static std::unordered_set<std::wstring> heldFiles;

static void Count(volatile uint32_t *counter)
{
    InterlockedIncrement(reinterpret_cast<volatile LONG *>(counter));
}

int IsHeld(const wchar_t *path)
{
    if (heldFiles.empty())
        return 0;
    return heldFiles.count(NameKey(path)) != 0;
}

// The NT name of a Win32 path: "\??\C:\...", "\??\UNC\server\...".
static std::wstring NtName(const wchar_t *path)
{
    if (path[0] == L'\\' && path[1] == L'\\' && path[2] == L'?' && path[3] == L'\\')
        return std::wstring(L"\\??\\") + (path + 4);
    if (path[0] == L'\\' && path[1] == L'\\')
        return std::wstring(L"\\??\\UNC\\") + (path + 2);
    return std::wstring(L"\\??\\") + path;
}

static NTSTATUS RenameThrough(HANDLE file, const wchar_t *target)
{
    std::wstring name = NtName(target);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFORMATION) + name.size() * sizeof(wchar_t));
    FILE_RENAME_INFORMATION *rename = reinterpret_cast<FILE_RENAME_INFORMATION *>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<ULONG>(name.size() * sizeof(wchar_t));
    memcpy(rename->FileName, name.data(), name.size() * sizeof(wchar_t));
    IO_STATUS_BLOCK status;
    return NtSetInformationFile(file, &status, rename, static_cast<ULONG>(buffer.size()), FileRenameInformation);
}

// Marks the file open as file to be deleted when it is closed (no one else has it open).
static NTSTATUS DisposeThrough(HANDLE file)
{
    FILE_DISPOSITION_INFORMATION disposition = {TRUE};
    IO_STATUS_BLOCK status;
    return NtSetInformationFile(file, &status, &disposition, sizeof disposition, FileDispositionInformation);
}

// How opening the file scanned for an action went.
enum { OPENED, GONE, CHANGED, REFUSED, FAILED };

// Opens path with access and no sharing, and checks that it is still the file scanned.
static int OpenScanned(const wchar_t *path, const ScannedFile &scanned, DWORD access, HANDLE *file, DWORD *error)
{
    *file = CreateFileW(path, access, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (*file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        if (*error == ERROR_FILE_NOT_FOUND || *error == ERROR_PATH_NOT_FOUND)
            return GONE;
        return *error == ERROR_SHARING_VIOLATION || *error == ERROR_LOCK_VIOLATION ? REFUSED : FAILED;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(*file, &info) || !SameScannedFile(ScannedFileOf(info), scanned)) {
        CloseHandle(*file);
        *file = INVALID_HANDLE_VALUE;
        return CHANGED;
    }
    return OPENED;
}

// Keeps file (open without sharing) for as long as the driver runs. 1 when kept.
static int Hold(const wchar_t *path, HANDLE file)
{
    if (heldFiles.size() >= HELD_FILES_MAX) {
        CloseHandle(file);
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return 0;
    }
    heldFiles.insert(NameKey(path));   // the handle itself is never closed
    return 1;
}

// Holds the file scanned at path open with no sharing, so no one else can open, change or delete
// it. 1 when held (or held already).
static int Deny(const wchar_t *path, const ScannedFile &scanned)
{
    if (IsHeld(path))
        return 1;
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    return OpenScanned(path, scanned, GENERIC_READ, &file, &error) == OPENED && Hold(path, file);
}

// 1 when the file scanned is still at path (after it was to be removed).
static int StillThere(const wchar_t *path, const ScannedFile &scanned)
{
    HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND;
    BY_HANDLE_FILE_INFORMATION info;
    int same = GetFileInformationByHandle(file, &info) && SameScannedFile(ScannedFileOf(info), scanned);
    CloseHandle(file);
    return same;
}

// Removes the file open as *file (no one else has it open): 0 when it is gone, else the error.
// The handle is closed (and *file invalid) once the removal was asked for; when the removal was
// refused, it stays open for denying access.
static DWORD Remove(const wchar_t *path, const ScannedFile &scanned, HANDLE *file)
{
    NTSTATUS status = DisposeThrough(*file);
    if (status != 0)
        return RtlNtStatusToDosError(status);
    CloseHandle(*file);
    *file = INVALID_HANDLE_VALUE;
    return StillThere(path, scanned) ? ERROR_ACCESS_DENIED : 0;
}

// Denies access to what could not be removed: through file when it is still open. 1 when denied.
static int DenyRemaining(const wchar_t *path, const ScannedFile &scanned, HANDLE file)
{
    if (IsHeld(path))
        return 1;
    return file != INVALID_HANDLE_VALUE ? Hold(path, file) : Deny(path, scanned);
}

// Copies the file open as file, from its start, into a new file target that takes the time
// written of the original. 0, or the error; ERROR_FILE_EXISTS when target is taken.
static DWORD CopyThrough(HANDLE file, const wchar_t *target, FILETIME written)
{
    HANDLE copy = CreateFileW(target, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (copy == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : GetLastError();
    DWORD error = SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ? GetLastError() : 0;
    static unsigned char chunk[64 * 1024];
    for (DWORD got = 1; error == 0 && got > 0;) {
        DWORD put = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr) || (got > 0 && (!WriteFile(copy, chunk, got, &put, nullptr) || put != got)))
            error = GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
    }
    if (error == 0 && !SetFileTime(copy, nullptr, nullptr, &written))
        error = GetLastError();
    CloseHandle(copy);
    if (error != 0)
        DeleteFileW(target);
    return error;
}

// How moving to a free name went.
enum { MOVE_FAILED, MOVE_RENAMED, MOVE_COPIED };

// Moves the file open as file to target or the first free name among its candidates (see
// FreeNameCandidate): renamed on the same volume, copied to another. *moved receives the name
// taken; MOVE_FAILED with *error set otherwise.
static int MoveToFreeName(HANDLE file, const wchar_t *target, FILETIME written, wchar_t *moved, DWORD *error)
{
    char utf8[UTF8_PATH];
    if (!WideToUtf8(target, utf8, sizeof utf8)) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return MOVE_FAILED;
    }
    int copy = 0;
    for (unsigned n = 0; n < FREE_NAME_ATTEMPTS; n++) {
        char candidate[UTF8_PATH];
        if (!FreeNameCandidate(utf8, n, candidate, sizeof candidate) || !Utf8ToWide(candidate, moved, WIDE_PATH)) {
            *error = ERROR_FILENAME_EXCED_RANGE;
            return MOVE_FAILED;
        }
        if (!copy) {
            NTSTATUS status = RenameThrough(file, moved);
            if (status == 0)
                return MOVE_RENAMED;
            if (status == NAME_COLLISION)
                continue;
            if (status != NOT_SAME_DEVICE) {
                *error = RtlNtStatusToDosError(status);
                return MOVE_FAILED;
            }
            copy = 1;
        }
        *error = CopyThrough(file, moved, written);
        if (*error == 0)
            return MOVE_COPIED;
        if (*error != ERROR_FILE_EXISTS)
            return MOVE_FAILED;
    }
    *error = ERROR_FILE_EXISTS;
    return MOVE_FAILED;
}

static void Ansi(const wchar_t *path, char *out, size_t size)
{
    WideToCodePage(CP_ACP, path, out, size);
}

// Why an action left the file alone, for the journal and the report.
static const char *Reason(int opened)
{
    return opened == GONE ? "it is gone" : "it changed after it was scanned";
}

// Puts an action refused because another program holds the file off until later. 1 when it will
// be tried again.
static int ActLater(const wchar_t *path, const ScannedVersion &version, const char *foundName, uint32_t action,
                    const char *moveDir, unsigned attempt, DWORD error)
{
    PutOff work = {};
    work.kind = PUT_OFF_ACTION;
    work.path = path;
    work.attempt = attempt + 1;
    work.version = version;
    work.foundName = foundName;
    work.action = action;
    work.moveDir = moveDir;
    if (!PutOffWork(work))
        return 0;
    if (work.attempt == 1 || work.attempt == LONGEST_WAIT_ATTEMPT)
        JournalLine("ACTION %s refused error=%lu; tried again in %lu s", foundName, static_cast<unsigned long>(error),
                    static_cast<unsigned long>(BackOffMs(work.attempt) / 1000));
    return 1;
}

// The fall-back after an action that could not be done: deny access, and say so.
static void DenyInstead(const wchar_t *path, const ScannedFile &scanned, const char *foundName, uint32_t kind,
                        const char *what, DWORD cause)
{
    int held = Deny(path, scanned);
    JournalLine("ACTION %s failed error=%lu; %s", foundName, static_cast<unsigned long>(cause),
                held ? "access denied instead" : "access not denied either");
    ReportEntry(kind, "%s: %s (error %lu); %s", what, foundName, static_cast<unsigned long>(cause),
                held ? "access denied instead" : "access could not be denied either");
}

// The words of a rename or a move: "renamed", "Renamed", "Not renamed".
struct MoveWords {
    const char *journal;
    const char *report;
    const char *failure;
};

// What an action works with.
struct Acting {
    const wchar_t *path;
    const ScannedVersion &version;   // the file scanned
    const char *foundName;           // what the detection was reported by
    uint32_t action;
    const char *moveDir;
    unsigned attempt;                // the tries that were refused before
};

// Opens the file scanned for an action. OPENED; FAILED with *error set; or an outcome dealt with
// already: REFUSED and put off, GONE or CHANGED and reported with failure's words.
static int OpenToAct(const Acting &a, DWORD access, uint32_t kind, const char *failure, HANDLE *file, DWORD *error)
{
    int opened = OpenScanned(a.path, a.version.identity, access, file, error);
    if (opened == REFUSED && !ActLater(a.path, a.version, a.foundName, a.action, a.moveDir, a.attempt, *error))
        opened = FAILED;   // no room to try again
    if (opened == GONE || opened == CHANGED) {
        JournalLine("ACTION %s not done: %s", a.foundName, Reason(opened));
        ReportEntry(kind, "%s: %s (%s)", failure, a.foundName, Reason(opened));
    }
    return opened;
}

// Moves the file scanned to target or the first free name beside it (rename and move alike),
// counts it and says so; denies access instead when it cannot.
static void MoveAndReport(const Acting &a, const wchar_t *target, volatile uint32_t *counter, const MoveWords &words)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_FILENAME_EXCED_RANGE;
    int opened = target == nullptr ? FAILED : OpenToAct(a, ACT_ACCESS, LOG_MOVE_RENAME, words.failure, &file, &error);
    if (opened == FAILED)
        DenyInstead(a.path, a.version.identity, a.foundName, LOG_MOVE_RENAME, words.failure, error);
    if (opened != OPENED)
        return;
    wchar_t moved[WIDE_PATH];
    int how = MoveToFreeName(file, target, a.version.identity.written, moved, &error);
    if (how == MOVE_FAILED) {
        CloseHandle(file);
        DenyInstead(a.path, a.version.identity, a.foundName, LOG_MOVE_RENAME, words.failure, error);
        return;
    }
    NoteScanned(moved, a.version);
    char ansi[UTF8_PATH];
    Ansi(moved, ansi, sizeof ansi);
    if (how == MOVE_RENAMED) {
        CloseHandle(file);
    } else if ((error = Remove(a.path, a.version.identity, &file)) != 0) {
        // A copy whose original stays is no move.
        int held = DenyRemaining(a.path, a.version.identity, file);
        JournalLine("ACTION %s copied to %s, not removed error=%lu; access %s", a.foundName, ansi,
                    static_cast<unsigned long>(error), held ? "denied instead" : "not denied either");
        ReportEntry(LOG_MOVE_RENAME, "%s: %s (copied to %s, but it could not be removed: error %lu); %s", words.failure,
                    a.foundName, ansi, static_cast<unsigned long>(error),
                    held ? "access denied instead" : "access could not be denied either");
        return;
    }
    Count(counter);
    JournalLine("ACTION %s %s to %s", words.journal, a.foundName, ansi);
    ReportEntry(LOG_MOVE_RENAME, "%s: %s to %s", words.report, a.foundName, ansi);
}

static void Rename(const Acting &a)
{
    char utf8[UTF8_PATH];
    char renamed[UTF8_PATH];
    wchar_t target[WIDE_PATH];
    int named = WideToUtf8(a.path, utf8, sizeof utf8) && RenamedName(utf8, renamed, sizeof renamed)
                && Utf8ToWide(renamed, target, WIDE_PATH);
    MoveAndReport(a, named ? target : nullptr, &sharedBlock->renamedCount, {"renamed", "Renamed", "Not renamed"});
}

static void Move(const Acting &a)
{
    wchar_t folder[WIDE_PATH];
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (a.moveDir[0] != 0 && MultiByteToWideChar(CP_ACP, 0, a.moveDir, -1, folder, WIDE_PATH) != 0)
        attributes = GetFileAttributesW(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        int held = Deny(a.path, a.version.identity);
        JournalLine("ACTION %s not moved: folder \"%s\" is missing; access %s", a.foundName, a.moveDir,
                    held ? "denied instead" : "not denied either");
        ReportEntry(LOG_MOVE_RENAME, "Not moved: %s (the folder \"%s\" is missing); %s", a.foundName, a.moveDir,
                    held ? "access denied instead" : "access could not be denied either");
        return;
    }
    std::wstring target(folder);
    if (!target.empty() && target.back() != L'\\' && target.back() != L'/')
        target += L'\\';
    const wchar_t *name = a.path;
    for (const wchar_t *p = a.path; *p; p++) {
        if (*p == L'\\' || *p == L'/')
            name = p + 1;
    }
    target += name;
    MoveAndReport(a, target.size() < WIDE_PATH ? target.c_str() : nullptr, &sharedBlock->movedCount,
                  {"moved", "Moved", "Not moved"});
}

static void Delete(const Acting &a)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    int opened = OpenToAct(a, ACT_ACCESS, LOG_DELETE, "Not deleted", &file, &error);
    if (opened == FAILED)
        DenyInstead(a.path, a.version.identity, a.foundName, LOG_DELETE, "Not deleted", error);
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
    Count(&sharedBlock->deletedCount);
    JournalLine("ACTION deleted %s", a.foundName);
    ReportEntry(LOG_DELETE, "Deleted: %s", a.foundName);
}

// Access denied, as action 1 asks, or in place of a disinfection: neither the test file nor what
// the engine finds can be cleaned (the virus is the whole file).
static void DenyAccess(const Acting &a)
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
