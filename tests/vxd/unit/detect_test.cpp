// Recognising the anti-virus test file from the bytes at the start of a file.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "vxd/scan/detect.h"

namespace {

std::string TestString()
{
    char text[TEST_STRING_LENGTH + 1];
    BuildTestString(text);
    return std::string(text);
}

int Check(const std::string &bytes, size_t fileSize)
{
    return IsTestFile(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size(), fileSize);
}

}  // namespace

// The string itself stays out of our sources; its FNV-1a hash identifies it.
TEST(TestFile, BuiltStringIsTheStandardOne)
{
    std::string s = TestString();
    ASSERT_EQ(TEST_STRING_LENGTH, s.size());
    uint32_t hash = 0x811C9DC5u;
    for (unsigned char c : s)
        hash = (hash ^ c) * 0x01000193u;
    EXPECT_EQ(0x1B7B7C43u, hash);
}

TEST(TestFile, StringAtStartWithOnlyBlanksAfterIt)
{
    const std::string s = TestString();
    const std::string upTo128 = s + std::string(TEST_FILE_MAX_SIZE - TEST_STRING_LENGTH, ' ');
    struct Case {
        const char *what;
        std::string bytes;
        int expected;
    } cases[] = {
        {"exact string", s, 1},
        {"string and CR LF", s + "\r\n", 1},
        {"string, blanks, tab, LF, Ctrl-Z", s + "  \t\n\x1a", 1},
        {"padded to 128 bytes", upTo128, 1},
        {"padded to 129 bytes", upTo128 + " ", 0},
        {"string and other bytes", s + "\r\nx", 0},
        {"string and a NUL", s + std::string(1, '\0'), 0},
        {"67 characters", s.substr(0, TEST_STRING_LENGTH - 1), 0},
        {"last character changed", s.substr(0, TEST_STRING_LENGTH - 1) + "+", 0},
        {"string not at the start", " " + s, 0},
        {"lower case", std::string("x") + s.substr(1), 0},
        {"empty file", "", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, Check(c.bytes, c.bytes.size())) << c.what;
}

TEST(TestFile, WholeFileMustBeAtHand)
{
    const std::string s = TestString();
    EXPECT_EQ(0, Check(s, 200)) << "file longer than 128 bytes, first bytes read";
    EXPECT_EQ(0, Check(s, s.size() + 2)) << "short read: the rest of the file is unknown";
    EXPECT_EQ(0, Check(s + "  ", s.size())) << "more bytes than the file holds";
    EXPECT_EQ(0, IsTestFile(nullptr, 0, 0));
}
