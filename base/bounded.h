// Bounded text copies: every copy into a fixed buffer in the program goes through here.
#pragma once
#include <cstddef>

// Copies src into dest of size bytes and always terminates (when size > 0).
// Returns 1 if all of src fit, 0 if it was cut (or size is 0, or src is null, which copies "").
int CopyBounded(char *dest, size_t size, const char *src);

// Length of s, but never reads more than limit bytes; returns limit if no terminator was found.
size_t BoundedLength(const char *s, size_t limit);

template <size_t N> inline int CopyBounded(char (&dest)[N], const char *src)
{
    return CopyBounded(dest, N, src);
}
