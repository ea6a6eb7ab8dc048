// Checking memory readable before reading it, in the way the platform allows.
#include "driver/readable.h"

#include <windows.h>

#include <cstring>

// What the regions a span touches are, as far as VirtualQuery describes them (for a text, the span
// ends at the region that holds its terminator).
enum { SPAN_READABLE, SPAN_UNREADABLE, SPAN_GUARDED, SPAN_UNKNOWN };

static int LookAtSpan(const char *at, size_t left, int text)
{
    constexpr DWORD READABLE = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ
                               | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    while (left > 0) {
        MEMORY_BASIC_INFORMATION region;
        if (VirtualQuery(at, &region, sizeof region) == 0)
            return SPAN_UNKNOWN;
        if (region.State == MEM_COMMIT && (region.Protect & PAGE_GUARD))
            return SPAN_GUARDED;
        if (region.State != MEM_COMMIT || (region.Protect & PAGE_NOACCESS) || !(region.Protect & READABLE))
            return SPAN_UNREADABLE;
        const char *end = static_cast<const char *>(region.BaseAddress) + region.RegionSize;
        size_t span = static_cast<size_t>(end - at) < left ? static_cast<size_t>(end - at) : left;
        if (text && std::memchr(at, 0, span) != nullptr)
            return SPAN_READABLE;
        at += span;
        left -= span;
    }
    return SPAN_READABLE;
}

// Windows NT: every region the span touches is committed and readable.
static int RegionsReadable(const char *at, size_t left, int text)
{
    return LookAtSpan(at, left, text) == SPAN_READABLE;
}

// Windows 95/98: whether the span reaches a guard page. A probe that reads a guard page takes the
// guard away, and a thread's stack below it could then never grow: an address any program can post
// must never do that. Memory VirtualQuery does not describe, or that cannot be read anyway, is left
// to the probe.
static int ReachesGuardPage(const char *at, size_t left, int text)
{
    return LookAtSpan(at, left, text) == SPAN_GUARDED;
}

static ReadCheck PlatformCheck(void)
{
    return ReadCheckFor(static_cast<uint32_t>(GetVersion()));
}

int IsReadableMemory(const void *p, size_t count)
{
    if (p == nullptr)
        return 0;
    if (PlatformCheck() == READ_CHECK_PROBE)
        return !ReachesGuardPage(static_cast<const char *>(p), count, 0) && !IsBadReadPtr(p, count);
    return RegionsReadable(static_cast<const char *>(p), count, 0);
}

int IsReadableText(const char *p, size_t limit)
{
    if (p == nullptr)
        return 0;
    if (PlatformCheck() == READ_CHECK_PROBE)
        return !ReachesGuardPage(p, limit, 1) && !IsBadStringPtrA(p, limit);
    return RegionsReadable(p, limit, 1);
}
