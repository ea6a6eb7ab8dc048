// The settings store against Wine's real registry: round trips, the seal, and garbled values.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "driver/link.h"
#include "settings/seal.h"
#include "settings/store.h"
#include "tests/settings_damage.h"
#include "tests/settings_snapshot.h"
#include "tests/win/test_support.h"

static const char KEY_PATH[] = "SOFTWARE\\Brannholt\\Torvane";
static const char PARENT_PATH[] = "SOFTWARE\\Brannholt";
static const char SEAL_NAME[] = "Torvane";
static const char LANGUAGE_NAME[] = "Language";

// The covered values as the registry layout states them, written out here rather than taken from
// the store's own table: the numbers in their order, each with its field and the value
// FillSettings gives it ...
struct NumberRow {
    const char *name;
    uint32_t StatusBlock::*field;
    uint32_t filled;
};
static const NumberRow NUMBER_ROWS[] = {
    {"Action", &StatusBlock::action, 0x01020304u},         {"OnlyLog", &StatusBlock::onlyLog, 0x12131415u},
    {"MacroSpecial", &StatusBlock::macroSpecial, 0x23242526u}, {"StopMacros", &StatusBlock::stopMacros, 0x34353637u},
    {"Type", &StatusBlock::scanType, 0x45464748u},         {"CompressedExe", &StatusBlock::compressedExe, 0x56575859u},
    {"Archives", &StatusBlock::archives, 0x6768696Au},     {"FloppyBoot", &StatusBlock::floppyBoot, 0x78797A7Bu},
    {"Heuristics", &StatusBlock::heuristics, 0x898A8B8Cu}, {"ScanOn", &StatusBlock::scanOn, 0x9A9B9C9Du},
    {"OnShutdown", &StatusBlock::onShutdown, 0xABACADAEu}, {"Disable", &StatusBlock::canDisable, 0xBCBDBEBFu},
    {"Icon", &StatusBlock::showIcon, 0xCDCECFD0u},         {"LogToFile", &StatusBlock::logToFile, 0xDEDFE0E1u},
    {"Append", &StatusBlock::append, 0xEFF0F1F2u},         {"Log", &StatusBlock::logMask, 0x01020303u},
    {"Ext", &StatusBlock::ext, 0x12131414u},
};

// ... and the texts in theirs, each with where it lies, its read capacity (terminator included)
// and FillSettings' short text.
struct TextRow {
    const char *name;
    char *(*place)(void);
    size_t capacity;
    const char *filled;
};
static const TextRow TEXT_ROWS[] = {
    {"LogFileName", [] { return statusBlock->logFileName; }, 260, "C:\\TORVANE\\TORVANE.REP"},
    {"MoveDir", [] { return statusBlock->moveDir; }, 260, "C:\\INFECTED"},
    {"Exclusions", [] { return TestBuffer(&StatusBlock::exclusions); }, 2048, "[+C:\\TEMP][D:\\DATA]"},
    {"Extensions", [] { return TestBuffer(&StatusBlock::extensions); }, 512, "COM,EXE,DLL"},
    {"UserExtensions", [] { return TestBuffer(&StatusBlock::userExtensions); }, 512, "DOC,XLS"},
    {"InUse", [] { return TestBuffer(&StatusBlock::inUse); }, 1024, "COM,EXE,DLL,DOC"},
};

static void DeleteSettingsKey(void)
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, KEY_PATH);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, PARENT_PATH);
}

static void PutRaw(const std::string &name, DWORD type, const std::string &bytes)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, KEY_PATH, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE *>(bytes.data()),
                                            static_cast<DWORD>(bytes.size())));
    RegCloseKey(key);
}

static std::string Bytes(uint32_t number)
{
    return std::string(reinterpret_cast<const char *>(&number), sizeof number);
}

static void PutNumber(const std::string &name, uint32_t number) { PutRaw(name, REG_DWORD, Bytes(number)); }
static void PutText(const std::string &name, const std::string &text) { PutRaw(name, REG_SZ, text + '\0'); }

// A REG_SZ written through the wide call with no terminator counted, as other writers may leave it.
static void PutWideWithoutZero(const std::string &name, const std::string &text)
{
    std::wstring wideName(name.begin(), name.end());
    std::wstring wide(text.begin(), text.end());
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, KEY_PATH, 0, KEY_ALL_ACCESS, &key));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, wideName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(wide.data()),
                                            static_cast<DWORD>(wide.size() * sizeof(wchar_t))));
    RegCloseKey(key);
}

