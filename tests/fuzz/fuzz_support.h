// What every fuzz target shares: the input as a block of exactly its own size (so that the
// sanitizers see a read one byte past it), a small reader of leading control bytes, and the check
// that stops the run with a message naming what did not hold.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#define FUZZ_CHECK(condition, what)                                                                  \
    do {                                                                                             \
        if (!(condition)) {                                                                          \
            std::fprintf(stderr, "fuzz check failed at %s:%d: %s\n  (%s)\n", __FILE__, __LINE__, what, \
                         #condition);                                                                \
            std::abort();                                                                            \
        }                                                                                            \
    } while (0)

// A heap copy of count bytes with nothing after them (one byte of room when count is 0, never read).
inline std::unique_ptr<unsigned char[]> ExactCopy(const uint8_t *data, size_t count)
{
    std::unique_ptr<unsigned char[]> copy(new unsigned char[count ? count : 1]);
    if (count)
        std::memcpy(copy.get(), data, count);
    return copy;
}

// The same, terminated: count bytes and a zero.
inline std::unique_ptr<char[]> TerminatedCopy(const uint8_t *data, size_t count)
{
    std::unique_ptr<char[]> copy(new char[count + 1]);
    if (count)
        std::memcpy(copy.get(), data, count);
    copy[count] = 0;
    return copy;
}

// The characters before the first zero byte, or all count of them when there is none.
inline size_t TextLength(const uint8_t *data, size_t count)
{
    const void *zero = count ? std::memchr(data, 0, count) : nullptr;
    return zero ? static_cast<size_t>(static_cast<const uint8_t *>(zero) - data) : count;
}

// Takes one leading control byte off the input (0 when it is empty).
inline uint8_t TakeByte(const uint8_t **data, size_t *size)
{
    if (*size == 0)
        return 0;
    uint8_t byte = **data;
    ++*data;
    --*size;
    return byte;
}
