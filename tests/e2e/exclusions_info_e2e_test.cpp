// The Exclusions and Information pages as a user meets them: folders added (typed and browsed for)
// and removed, applied, and then left alone by the driver; the statistics climbing while files are
// written, and Clear.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/robot.h"

namespace {

// The add dialog, told by its path field and label (the folder chooser shares its other ids).
HWND WaitForAddDialog(DWORD processId)
{
    return WaitForDialogWith(processId, {IDC_ADDEXCL_PATH, IDC_ADDEXCL_LABEL}, ROBOT_TIMEOUT_MS);
}

int Scanned(const std::string &folder, const std::string &path)
{
    for (const std::string &line : ReadJournal(folder)) {
        if (line == "SCAN " + path)
            return 1;
    }
    return 0;
}

TEST(ExclusionsE2e, AddedFoldersAreLeftAloneAfterApply)
{
    const std::string folder = PrepareWatched();
    const std::string watched = folder + "\\watched", skip = watched + "\\skip", browsed = watched + "\\browsed";
    for (const std::string &made : {skip, skip + "\\sub", browsed, browsed + "\\deeper", watched + "\\keep"})
        CreateDirectoryA(made.c_str(), nullptr);
    ASSERT_TRUE(SetSettingText("Exclusions", "[C:\\OLD]"));
    TorvaneRun run;
    ASSERT_NE(nullptr, StartNormally(folder, &run));
    HWND sheet = OpenSheet(run, SHEET_BY_MENU);
    ASSERT_NE(nullptr, sheet);
    HWND page = SelectPage(sheet, SHEET_EXCLUSIONS_PAGE);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(std::vector<std::string>{"No   C:\\OLD"}, ControlRows(page, IDC_EXCL_LIST));
    // Before the apply the driver still scans below the folder about to be excluded.
    ASSERT_TRUE(WriteFileBytes(skip + "\\sub\\BEFORE.COM", "clean"));
    EXPECT_TRUE(WaitJournalLine(folder, "SCAN " + skip + "\\sub\\BEFORE.COM", ROBOT_TIMEOUT_MS));

    // Typed, with subfolders; a path with "]" is refused first: the dialog stays open.
    ASSERT_TRUE(PressButton(page, IDC_EXCL_ADD));
    HWND dialog = WaitForAddDialog(run.processId);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("Exclusion to Add", WindowText(dialog));
    ASSERT_TRUE(TypeText(dialog, IDC_ADDEXCL_PATH, "C:\\A]B"));
    ASSERT_TRUE(PressButton(dialog, IDOK));
    EXPECT_FALSE(WaitClosed(dialog, 700)) << "a path with ] was taken";
    ASSERT_TRUE(TypeText(dialog, IDC_ADDEXCL_PATH, skip));
    ASSERT_TRUE(SetTicked(dialog, IDC_ADDEXCL_SUBFOLDERS, 1));
    SaveScreenshot("add-exclusion-en");
    ASSERT_TRUE(PressButton(dialog, IDOK));
    ASSERT_TRUE(WaitClosed(dialog, ROBOT_TIMEOUT_MS));

    // Browsed for: the chooser's folder becomes its files.
    ASSERT_TRUE(PressButton(page, IDC_EXCL_ADD));
    dialog = WaitForAddDialog(run.processId);
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(PressButton(dialog, IDC_ADDEXCL_BROWSE));
    HWND chooser = WaitForFileDialog(run.processId, ROBOT_TIMEOUT_MS);
    ASSERT_NE(nullptr, chooser);
    ASSERT_TRUE(AnswerFileDialog(chooser, browsed + "\\AAAAA", 1));
    EXPECT_TRUE(WaitUntil([&] { return ControlText(dialog, IDC_ADDEXCL_PATH) == browsed + "\\*.*"; }, ROBOT_TIMEOUT_MS))
        << ControlText(dialog, IDC_ADDEXCL_PATH);
    ASSERT_TRUE(PressButton(dialog, IDOK));
    ASSERT_TRUE(WaitClosed(dialog, ROBOT_TIMEOUT_MS));

    const std::vector<std::string> rows = {"No   C:\\OLD", "Yes  " + skip, "No   " + browsed + "\\*.*"};
    EXPECT_TRUE(WaitUntil([&] { return ControlRows(page, IDC_EXCL_LIST) == rows; }, ROBOT_TIMEOUT_MS))
        << testing::PrintToString(ControlRows(page, IDC_EXCL_LIST));
    EXPECT_EQ(1, ApplyEnabled(sheet));
    SaveScreenshot("exclusions-en");

    // The stored row goes; the apply writes the rest for the driver and the registry.
    ASSERT_TRUE(SelectRow(page, IDC_EXCL_LIST, 0));
    ASSERT_TRUE(PressButton(page, IDC_EXCL_REMOVE));
    EXPECT_TRUE(WaitUntil([&] { return ControlRows(page, IDC_EXCL_LIST).size() == 2; }, ROBOT_TIMEOUT_MS));
    ASSERT_TRUE(PressSheetButton(sheet, SHEET_APPLY));
    EXPECT_TRUE(WaitJournalLine(folder, "EXCLUSIONS entries=2 ignored=0", ROBOT_TIMEOUT_MS));
    // The sheet disables Apply at the page's PSM_UNCHANGED, before the page's save.
    const std::string expected = "[+" + skip + "][" + browsed + "\\*.*]";
    std::string stored;
    EXPECT_TRUE(WaitUntil([&] { return ReadSettingText("Exclusions", &stored) && stored == expected; }, ROBOT_TIMEOUT_MS))
        << stored;

    // Excluded: below skip, and directly in browsed; its subfolder was not included.
    const std::vector<std::string> left = {skip + "\\AFTER.COM", skip + "\\sub\\AFTER.COM", browsed + "\\AFTER.COM"};
    const std::vector<std::string> scanned = {browsed + "\\deeper\\AFTER.COM", watched + "\\keep\\AFTER.COM"};
    for (const std::string &path : left)
        ASSERT_TRUE(WriteFileBytes(path, "clean"));
    for (const std::string &path : scanned) {
        ASSERT_TRUE(WriteFileBytes(path, "clean"));
        EXPECT_TRUE(WaitJournalLine(folder, "SCAN " + path, ROBOT_TIMEOUT_MS)) << path;
    }
    for (const std::string &path : left)
        EXPECT_FALSE(Scanned(folder, path)) << path;
    ASSERT_TRUE(PressSheetButton(sheet, IDOK));
    EndNormally(run);
}

TEST(InformationE2e, CountersClimbWhileFilesAreWrittenAndClearZeroesThem)
{
    const std::string folder = PrepareWatched();
    TorvaneRun run;
    ASSERT_NE(nullptr, StartNormally(folder, &run));
    HWND sheet = OpenSheet(run, SHEET_BY_MESSAGE);
    ASSERT_NE(nullptr, sheet);
    HWND page = SelectPage(sheet, SHEET_INFORMATION_PAGE);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ("0", ControlText(page, IDC_INFO_FILES_SCANNED));
    const size_t codesBefore = JournalCodes(ReadJournal(folder)).size();

    // Each file is shown on the page within a few ticks: the count climbs one by one.
    for (int i = 1; i <= 4; i++) {
        const std::string name = "FILE" + std::to_string(i) + ".COM";
        ASSERT_TRUE(WriteFileBytes(folder + "\\watched\\" + name, "clean"));
        EXPECT_TRUE(WaitUntil([&] { return ControlText(page, IDC_INFO_FILES_SCANNED) == std::to_string(i); },
                              ROBOT_TIMEOUT_MS))
            << "after " << name << ": " << ControlText(page, IDC_INFO_FILES_SCANNED);
    }
    EXPECT_EQ("C:\\torvane-e2e\\..\\FILE4.COM", ControlText(page, IDC_INFO_LAST_FILE)) << "the last file, shortened";
    EXPECT_EQ("0", ControlText(page, IDC_INFO_FILES_INFECTED));
    SaveScreenshot("information-en");

    ASSERT_TRUE(PressButton(page, IDC_INFO_CLEAR));
    EXPECT_TRUE(WaitUntil([&] { return ControlText(page, IDC_INFO_FILES_SCANNED) == "0"; }, ROBOT_TIMEOUT_MS));
    std::vector<std::string> codes = JournalCodes(ReadJournal(folder));
    EXPECT_EQ(std::vector<std::string>{"CTL_CLEAR_STATISTICS"},
              std::vector<std::string>(codes.begin() + static_cast<long>(codesBefore), codes.end()))
        << "Clear sends its code and nothing else";
    EXPECT_EQ(0, ApplyEnabled(sheet)) << "the page changes no settings";
    EXPECT_EQ("C:\\torvane-e2e\\..\\FILE4.COM", ControlText(page, IDC_INFO_LAST_FILE));
    ASSERT_TRUE(PressSheetButton(sheet, IDCANCEL));
    EndNormally(run);
}

}   // namespace
