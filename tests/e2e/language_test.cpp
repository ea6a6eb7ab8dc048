// The language chosen at start-up as a user meets it: a driver that refuses it leaves the connect
// language in force after a message; one that accepts it makes every later window speak it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/robot.h"
#include "vxd/language_texts.h"

namespace {

// Text number of a language's table (UTF-8 in the driver's sources) in code page 1252, as the
// front end shows it after converting the driver's OEM text.
std::string Shown(const char *const *texts, int number)
{
    const char *utf8 = texts[number - DRIVER_FIRST_TEXT];
    std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], static_cast<int>(wide.size()));
    std::string ansi(static_cast<size_t>(WideCharToMultiByte(1252, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(1252, 0, wide.c_str(), -1, &ansi[0], static_cast<int>(ansi.size()), nullptr, nullptr);
    ansi.pop_back();   // the terminator
    return ansi;
}

std::string SelectLanguageLine(const std::string &folder)
{
    for (const std::string &line : ReadJournal(folder)) {
        if (line.compare(0, 20, "CTL_SELECT_LANGUAGE ") == 0)
            return line;
    }
    return "";
}

TEST(LanguageE2e, StartSelectsStoredLanguageOrKeepsTheConnectLanguage)
{
    struct Case {
        const char *name;
        std::vector<IniKey> ini;
        int refused;                    // the driver refuses the selection
        const char *const *shownTexts;  // the table the alert must speak
    } cases[] = {
        // French from the connect, German refused: the message, then French.
        {"Refused", {{"StartLanguage", "2"}, {"RefuseLanguage", "1"}}, 1, frenchTexts},
        {"Accepted", {}, 0, germanTexts},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FolderSetup setup;
        setup.ini = c.ini;
        setup.ini.push_back({"Watch", "watched"});
        std::string folder;
        ASSERT_TRUE(PrepareFolder(ScenarioName() + "_" + c.name, setup, &folder));
        CreateDirectoryA((folder + "\\watched").c_str(), nullptr);
        ASSERT_TRUE(WriteDefaultSettings(folder));
        ASSERT_TRUE(SetSettingNumber("Language", 1));   // German, stored by an earlier run

        TorvaneRun run;
        ASSERT_TRUE(StartTorvane(folder, &run));
        HWND box = WaitForMessageBox(run.processId, c.refused ? ROBOT_TIMEOUT_MS : 3000);
        if (c.refused) {
            ASSERT_NE(nullptr, box) << "no message for the refused language";
            SaveScreenshot(ScenarioName() + "_" + c.name);
            ExpectStopMessage(box, "Torvane", "Can not load new language");
            ASSERT_TRUE(PressButton(box, IDOK));
            EXPECT_TRUE(WaitClosed(box, 5000));
        } else {
            EXPECT_EQ(nullptr, box) << "a message at start: " << Visible(WindowText(GetDlgItem(box, MESSAGE_BOX_TEXT_ID)));
        }
        HWND main = WaitForMainWindow(run.processId, ROBOT_TIMEOUT_MS);
        ASSERT_NE(nullptr, main) << "the program ended";
        std::string line = SelectLanguageLine(folder);
        EXPECT_EQ(c.refused ? "0" : "1", JournalField(line, "result")) << line;
        EXPECT_EQ("1", JournalField(line, "language")) << line;

        // Texts read after the start: the alert for the test file.
        ASSERT_TRUE(WriteFileBytes(folder + "\\watched\\SAMPLE.COM", TestFileBytes()));
        HWND alert = WaitForAlert(run.processId, ROBOT_TIMEOUT_MS);
        ASSERT_NE(nullptr, alert) << "no alert; journal:\n" << testing::PrintToString(ReadJournal(folder));
        SaveScreenshot(ScenarioName() + "_" + c.name + "_alert");
        std::string title = Shown(c.shownTexts, 608), text = Shown(c.shownTexts, 701);
        EXPECT_EQ(Visible(title), Visible(WindowText(alert)));
        EXPECT_EQ(Visible(text), Visible(WindowText(GetDlgItem(alert, IDC_ALERT_TEXT))));
        ASSERT_TRUE(PressButton(alert, IDOK));

        std::vector<std::string> expectedCodes = {"CTL_CONNECT", "CTL_SCAN_OPTIONS_CHANGED",
                                                  "CTL_ACTION_OPTIONS_CHANGED", "CTL_EXCLUSIONS_CHANGED",
                                                  "CTL_SELECT_LANGUAGE"};
        EXPECT_EQ(expectedCodes, JournalCodes(ReadJournal(folder)));
        ASSERT_TRUE(PostToWindow(main, WM_CLOSE, 0, 0));
        DWORD exitCode = 99;
        ASSERT_TRUE(WaitExit(run, ROBOT_TIMEOUT_MS, &exitCode)) << "WM_CLOSE did not end the program";
        EXPECT_EQ(0u, exitCode);
        EndAllTorvane();
    }
}

}   // namespace
