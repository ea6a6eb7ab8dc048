// Memory the driver shares with the front end: below 4 GB, so that 32-bit addresses reach it, and
// kept until the process ends; and the record that lives there.
#include "vxd/common/shared.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

StatusBlock *sharedBlock;

#ifdef _WIN64
// Asked for no address in particular, 64-bit Windows places memory above 4 GB. Walk the address
// space from 256 MB up and take the first free stretch that is large enough.
static void *AllocateBelow4G(size_t size)
{
    const uint64_t granularity = 0x10000;
    const uint64_t limit = 0x100000000ull;
    uint64_t address = 0x10000000;
    while (address + size <= limit) {
        MEMORY_BASIC_INFORMATION info;
        if (VirtualQuery(reinterpret_cast<void *>(address), &info, sizeof info) == 0)
            return nullptr;
        uint64_t regionEnd = reinterpret_cast<uint64_t>(info.BaseAddress) + info.RegionSize;
        if (info.State == MEM_FREE && regionEnd - address >= size) {
            void *p = VirtualAlloc(reinterpret_cast<void *>(address), size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
            if (p != nullptr)
                return p;
            // Someone else took it between the look and the allocation: try the next step.
            address += granularity;
            continue;
        }
        // Skip the region, keeping to the allocation granularity.
        address = (regionEnd + granularity - 1) & ~(granularity - 1);
    }
    return nullptr;
}
#endif

void *AllocateLow(size_t size)
{
#ifdef _WIN64
    void *p = AllocateBelow4G(size);
#else
    void *p = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
#endif
    if (p == nullptr) {
        std::fprintf(stderr, "Torvane.VXD: no memory below 4 GB for %lu bytes\n", static_cast<unsigned long>(size));
        std::fflush(stderr);
        std::abort();
    }
    return p;   // VirtualAlloc hands out zeroed pages
}
