// The settings as a user meets them: damaged settings stop the start with text 605 and exit code 2
// without touching the registry; good ones load, reach the driver and are sealed anew.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/robot.h"
#include "tests/settings_damage.h"
#include "tests/settings_snapshot.h"

// Text 605 of the reference driver's English table (plain ASCII, so the conversion keeps it).
static const char SETTINGS_FAILED_TEXT[] =
    "The stored settings cannot be read or have been damaged. Torvane will now close.";

static const char *const NUMBER_NAMES[] = {
    "Action",     "OnlyLog", "MacroSpecial", "StopMacros", "Type",      "CompressedExe", "Archives", "FloppyBoot",
    "Heuristics", "ScanOn",  "OnShutdown",   "Disable",    "Icon",      "LogToFile",     "Append",   "Log",
    "Ext",
};
static const char *const TEXT_NAMES[] = {"LogFileName", "MoveDir", "Exclusions", "Extensions", "UserExtensions", "InUse"};

// The seal worked out here from the stored values, bit by bit, independently of the program.
static DWORD ExpectedSeal(const Snapshot &snapshot)
{
    std::string input;
    for (const char *name : NUMBER_NAMES)
        input += snapshot.values.at(name).bytes;
    for (const char *name : TEXT_NAMES) {
        const std::string &bytes = snapshot.values.at(name).bytes;
        input += bytes.substr(0, bytes.find('\0'));
    }
    DWORD crc = 0xFFFFFFFFu;
    for (unsigned char byte : input) {
        crc ^= byte;
        for (int bit = 0; bit < 8; bit++)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}

static std::string PrepareSettingsFolder(void)
{
    std::string folder;
    EXPECT_TRUE(PrepareFolder(ScenarioName(), FolderSetup(), &folder)) << "program folder";
    return folder;
}

// Starts Torvane in folder and expects start-up to stop at the settings: text 605 under caption
// text 600, one OK, nothing but the connect sent to the driver, the registry untouched, exit code 2.
static void ExpectSettingsFailure(const std::string &folder, const std::string &what)
{
    SCOPED_TRACE(what);
    DeleteFileA((folder + "\\journal.txt").c_str());
    Snapshot before = TakeSnapshot();
    TorvaneRun run;
    ASSERT_TRUE(StartTorvane(folder, &run));
    HWND box = WaitForMessageBox(run.processId, ROBOT_TIMEOUT_MS);
    ASSERT_NE(nullptr, box) << "no message box";
    ExpectStopMessage(box, "Torvane", SETTINGS_FAILED_TEXT);
    EXPECT_EQ(std::vector<std::string>{"CTL_CONNECT"}, JournalCodes(ReadJournal(folder)));
    // Before the message, onShutdown and floppyBoot are 0 in the driver's record, whatever was
    // loaded into them (a wrong seal loads every value first).
    EXPECT_TRUE(WaitUntil([&] {
        std::string status = LastJournalLine(folder, "STATUS ");
        return JournalField(status, "onShutdown") == "0" && JournalField(status, "floppyBoot") == "0";
    }, ROBOT_TIMEOUT_MS)) << LastJournalLine(folder, "STATUS ");
    EXPECT_TRUE(IsWindow(box));

    ASSERT_TRUE(PressButton(box, IDOK));
    DWORD exitCode = 99;
    ASSERT_TRUE(WaitExit(run, ROBOT_TIMEOUT_MS, &exitCode)) << "still running after OK";
    EXPECT_EQ(2u, exitCode);
    EXPECT_TRUE(before == TakeSnapshot()) << "the failed start wrote to the registry";
}

// Starts Torvane in folder (whose settings ask for a report), waits until start-up has started
// the report, then closes it. Returns the codes the driver was sent.
static std::vector<std::string> StartAndClose(const std::string &folder)
{
    DeleteFileA((folder + "\\journal.txt").c_str());
    TorvaneRun run;
    HWND mainWindow = StartNormally(folder, &run);
    if (mainWindow == nullptr) {
        EndAllTorvane();
        return {};
    }
    // Every caller asks for a report: its CTL_LOG_START, the last code of start-up, follows the language.
    EXPECT_TRUE(WaitJournalLine(folder, "CTL_LOG_START", ROBOT_TIMEOUT_MS));
    std::vector<std::string> codes = JournalCodes(ReadJournal(folder));
    EXPECT_TRUE(PostToWindow(mainWindow, WM_CLOSE, 0, 0));
    DWORD exitCode = 99;
    EXPECT_TRUE(WaitExit(run, ROBOT_TIMEOUT_MS, &exitCode));
    EXPECT_EQ(0u, exitCode);
    return codes;
}

TEST(SettingsE2e, DamagedSettingsShowText605AndEnd2WithoutWriting)
{
    struct Case {
        std::string what;
        std::function<int()> damage;
    };
    std::vector<Case> cases = {
        {"key missing", [] { return DeleteSettingsKey(); }},
        {"log file name of 260 characters", [] { return SetSettingText("LogFileName", std::string(260, 'L')); }},
        {"exclusions of 2048 characters", [] { return SetSettingText("Exclusions", std::string(2048, 'E')); }},
        {"number of 5 bytes", [] { return SetSettingBytes("Heuristics", REG_BINARY, std::string("\1\0\0\0\0", 5)); }},
        {"number of 2 bytes", [] { return SetSettingBytes("ScanOn", REG_BINARY, std::string("\3\0", 2)); }},
        {"wrong seal", [] { return SetSettingNumber("Torvane", 1); }},
    };
    // Every value in turn, missing and damaged one more way, the ways taken in rotation so that each
    // is met by several values; the in-process test of the store walks every value every way.
    size_t turn = 0;
    for (const SettingsRow &row : SETTINGS_ROWS) {
        std::vector<SettingsDamage> damages = DamagesOf(row);
        SettingsDamage other = damages[1 + turn++ % (damages.size() - 1)];
        for (SettingsDamage damage : {DAMAGE_MISSING, other})
            cases.push_back({DamageName(row, damage), [&row, damage] { return DamageSetting(row, damage); }});
    }

    std::string folder = PrepareSettingsFolder();
    for (const Case &c : cases) {
        ASSERT_TRUE(WriteDefaultSettings(folder)) << c.what;
        ASSERT_TRUE(c.damage()) << "could not damage: " << c.what;
        ExpectSettingsFailure(folder, c.what);
        EndAllTorvane();
    }
}

TEST(SettingsE2e, StartSealsTheSettingsAndTheNextStartChecksTheSeal)
{
    std::string folder = PrepareSettingsFolder();
    ASSERT_TRUE(WriteDefaultSettings(folder));
    // Values that differ from the defaults, under a seal of 0, and the longest exclusion text.
    ASSERT_TRUE(SetSettingNumber("Icon", 0));
    ASSERT_TRUE(SetSettingNumber("LogToFile", 1));
    ASSERT_TRUE(SetSettingText("Exclusions", "[+" + std::string(2043, 'X') + "]"));

    std::vector<std::string> codes = StartAndClose(folder);
    std::vector<std::string> expected = {"CTL_CONNECT", "CTL_SCAN_OPTIONS_CHANGED", "CTL_ACTION_OPTIONS_CHANGED",
                                         "CTL_EXCLUSIONS_CHANGED", "CTL_SELECT_LANGUAGE", "CTL_LOG_START"};
    EXPECT_EQ(expected, codes);
    std::string scanLine;
    for (const std::string &line : ReadJournal(folder)) {
        if (line.compare(0, 25, "CTL_SCAN_OPTIONS_CHANGED ") == 0)
            scanLine = line;
    }
    EXPECT_EQ("0", JournalField(scanLine, "showIcon")) << "the loaded values reach the driver: " << scanLine;
    EXPECT_EQ("1", JournalField(scanLine, "logToFile")) << scanLine;

    Snapshot sealed = TakeSnapshot();
    DWORD seal = 0;
    ASSERT_TRUE(ReadSettingNumber("Torvane", &seal));
    EXPECT_NE(0u, seal) << "the zero seal was not replaced";
    EXPECT_EQ(ExpectedSeal(sealed), seal);

    // The language lies outside the seal.
    ASSERT_TRUE(SetSettingNumber("Language", 1));
    EXPECT_EQ(expected, StartAndClose(folder)) << "a changed language";
    DWORD again = 0;
    EXPECT_TRUE(ReadSettingNumber("Torvane", &again));
    EXPECT_EQ(seal, again);

    // A covered value changed outside the program is caught.
    ASSERT_TRUE(SetSettingNumber("Heuristics", 0));
    ExpectSettingsFailure(folder, "Heuristics changed outside");
}
