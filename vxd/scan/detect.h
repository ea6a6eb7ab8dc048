// Recognising the standard anti-virus test file. No windows.h: built natively for the unit tests.
#pragma once
#include <cstddef>

constexpr size_t TEST_STRING_LENGTH = 68;      // the test string, without terminator
constexpr size_t TEST_FILE_MAX_SIZE = 128;     // a longer file is not the test file

// Writes the test string and a terminator into out. The string is kept encoded in the binary
// and in our sources, so that other scanners do not flag our own files.
void BuildTestString(char (&out)[TEST_STRING_LENGTH + 1]);

// 1 when a file of fileSize bytes is the test file, given count bytes read from its start:
// the test string first, then nothing but blanks, tabs, CR, LF or Ctrl-Z, at most 128 bytes in
// all. The whole file must be at hand (count == fileSize); a short read gives 0.
int IsTestFile(const unsigned char *bytes, size_t count, size_t fileSize);
