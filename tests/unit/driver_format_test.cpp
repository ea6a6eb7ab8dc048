// The driver's format texts are checked before printf is given arguments for them.
#include <gtest/gtest.h>

#include "sheet/driver_format.h"

namespace {

TEST(DriverFormat, OnlyWhatTheArgumentsCanServe)
{
    struct Case {
        const char *format;
        FormatArgument kind;
        int max;
        int fits;
    } cases[] = {
        {"Virus signatures: %s", FORMAT_TEXTS, 1, 1},
        {"100%% sure: %-12.5s", FORMAT_TEXTS, 1, 1},
        {"%s and %s", FORMAT_TEXTS, 1, 0},
        {"%d", FORMAT_TEXTS, 1, 0},
        {"%n", FORMAT_TEXTS, 1, 0},
        {"%*s", FORMAT_TEXTS, 1, 0},
        {"ends in %", FORMAT_TEXTS, 1, 0},
        {"%u.%u %x.%X %d %i %08o %+u", FORMAT_NUMBERS, 8, 1},
        {"%u %u %u %u %u %u %u %u %u", FORMAT_NUMBERS, 8, 0},
        {"%lu %s", FORMAT_NUMBERS, 8, 0},
        {"%lu.%ld %lx %hu %hX %-4lo", FORMAT_NUMBERS, 8, 1},   // one l or h: 32 bits read all the same
        {"%llu", FORMAT_NUMBERS, 8, 0},
        {"%hhu", FORMAT_NUMBERS, 8, 0},
        {"%ls", FORMAT_TEXTS, 1, 0},
        {"%.*u", FORMAT_NUMBERS, 8, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.fits, FormatFits(c.format, c.kind, c.max)) << c.format;
}

}   // namespace
