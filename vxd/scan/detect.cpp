// Recognising the standard anti-virus test file.
#include "vxd/scan/detect.h"

#include <cstdint>

// The test string, each byte XORed with TEST_STRING_KEY.
static const uint8_t TEST_STRING_KEY = 0x5A;
static const uint8_t encodedTestString[TEST_STRING_LENGTH] = {
    0x02, 0x6F, 0x15, 0x7B, 0x0A, 0x7F, 0x1A, 0x1B, 0x0A, 0x01, 0x6E, 0x06, 0x0A, 0x00, 0x02, 0x6F,
    0x6E, 0x72, 0x0A, 0x04, 0x73, 0x6D, 0x19, 0x19, 0x73, 0x6D, 0x27, 0x7E, 0x1F, 0x13, 0x19, 0x1B,
    0x08, 0x77, 0x09, 0x0E, 0x1B, 0x14, 0x1E, 0x1B, 0x08, 0x1E, 0x77, 0x1B, 0x14, 0x0E, 0x13, 0x0C,
    0x13, 0x08, 0x0F, 0x09, 0x77, 0x0E, 0x1F, 0x09, 0x0E, 0x77, 0x1C, 0x13, 0x16, 0x1F, 0x7B, 0x7E,
    0x12, 0x71, 0x12, 0x70,
};

void BuildTestString(char (&out)[TEST_STRING_LENGTH + 1])
{
    for (size_t i = 0; i < TEST_STRING_LENGTH; i++)
        out[i] = static_cast<char>(encodedTestString[i] ^ TEST_STRING_KEY);
    out[TEST_STRING_LENGTH] = 0;
}

static int IsTrailingBlank(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0x1A;
}

int IsTestFile(const unsigned char *bytes, size_t count, size_t fileSize)
{
    if (bytes == nullptr || fileSize > TEST_FILE_MAX_SIZE || count != fileSize || count < TEST_STRING_LENGTH)
        return 0;
    for (size_t i = 0; i < TEST_STRING_LENGTH; i++) {
        if (bytes[i] != (encodedTestString[i] ^ TEST_STRING_KEY))
            return 0;
    }
    for (size_t i = TEST_STRING_LENGTH; i < count; i++) {
        if (!IsTrailingBlank(bytes[i]))
            return 0;
    }
    return 1;
}
