// ShortenPath: the display form of a long path, with directories dropped from its middle. Pure
// logic, no windows.h.
#pragma once
#include <cstddef>

constexpr size_t SHORT_PATH_LIMIT = 35;   // a path of at most this many characters stays as it is

// Rewrites the path in buffer (size bytes) in place into its display form; never reads or writes
// past size, and terminates a text that had no terminator within it (cutting its last character).
// Returns 1 when the text changed, 0 when it was left as it was.
//
// A path of more than 35 characters becomes its name alone when the name (after the last
// backslash) has 31 characters or more; otherwise the root ("\\" for a network path, "C:\" or
// "C:" for a drive, nothing for any other path), then the leading directories that stay below the
// budget of 32 - name - root characters, then "..\" and the name. With no room for a directory
// (a budget of zero or less) the result is the root, "..\" and the name. A path without any
// backslash is all name and stays as it is.
int ShortenPath(char *buffer, size_t size);
