// The language as a user meets it: chosen at start-up (a driver that refuses it leaves the connect
// language in force after a message; one that accepts it makes every later window speak it), and
// chosen on the About page, which switches the sheet at its next opening.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/robot.h"
#include "vxd/texts/language_texts.h"

namespace {

// The tab titles of the sheet in a language.
std::vector<std::string> TabTitles(const char *const *texts)
{
    std::vector<std::string> titles;
    for (int number : {611, 613, 614, 616, 612, 615})
        titles.push_back(ShownText(texts, number));
    return titles;
}

std::vector<std::string> LanguageNames(const char *const *texts)
{
    return {ShownText(texts, 592), ShownText(texts, 593), ShownText(texts, 594)};
}

size_t SelectLanguageCount(const std::string &folder)
{
    size_t count = 0;
    for (const std::string &line : ReadJournal(folder))
        count += line.compare(0, 20, "CTL_SELECT_LANGUAGE ") == 0 ? 1 : 0;
    return count;
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
        std::string folder = PrepareWatched(std::string("_") + c.name, c.ini);
        ASSERT_TRUE(SetSettingNumber("Language", 1));   // German, stored by an earlier run
        ASSERT_TRUE(WaitUntil([] { return !TrayIconShown(); }, ROBOT_TIMEOUT_MS)) << "an icon of an earlier run";

        TorvaneRun run;
        ASSERT_TRUE(StartTorvane(folder, &run));
        if (c.refused) {
            HWND box = WaitForMessageBox(run.processId, ROBOT_TIMEOUT_MS);
            ASSERT_NE(nullptr, box) << "no message for the refused language";
            SaveScreenshot(ScenarioName() + "_" + c.name);
            ExpectStopMessage(box, "Torvane", "Can not load new language");
            ASSERT_TRUE(PressButton(box, IDOK));
            EXPECT_TRUE(WaitClosed(box, ROBOT_TIMEOUT_MS));
        }
        // The icon comes last in start-up, after any message: a message held it back.
        EXPECT_TRUE(WaitUntil(TrayIconShown, ROBOT_TIMEOUT_MS)) << "start-up did not end";
        HWND box = WaitForMessageBox(run.processId, 0);
        EXPECT_EQ(nullptr, box) << "a message at start: " << Visible(WindowText(GetDlgItem(box, MESSAGE_BOX_TEXT_ID)));
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
        std::string title = ShownText(c.shownTexts, 608), text = ShownText(c.shownTexts, 701);
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

TEST(LanguageE2e, ChoiceOnTheAboutPageSwitchesAtTheNextOpening)
{
    const std::string folder = PrepareWatched();
    ASSERT_TRUE(SetSettingText("Exclusions", "[+C:\\TEMP][C:\\DATA\\OLD]"));
    TorvaneRun run;
    ASSERT_NE(nullptr, StartNormally(folder, &run));
    HWND sheet = OpenSheet(run, SHEET_BY_MENU);
    ASSERT_NE(nullptr, sheet);
    HWND page = SelectPage(sheet, SHEET_ABOUT_PAGE);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ("Driver version: 3.50\nScan engine version: 4.20\nKnown viruses: 18432\nKnown macro viruses: 2417\n"
              "Driver build: 312\nSignature update: 41",
              ControlText(page, IDC_ABOUT_VERSION))
        << "the driver's third number stands seventh";
    EXPECT_EQ(LanguageNames(englishTexts), ControlRows(page, IDC_ABOUT_LANGUAGE));
    EXPECT_EQ(0, SelectedRow(page, IDC_ABOUT_LANGUAGE));
    EXPECT_EQ(1, ControlEnabled(page, IDC_ABOUT_LANGUAGE));
    SaveScreenshot("about-en");

    // The choice is only recorded: the open sheet keeps its language, nothing is sent or saved.
    const size_t selects = SelectLanguageCount(folder);
    ASSERT_TRUE(SelectRow(page, IDC_ABOUT_LANGUAGE, 1));
    ASSERT_TRUE(PostedHandled(sheet, IDCANCEL)) << "the pick was not handled";
    EXPECT_EQ(0, ApplyEnabled(sheet)) << "the choice does not mark the sheet";
    EXPECT_EQ(TabTitles(englishTexts), SheetTabTitles(sheet));
    ASSERT_TRUE(PressSheetButton(sheet, IDCANCEL));
    EXPECT_EQ(selects, SelectLanguageCount(folder));
    DWORD stored = 99;
    EXPECT_TRUE(ReadSettingNumber("Language", &stored));
    EXPECT_EQ(0u, stored);

    // The next opening switches first: tabs, labels and rows in German, the choice saved.
    sheet = OpenSheet(run, SHEET_BY_MESSAGE);
    ASSERT_NE(nullptr, sheet);
    EXPECT_EQ(selects + 1, SelectLanguageCount(folder));
    std::string line = LastJournalLine(folder, "CTL_SELECT_LANGUAGE ");
    EXPECT_EQ("1", JournalField(line, "language")) << line;
    EXPECT_EQ("1", JournalField(line, "result")) << line;
    EXPECT_TRUE(ReadSettingNumber("Language", &stored));
    EXPECT_EQ(1u, stored);
    EXPECT_EQ(SHEET_CAPTION, WindowText(sheet));
    EXPECT_EQ(TabTitles(germanTexts), SheetTabTitles(sheet));
    EXPECT_EQ(ShownText(germanTexts, 617), ControlText(CurrentPage(sheet), IDC_SCAN_WHAT_FRAME));
    page = SelectPage(sheet, SHEET_EXCLUSIONS_PAGE);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(ShownText(germanTexts, 654), ControlText(page, IDC_EXCL_ADD));
    EXPECT_EQ((std::vector<std::string>{"Ja   C:\\TEMP", "-    C:\\DATA\\OLD"}), ControlRows(page, IDC_EXCL_LIST));
    SaveScreenshot("exclusions-de");
    ASSERT_TRUE(PressButton(page, IDC_EXCL_ADD));
    HWND dialog = WaitForDialogWith(run.processId, {IDC_ADDEXCL_PATH, IDC_ADDEXCL_LABEL}, ROBOT_TIMEOUT_MS);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(ShownText(germanTexts, 696), WindowText(dialog));
    EXPECT_EQ(ShownText(germanTexts, 693), ControlText(dialog, IDC_ADDEXCL_SUBFOLDERS));
    SaveScreenshot("add-exclusion-de");
    ASSERT_TRUE(PressButton(dialog, IDCANCEL));
    ASSERT_TRUE(WaitClosed(dialog, ROBOT_TIMEOUT_MS));
    page = SelectPage(sheet, SHEET_INFORMATION_PAGE);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(ShownText(germanTexts, 635), ControlText(page, IDC_INFO_FILES_SCANNED_LABEL));
    SaveScreenshot("information-de");
    page = SelectPage(sheet, SHEET_ABOUT_PAGE);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(LanguageNames(germanTexts), ControlRows(page, IDC_ABOUT_LANGUAGE));
    EXPECT_EQ(1, SelectedRow(page, IDC_ABOUT_LANGUAGE));
    SaveScreenshot("about-de");
    ASSERT_TRUE(PressSheetButton(sheet, IDCANCEL));

    // And the next alert.
    ASSERT_TRUE(WriteFileBytes(folder + "\\watched\\SAMPLE.COM", TestFileBytes()));
    HWND alert = WaitForAlert(run.processId, ROBOT_TIMEOUT_MS);
    ASSERT_NE(nullptr, alert);
    EXPECT_EQ(Visible(ShownText(germanTexts, 608)), Visible(WindowText(alert)));
    ASSERT_TRUE(PressButton(alert, IDOK));
    ASSERT_TRUE(WaitClosed(alert, ROBOT_TIMEOUT_MS));
    EndNormally(run);
}

TEST(LanguageE2e, RefusedSwitchKeepsTheOldLanguage)
{
    const std::string folder = PrepareWatched("", {{"RefuseLanguage", "1"}});
    ASSERT_TRUE(WaitUntil([] { return !TrayIconShown(); }, ROBOT_TIMEOUT_MS)) << "an icon of an earlier run";
    TorvaneRun run;
    ASSERT_TRUE(StartTorvane(folder, &run));
    HWND box = WaitForMessageBox(run.processId, ROBOT_TIMEOUT_MS);
    ASSERT_NE(nullptr, box) << "no message for the language refused at start";
    ASSERT_TRUE(PressButton(box, IDOK));
    ASSERT_TRUE(WaitUntil(TrayIconShown, ROBOT_TIMEOUT_MS)) << "start-up did not go on after the message";
    HWND sheet = OpenSheet(run, SHEET_BY_MENU);
    ASSERT_NE(nullptr, sheet);
    ASSERT_TRUE(SelectRow(SelectPage(sheet, SHEET_ABOUT_PAGE), IDC_ABOUT_LANGUAGE, 1));
    ASSERT_TRUE(PressSheetButton(sheet, IDCANCEL));

    // The message comes before the sheet, which then opens in the old language.
    ASSERT_TRUE(AskForSheet(run, SHEET_BY_MENU));
    box = WaitForMessageBox(run.processId, ROBOT_TIMEOUT_MS);
    ASSERT_NE(nullptr, box) << "no message for the refused switch";
    EXPECT_TRUE(OpenSheets(run.processId).empty()) << "the sheet came before the message";
    ExpectStopMessage(box, "Torvane", "Can not load new language");
    ASSERT_TRUE(PressButton(box, IDOK));
    sheet = WaitForSheet(run.processId, ROBOT_TIMEOUT_MS);
    ASSERT_NE(nullptr, sheet);
    EXPECT_EQ(TabTitles(englishTexts), SheetTabTitles(sheet));
    std::string line = LastJournalLine(folder, "CTL_SELECT_LANGUAGE ");
    EXPECT_EQ("0", JournalField(line, "result")) << line;
    EXPECT_EQ("1", JournalField(line, "language")) << line;

    // The refused language stays chosen, so picking it again marks no switch.
    HWND page = SelectPage(sheet, SHEET_ABOUT_PAGE);
    EXPECT_EQ(1, SelectedRow(page, IDC_ABOUT_LANGUAGE));
    ASSERT_TRUE(SelectRow(page, IDC_ABOUT_LANGUAGE, 1));
    ASSERT_TRUE(PressSheetButton(sheet, IDCANCEL));
    const size_t selects = SelectLanguageCount(folder);
    sheet = OpenSheet(run, SHEET_BY_MENU);
    ASSERT_NE(nullptr, sheet) << "a message instead of the sheet?";
    EXPECT_EQ(selects, SelectLanguageCount(folder));
    EXPECT_EQ(TabTitles(englishTexts), SheetTabTitles(sheet));
    ASSERT_TRUE(PressSheetButton(sheet, IDCANCEL));
    EndNormally(run);
}

}   // namespace
