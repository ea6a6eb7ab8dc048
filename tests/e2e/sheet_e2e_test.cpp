// The property sheet as a user meets it on the Wine desktop: opened three ways and only once, the
// Apply button following the page on display, what OK and Apply tell the driver and store, the
// tray icon switched from the Scan options page, and the extensions dialog.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/robot.h"

namespace {

// A program folder with default settings and a Torvane started on it.
HWND StartWithDefaults(TorvaneRun *run, std::string *folder, const std::string &inUse = "")
{
    EXPECT_TRUE(PrepareFolder(ScenarioName(), FolderSetup(), folder));
    EXPECT_TRUE(WriteDefaultSettings(*folder));
    if (!inUse.empty()) {
        EXPECT_TRUE(SetSettingText("InUse", inUse));
    }
    return StartNormally(*folder, run);
}

// Opens the extensions dialog from the Scan options page on display; nullptr when none came.
HWND OpenExtensions(const TorvaneRun &run, HWND sheet)
{
    PressButton(CurrentPage(sheet), IDC_SCAN_PROGRAMS);
    HWND dialog = nullptr;
    WaitUntil([&] {
        for (HWND window : ProcessWindows(run.processId, 1))
            dialog = GetDlgItem(window, IDC_EXT_LIST) != nullptr ? window : dialog;
        return dialog != nullptr;
    }, ROBOT_TIMEOUT_MS);
    return dialog;
}

// The control codes the journal gained since count codes were seen.
std::vector<std::string> CodesAfter(const std::string &folder, size_t count)
{
    std::vector<std::string> codes = JournalCodes(ReadJournal(folder));
    return std::vector<std::string>(codes.begin() + std::min(count, codes.size()), codes.end());
}

TEST(SheetE2e, OpensThreeWaysButOnlyOnceAndApplyFollowsThePage)
{
    TorvaneRun run;
    std::string folder;
    ASSERT_NE(nullptr, StartWithDefaults(&run, &folder));
    const SheetOpening ways[] = {SHEET_BY_MENU, SHEET_BY_DOUBLE_CLICK, SHEET_BY_MESSAGE};
    for (SheetOpening way : ways) {
        HWND sheet = OpenSheet(run, way);
        ASSERT_NE(nullptr, sheet) << "way " << way;
        for (SheetOpening again : ways)
            EXPECT_TRUE(AskForSheetAndWait(run, again)) << "asked way " << again;
        EXPECT_EQ(1u, OpenSheets(run.processId).size()) << "a second sheet, opened way " << way;
        HWND page = CurrentPage(sheet);
        EXPECT_NE(-1, IsTicked(page, IDC_SCAN_ARCHIVES)) << "the sheet opens on the Scan options page";
        EXPECT_EQ(0, ApplyEnabled(sheet)) << "a fresh page holds no changes";

        // Leaving a changed page withdraws the mark, coming back restores it.
        ASSERT_TRUE(PressButton(page, IDC_SCAN_ARCHIVES));
        EXPECT_TRUE(WaitUntil([&] { return ApplyEnabled(sheet) == 1; }, ROBOT_TIMEOUT_MS));
        SelectPage(sheet, SHEET_ACTION_PAGE);
        EXPECT_EQ(0, ApplyEnabled(sheet)) << "on the Action page";
        SelectPage(sheet, SHEET_SCAN_PAGE);
        EXPECT_EQ(1, ApplyEnabled(sheet)) << "back on the Scan options page";
        ASSERT_TRUE(PressSheetButton(sheet, IDCANCEL));
    }
    DWORD archives = 9;
    EXPECT_TRUE(ReadSettingNumber("Archives", &archives));
    EXPECT_EQ(1u, archives) << "Cancel stored the unticked box";
}

TEST(SheetE2e, OkAppliesTheVisitedPagesAndShowIconActsAtOnce)
{
    TorvaneRun run;
    std::string folder;
    ASSERT_NE(nullptr, StartWithDefaults(&run, &folder));
    size_t seen = JournalCodes(ReadJournal(folder)).size();
    HWND sheet = OpenSheet(run, SHEET_BY_MESSAGE);
    ASSERT_NE(nullptr, sheet);
    SelectPage(sheet, SHEET_ACTION_PAGE);
    ASSERT_TRUE(PressSheetButton(sheet, IDOK));
    EXPECT_TRUE(WaitUntil([&] { return !CodesAfter(folder, seen).empty(); }, ROBOT_TIMEOUT_MS));
    // The two pages visited tell the driver, unchanged as they are; pages never shown tell nothing:
    // no exclusions, no logging.
    EXPECT_EQ((std::vector<std::string>{"CTL_SCAN_OPTIONS_CHANGED", "CTL_ACTION_OPTIONS_CHANGED"}),
              CodesAfter(folder, seen));

    // Unticked and applied, the icon goes at once; ticked again it comes back, once.
    sheet = OpenSheet(run, SHEET_BY_MESSAGE);
    ASSERT_NE(nullptr, sheet);
    HWND page = CurrentPage(sheet);
    struct Step {
        int ticked;
        int shown;
    } steps[] = {{0, 0}, {1, 1}, {1, 1}};
    for (const Step &s : steps) {
        seen = JournalCodes(ReadJournal(folder)).size();
        ASSERT_TRUE(SetTicked(page, IDC_SCAN_SHOW_ICON, s.ticked));
        // Ticked twice, a box marks the page without a change: Apply even when the icon box stays.
        ASSERT_TRUE(PressButtonAndWait(page, IDC_SCAN_HEURISTICS, ROBOT_TIMEOUT_MS));
        ASSERT_TRUE(PressButtonAndWait(page, IDC_SCAN_HEURISTICS, ROBOT_TIMEOUT_MS));
        ASSERT_EQ(1, ApplyEnabled(sheet));
        ASSERT_TRUE(PressSheetButton(sheet, SHEET_APPLY));
        EXPECT_TRUE(WaitUntil([&] { return TrayIconShown() == s.shown; }, ROBOT_TIMEOUT_MS)) << "ticked " << s.ticked;
        EXPECT_EQ((std::vector<std::string>{"CTL_SCAN_OPTIONS_CHANGED"}), CodesAfter(folder, seen));
        DWORD icon = 9;   // saved right after the driver is told
        EXPECT_TRUE(ReadSettingNumber("Icon", &icon) && icon == DWORD(s.ticked)) << icon;
    }
    EXPECT_EQ(1, TrayIconCount()) << "icons in the tray: a second one beside the first";
    ASSERT_TRUE(PressSheetButton(sheet, IDCANCEL));
}

TEST(SheetE2e, ExtensionsDialogEditsTheListInForce)
{
    // A stored list with an empty entry, an entry too long to be one, and no room for one more.
    std::string stored = "BAT,LONGENTRY,,EXE";
    for (int i = 0; stored.size() + 4 <= 1023; i++)
        stored += "," + std::string(1, static_cast<char>('F' + i / 100)) + std::to_string(100 + i % 100).substr(1);
    TorvaneRun run;
    std::string folder;
    ASSERT_NE(nullptr, StartWithDefaults(&run, &folder, stored));
    std::string defaults;
    ASSERT_TRUE(ReadSettingText("Extensions", &defaults));
    size_t seen = JournalCodes(ReadJournal(folder)).size();
    HWND sheet = OpenSheet(run, SHEET_BY_MESSAGE);
    ASSERT_NE(nullptr, sheet);
    // Clicks are sent: what a click changes has changed when it returns.
    auto add = [](HWND dialog, const std::string &typed) {
        TypeText(dialog, IDC_EXT_EDIT, typed);
        EXPECT_TRUE(PressButtonAndWait(dialog, IDC_EXT_ADD, ROBOT_TIMEOUT_MS)) << typed;
        return ControlText(dialog, IDC_EXT_EDIT);
    };
    auto rows = [](HWND dialog) { return ControlRows(dialog, IDC_EXT_LIST); };

    HWND dialog = OpenExtensions(run, sheet);
    ASSERT_NE(nullptr, dialog);
    std::vector<std::string> shown = rows(dialog);
    ASSERT_GE(shown.size(), 4u);
    EXPECT_EQ((std::vector<std::string>{"", "BAT", "EXE"}), std::vector<std::string>(shown.begin(), shown.begin() + 3));
    EXPECT_NE(shown.end(), std::find(shown.begin(), shown.end(), "LONGENT")) << "seven characters of the long entry";
    EXPECT_EQ("COM", add(dialog, "com")) << "no room: refused, the field keeps its text in capitals";
    ASSERT_TRUE(SelectRow(dialog, IDC_EXT_LIST, 1));   // BAT
    ASSERT_TRUE(PressButtonAndWait(dialog, IDC_EXT_REMOVE, ROBOT_TIMEOUT_MS));
    EXPECT_EQ("", add(dialog, "com")) << "room again after a Remove";
    EXPECT_EQ("COMMAND", add(dialog, "COMMAND")) << "COM is listed already";
    EXPECT_EQ("C,M", add(dialog, "c,m")) << "a comma would split the entry";
    EXPECT_EQ("CO", add(dialog, "co"));
    EXPECT_EQ("C*M", add(dialog, "c*m"));
    shown = rows(dialog);
    EXPECT_EQ((std::vector<std::string>{"", "COM", "EXE"}), std::vector<std::string>(shown.begin(), shown.begin() + 3));
    PressButton(dialog, IDCANCEL);
    ASSERT_TRUE(WaitClosed(dialog, ROBOT_TIMEOUT_MS));
    ASSERT_TRUE(PostedHandled(sheet, IDCANCEL)) << "the page's click on Program Files did not end";
    std::string inUse;
    EXPECT_TRUE(ReadSettingText("InUse", &inUse));
    EXPECT_EQ(stored, inUse) << "Cancel writes nothing";

    // Afresh from the list in force; Default then Close stores the default list, sorted.
    dialog = OpenExtensions(run, sheet);
    EXPECT_EQ("BAT", rows(dialog).at(1));
    ASSERT_TRUE(PressButtonAndWait(dialog, IDC_EXT_DEFAULT, ROBOT_TIMEOUT_MS));
    std::vector<std::string> sorted = rows(dialog);
    std::string joined;
    for (const std::string &row : sorted)
        joined += (joined.empty() ? "" : ",") + row;
    PressButton(dialog, IDOK);
    ASSERT_TRUE(WaitClosed(dialog, ROBOT_TIMEOUT_MS));
    EXPECT_TRUE(WaitUntil([&] { return ReadSettingText("InUse", &inUse) && inUse == joined; }, ROBOT_TIMEOUT_MS))
        << inUse;
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
    EXPECT_EQ(std::count(defaults.begin(), defaults.end(), ',') + 1, static_cast<long>(sorted.size()));

    // The last row cannot be removed.
    dialog = OpenExtensions(run, sheet);
    for (size_t i = 0; i < sorted.size() + 2; i++) {
        SelectRow(dialog, IDC_EXT_LIST, 0);
        PressButtonAndWait(dialog, IDC_EXT_REMOVE, ROBOT_TIMEOUT_MS);
    }
    EXPECT_EQ(1u, rows(dialog).size());
    PressButton(dialog, IDOK);
    ASSERT_TRUE(WaitClosed(dialog, ROBOT_TIMEOUT_MS));
    ASSERT_TRUE(PostedHandled(sheet, IDCANCEL)) << "the page's click on Program Files did not end";
    EXPECT_TRUE(ReadSettingText("InUse", &inUse) && inUse == sorted.back()) << inUse;
    EXPECT_EQ(0, ApplyEnabled(sheet)) << "the dialog does not mark the page";
    EXPECT_TRUE(CodesAfter(folder, seen).empty()) << "the dialog tells the driver nothing";

    // A Close whose save the registry refuses says so.
    dialog = OpenExtensions(run, sheet);
    PressButton(dialog, IDC_EXT_DEFAULT);
    ASSERT_TRUE(SetSettingsWritable(0));
    PressButton(dialog, IDOK);
    HWND box = WaitForMessageBox(run.processId, ROBOT_TIMEOUT_MS);
    ExpectStopMessage(box, "Torvane", "Can not save the settings.");
    EXPECT_TRUE(PressButton(box, IDOK) && WaitClosed(box, ROBOT_TIMEOUT_MS));
    ASSERT_TRUE(SetSettingsWritable(1));
    ASSERT_TRUE(PressSheetButton(sheet, IDCANCEL));
}

}   // namespace