static void Restore(const Snapshot &snapshot)
{
    DeleteSettingsKey();
    if (!snapshot.present)
        return;
    PutRaw(SEAL_NAME, REG_DWORD, Bytes(0));    // creates the key even when it held no value
    for (const auto &value : snapshot.values)
        PutRaw(value.first, value.second.type, value.second.bytes);
}

static uint32_t StoredNumber(const char *name)
{
    Snapshot snapshot = TakeSnapshot();
    const StoredValue &value = snapshot.values[name];
    uint32_t number = 0;
    std::memcpy(&number, value.bytes.data(), value.bytes.size() < 4 ? value.bytes.size() : 4);
    return number;
}

// SealInput spelled out the way the registry layout states it: the rows above, in their order.
static std::string ExpectedSealInput(void)
{
    std::string input;
    for (const NumberRow &row : NUMBER_ROWS)
        input += Bytes(statusBlock->*row.field);
    for (const TextRow &row : TEXT_ROWS)
        input += row.place();
    return input;
}

static uint32_t ExpectedSeal(void)
{
    std::string input = ExpectedSealInput();
    return SealCrc(input.data(), static_cast<uint32_t>(input.size()));
}

static void SetText(const std::string &name, const std::string &text)
{
    for (const TextRow &row : TEXT_ROWS)
        if (name == row.name)
            std::strcpy(row.place(), text.c_str());
}

// The text FillSettings gives text row i: its short text, or with longest its whole capacity.
static std::string FilledText(size_t i, int longest)
{
    if (!longest)
        return TEXT_ROWS[i].filled;
    std::string text;
    for (size_t c = 0; c + 1 < TEXT_ROWS[i].capacity; c++)
        text += static_cast<char>('A' + (c + i) % 26);
    return text;
}

// Distinct numbers and texts; longest lets every text use its whole capacity.
static void FillSettings(int longest)
{
    for (const NumberRow &row : NUMBER_ROWS)
        statusBlock->*row.field = row.filled;
    for (size_t i = 0; i < std::size(TEXT_ROWS); i++)
        std::strcpy(TEXT_ROWS[i].place(), FilledText(i, longest).c_str());
    languageId = 2;
}

static void CreateEmptyKey(void)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, KEY_PATH, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    RegCloseKey(key);
}

class SettingsStore : public testing::Test {
protected:
    Snapshot before;

    void SetUp() override
    {
        before = TakeSnapshot();
        DeleteSettingsKey();
        InstallTestDriver();
    }
    void TearDown() override { Restore(before); }

    // A saved state with a true, nonzero seal; the StatusBlock then cleared for the load to fill.
    void SaveState(int longest)
    {
        CreateEmptyKey();
        FillSettings(longest);
        ASSERT_EQ(1, SaveSettings());
        ASSERT_NE(0u, StoredNumber(SEAL_NAME));
        InstallTestDriver();
    }
};

TEST_F(SettingsStore, SaveThenLoadGivesBackEveryFieldAndBuffer)
{
    for (int longest = 0; longest <= 1; longest++) {
        CreateEmptyKey();
        FillSettings(longest);
        StatusBlock saved = *statusBlock;
        std::vector<std::string> buffers;
        for (auto field : {&StatusBlock::exclusions, &StatusBlock::extensions, &StatusBlock::userExtensions,
                           &StatusBlock::inUse})
            buffers.emplace_back(TestBuffer(field));
        ASSERT_EQ(1, SaveSettings());

        Snapshot stored = TakeSnapshot();
        EXPECT_EQ(25u, stored.values.size());
        for (const NumberRow &row : NUMBER_ROWS)
            EXPECT_TRUE((StoredValue{REG_DWORD, Bytes(row.filled)}) == stored.values[row.name]) << row.name;
        for (size_t i = 0; i < std::size(TEXT_ROWS); i++)
            EXPECT_TRUE((StoredValue{REG_SZ, FilledText(i, longest) + '\0'}) == stored.values[TEXT_ROWS[i].name])
                << TEXT_ROWS[i].name << " (longest " << longest << ")";
        EXPECT_TRUE((StoredValue{REG_DWORD, Bytes(ExpectedSeal())}) == stored.values[SEAL_NAME]);
        EXPECT_TRUE((StoredValue{REG_DWORD, Bytes(2)}) == stored.values[LANGUAGE_NAME]);

        InstallTestDriver();
        ASSERT_EQ(1, LoadSettings()) << "longest " << longest;
        EXPECT_EQ(0, std::memcmp(&saved, statusBlock, sizeof saved)) << "StatusBlock, longest " << longest;
        int b = 0;
        for (auto field : {&StatusBlock::exclusions, &StatusBlock::extensions, &StatusBlock::userExtensions,
                           &StatusBlock::inUse})
            EXPECT_EQ(buffers[b++], TestBuffer(field)) << "buffer " << b << ", longest " << longest;
        EXPECT_EQ(2u, languageId);
        DeleteSettingsKey();
    }
}

