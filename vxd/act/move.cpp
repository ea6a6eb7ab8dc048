// Renaming and moving an infected file, and what is said of it.
#include "vxd/act/move.h"

#include <string>

#include "vxd/act/held.h"
#include "vxd/act/identity.h"
#include "vxd/act/through_handle.h"
#include "vxd/common/shared.h"
#include "vxd/common/text.h"
#include "vxd/journal/journal.h"
#include "vxd/options/scan_rules.h"
#include "vxd/report/report.h"

// The words of a rename or a move: "renamed", "Renamed", "Not renamed".
struct MoveWords {
    const char *journal;
    const char *report;
    const char *failure;
};

// A copy to another volume whose original stays is no move: access to the original is denied.
static void CopiedNotRemoved(const Acting &a, const char *copy, HANDLE file, DWORD error, const MoveWords &words)
{
    int held = DenyRemaining(a.path, a.version.identity, file);
    JournalLine("ACTION %s copied to %s, not removed error=%lu; access %s", a.foundName, copy,
                static_cast<unsigned long>(error), held ? "denied instead" : "not denied either");
    ReportEntry(LOG_MOVE_RENAME, "%s: %s (copied to %s, but it could not be removed: error %lu); %s", words.failure,
                a.foundName, copy, static_cast<unsigned long>(error),
                held ? "access denied instead" : "access could not be denied either");
}

// Moves the file scanned to target or the first free name beside it (rename and move alike),
// counts it and says so; denies access instead when it cannot.
static void MoveAndReport(const Acting &a, const wchar_t *target, volatile uint32_t *counter, const MoveWords &words)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_FILENAME_EXCED_RANGE;
    int opened = target == nullptr ? FAILED : OpenToAct(a, ACT_ACCESS, LOG_MOVE_RENAME, words.failure, &file, &error);
    if (opened == FAILED)
        DenyInstead(a, LOG_MOVE_RENAME, words.failure, error);
    if (opened != OPENED)
        return;
    wchar_t moved[WIDE_PATH];
    int how = MoveToFreeName(file, target, a.version.identity.written, moved, &error);
    if (how == MOVE_FAILED) {
        CloseHandle(file);
        DenyInstead(a, LOG_MOVE_RENAME, words.failure, error);
        return;
    }
    NoteHandled(a.path, moved, a.version);
    char ansi[UTF8_PATH];
    AnsiName(moved, ansi, sizeof ansi);
    if (how == MOVE_RENAMED) {
        CloseHandle(file);
    } else if ((error = Remove(a.path, a.version.identity, &file)) != 0) {
        CopiedNotRemoved(a, ansi, file, error, words);
        return;
    }
    CountAction(counter);
    JournalLine("ACTION %s %s to %s", words.journal, a.foundName, ansi);
    ReportEntry(LOG_MOVE_RENAME, "%s: %s to %s", words.report, a.foundName, ansi);
}

void Rename(const Acting &a)
{
    char utf8[UTF8_PATH];
    char renamed[UTF8_PATH];
    wchar_t target[WIDE_PATH];
    int named = WideToUtf8(a.path, utf8, sizeof utf8) && RenamedName(utf8, renamed, sizeof renamed)
                && Utf8ToWide(renamed, target, WIDE_PATH);
    MoveAndReport(a, named ? target : nullptr, &sharedBlock->renamedCount, {"renamed", "Renamed", "Not renamed"});
}

void Move(const Acting &a)
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
