// The ExclusionList text: bracketed entries such as "[+C:\TEMP][D:\DATA]", "+" meaning subfolders
// included. Pure logic, no windows.h: reading the text into entries, the rows the Exclusions page
// shows and reads back, appending an entry to the rebuilt text, and the add dialog's rule.
#pragma once
#include <cstddef>

constexpr size_t EXCLUSION_ROW_SIZE = 300;    // a row: at most 299 characters
constexpr size_t EXCLUSION_PATH_SIZE = 260;   // a path: at most 259 characters
// The settings load accepts at most 2047 characters of the text: a longer one would stop every
// later start (exit 2). The page never builds a longer text.
constexpr size_t EXCLUSION_TEXT_SIZE = 2048;

struct ExclusionEntry {
    int subfolders;                      // 1: "+", subfolders included
    char path[EXCLUSION_PATH_SIZE];      // always terminated
};

// One step of reading a text of length characters: finds the next entry from *position, fills
// *entry and moves *position past its "]". Returns 1 for an entry, 0 when none is left. As the
// driver does, characters outside brackets are skipped and a "[" without a "]" ends the reading;
// a path of more than 259 characters keeps its first 259.
int NextExclusion(const char *text, size_t length, size_t *position, ExclusionEntry *entry);

// The two marks of a row (texts 606 and 607 as shown). A row is read back by its whole mark, so
// any two marks that differ will do: long ones, ones with blanks, ones that begin alike.
struct ExclusionMarks {
    const char *subfolders;   // 606
    const char *alone;        // 607
};

// How a row's mark is followed: rows made from the stored text pad the mark with blanks to five
// characters (none when it has five or more); rows the user adds follow 606 with two blanks and 607
// with three, and then pad to five as well. Blanks at the start of a path are left out of the row:
// they could not be told from the padding.
enum ExclusionRowOrigin { ROW_STORED, ROW_ADDED };

// The path as a row holds it and the text stores it: without the blanks it begins with.
const char *StoredExclusionPath(const char *path);

// Builds the row of an entry into row (size bytes, always terminated, cut to fit).
void MakeExclusionRow(char *row, size_t size, const ExclusionMarks &marks, ExclusionRowOrigin origin,
                      int subfolders, const char *path);

// Reads a row back: the mark it begins with (the longer one is tried first, so that a mark that
// begins with the other is still told apart), then the blanks after it; the path is the rest.
// Subfolders when the mark is marks.subfolders, also when both marks are the same. A row that
// begins with neither is taken as an entry without subfolders whose path follows its blanks.
// Returns a pointer into row.
const char *ReadExclusionRow(const char *row, const ExclusionMarks &marks, int *subfolders);

// Characters the entry takes in the text: "[", "+" when subfolders, the path, "]".
size_t ExclusionEntryLength(int subfolders, const char *path);

// Appends the entry to text (size bytes) when it fits with the terminator; returns 1, or 0 with
// text unchanged.
int AppendExclusion(char *text, size_t size, int subfolders, const char *path);

// The add dialog's OK: what it closes with for the typed path (typedLength characters; the field
// may hold more than a path can) when the list's text holds textLength characters now.
constexpr int ADD_REFUSED = -1;   // the dialog stays open
// The path is judged as it will be stored, without the blanks it begins with (the row leaves them
// out). 0: fewer than three characters, nothing to add. ADD_REFUSED: a path of more than 259
// characters, a path with "]" (the text would end the entry there and leave the rest outside the
// brackets), a path starting with "+" without subfolders (the text would read it back as one with
// subfolders), or an entry that would take the text past 2047 characters. Else 3 with subfolders,
// 1 without.
int AddExclusionResult(const char *typed, size_t typedLength, int subfolders, size_t textLength);