TEST_F(SettingsStore, SixEmptyTextsSealSixtyEightBytes)
{
    CreateEmptyKey();
    FillSettings(0);
    for (const TextRow &row : TEXT_ROWS)
        SetText(row.name, "");
    ASSERT_EQ(68u, ExpectedSealInput().size());
    ASSERT_EQ(1, SaveSettings());
    EXPECT_EQ(ExpectedSeal(), StoredNumber(SEAL_NAME));
    InstallTestDriver();
    EXPECT_EQ(1, LoadSettings());
}

TEST_F(SettingsStore, TextsAreJoinedWithoutSeparators)
{
    CreateEmptyKey();
    FillSettings(0);
    SetText("LogFileName", "ab");
    SetText("MoveDir", "");
    ASSERT_EQ(1, SaveSettings());
    uint32_t first = StoredNumber(SEAL_NAME);
    SetText("LogFileName", "");
    SetText("MoveDir", "ab");
    ASSERT_EQ(1, SaveSettings());
    EXPECT_EQ(first, StoredNumber(SEAL_NAME));
    SetText("MoveDir", "ba");
    ASSERT_EQ(1, SaveSettings());
    EXPECT_NE(first, StoredNumber(SEAL_NAME));
}

TEST_F(SettingsStore, ChangeOutsideTheProgramFailsTheNextLoad)
{
    SaveState(0);
    Snapshot saved = TakeSnapshot();
    for (const SettingsRow &row : SETTINGS_ROWS) {
        if (row.name == std::string(SEAL_NAME) || row.name == std::string(LANGUAGE_NAME))
            continue;   // outside the seal
        Restore(saved);
        std::string bytes = saved.values[row.name].bytes;
        if (!row.text)
            bytes[0] ^= 1;                     // one bit of one byte
        else
            bytes.insert(bytes.begin(), 'X');  // one more character
        PutRaw(row.name, row.text ? REG_SZ : REG_DWORD, bytes);
        Snapshot changed = TakeSnapshot();
        InstallTestDriver();
        EXPECT_EQ(0, LoadSettings()) << row.name << " changed";
        EXPECT_TRUE(changed == TakeSnapshot()) << "the load wrote to the registry after " << row.name;
    }
    Restore(saved);
    PutNumber(LANGUAGE_NAME, 1);
    InstallTestDriver();
    EXPECT_EQ(1, LoadSettings()) << "the language lies outside the seal";
    EXPECT_EQ(1u, languageId);
}

TEST_F(SettingsStore, ZeroSealLoadsOnceAndTheSaveStoresTheTrueSeal)
{
    CreateEmptyKey();
    FillSettings(0);
    ASSERT_EQ(1, SaveSettings());
    PutNumber(SEAL_NAME, 0);
    PutNumber("Heuristics", 0);           // any values load under a seal of 0
    PutText("Exclusions", "[C:\\X]");
    InstallTestDriver();
    ASSERT_EQ(1, LoadSettings());
    EXPECT_EQ(0u, statusBlock->heuristics);
    EXPECT_STREQ("[C:\\X]", TestBuffer(&StatusBlock::exclusions));

    ASSERT_EQ(1, SaveSettings());
    uint32_t seal = StoredNumber(SEAL_NAME);
    EXPECT_EQ(ExpectedSeal(), seal);
    EXPECT_NE(0u, seal);
    InstallTestDriver();
    EXPECT_EQ(1, LoadSettings()) << "the second start verifies against the true seal";
    PutNumber("Heuristics", 1);
    InstallTestDriver();
    EXPECT_EQ(0, LoadSettings()) << "and now the seal guards the values";
}

