// What happens to an infected file, by the action in force: deny access, rename, move, delete,
// disinfect or report only. Runs on the scan thread; each outcome has its report line.
#include "vxd/act/actions.h"

#include <windows.h>

#include <string>
#include <unordered_set>

#include "vxd/common/shared.h"
#include "vxd/common/text.h"
#include "vxd/journal/journal.h"
#include "vxd/options/scan_rules.h"
#include "vxd/queue/versions.h"
#include "vxd/report/report.h"

constexpr int ACTION_ATTEMPTS = 10;         // the writer may still hold the file for a moment
constexpr DWORD ACTION_RETRY_MS = 50;
constexpr unsigned FREE_NAME_ATTEMPTS = 1000;
constexpr size_t HELD_FILES_MAX = 4096;     // files held open at most; more are journalled
constexpr size_t WIDE_PATH = 1024;
constexpr size_t UTF8_PATH = 3 * WIDE_PATH;
static_assert(2 * UTF8_PATH + 256 <= REPORT_TEXT_SIZE, "an action's line holds both names in full");

// Denied files stay open without sharing until the process ends.
static std::unordered_set<std::wstring> heldFiles;

static void Count(volatile uint32_t *counter)
{
    InterlockedIncrement(reinterpret_cast<volatile LONG *>(counter));
}

static int IsPassing(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

int IsHeld(const wchar_t *path)
{
    if (heldFiles.empty())
        return 0;
    return heldFiles.count(NameKey(path)) != 0;
}

// Holds path open with no sharing, so no one else can open, change or delete it. 1 when held.
static int Deny(const wchar_t *path, DWORD *error)
{
    std::wstring key = NameKey(path);
    if (heldFiles.count(key) != 0)
        return 1;
    if (heldFiles.size() >= HELD_FILES_MAX) {
        *error = ERROR_TOO_MANY_OPEN_FILES;
        return 0;
    }
    for (int attempt = 0; attempt < ACTION_ATTEMPTS; attempt++) {
        HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            heldFiles.insert(key);   // the handle itself is never closed
            return 1;
        }
        *error = GetLastError();
        if (!IsPassing(*error))
            return 0;
        Sleep(ACTION_RETRY_MS);
    }
    return 0;
}

// Moves from to the first free name among the candidates of target (see FreeNameCandidate);
// *moved receives the name taken. 1 on success, else 0 with *error set.
static int MoveToFreeName(const wchar_t *from, const wchar_t *target, wchar_t *moved, DWORD *error)
{
    char utf8[UTF8_PATH];
    if (!WideToUtf8(target, utf8, sizeof utf8)) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return 0;
    }
    int attempts = 0;
    for (unsigned n = 0; n < FREE_NAME_ATTEMPTS;) {
        char candidate[UTF8_PATH];
        if (!FreeNameCandidate(utf8, n, candidate, sizeof candidate) || !Utf8ToWide(candidate, moved, WIDE_PATH)) {
            *error = ERROR_FILENAME_EXCED_RANGE;
            return 0;
        }
        if (MoveFileExW(from, moved, MOVEFILE_COPY_ALLOWED))
            return 1;
        *error = GetLastError();
        if (*error == ERROR_ALREADY_EXISTS || *error == ERROR_FILE_EXISTS) {
            n++;
            continue;
        }
        if (!IsPassing(*error) || ++attempts == ACTION_ATTEMPTS)
            return 0;
        Sleep(ACTION_RETRY_MS);
    }
    *error = ERROR_FILE_EXISTS;
    return 0;
}

static void Ansi(const wchar_t *path, char *out, size_t size)
{
    WideToCodePage(CP_ACP, path, out, size);
}

// The fall-back after an action that could not be done: deny access, and say so.
static void DenyInstead(const wchar_t *path, const char *foundName, uint32_t kind, const char *what, DWORD cause)
{
    DWORD error = 0;
    int held = Deny(path, &error);
    JournalLine("ACTION %s failed error=%lu; %s", foundName, static_cast<unsigned long>(cause),
                held ? "access denied instead" : "access not denied either");
    ReportEntry(kind, "%s: %s (error %lu); %s", what, foundName, static_cast<unsigned long>(cause),
                held ? "access denied instead" : "access could not be denied either");
}

// Moves path to target or the first free name beside it (rename and move alike), counts it and
// says so; denies access instead when it cannot. The words: "renamed", "Renamed", "Not renamed".
struct MoveWords {
    const char *journal;
    const char *report;
    const char *failure;
};

