// The settings seal: the CRC-32 itself and the SealInput that load and save build.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/seal.h"

TEST(SealCrc, CheckValues)
{
    struct Case {
        std::string bytes;
        uint32_t expected;
    } cases[] = {
        {"123456789", 0x340BC6D9u},
        {"abc", 0xCADBBE3Du},
        {"", 0xFFFFFFFFu},
        {std::string(1, '\0'), 0x2DFD1072u},    // the complement of the common CRC-32 of one zero byte
        {"The quick brown fox jumps over the lazy dog", ~0x414FA339u},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, SealCrc(c.bytes.data(), static_cast<uint32_t>(c.bytes.size())))
            << "bytes \"" << c.bytes << "\"";
    EXPECT_EQ(0xFFFFFFFFu, SealCrc(nullptr, 0));
}

static SealParts EmptyParts(void)
{
    SealParts parts = {};
    for (const char *&text : parts.texts)
        text = "";
    return parts;
}

static std::vector<unsigned char> Build(const SealParts &parts, int *built, size_t size = SAVE_BUFFER_SIZE)
{
    std::vector<unsigned char> buffer(size ? size : 1);
    size_t length = 123;
    *built = BuildSealInput(parts, size ? buffer.data() : nullptr, size, &length);
    buffer.resize(length);
    return buffer;
}

TEST(SealInput, NumbersAreLittleEndianAtTheirPositions)
{
    SealParts parts = EmptyParts();
    for (size_t i = 0; i < SEAL_NUMBER_COUNT; i++)
        parts.numbers[i] = 0xA1B2C300u + static_cast<uint32_t>(i);
    parts.numbers[4] = 1;    // a field holding 1 contributes 01 00 00 00
    int built = 0;
    std::vector<unsigned char> input = Build(parts, &built);
    ASSERT_EQ(1, built);
    ASSERT_EQ(SEAL_NUMBERS_SIZE, input.size()) << "six empty texts add no byte";
    for (size_t i = 0; i < SEAL_NUMBER_COUNT; i++) {
        uint32_t n = parts.numbers[i];
        unsigned char expected[4] = {static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
                                     static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 24)};
        EXPECT_EQ(0, std::memcmp(expected, &input[4 * i], 4)) << COVERED_VALUES[i].name << " at " << 4 * i;
    }
}

TEST(SealInput, TextsFollowInOrderWithoutSeparators)
{
    struct Case {
        const char *texts[SEAL_TEXT_COUNT];
        std::string expected;
    } cases[] = {
        {{"ab", "", "", "", "", ""}, "ab"},
        {{"", "ab", "", "", "", ""}, "ab"},
        {{"a", "b", "", "", "", ""}, "ab"},
        {{"", "", "", "", "", "ab"}, "ab"},
        {{"C:\\R.REP", "C:\\BAD", "[+C:\\TEMP]", "COM,EXE", "DOC", "COM"}, "C:\\R.REPC:\\BAD[+C:\\TEMP]COM,EXEDOCCOM"},
    };
    uint32_t firstSeal = 0;
    for (size_t c = 0; c < sizeof cases / sizeof cases[0]; c++) {
        SealParts parts = EmptyParts();
        parts.numbers[0] = 7;
        for (size_t i = 0; i < SEAL_TEXT_COUNT; i++)
            parts.texts[i] = cases[c].texts[i];
        int built = 0;
        std::vector<unsigned char> input = Build(parts, &built);
        ASSERT_EQ(1, built) << "case " << c;
        std::string texts(input.begin() + SEAL_NUMBERS_SIZE, input.end());
        EXPECT_EQ(cases[c].expected, texts) << "case " << c;
        uint32_t seal = SealCrc(input.data(), static_cast<uint32_t>(input.size()));
        if (c == 0) {
            firstSeal = seal;
        } else if (c < 4) {
            EXPECT_EQ(firstSeal, seal) << "case " << c << ": only the concatenation counts";
        }
    }
}

TEST(SealInput, TextMustEndWithinItsReadCapacity)
{
    for (size_t i = 0; i < SEAL_TEXT_COUNT; i++) {
        const SettingsValue &value = COVERED_VALUES[SEAL_NUMBER_COUNT + i];
        struct Case {
            size_t characters;
            int expected;
        } cases[] = {{value.capacity - 1, 1}, {value.capacity, 0}, {value.capacity + 1, 0}};
        for (const Case &c : cases) {
            std::string text(c.characters, 'x');
            SealParts parts = EmptyParts();
            parts.texts[i] = text.c_str();
            int built = 0;
            std::vector<unsigned char> input = Build(parts, &built);
            EXPECT_EQ(c.expected, built) << value.name << " of " << c.characters << " characters";
            EXPECT_EQ(c.expected ? SEAL_NUMBERS_SIZE + c.characters : 0, input.size()) << value.name;
        }
    }
    SealParts parts = EmptyParts();
    parts.texts[2] = nullptr;
    int built = 1;
    Build(parts, &built);
    EXPECT_EQ(0, built) << "a missing buffer";
}

TEST(SealInput, NeverWritesBeyondTheWorkingBuffer)
{
    // Every text at its longest: exactly the largest input, which fits the load's SealInput area.
    std::vector<std::string> texts;
    SealParts parts = EmptyParts();
    for (size_t i = 0; i < SEAL_TEXT_COUNT; i++)
        texts.emplace_back(COVERED_VALUES[SEAL_NUMBER_COUNT + i].capacity - 1, static_cast<char>('a' + i));
    for (size_t i = 0; i < SEAL_TEXT_COUNT; i++)
        parts.texts[i] = texts[i].c_str();
    struct Case {
        size_t size;
        int expected;
    } cases[] = {
        {LOAD_BUFFER_SIZE - MAX_TEXT_CAPACITY, 1},
        {MAX_SEAL_INPUT, 1},
        {MAX_SEAL_INPUT - 1, 0},
        {SEAL_NUMBERS_SIZE, 0},
        {SEAL_NUMBERS_SIZE - 1, 0},
        {0, 0},
    };
    for (const Case &c : cases) {
        std::vector<unsigned char> buffer(c.size + 16, 0xEE);
        size_t length = 99;
        int built = BuildSealInput(parts, c.size ? buffer.data() : nullptr, c.size, &length);
        EXPECT_EQ(c.expected, built) << "buffer of " << c.size;
        EXPECT_EQ(c.expected ? MAX_SEAL_INPUT : 0, length) << "buffer of " << c.size;
        for (size_t b = c.size; b < buffer.size(); b++)
            ASSERT_EQ(0xEE, buffer[b]) << "byte " << b << " past a buffer of " << c.size;
    }
}
