// Path rules of the reference driver: exclusions, the watch list and configured file names.
// No windows.h: built natively for the unit tests.
#pragma once
#include <cstddef>

// 1 when path (a full ANSI path such as "C:\TEMP\A.COM") falls under an entry of list, an
// ExclusionList such as "[+C:\TEMP][D:\DATA]": the path is the entry itself, or a file directly in
// the entry's folder, or anywhere below it when the entry starts with "+". Letters compare without
// regard to case; an entry may end in a backslash. list is read up to its terminator or listSize
// bytes; text outside brackets and an unclosed last entry are ignored. An entry ending in "\*.*"
// or "\*" names its folder.
int IsExcluded(const char *list, size_t listSize, const char *path);

// The number of entries IsExcluded reads in list; *stray receives the number of pieces it ignores
// (runs of text outside brackets, an unclosed last entry).
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
