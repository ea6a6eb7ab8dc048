// Checking a driver's format text against the arguments it will be given.
#include "sheet/driver_format.h"

#include <cstring>

int FormatFits(const char *format, FormatArgument kind, int maxConversions)
{
    const char *allowed = kind == FORMAT_TEXTS ? "s" : "diuxXo";
    int conversions = 0;
    for (const char *p = format; *p != 0; p++) {
        if (*p != '%')
            continue;
        p++;
        if (*p == '%')
            continue;
        while (*p != 0 && std::strchr("-+ #0", *p) != nullptr)
            p++;
        while (*p >= '0' && *p <= '9')
            p++;
        if (*p == '.') {
            p++;
            while (*p >= '0' && *p <= '9')
                p++;
        }
        if (kind == FORMAT_NUMBERS && (*p == 'l' || *p == 'h'))
            p++;
        if (*p == 0 || std::strchr(allowed, *p) == nullptr || ++conversions > maxConversions)
            return 0;
    }
    return 1;
}