// Each garbled state is written over valid settings with a seal of 0, so that only the value
// itself can fail the load.
TEST_F(SettingsStore, GarbledValuesFailTheLoadAndWriteNothing)
{
    struct Case {
        std::string what;
        std::function<void()> garble;
        int expected;
    };
    std::vector<Case> cases = {
        {"key missing", [] { RegDeleteKeyA(HKEY_LOCAL_MACHINE, KEY_PATH); }, 0},
        {"key path missing", [] { DeleteSettingsKey(); }, 0},
        {"log file name of 260 characters", [] { PutText("LogFileName", std::string(260, 'L')); }, 0},
        {"log file name of 259 characters", [] { PutText("LogFileName", std::string(259, 'L')); }, 1},
        {"move folder of 260 characters", [] { PutText("MoveDir", std::string(260, 'M')); }, 0},
        {"exclusions of 2048 characters", [] { PutText("Exclusions", std::string(2048, 'E')); }, 0},
        {"exclusions of 2047 characters", [] { PutText("Exclusions", std::string(2047, 'E')); }, 1},
        {"extensions of 512 characters", [] { PutText("Extensions", std::string(512, 'X')); }, 0},
        {"user extensions of 512 characters", [] { PutText("UserExtensions", std::string(512, 'U')); }, 0},
        {"in use of 1024 characters", [] { PutText("InUse", std::string(1024, 'I')); }, 0},
        {"in use of 1023 characters", [] { PutText("InUse", std::string(1023, 'I')); }, 1},
        {"seal of 5 bytes", [] { PutRaw(SEAL_NAME, REG_BINARY, std::string(5, '\0')); }, 0},
        {"seal of 2 bytes", [] { PutRaw(SEAL_NAME, REG_BINARY, std::string(2, '\0')); }, 0},
        {"language of 2 bytes", [] { PutRaw(LANGUAGE_NAME, REG_BINARY, std::string(2, '\1')); }, 0},
        // The right size under another type is someone else's value, not a setting.
        {"a number as 4 bytes of binary", [] { PutRaw("Ext", REG_BINARY, Bytes(7)); }, 0},
        {"a number as a text of 3 characters", [] { PutText("Action", "abc"); }, 0},   // 4 bytes as stored
        {"a number as a text of 4 characters", [] { PutText("Action", "abcd"); }, 0},  // 5 bytes
        {"a number of no bytes", [] { PutRaw("Append", REG_BINARY, ""); }, 0},
    };
    for (const NumberRow &row : NUMBER_ROWS) {
        cases.push_back({std::string(row.name) + " of 5 bytes",
                         [&row] { PutRaw(row.name, REG_BINARY, Bytes(1) + '\0'); }, 0});
        cases.push_back({std::string(row.name) + " of 2 bytes",
                         [&row] { PutRaw(row.name, REG_DWORD, std::string("\1\0", 2)); }, 0});
    }
    // Every value of the key in turn, damaged every way: the whole matrix that the end-to-end test
    // walks one damage per value of.
    for (const SettingsRow &row : SETTINGS_ROWS) {
        for (SettingsDamage damage : DamagesOf(row)) {
            // Windows 95/98 store every REG_SZ whole, up to and with its first zero, whatever count
            // the writer gives: such a text written by this process is no damage there.
            int storedWhole = RunsAsWindows9x() && row.text && (damage == DAMAGE_TOO_SHORT || damage == DAMAGE_NO_TERMINATOR);
            cases.push_back({DamageName(row, damage), [&row, damage] { ASSERT_TRUE(DamageSetting(row, damage)); },
                             storedWhole});
        }
    }

    SaveState(0);
    uint32_t trueSeal = StoredNumber(SEAL_NAME);
    PutNumber(SEAL_NAME, 0);
    Snapshot valid = TakeSnapshot();
    for (const Case &c : cases) {
        Restore(valid);
        c.garble();
        Snapshot garbled = TakeSnapshot();
        InstallTestDriver();
        EXPECT_EQ(c.expected, LoadSettings()) << c.what;
        EXPECT_TRUE(garbled == TakeSnapshot()) << "the load wrote to the registry: " << c.what;
    }

    Restore(valid);
    PutNumber(SEAL_NAME, trueSeal);
    InstallTestDriver();
    EXPECT_EQ(1, LoadSettings()) << "the true seal";
    PutNumber(SEAL_NAME, trueSeal ^ 0x100);
    Snapshot wrong = TakeSnapshot();
    InstallTestDriver();
    EXPECT_EQ(0, LoadSettings()) << "a wrong seal";
    EXPECT_TRUE(wrong == TakeSnapshot()) << "the load wrote to the registry: a wrong seal";
}

