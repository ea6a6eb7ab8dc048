// Renaming and moving an infected file, and what is said of it.
#include "vxd/act/move.h"

#include <string>
#include <vector>

#include "vxd/act/held.h"
#include "vxd/act/identity.h"
#include "vxd/act/through_handle.h"
#include "vxd/common/open_file.h"
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
    std::wstring moved;
    int how = MoveToFreeName(file, target, a.version.identity.written, &moved, &error);
    if (how == MOVE_FAILED) {
        CloseHandle(file);
        DenyInstead(a, LOG_MOVE_RENAME, words.failure, error);
        return;
    }
    NoteHandled(a.path, moved.c_str(), a.version);
    std::vector<char> ansi(UTF8_PATH);
    AnsiName(moved.c_str(), ansi.data(), ansi.size());
    if (how == MOVE_RENAMED) {
        CloseHandle(file);
    } else if ((error = Remove(a.path, a.version.identity, &file)) != 0) {
        CopiedNotRemoved(a, ansi.data(), file, error, words);
        return;
    }
    CountAction(counter);
    JournalLine("ACTION %s %s to %s", words.journal, a.foundName, ansi.data());
    ReportEntry(LOG_MOVE_RENAME, "%s: %s to %s", words.report, a.foundName, ansi.data());
}

// A name another system wrote may hold a backslash ("b\\t.com" in the folder, not "t.com" in a
// folder "b"): its new name goes into the deepest folder on its way that there is, the backslashes
// after it becoming "_" ("b_t.Vom"), a name Windows takes.
static void IntoAFolderThatIs(std::wstring *target)
{
    for (size_t slash = target->rfind(L'\\'); slash != std::wstring::npos && slash > 3; slash = target->rfind(L'\\')) {
        DWORD error = 0;
        DWORD attributes = AttributesOf(target->substr(0, slash).c_str(), &error);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return;
        (*target)[slash] = L'_';
    }
}

void Rename(const Acting &a)
{
    std::vector<char> utf8(UTF8_PATH), renamed(UTF8_PATH);
    std::vector<wchar_t> wide(WIDE_PATH);
    int named = WideToUtf8(a.path, utf8.data(), utf8.size()) && RenamedName(utf8.data(), renamed.data(), renamed.size())
                && Utf8ToWide(renamed.data(), wide.data(), wide.size());
    std::wstring target = wide.data();
    if (named)
        IntoAFolderThatIs(&target);
    MoveAndReport(a, named ? target.c_str() : nullptr, &sharedBlock->renamedCount, {"renamed", "Renamed", "Not renamed"});
}

void Move(const Acting &a)
{
    wchar_t folder[MAX_PATH * 2];   // moveDir is an ANSI text of the front end's, of MAX_PATH bytes
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (a.moveDir[0] != 0 && MultiByteToWideChar(CP_ACP, 0, a.moveDir, -1, folder, MAX_PATH * 2) != 0)
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
    size_t start = target.size();
    target += name;
    for (size_t i = start; i < target.size(); i++) {
        if (RefusedInName(target[i]))
            target[i] = L'_';   // a name another system wrote: the quarantine folder takes it so
    }
    MoveAndReport(a, target.size() < WIDE_PATH ? target.c_str() : nullptr, &sharedBlock->movedCount,
                  {"moved", "Moved", "Not moved"});
}
