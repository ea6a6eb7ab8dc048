// The CRC-32 seal over the settings and the SealInput it is computed on.
#include "settings/seal.h"

#include <array>
#include <cstring>

#include "base/bounded.h"
#include "driver/address.h"

static constexpr std::array<uint32_t, 256> MakeSealTable(void)
{
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int bit = 0; bit < 8; bit++)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
static constexpr std::array<uint32_t, 256> SEAL_TABLE = MakeSealTable();
static_assert(SEAL_TABLE[1] == 0x77073096u && SEAL_TABLE[255] == 0x2D02EF8Du, "the reflected CRC-32 table");

uint32_t SealCrc(const void *bytes, uint32_t length)
{
    const unsigned char *p = static_cast<const unsigned char *>(bytes);
    uint32_t crc = 0xFFFFFFFFu;
    for (uint32_t i = 0; i < length; i++)
        crc = SEAL_TABLE[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc;    // no final inversion
}

uint32_t *NumberOf(StatusBlock *block, const SettingsValue &value)
{
    return reinterpret_cast<uint32_t *>(reinterpret_cast<char *>(block) + value.offset);
}

const char *TextOf(const StatusBlock *block, const SettingsValue &value)
{
    const char *at = reinterpret_cast<const char *>(block) + value.offset;
    if (value.target == TARGET_FIELD)
        return at;
    uint32_t address;
    std::memcpy(&address, at, sizeof address);
    return FromAddress32<const char>(address);
}

char *TextOf(StatusBlock *block, const SettingsValue &value)
{
    return const_cast<char *>(TextOf(static_cast<const StatusBlock *>(block), value));
}

int GatherSealParts(const StatusBlock *block, SealParts *parts)
{
    if (block == nullptr)
        return 0;
    for (size_t i = 0; i < SEAL_NUMBER_COUNT; i++)
        parts->numbers[i] = *NumberOf(const_cast<StatusBlock *>(block), COVERED_VALUES[i]);
    for (size_t i = 0; i < SEAL_TEXT_COUNT; i++) {
        parts->texts[i] = TextOf(block, COVERED_VALUES[SEAL_NUMBER_COUNT + i]);
        if (parts->texts[i] == nullptr)
            return 0;
    }
    return 1;
}

int BuildSealInput(const SealParts &parts, unsigned char *buffer, size_t size, size_t *length)
{
    *length = 0;
    if (buffer == nullptr || size < SEAL_NUMBERS_SIZE)
        return 0;
    for (size_t i = 0; i < SEAL_NUMBER_COUNT; i++) {
        uint32_t number = parts.numbers[i];
        for (size_t b = 0; b < 4; b++)
            buffer[4 * i + b] = static_cast<unsigned char>(number >> (8 * b));
    }
    size_t fill = SEAL_NUMBERS_SIZE;
    for (size_t i = 0; i < SEAL_TEXT_COUNT; i++) {
        const char *text = parts.texts[i];
        size_t capacity = COVERED_VALUES[SEAL_NUMBER_COUNT + i].capacity;
        size_t textLength = BoundedLength(text, capacity);
        if (text == nullptr || textLength >= capacity || textLength > size - fill)
            return 0;
        std::memcpy(buffer + fill, text, textLength);
        fill += textLength;
    }
    *length = fill;
    return 1;
}
