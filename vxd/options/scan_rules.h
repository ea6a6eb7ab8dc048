// Which files the driver scans and the names it gives the files it acts on. No windows.h: built
// natively for the unit tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/status_block.h"   // the scanType values

// Longest extension an ExtensionList entry may hold; longer entries are ignored.
constexpr size_t EXTENSION_ENTRY_MAX = 7;

// Word, Excel, PowerPoint and Access documents and templates, and RTF (Word opens a document
// renamed to .RTF as a document, macros included). An ExtensionList.
extern const char MACRO_EXTENSIONS[];

// name as Windows writes it, the name a file or a member is judged by: the trailing dots and
// blanks Windows drops are dropped ("t.com. " is "t.com", the name its short name and any program
// that does not use the long form reach it by); the rest is kept whole, however long.
std::string NameAsWritten(const std::string &name);

// The extension of the last component of path (after its last dot, without it); "" when it has
// none. Points into path.
const char *ExtensionOf(const char *path);

// 1 when ext matches an entry of list, an ExtensionList such as "COM,EXE,DO?" read up to its
// terminator or listSize bytes. Letters compare without regard to case, "?" in an entry stands
// for any one character, blanks around an entry are dropped; empty entries, entries of more than
// EXTENSION_ENTRY_MAX characters and entries with blanks or dots inside are ignored. An empty ext
// matches nothing.
int IsListedExtension(const char *list, size_t listSize, const char *ext);

// Entries of list that IsListedExtension uses (*used) and the non-empty ones it ignores (*ignored).
void CountExtensions(const char *list, size_t listSize, int *used, int *ignored);

// 1 when the file named path is scanned under scanType, given the list in force (inUse). A type
// outside 1 to 3 scans every file: nothing goes unscanned because of an odd stored value.
int WantsFile(uint32_t scanType, const char *inUse, size_t inUseSize, const char *path);

// The rename scheme: the extension's first character becomes 'V' (T.EXE -> T.VXE, a.doc ->
// a.Voc), or '_' when it is a 'V' already (X.VXD -> X._XD); a name without an extension gets
// ".VIR". When that would end in an extension Windows runs or opens as code (a.xbs -> a.Vbs, a
// script), the whole name gets ".VIR" instead (a.xbs.VIR): no result is run or opened by
// accident. A character Windows refuses in a name (one another system wrote, see RefusedInName)
// becomes "_" in the new name (a*b.com -> a_b.Vom), which the file system then takes. path is
// UTF-8 (or ASCII): a first character of several bytes is replaced whole.
// Returns 1, or 0 (out empty) when the result does not fit size bytes.
int RenamedName(const char *path, char *out, size_t size);

// 1 for a character Windows refuses in a file name, which only another system writes: ? * : " < > |
// and the control characters.
int RefusedInName(unsigned c);

// The attempt-th candidate for a free name: attempt 0 is path itself, attempt n the stem with
// "_n" before the extension (T.VXE, T_1.VXE, T_2.VXE ...). Returns 1, or 0 (out empty) when the
// result does not fit size bytes.
int FreeNameCandidate(const char *path, unsigned attempt, char *out, size_t size);

// The last component of path (after its last backslash or slash). Points into path.
const char *FileNameOf(const char *path);
