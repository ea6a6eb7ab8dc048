// Conversion of pointers to the 32-bit addresses the driver interface carries.
#include "driver/address.h"

#include <cstdio>
#include <cstdlib>

int TryAddress32(const volatile void *p, uint32_t *out)
{
    uintptr_t value = reinterpret_cast<uintptr_t>(p);
    if (value > UINT32_MAX)
        return 0;
    *out = static_cast<uint32_t>(value);
    return 1;
}

uint32_t Address32(const volatile void *p)
{
    uint32_t address = 0;
    if (!TryAddress32(p, &address)) {
        std::fprintf(stderr, "Torvane: address %p does not fit the 32-bit driver interface\n",
                     const_cast<const void *>(p));
        std::fflush(stderr);
        std::abort();
    }
    return address;
}
