// Which check finds a driver's memory readable, by the platform GetVersion names.
#include <gtest/gtest.h>

#include "driver/readable.h"

TEST(ReadableCheck, Windows95And98ProbeTheReads)
{
    struct Case {
        const char *platform;
        uint32_t version;   // as GetVersion returns it
        ReadCheck check;
    } cases[] = {
        {"Windows 95", 0xC3B60004u, READ_CHECK_PROBE},
        {"Windows 98", 0xC0000A04u, READ_CHECK_PROBE},
        {"Windows NT 4.0", 0x05650004u, READ_CHECK_REGIONS},
        {"Windows XP", 0x0A280105u, READ_CHECK_REGIONS},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.check, ReadCheckFor(c.version)) << c.platform;
}
