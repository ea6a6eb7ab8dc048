// Text conversions between the wide paths of the file system and the driver's code pages, the key
// by which the driver remembers a file name, and the identity of a file whatever its name.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

// Converts wide text into code page codePage at out (size bytes), cutting whole characters so the
// result always fits and is terminated; unconvertible characters become the code page's default.
// Returns 1 when all of it fit.
int WideToCodePage(UINT codePage, const wchar_t *text, char *out, size_t size);

// The full path of an ANSI path in wide form (out of size characters); 0 when it fails.
int FullPathWide(const char *path, wchar_t *out, size_t size);

// UTF-8 and back, for the pure name rules; 0 when the text does not fit out.
int WideToUtf8(const wchar_t *text, char *out, size_t size);
int Utf8ToWide(const char *text, wchar_t *out, size_t size);

// path in upper case: file names compare without regard to case, so the sets and maps of names
// the driver keeps hold this key.
std::wstring NameKey(const wchar_t *path);

// Which file an open handle reaches, by whatever name it was opened (a short name, a subst drive,
// a hard link): its volume and its index there. known is 0 when the file system cannot tell.
struct FileIdentity {
    int known;
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
};

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION &info);
FileIdentity IdentityOf(HANDLE file);
int SameFile(const FileIdentity &a, const FileIdentity &b);   // 0 when either is not known

// 1 when the open file, of index indexHigh:indexLow, is known: the index is compared first, and the
// volume (which costs a call into another process under Wine) only when the index is the same.
int IsKnownFile(HANDLE file, DWORD indexHigh, DWORD indexLow, const FileIdentity &known);
