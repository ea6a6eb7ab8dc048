// The registry values of the settings: their names, types, read capacities and where each lands.
// One table drives the load, the save and the seal, so that all three follow the same rows in the
// same order. No windows.h here: the table and the seal are pure logic.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "driver/status_block.h"

// Registry value types as the platform numbers them (REG_SZ, REG_DWORD).
enum : uint32_t {
    VALUE_TEXT = 1,
    VALUE_NUMBER = 4,
};

// Where a covered value lands in the StatusBlock.
enum ValueTarget : uint8_t {
    TARGET_NUMBER,   // the 32-bit field at offset
    TARGET_FIELD,    // the text field at offset, bufferSize bytes wide
    TARGET_BUFFER,   // the driver's buffer whose 32-bit address lies at offset, bufferSize bytes long
};

struct SettingsValue {
    const char *name;       // registry value name
    uint32_t type;          // VALUE_NUMBER or VALUE_TEXT
    ValueTarget target;
    uint32_t offset;        // in the StatusBlock: of the field, or of the address field
    uint32_t capacity;      // bytes the load reads at most, a text's terminator included
    uint32_t bufferSize;    // bytes of the field or buffer (the exclusion buffer holds more than is read)
};

// The two values outside the seal: the seal itself and the chosen language.
constexpr char SEAL_VALUE_NAME[] = "Torvane";
constexpr char LANGUAGE_VALUE_NAME[] = "Language";

// The key path under HKEY_LOCAL_MACHINE, opened one key inside the other.
constexpr const char *SETTINGS_KEY_PATH[] = {"SOFTWARE", "Brannholt", "Torvane"};

constexpr size_t SEAL_NUMBER_COUNT = 17;                    // covered numbers, four bytes each
constexpr size_t SEAL_NUMBERS_SIZE = 4 * SEAL_NUMBER_COUNT; // 68: where the texts start in SealInput
constexpr size_t SEAL_TEXT_COUNT = 6;                       // covered texts, characters only
constexpr size_t SETTINGS_VALUE_COUNT = 2 + SEAL_NUMBER_COUNT + SEAL_TEXT_COUNT;   // 25

// The covered values (rows 3 to 25 of the store) in the order the load reads them and the save
// writes them: first the 17 numbers, whose four bytes lie in SealInput at 4 * (position in this
// table), then the six texts, whose characters follow in this order.
constexpr std::array<SettingsValue, SEAL_NUMBER_COUNT + SEAL_TEXT_COUNT> COVERED_VALUES = {{
    {"Action", VALUE_NUMBER, TARGET_NUMBER, offsetof(StatusBlock, action), 4, 4},
    {"OnlyLog", VALUE_NUMBER, TARGET_NUMBER, offsetof(StatusBlock, onlyLog), 4, 4},
    {"MacroSpecial", VALUE_NUMBER, TARGET_NUMBER, offsetof(StatusBlock, macroSpecial), 4, 4},
    {"StopMacros", VALUE_NUMBER, TARGET_NUMBER, offsetof(StatusBlock, stopMacros), 4, 4},
    {"Type", VALUE_NUMBER, TARGET_NUMBER, offsetof(StatusBlock, scanType), 4, 4},
    {"CompressedExe", VALUE_NUMBER, TARGET_NUMBER, offsetof(StatusBlock, compressedExe), 4, 4},
    {"Archives", VALUE_NUMBER, TARGET_NUMBER, offsetof(StatusBlock, archives), 4, 4},
    {"FloppyBoot", VALUE_NUMBER, TARGET_NUMBER, offsetof(StatusBlock, floppyBoot), 4, 4},
    {"Heuristics", VALUE_NUMBER, TARGET_NUMBER, offsetof(StatusBlock, heuristics), 4, 4},
    {"ScanOn", VALUE_NUMBER, TARGET_NUMBER, offsetof(StatusBlock, scanOn), 4, 4},
    {"OnShutdown", VALUE_NUMBER, TARGET_NUMBER, offsetof(StatusBlock, onShutdown), 4, 4},
    {"Disable", VALUE_NUMBER, TARGET_NUMBER, offsetof(StatusBlock, canDisable), 4, 4},
    {"Icon", VALUE_NUMBER, TARGET_NUMBER, offsetof(StatusBlock, showIcon), 4, 4},
    {"LogToFile", VALUE_NUMBER, TARGET_NUMBER, offsetof(StatusBlock, logToFile), 4, 4},
    {"Append", VALUE_NUMBER, TARGET_NUMBER, offsetof(StatusBlock, append), 4, 4},
    {"Log", VALUE_NUMBER, TARGET_NUMBER, offsetof(StatusBlock, logMask), 4, 4},
    {"Ext", VALUE_NUMBER, TARGET_NUMBER, offsetof(StatusBlock, ext), 4, 4},
    {"LogFileName", VALUE_TEXT, TARGET_FIELD, offsetof(StatusBlock, logFileName), 260, 260},
    {"MoveDir", VALUE_TEXT, TARGET_FIELD, offsetof(StatusBlock, moveDir), 260, 260},
    {"Exclusions", VALUE_TEXT, TARGET_BUFFER, offsetof(StatusBlock, exclusions), 2048, EXCLUSIONS_SIZE},
    {"Extensions", VALUE_TEXT, TARGET_BUFFER, offsetof(StatusBlock, extensions), 512, EXTENSIONS_SIZE},
    {"UserExtensions", VALUE_TEXT, TARGET_BUFFER, offsetof(StatusBlock, userExtensions), 512, USER_EXTENSIONS_SIZE},
    {"InUse", VALUE_TEXT, TARGET_BUFFER, offsetof(StatusBlock, inUse), 1024, IN_USE_SIZE},
}};