static void MoveAndReport(const wchar_t *path, const wchar_t *target, const char *foundName, volatile uint32_t *counter,
                          const MoveWords &words)
{
    wchar_t moved[WIDE_PATH];
    DWORD error = ERROR_FILENAME_EXCED_RANGE;
    if (target == nullptr || !MoveToFreeName(path, target, moved, &error)) {
        DenyInstead(path, foundName, LOG_MOVE_RENAME, words.failure, error);
        return;
    }
    NoteScanned(moved);
    Count(counter);
    char ansi[UTF8_PATH];
    Ansi(moved, ansi, sizeof ansi);
    JournalLine("ACTION %s %s to %s", words.journal, foundName, ansi);
    ReportEntry(LOG_MOVE_RENAME, "%s: %s to %s", words.report, foundName, ansi);
}

static void Rename(const wchar_t *path, const char *foundName)
{
    char utf8[UTF8_PATH];
    char renamed[UTF8_PATH];
    wchar_t target[WIDE_PATH];
    int named = WideToUtf8(path, utf8, sizeof utf8) && RenamedName(utf8, renamed, sizeof renamed)
                && Utf8ToWide(renamed, target, WIDE_PATH);
    MoveAndReport(path, named ? target : nullptr, foundName, &sharedBlock->renamedCount,
                  {"renamed", "Renamed", "Not renamed"});
}

static void Move(const wchar_t *path, const char *foundName, const char *moveDir)
{
    wchar_t folder[WIDE_PATH];
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (moveDir[0] != 0 && MultiByteToWideChar(CP_ACP, 0, moveDir, -1, folder, WIDE_PATH) != 0)
        attributes = GetFileAttributesW(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DWORD error = 0;
        int held = Deny(path, &error);
        JournalLine("ACTION %s not moved: folder \"%s\" is missing; access %s", foundName, moveDir,
                    held ? "denied instead" : "not denied either");
        ReportEntry(LOG_MOVE_RENAME, "Not moved: %s (the folder \"%s\" is missing); %s", foundName, moveDir,
                    held ? "access denied instead" : "access could not be denied either");
        return;
    }
    std::wstring target(folder);
    if (!target.empty() && target.back() != L'\\' && target.back() != L'/')
        target += L'\\';
    const wchar_t *name = path;
    for (const wchar_t *p = path; *p; p++) {
        if (*p == L'\\' || *p == L'/')
            name = p + 1;
    }
    target += name;
    MoveAndReport(path, target.size() < WIDE_PATH ? target.c_str() : nullptr, foundName, &sharedBlock->movedCount,
                  {"moved", "Moved", "Not moved"});
}

static void Delete(const wchar_t *path, const char *foundName)
{
    DWORD error = 0;
    for (int attempt = 0; attempt < ACTION_ATTEMPTS; attempt++) {
        if (DeleteFileW(path)) {
            Count(&sharedBlock->deletedCount);
            JournalLine("ACTION deleted %s", foundName);
            ReportEntry(LOG_DELETE, "Deleted: %s", foundName);
            return;
        }
        error = GetLastError();
        if (!IsPassing(error))
            break;
        Sleep(ACTION_RETRY_MS);
    }
    DenyInstead(path, foundName, LOG_DELETE, "Not deleted", error);
}

void ActOnInfected(const wchar_t *path, const char *foundName, const ScanOptions &options)
{
    switch (options.action) {
    case ACTION_DENY: {
        DWORD error = 0;
        if (Deny(path, &error)) {
            JournalLine("ACTION denied %s", foundName);
            ReportEntry(LOG_INFECTION, "Access denied: %s", foundName);
        } else {
            JournalLine("ACTION %s not denied error=%lu", foundName, static_cast<unsigned long>(error));
            ReportEntry(LOG_INFECTION, "Access not denied: %s (error %lu)", foundName, static_cast<unsigned long>(error));
        }
        return;
    }
    case ACTION_RENAME:
        Rename(path, foundName);
        return;
    case ACTION_MOVE:
        Move(path, foundName, options.moveDir);
        return;
    case ACTION_DELETE:
        Delete(path, foundName);
        return;
    case ACTION_DISINFECT: {
        // Neither the test file nor what the engine finds can be cleaned: the virus is the whole
        // file. Keep it from being used instead.
        DWORD error = 0;
        int held = Deny(path, &error);
        JournalLine("ACTION %s not disinfected; access %s", foundName, held ? "denied instead" : "not denied either");
        ReportEntry(LOG_DISINFECTION, "Not disinfected: %s (it cannot be cleaned); %s", foundName,
                    held ? "access denied instead" : "access could not be denied either");
        return;
    }
    }
    JournalLine("ACTION reported %s", foundName);   // report only, or an action outside 1 to 6
}
