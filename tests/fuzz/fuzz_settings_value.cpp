// The settings load's reading of one registry value: any type, any bytes, for any row of the key.
// Holds: a number is taken only as four bytes of its own type; a text only of its own type, within
// its capacity and with a zero inside it, copied with its terminator and nothing more; a refused
// value leaves its target as it was; and a text the load takes, the save can write and seal again.
#include "settings/seal.h"
#include "settings/value_reader.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const uint32_t types[] = {VALUE_TEXT, VALUE_NUMBER, 3 /* binary */, 2 /* expandable text */, 0};
    uint32_t type = types[TakeByte(&data, &size) % (sizeof types / sizeof types[0])];
    size_t row = TakeByte(&data, &size) % (COVERED_VALUES.size() + 2);   // the seal and the language too
    std::unique_ptr<unsigned char[]> bytes = ExactCopy(data, size);

    if (row >= COVERED_VALUES.size() || COVERED_VALUES[row].type == VALUE_NUMBER) {
        uint32_t number = 0xA5A5A5A5u;
        int taken = TakeNumberValue(type, bytes.get(), size, &number);
        FUZZ_CHECK(taken == (type == VALUE_NUMBER && size == 4), "a number is four bytes of its own type");
        uint32_t expected = 0xA5A5A5A5u;
        if (taken)
            expected = data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
        FUZZ_CHECK(number == expected, "the number is the bytes, little-endian; a refusal leaves it");
        return 0;
    }

    const SettingsValue &value = COVERED_VALUES[row];
    size_t length = TextLength(data, size);
    int terminated = length < size;
    std::unique_ptr<char[]> target(new char[value.bufferSize]);
    std::memset(target.get(), 'Z', value.bufferSize);
    int taken = TakeTextValue(type, bytes.get(), size, value.capacity, target.get(), value.bufferSize);
    int expected = type == VALUE_TEXT && size <= value.capacity && terminated;
    FUZZ_CHECK(taken == expected, "a text is of its own type, within its capacity, terminated");
    if (!taken) {
        for (size_t i = 0; i < value.bufferSize; i++)
            FUZZ_CHECK(target[i] == 'Z', "a refused text leaves its target as it was");
        return 0;
    }
    FUZZ_CHECK(std::memcmp(target.get(), data, length + 1) == 0, "the text up to and with its first zero");
    for (size_t i = length + 1; i < value.bufferSize; i++)
        FUZZ_CHECK(target[i] == 'Z', "nothing written past the terminator");

    // The save seals what the load took: the same text builds SealInput again.
    SealParts parts = {};
    for (const char *&text : parts.texts)
        text = "";
    parts.texts[row - SEAL_NUMBER_COUNT] = target.get();
    static unsigned char input[SAVE_BUFFER_SIZE];
    size_t built = 0;
    FUZZ_CHECK(BuildSealInput(parts, input, sizeof input, &built) == 1, "a loaded text can be saved");
    FUZZ_CHECK(built == SEAL_NUMBERS_SIZE + length, "SealInput holds the numbers and the characters");
    FUZZ_CHECK(std::memcmp(input + SEAL_NUMBERS_SIZE, data, length) == 0, "SealInput holds the text as read");
    return 0;
}
