// Reading Torvane.ini: one key of one section, in the file's bytes as read. No windows.h: built
// natively for the unit tests, the sanitizers and fuzzing.
//
// The file is lines of "[section]" and "key=value", as the profile calls read them: blanks and tabs
// around names and values do not count, names compare without regard to case, lines of any other
// form (comments starting with ';' among them) are passed over, and only the first section of a
// name is looked in, where the first line of a key wins. A UTF-8 byte order mark at the start is
// skipped; the text ends at length or at its first zero byte. Lines end in LF, CR LF or CR.
#pragma once
#include <cstddef>
#include <cstdint>

// Copies the value of key in section into out (outSize bytes, always terminated when outSize > 0,
// cut to fit), with one pair of matching quotes (' or ") around it removed. 1 when the key was
// found, 0 with out empty when not.
int IniText(const char *ini, size_t length, const char *section, const char *key, char *out, size_t outSize);

// The value of key as a number: decimal digits, or "0x" and hexadecimal digits, after an optional
// '+'; whatever follows the digits is ignored. fallback when the key is missing or empty, when the
// value does not start with a number (a '-' among those), or when the number passes 32 bits.
uint32_t IniNumber(const char *ini, size_t length, const char *section, const char *key, uint32_t fallback);
