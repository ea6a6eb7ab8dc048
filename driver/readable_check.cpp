// Which check tells readable memory on this platform.
#include "driver/readable.h"

ReadCheck ReadCheckFor(uint32_t version)
{
    // Windows 95 and 98 set the high bit of GetVersion's value; NT never does.
    return (version & 0x80000000u) != 0 ? READ_CHECK_PROBE : READ_CHECK_REGIONS;
}
