// The driver file's version trailer, on bytes as text mode delivers them.
#include <gtest/gtest.h>

#include <string>

#include "driver/protocol.h"

TEST(Trailer, MarkDecidesWhateverTheLastFourBytes)
{
    struct Case {
        std::string bytes;
        int expected;
    } cases[] = {
        {"FW3050RV01", 1},
        {std::string("FW3050\0\0\0\0", 10), 1},
        {"FW3050\xff\xfe\x1b\x7f", 1},
        {"fw3050RV01", 0},
        {"FW3051RV01", 0},
        {"FW3050RV0", 0},      // nine bytes arrived
        {"", 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.expected, CheckTrailer(reinterpret_cast<const unsigned char *>(c.bytes.data()), c.bytes.size()))
            << "trailer bytes \"" << c.bytes << "\"";
    }
    EXPECT_EQ(0, CheckTrailer(nullptr, 10));
}
