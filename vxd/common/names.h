// Rules for the names the file system holds, whatever Win32 would make of them: the long form that
// opens a name exactly as it is (trailing dots and blanks, device names, long paths), when a failed
// opening may still find the name by listing its folder (names written by another system), the
// mask that lists only the names alike, and which failures to open are lasting.
// No windows.h: built natively for the unit tests.
#pragma once
#include <cstddef>
#include <string>

constexpr size_t LONG_PATH_CHARS = 32767;   // the longest path the system takes, in UTF-16 units

// The long form of the first length characters of path, a full path: "\\?\C:\..." for "C:\...",
// "\\?\UNC\server\..." for "\\server\...", and a path in that form already as it is. 0 when path is
// not a full path or the result would be longer than LONG_PATH_CHARS.
int LongForm(const wchar_t *path, size_t length, std::wstring *out);

// 1 when an opening of path by its long form that failed with error may yet reach a name that is
// there by a listing of the folders above it: the error says the name is not one Win32 takes (the
// last name holds a character Win32 refuses, such as "?" or "*", which another system may write),
// or that a folder on the way is missing (a name may hold a backslash, which Win32 reads as one).
int MayReachByListing(const wchar_t *path, unsigned long error);

// The mask that lists, in the folder where rest (the path below it) begins, every name rest may
// start with: rest's first characters up to the first one that a mask reads as a wildcard or that
// cannot be in a mask, then "*".
std::wstring ListingMask(const wchar_t *rest);

// What a failure to open a file to scan means.
enum {
    OPEN_GONE,      // nothing there (any more)
    OPEN_LATER,     // held, locked or a fault: tried again later
    OPEN_NEVER,     // it will not open however often it is tried: journalled with the reason
};
int OpenFailure(unsigned long error);

// Why an error of OPEN_NEVER lasts, for the journal.
const char *OpenFailureReason(unsigned long error);
