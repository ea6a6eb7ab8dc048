// Path rules of the reference driver: exclusions, the watch list and configured file names.
// No windows.h: built natively for the unit tests.
#pragma once
#include <cstddef>

// 1 when path (a full path such as L"C:\\TEMP\\A.COM") falls under an entry of list, an
// ExclusionList in UTF-16 such as L"[+C:\\TEMP][D:\\DATA]": the path is the entry itself, or a
// file directly in the entry's folder, or anywhere below it when the entry starts with "+". ASCII
// letters compare without regard to case, every other character as it is (the driver hands both
// in upper case); an entry may end in a backslash. list is read up to its terminator or listSize
// characters; text outside brackets and an unclosed last entry are ignored. An entry ending in
// "\*.*" or "\*" names its folder.
int IsExcluded(const wchar_t *list, size_t listSize, const wchar_t *path);

// Converts one entry's path (length bytes of ANSI text, not terminated) into out (room
// characters); returns the characters written, or -1 when the text cannot be read whole.
typedef int (*WidenText)(const char *text, size_t length, wchar_t *out, size_t room);

// Writes the ANSI ExclusionList list (read up to its terminator or listSize bytes) into out (size
// characters, always terminated) as the same list in UTF-16, each entry's path converted by widen.
// Entries that widen cannot read or that do not fit are left out; returns how many were.
int WidenExclusions(const char *list, size_t listSize, WidenText widen, wchar_t *out, size_t size);

// The number of entries in the ANSI ExclusionList list; *stray receives the number of pieces the
// driver ignores (runs of text outside brackets, an unclosed last entry).
int CountExclusions(const char *list, size_t listSize, int *stray);

// Takes the next item of a semicolon-separated list at *cursor into out, blanks around it removed,
// advances *cursor and returns 1; returns 0 at the end of the list. Empty items and items that do
// not fit out are skipped.
int NextListItem(const char **cursor, char *out, size_t size);

// 1 when value names a path from a root: "C:\..", "C:/..", "\\server\..", "\.." or "/..".
int IsAbsolutePath(const char *value);

// Builds out from value: value itself when absolute, else folder (ending in a backslash) followed
// by value. Returns 1, or 0 with out empty when value is empty or the result does not fit.
int ResolvePath(const char *folder, const char *value, char *out, size_t size);
