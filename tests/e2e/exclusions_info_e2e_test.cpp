// The Exclusions and Information pages as a user meets them: folders added (typed and browsed for)
// and removed, applied, and then left alone by the driver; the statistics climbing while files are
// written, and Clear.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/robot.h"

namespace {

// The add dialog, told by its path field and label (the folder chooser shares its other ids).
HWND WaitForAddDialog(DWORD processId)
{
    return WaitForDialogWith(processId, {IDC_ADDEXCL_PATH, IDC_ADDEXCL_LABEL}, ROBOT_TIMEOUT_MS);
}

// Clicks Add on the page and hands the add dialog to answer; 1 once the page has handled the click
// to its end (the dialog closed, its path taken or not).
int AddWith(HWND page, const std::function<void(HWND)> &answer)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(page, &processId);
    HANDLE click = StartSentClick(page, IDC_EXCL_ADD);
    HWND dialog = click != nullptr ? WaitForAddDialog(processId) : nullptr;
    if (dialog != nullptr)
        answer(dialog);
    return WaitSentClick(click, ROBOT_TIMEOUT_MS) && dialog != nullptr;
}

// Presses OK with a path the list cannot hold: 1 when the dialog handled the click and is still up.
int RefusedOk(HWND dialog)
{
    return PressButtonAndWait(dialog, IDOK, ROBOT_TIMEOUT_MS) && IsWindowVisible(dialog);
}

