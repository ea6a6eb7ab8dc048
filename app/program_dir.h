// The program directory rule, without the platform.
#pragma once
#include <cstddef>

// Appends one backslash to the directory text in buffer (size bytes) unless it already ends with
// one, so "C:\" stays and "C:\AV" becomes "C:\AV\". Returns 0, leaving buffer as it was, when the
// backslash does not fit or the text is empty.
int EndWithBackslash(char *buffer, size_t size);