constexpr bool CoveredValuesWellFormed(void)
{
    for (size_t i = 0; i < COVERED_VALUES.size(); i++) {
        const SettingsValue &value = COVERED_VALUES[i];
        bool number = i < SEAL_NUMBER_COUNT;
        if (number && (value.type != VALUE_NUMBER || value.target != TARGET_NUMBER || value.capacity != 4))
            return false;
        if (!number && (value.type != VALUE_TEXT || value.target == TARGET_NUMBER))
            return false;
        if (value.capacity == 0 || value.capacity > value.bufferSize)
            return false;
        if (value.target == TARGET_FIELD && value.offset + value.bufferSize > sizeof(StatusBlock))
            return false;
    }
    return true;
}
static_assert(CoveredValuesWellFormed(), "numbers first, then texts; no capacity beyond its buffer");

// The longest SealInput a load can build: the numbers and every text one byte short of its capacity.
constexpr size_t MaxSealInput(void)
{
    size_t total = SEAL_NUMBERS_SIZE;
    for (size_t i = SEAL_NUMBER_COUNT; i < COVERED_VALUES.size(); i++)
        total += COVERED_VALUES[i].capacity - 1;
    return total;
}
constexpr size_t MAX_SEAL_INPUT = MaxSealInput();

// The largest text capacity: the size of the area a load reads each text into before it is taken.
constexpr size_t MaxTextCapacity(void)
{
    size_t largest = 0;
    for (const SettingsValue &value : COVERED_VALUES)
        largest = value.capacity > largest ? value.capacity : largest;
    return largest;
}
constexpr size_t MAX_TEXT_CAPACITY = MaxTextCapacity();

// The working buffers obtained per call: a load's SealInput with its text reading area, and a save's.
constexpr size_t LOAD_BUFFER_SIZE = 20480;
constexpr size_t SAVE_BUFFER_SIZE = 61440;
static_assert(MAX_SEAL_INPUT + MAX_TEXT_CAPACITY <= LOAD_BUFFER_SIZE, "a load's SealInput and read area fit");
static_assert(MAX_SEAL_INPUT <= SAVE_BUFFER_SIZE, "a save's SealInput fits");

// The 32-bit field of a number row, or the text of a text row (a field, or the driver's buffer
// behind the address field: nullptr when the driver gave no address).
uint32_t *NumberOf(StatusBlock *block, const SettingsValue &value);
char *TextOf(StatusBlock *block, const SettingsValue &value);
const char *TextOf(const StatusBlock *block, const SettingsValue &value);