// Types path and presses OK: 1 when the dialog then closed.
int TakenOk(HWND dialog, const std::string &path)
{
    return TypeText(dialog, IDC_ADDEXCL_PATH, path) && PressButton(dialog, IDOK)
           && WaitClosed(dialog, ROBOT_TIMEOUT_MS);
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

    // Remove with no row selected removes nothing, but marks the page.
    ASSERT_TRUE(PressButtonAndWait(page, IDC_EXCL_REMOVE, ROBOT_TIMEOUT_MS));
    EXPECT_EQ(1, ApplyEnabled(sheet));
    EXPECT_EQ(1u, ControlRows(page, IDC_EXCL_LIST).size());

    // Two characters close the dialog with nothing added.
    ASSERT_TRUE(AddWith(page, [](HWND dialog) {
        EXPECT_EQ("Exclusion to Add", WindowText(dialog));
        EXPECT_TRUE(TakenOk(dialog, "C:"));
    }));
    EXPECT_EQ(1u, ControlRows(page, IDC_EXCL_LIST).size());

    // Typed, with subfolders; a path with "]" is refused first: the dialog stays open.
    ASSERT_TRUE(AddWith(page, [&](HWND dialog) {
        EXPECT_TRUE(TypeText(dialog, IDC_ADDEXCL_PATH, "C:\\A]B"));
        EXPECT_TRUE(RefusedOk(dialog)) << "a path with ] was taken";
        EXPECT_TRUE(SetTicked(dialog, IDC_ADDEXCL_SUBFOLDERS, 1));
        EXPECT_TRUE(TypeText(dialog, IDC_ADDEXCL_PATH, skip));
        SaveScreenshot("add-exclusion-en");
        EXPECT_TRUE(PressButton(dialog, IDOK) && WaitClosed(dialog, ROBOT_TIMEOUT_MS));
    }));

    // Browsed for: a cancelled chooser empties the field; a folder taken becomes its files.
    ASSERT_TRUE(AddWith(page, [&](HWND dialog) {
        EXPECT_TRUE(TypeText(dialog, IDC_ADDEXCL_PATH, "C:\\TYPED"));
        EXPECT_TRUE(BrowseAndAnswer(dialog, IDC_ADDEXCL_BROWSE, "", 0));
        EXPECT_EQ("", ControlText(dialog, IDC_ADDEXCL_PATH));
        EXPECT_TRUE(BrowseAndAnswer(dialog, IDC_ADDEXCL_BROWSE, browsed + "\\AAAAA", 1,
                                    [](HWND) { SaveScreenshot("folder-chooser"); }));
        EXPECT_EQ(browsed + "\\*.*", ControlText(dialog, IDC_ADDEXCL_PATH));
        EXPECT_TRUE(PressButton(dialog, IDOK) && WaitClosed(dialog, ROBOT_TIMEOUT_MS));
    }));

    const std::vector<std::string> rows = {"No   C:\\OLD", "Yes  " + skip, "No   " + browsed + "\\*.*"};
    EXPECT_EQ(rows, ControlRows(page, IDC_EXCL_LIST));
    EXPECT_EQ(1, ApplyEnabled(sheet));
    SaveScreenshot("exclusions-en");

    // The stored row goes; the apply writes the rest for the driver and the registry.
    ASSERT_TRUE(SelectRow(page, IDC_EXCL_LIST, 0));
    ASSERT_TRUE(PressButtonAndWait(page, IDC_EXCL_REMOVE, ROBOT_TIMEOUT_MS));
    EXPECT_EQ(2u, ControlRows(page, IDC_EXCL_LIST).size());
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

// The list stops short of a text the settings load would refuse: a start after the apply loads
// the 2047 characters it saved, where 2048 would have stopped it (exit 2).
TEST(ExclusionsE2e, ListStopsWhereTheNextStartCouldNotLoadIt)
{
    const std::string folder = PrepareWatched();
    std::string full;   // 2016 characters: eight entries of 250
    for (char letter = 'A'; letter < 'I'; letter++)
        full += "[C:\\" + std::string(247, letter) + "]";
    ASSERT_TRUE(SetSettingText("Exclusions", full));
    const std::string path29 = "C:\\" + std::string(26, 'p'), path30 = path29 + "q";
    TorvaneRun run;
    ASSERT_NE(nullptr, StartNormally(folder, &run));
    HWND sheet = OpenSheet(run, SHEET_BY_MESSAGE);
    ASSERT_NE(nullptr, sheet);
    HWND page = SelectPage(sheet, SHEET_EXCLUSIONS_PAGE);
    ASSERT_NE(nullptr, page);
    ASSERT_TRUE(AddWith(page, [&](HWND dialog) {
        EXPECT_TRUE(TypeText(dialog, IDC_ADDEXCL_PATH, path30));
        EXPECT_TRUE(RefusedOk(dialog)) << "a 2048th character was taken";
        EXPECT_TRUE(TakenOk(dialog, path29));
    }));
    ASSERT_TRUE(PressSheetButton(sheet, IDOK));
    std::string stored;
    EXPECT_TRUE(WaitUntil([&] { return ReadSettingText("Exclusions", &stored) && stored.size() == 2047; },
                          ROBOT_TIMEOUT_MS))
        << stored.size();
    ASSERT_TRUE(EndNormally(run));

    // The apply's line, then the new start's.
    ASSERT_NE(nullptr, StartNormally(folder, &run)) << "the saved list stopped the next start";
    EXPECT_TRUE(WaitUntil([&] {
        std::vector<std::string> lines = ReadJournal(folder);
        return std::count(lines.begin(), lines.end(), "EXCLUSIONS entries=9 ignored=0") == 2;
    }, ROBOT_TIMEOUT_MS));
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
    SaveScreenshot("information-en");

    ASSERT_TRUE(PressButtonAndWait(page, IDC_INFO_CLEAR, ROBOT_TIMEOUT_MS));
    EXPECT_TRUE(WaitUntil([&] { return ControlText(page, IDC_INFO_FILES_SCANNED) == "0"; }, ROBOT_TIMEOUT_MS));
    std::vector<std::string> codes = JournalCodes(ReadJournal(folder));
    EXPECT_EQ(std::vector<std::string>{"CTL_CLEAR_STATISTICS"},
              std::vector<std::string>(codes.begin() + static_cast<long>(codesBefore), codes.end()))
        << "Clear sends its code and nothing else";
    EXPECT_EQ(0, ApplyEnabled(sheet)) << "the page changes no settings";
    ASSERT_TRUE(PressSheetButton(sheet, IDCANCEL));
    EndNormally(run);
}

}   // namespace
