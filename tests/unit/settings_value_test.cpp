// What the settings load takes from one registry value: type, size and terminator decide.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "settings/value_reader.h"

TEST(SettingsValue, NumbersAreFourBytesOfTheirOwnType)
{
    struct Case {
        uint32_t type;
        std::string bytes;
        int expected;
        uint32_t number;    // after the call; 0xDEADBEEF is the value left in place
    } cases[] = {
        {VALUE_NUMBER, std::string("\x01\x02\x03\x80", 4), 1, 0x80030201u},
        {VALUE_NUMBER, std::string(4, '\0'), 1, 0},
        {VALUE_NUMBER, std::string("\1\0\0", 3), 0, 0xDEADBEEFu},
        {VALUE_NUMBER, std::string("\1\0\0\0\0", 5), 0, 0xDEADBEEFu},
        {VALUE_NUMBER, "", 0, 0xDEADBEEFu},
        {VALUE_TEXT, std::string("abc", 4), 0, 0xDEADBEEFu},
        {3 /* binary */, std::string("\1\0\0\0", 4), 0, 0xDEADBEEFu},
    };
    for (const Case &c : cases) {
        uint32_t number = 0xDEADBEEFu;
        EXPECT_EQ(c.expected, TakeNumberValue(c.type, reinterpret_cast<const unsigned char *>(c.bytes.data()),
                                              c.bytes.size(), &number))
            << "type " << c.type << ", " << c.bytes.size() << " bytes";
        EXPECT_EQ(c.number, number) << "type " << c.type << ", " << c.bytes.size() << " bytes";
    }
}

TEST(SettingsValue, TextsEndAtTheirFirstZeroWithinCapacity)
{
    struct Case {
        uint32_t type;
        std::string bytes;
        size_t capacity;
        size_t targetSize;
        int expected;
        std::string text;    // the target after the call; "keep" is what it held before
    } cases[] = {
        {VALUE_TEXT, std::string("C:\\LOG", 7), 260, 260, 1, "C:\\LOG"},
        {VALUE_TEXT, std::string(1, '\0'), 260, 260, 1, ""},
        {VALUE_TEXT, std::string("ab\0cd\0", 6), 260, 260, 1, "ab"},
        {VALUE_TEXT, std::string(259, 'x') + '\0', 260, 260, 1, std::string(259, 'x')},
        {VALUE_TEXT, std::string(260, 'x') + '\0', 260, 260, 0, "keep"},     // too long
        {VALUE_TEXT, std::string(260, 'x'), 260, 260, 0, "keep"},            // fits, no terminator
        {VALUE_TEXT, "abc", 260, 260, 0, "keep"},
        {VALUE_TEXT, "", 260, 260, 0, "keep"},                                // no bytes at all
        {VALUE_NUMBER, std::string("abc", 4), 260, 260, 0, "keep"},
        {3 /* binary */, std::string("abc", 4), 260, 260, 0, "keep"},
        {VALUE_TEXT, std::string(2047, 'E') + '\0', 2048, 10240, 1, std::string(2047, 'E')},
        {VALUE_TEXT, std::string("abcdef", 7), 260, 6, 0, "keep"},          // the target is smaller
    };
    for (const Case &c : cases) {
        std::string target(c.targetSize, 'Z');
        std::memcpy(&target[0], "keep", 5);
        // The bytes in a block of exactly their size, so that the sanitizers see any read past them.
        std::unique_ptr<unsigned char[]> bytes(new unsigned char[c.bytes.empty() ? 1 : c.bytes.size()]);
        std::memcpy(bytes.get(), c.bytes.data(), c.bytes.size());
        EXPECT_EQ(c.expected, TakeTextValue(c.type, bytes.get(), c.bytes.size(), c.capacity, &target[0], c.targetSize))
            << c.bytes.size() << " bytes of type " << c.type;
        EXPECT_EQ(c.text, std::string(target.c_str())) << c.bytes.size() << " bytes of type " << c.type;
    }
}
