// 32-bit addresses in records shared with the driver: the only place they become pointers and back.
#pragma once
#include <cstdint>

// The 32-bit form of p. An address above 4 GB cannot cross the interface: that is a build or
// driver fault, so it is reported on stderr and the process is ended, never truncated.
uint32_t Address32(const volatile void *p);

// 1 and *out set when p fits 32 bits, 0 otherwise (for callers that handle the refusal).
int TryAddress32(const volatile void *p, uint32_t *out);

// The pointer behind a 32-bit address (0 gives nullptr).
template <class T> inline T *FromAddress32(uint32_t address)
{
    return reinterpret_cast<T *>(static_cast<uintptr_t>(address));
}