TEST_F(SettingsStore, TextOfAnotherTypeOrWithoutTerminatorIsRefused)
{
    struct Case {
        std::string what;
        DWORD type;              // REG_NONE: a wide REG_SZ of these characters without its zero
        std::string bytes;       // stored exactly so, no terminator added
        int expected;
        std::string loaded;      // the field after the load
    } cases[] = {
        {"3 bytes of binary", REG_BINARY, "abc", 0, "keep"},
        {"terminated binary", REG_BINARY, std::string("abc", 4), 0, "keep"},
        {"259 characters, terminated", REG_SZ, std::string(259, 'b') + '\0', 1, std::string(259, 'b')},
        {"a zero inside", REG_SZ, std::string("ab\0cd", 5), 1, "ab"},
        {"no bytes", REG_SZ, "", RunsAsWindows9x(), RunsAsWindows9x() ? "" : "keep"},   // 9x stores the zero
        {"just the terminator", REG_SZ, std::string(1, '\0'), 1, ""},
        // The wide call's text reaches the ANSI reader with a terminator counted (Wine adds it).
        {"wide text stored without its zero", REG_NONE, "uvw", 1, "uvw"},
        {"wide text of 260 characters without its zero", REG_NONE, std::string(260, 'w'), 0, "keep"},
    };
    SaveState(0);
    PutNumber(SEAL_NAME, 0);
    Snapshot valid = TakeSnapshot();
    for (const Case &c : cases) {
        Restore(valid);
        if (c.type == REG_NONE)
            PutWideWithoutZero("LogFileName", c.bytes);
        else
            PutRaw("LogFileName", c.type, c.bytes);
        InstallTestDriver();
        std::memset(statusBlock->logFileName, 'Z', sizeof statusBlock->logFileName);
        std::memcpy(statusBlock->logFileName, "keep", 5);
        EXPECT_EQ(c.expected, LoadSettings()) << c.what;
        EXPECT_EQ(c.loaded, std::string(statusBlock->logFileName)) << c.what;
    }

    // The seal covers the characters up to the first zero, as the save will write them.
    Restore(valid);
    PutRaw("LogFileName", REG_SZ, std::string("abc\0de", 6));
    InstallTestDriver();
    ASSERT_EQ(1, LoadSettings());
    ASSERT_EQ(1, SaveSettings());
    InstallTestDriver();
    EXPECT_EQ(1, LoadSettings());
    EXPECT_TRUE((StoredValue{REG_SZ, std::string("abc", 4)}) == TakeSnapshot().values["LogFileName"]);
}

TEST_F(SettingsStore, SaveThatTheNextLoadWouldRefuseWritesNothing)
{
    SaveState(0);
    ASSERT_EQ(1, LoadSettings());
    Snapshot saved = TakeSnapshot();
    struct Case {
        std::string what;
        std::function<void()> change;
    } cases[] = {
        {"exclusions of 2048 characters", [] { SetText("Exclusions", std::string(2048, 'E')); }},
        {"log file name without terminator",
         [] { std::memset(statusBlock->logFileName, 'L', sizeof statusBlock->logFileName); }},
        {"in use without terminator", [] { std::memset(TestBuffer(&StatusBlock::inUse), 'I', IN_USE_SIZE); }},
        {"no exclusion buffer", [] { statusBlock->exclusions = 0; }},
    };
    for (const Case &c : cases) {
        InstallTestDriver();
        ASSERT_EQ(1, LoadSettings());
        statusBlock->heuristics ^= 1;    // a change that would be saved with it
        c.change();
        EXPECT_EQ(0, SaveSettings()) << c.what;
        EXPECT_TRUE(saved == TakeSnapshot()) << "the save wrote: " << c.what;
    }
    InstallTestDriver();
    ASSERT_EQ(1, LoadSettings());
    SetText("Exclusions", std::string(2047, 'E'));
    EXPECT_EQ(1, SaveSettings());
    InstallTestDriver();
    EXPECT_EQ(1, LoadSettings());
    EXPECT_EQ(std::string(2047, 'E'), TestBuffer(&StatusBlock::exclusions));
}

TEST_F(SettingsStore, NoKeyAndNoRecordMeanNoAccess)
{
    FillSettings(0);
    EXPECT_EQ(0, SaveSettings()) << "the store never creates its key";
    EXPECT_EQ(0, TakeSnapshot().present);
    HKEY parent;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, PARENT_PATH, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &parent, nullptr));
    RegCloseKey(parent);
    EXPECT_EQ(0, SaveSettings()) << "the innermost key missing";
    EXPECT_EQ(0, LoadSettings());
    EXPECT_EQ(0, TakeSnapshot().present);

    SaveState(0);
    StatusBlock *block = statusBlock;
    statusBlock = nullptr;
    EXPECT_EQ(0, LoadSettings());
    EXPECT_EQ(0, SaveSettings());
    statusBlock = block;
    statusBlock->inUse = 0;
    EXPECT_EQ(0, LoadSettings()) << "no buffer behind an address";
}
