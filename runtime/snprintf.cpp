// The program's snprintf and vsnprintf. mingw-w64's stdio.h turns both into calls of
// __mingw_vsnprintf; defining that here puts our bounded formatter behind every call site, in
// both builds, instead of the toolchain's, which brings a floating-point formatter, the wide
// character conversions and the msvcrt.dll locale shims that Windows 95 cannot serve.
#include <cstdio>

#include "base/format.h"

extern "C" int __cdecl __mingw_vsnprintf(char *dest, size_t size, const char *format, va_list args)
{
    return FormatBoundedV(dest, size, format, args);
}
