// The Action and Report pages as a user meets them, with the reference driver's journal: Only log
// to report and its warning, the move folder and the folder chooser, the report page's logging.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/robot.h"
#include "vxd/texts/language_texts.h"

namespace {

// Torvane started in a fresh program folder (with a subfolder "watched") with default settings (and
// the changes given), its sheet open; nullptr after a test failure.
HWND StartWithSheet(const std::string &name, const std::vector<IniKey> &ini, DWORD language, std::string *folder,
                    TorvaneRun *run)
{
    FolderSetup setup;
    setup.ini = ini;
    if (!PrepareFolder(name, setup, folder) || !CreateDirectoryA((*folder + "\\watched").c_str(), nullptr)
        || !WriteDefaultSettings(*folder) || !SetSettingNumber("Language", language)
        || !SetSettingText("LogFileName", "") || StartNormally(*folder, run) == nullptr)
        return nullptr;
    return OpenSheet(*run, SHEET_BY_MESSAGE);
}

// The logging requests among the control codes the driver journalled from the from-th on.
std::vector<std::string> LoggingCodesFrom(const std::string &folder, size_t from)
{
    std::vector<std::string> codes = JournalCodes(ReadJournal(folder)), logging;
    for (size_t i = from; i < codes.size(); i++) {
        if (codes[i].compare(0, 8, "CTL_LOG_") == 0)
            logging.push_back(codes[i]);
    }
    return logging;
}

// Unticks a ticked box with a click sent and handled to its end: a warning it opened would hold it.
int UntickWithoutWarning(HWND page, int id)
{
    return IsTicked(page, id) == BST_CHECKED && PressButtonAndWait(page, id, ROBOT_TIMEOUT_MS)
           && IsTicked(page, id) == BST_UNCHECKED;
}

const int logDependents[] = {IDC_REPORT_FILE_NAME,   IDC_REPORT_APPEND,   IDC_REPORT_BROWSE,    IDC_REPORT_INFECTION,
                             IDC_REPORT_DISINFECTION, IDC_REPORT_DELETE,  IDC_REPORT_MOVE_RENAME, IDC_REPORT_USER,
                             IDC_REPORT_DATE_TIME,   IDC_REPORT_SETTINGS, IDC_REPORT_SUMMARY};

// The warning that ticking a box shows: Escape and the close box leave it, OK closes it.
void AnswerWarning(DWORD processId, const char *const *texts, int textId = 695)
{
    HWND warning = WaitForDialogWith(processId, {IDC_WARNING_TEXT}, ROBOT_TIMEOUT_MS);
    ASSERT_NE(nullptr, warning) << "no warning";
    EXPECT_EQ(ShownText(texts, 694), WindowText(warning));
    EXPECT_EQ(ShownText(texts, textId), ControlText(warning, IDC_WARNING_TEXT));
    // Escape goes through the warning's own loop; the close box's command is posted there too.
    PostToWindow(warning, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(SendToWindow(warning, WM_SYSCOMMAND, SC_CLOSE, 0));
    EXPECT_TRUE(PostedHandled(warning, IDOK));
    EXPECT_TRUE(IsWindowVisible(warning)) << "Escape or the close box closed the warning";
    if (textId == 695)
        SaveScreenshot(std::string("warning-") + (texts == germanTexts ? "de" : "en"));
    EXPECT_TRUE(PressButton(warning, IDOK) && WaitClosed(warning, ROBOT_TIMEOUT_MS));
}

TEST(ActionReportE2e, OnlyLogWarnsStartsItsOwnLoggingAndLocksTheReportPage)
{
    for (DWORD language : {0u, 1u}) {
        const char *const *texts = language ? germanTexts : englishTexts;
        const std::string suffix = language ? "de" : "en";
        SCOPED_TRACE(suffix);
        std::string folder;
        TorvaneRun run;
        HWND sheet = StartWithSheet(ScenarioName() + "_" + suffix, {}, language, &folder, &run);
        ASSERT_NE(nullptr, sheet);
        size_t started = JournalCodes(ReadJournal(folder)).size();
        SelectPage(sheet, SHEET_REPORT_PAGE);   // open before the box fills in the report name
        HWND page = SelectPage(sheet, SHEET_ACTION_PAGE);
        EXPECT_EQ(ShownText(texts, 677), ControlText(page, IDC_ACTION_ONLY_LOG));
        SaveScreenshot("action-page-" + suffix);
        SetTicked(page, IDC_ACTION_MOVE, 1);   // only for a picture of the chooser: "..." is enabled with Move
        EXPECT_TRUE(BrowseAndAnswer(page, IDC_ACTION_BROWSE, "", 0,
                                    [&](HWND) { SaveScreenshot("folder-chooser-" + suffix); }));

        // Ticked with no report name: the warning, then logging into the program folder's report.
        ASSERT_TRUE(PressButton(page, IDC_ACTION_ONLY_LOG));
        AnswerWarning(run.processId, texts);
        std::string line, report;
        EXPECT_TRUE(WaitJournalLine(folder, "CTL_LOG_START result=1", ROBOT_TIMEOUT_MS, &line));
        EXPECT_TRUE(ReadFileBytes(folder + "\\Torvane.REP", &report)) << "no report in the program folder";
        page = SelectPage(sheet, SHEET_REPORT_PAGE);
        EXPECT_EQ(0, ControlEnabled(page, IDC_REPORT_LOG_TO_FILE)) << "Log to file is not locked";
        EXPECT_EQ(folder + "\\Torvane.REP", ControlText(page, IDC_REPORT_FILE_NAME));

        // Unticked: no warning, the logging it started stops, the report page is free again.
        page = SelectPage(sheet, SHEET_ACTION_PAGE);
        ASSERT_TRUE(UntickWithoutWarning(page, IDC_ACTION_ONLY_LOG));
        EXPECT_TRUE(WaitJournalLine(folder, "CTL_LOG_STOP result=1", ROBOT_TIMEOUT_MS));
        // Stop all macros warns with its own text when ticked, and not when unticked.
        EXPECT_EQ(ShownText(texts, 590), ControlText(page, IDC_ACTION_STOP_MACROS));
        ASSERT_TRUE(PressButton(page, IDC_ACTION_STOP_MACROS));
        AnswerWarning(run.processId, texts, 591);
        ASSERT_TRUE(UntickWithoutWarning(page, IDC_ACTION_STOP_MACROS));
        page = SelectPage(sheet, SHEET_REPORT_PAGE);
        ASSERT_TRUE(SetTicked(page, IDC_REPORT_LOG_TO_FILE, 1));
        for (int control : logDependents)
            EXPECT_EQ(1, ControlEnabled(page, control)) << control;
        SaveScreenshot("report-page-" + suffix);

        // With Log to file ticked but not applied, ticking locks the whole log-file section and starts
        // the report: Cancel keeps Only log on, so the report must run for it.
        page = SelectPage(sheet, SHEET_ACTION_PAGE);
        ASSERT_TRUE(PressButton(page, IDC_ACTION_ONLY_LOG));
        AnswerWarning(run.processId, texts);
        page = SelectPage(sheet, SHEET_REPORT_PAGE);
        EXPECT_EQ(0, ControlEnabled(page, IDC_REPORT_LOG_TO_FILE));
        for (int control : logDependents)
            EXPECT_EQ(0, ControlEnabled(page, control)) << control;
        EXPECT_TRUE(PressSheetButton(sheet, IDCANCEL));
        EXPECT_EQ((std::vector<std::string>{"CTL_LOG_START", "CTL_LOG_STOP", "CTL_LOG_START"}),
                  LoggingCodesFrom(folder, started));
        EXPECT_TRUE(EndNormally(run));
    }
}

TEST(ActionReportE2e, OnlyLogKeepsTheReportWrittenAndARefusedSaveIsToldOnce)
{
    std::string folder = PrepareWatched();
    ASSERT_TRUE(SetSettingNumber("LogToFile", 1));
    TorvaneRun run;
    ASSERT_NE(nullptr, StartNormally(folder, &run));
    ASSERT_TRUE(WaitJournalLine(folder, "CTL_LOG_START result=1", ROBOT_TIMEOUT_MS));
    size_t started = JournalCodes(ReadJournal(folder)).size();

    // Log to file unticked without an apply, Only log ticked, then OK, whose saves the registry
    // refuses: the message, and the logging goes on for Only log.
    HWND sheet = OpenSheet(run, SHEET_BY_MESSAGE);
    ASSERT_TRUE(SetTicked(SelectPage(sheet, SHEET_REPORT_PAGE), IDC_REPORT_LOG_TO_FILE, 0));
    ASSERT_TRUE(PressButton(SelectPage(sheet, SHEET_ACTION_PAGE), IDC_ACTION_ONLY_LOG));
    AnswerWarning(run.processId, englishTexts);
    ASSERT_TRUE(SetSettingsWritable(0));
    ASSERT_TRUE(PressButton(sheet, IDOK));
    HWND box = WaitForMessageBox(run.processId, ROBOT_TIMEOUT_MS);
    ExpectStopMessage(box, "Torvane", "Can not save the settings.");
    EXPECT_TRUE(PressButton(box, IDOK) && WaitClosed(box, ROBOT_TIMEOUT_MS));
    ASSERT_TRUE(SetSettingsWritable(1));
    EXPECT_EQ(std::vector<std::string>{}, LoggingCodesFrom(folder, started));
    ASSERT_TRUE(WriteFileBytes(folder + "\\watched\\SAMPLE.COM", TestFileBytes()));
    HWND alert = WaitForAlert(run.processId, ROBOT_TIMEOUT_MS);
    EXPECT_TRUE(alert != nullptr && PressButton(alert, IDOK) && WaitClosed(alert, ROBOT_TIMEOUT_MS));
    std::string report;
    EXPECT_TRUE(WaitUntil([&] {
        return ReadFileBytes(folder + "\\Torvane.REP", &report) && report.find("SAMPLE.COM") != std::string::npos;
    }, ROBOT_TIMEOUT_MS)) << "no report of the detection: " << report;

    // Saved by the next OK, Only log logs from the next start on, too.
    sheet = OpenSheet(run, SHEET_BY_MESSAGE);
    EXPECT_TRUE(PressSheetButton(sheet, IDOK));
    DWORD onlyLog = 0;
    EXPECT_TRUE(ReadSettingNumber("OnlyLog", &onlyLog) && onlyLog == 1);
    EXPECT_TRUE(EndNormally(run));
    DeleteFileA((folder + "\\journal.txt").c_str());
    ASSERT_NE(nullptr, StartNormally(folder, &run));
    EXPECT_TRUE(WaitJournalLine(folder, "CTL_LOG_START result=1", ROBOT_TIMEOUT_MS));
    EXPECT_TRUE(EndNormally(run));
}

TEST(ActionReportE2e, MoveFolderIsKeptOnlyWhenItCanBeEnteredAndTheChooserTakesOne)
{
    std::string folder;
    TorvaneRun run;
    HWND sheet = StartWithSheet(ScenarioName(), {{"Watch", "watched"}}, 0, &folder, &run);
    ASSERT_NE(nullptr, sheet);
    const std::string infected = folder + "\\Infected", chosen = folder + "\\Chosen";
    CreateDirectoryA(infected.c_str(), nullptr);
    CreateDirectoryA(chosen.c_str(), nullptr);
    HWND page = SelectPage(sheet, SHEET_ACTION_PAGE);
    EXPECT_EQ(0, ControlEnabled(page, IDC_ACTION_MOVE_DIR));
    ASSERT_TRUE(SetTicked(page, IDC_ACTION_MOVE, 1));
    EXPECT_EQ(1, ControlEnabled(page, IDC_ACTION_MOVE_DIR) & ControlEnabled(page, IDC_ACTION_BROWSE));
    struct Case {
        std::string typed, kept;
    } cases[] = {
        {folder + "\\Gone", infected},       // cannot be entered: the folder in force comes back
        {"", infected},                      // nor can nothing
        {chosen + "\\", chosen + "\\"},      // stored as typed, trailing backslash and all
        {"C:", "C:"},                        // the bare drive
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(TypeText(page, IDC_ACTION_MOVE_DIR, c.typed));
        EXPECT_EQ(1, ApplyEnabled(sheet)) << "typing marks the page: " << c.typed;
        EXPECT_TRUE(PressSheetButton(sheet, SHEET_APPLY));
        std::string stored;
        EXPECT_EQ(c.kept, ControlText(page, IDC_ACTION_MOVE_DIR)) << c.typed;
        EXPECT_TRUE(ReadSettingText("MoveDir", &stored) && stored == c.kept) << c.typed << " stored as " << stored;
    }

    // The chooser cancelled changes nothing; a folder taken is in force at once, shown and marked.
    EXPECT_TRUE(BrowseAndAnswer(page, IDC_ACTION_BROWSE, "", 0));
    EXPECT_EQ("C:", ControlText(page, IDC_ACTION_MOVE_DIR));
    EXPECT_EQ(0, ApplyEnabled(sheet));
    EXPECT_TRUE(BrowseAndAnswer(page, IDC_ACTION_BROWSE, infected + "\\AAAAA", 1,
                                [](HWND chooser) { EXPECT_EQ("Select Folder", WindowText(chooser)); }));
    EXPECT_EQ(infected, ControlText(page, IDC_ACTION_MOVE_DIR));
    EXPECT_EQ(1, ApplyEnabled(sheet));

    // Cancel on the sheet keeps the folder taken; the next apply of any page saves it.
    EXPECT_TRUE(PressSheetButton(sheet, IDCANCEL));
    std::string stored;
    EXPECT_TRUE(ReadSettingText("MoveDir", &stored) && stored == "C:") << stored;
    sheet = OpenSheet(run, SHEET_BY_MESSAGE);
    EXPECT_TRUE(PressSheetButton(sheet, IDOK));
    EXPECT_TRUE(ReadSettingText("MoveDir", &stored) && stored == infected) << stored;

    // Once the action page applies, the driver moves a detected file there; the Information page
    // counts it.
    SelectPage(sheet = OpenSheet(run, SHEET_BY_MESSAGE), SHEET_ACTION_PAGE);
    EXPECT_TRUE(PressSheetButton(sheet, IDOK));
    ASSERT_TRUE(WriteFileBytes(folder + "\\watched\\SAMPLE.COM", TestFileBytes()));
    HWND alert = WaitForAlert(run.processId, ROBOT_TIMEOUT_MS);
    EXPECT_TRUE(alert != nullptr && PressButton(alert, IDOK) && WaitClosed(alert, ROBOT_TIMEOUT_MS));
    std::string moved;
    EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(infected + "\\SAMPLE.COM", &moved); }, ROBOT_TIMEOUT_MS));
    page = SelectPage(sheet = OpenSheet(run, SHEET_BY_MESSAGE), SHEET_INFORMATION_PAGE);
    EXPECT_TRUE(WaitUntil([&] { return ControlText(page, IDC_INFO_MOVED) == "1"; }, ROBOT_TIMEOUT_MS))
        << ControlText(page, IDC_INFO_MOVED);
    EXPECT_TRUE(PressSheetButton(sheet, IDCANCEL));
    EXPECT_TRUE(EndNormally(run));
}

TEST(ActionReportE2e, ReportApplyStartsRestartsOnlyForANewNameAndTellsOfARefusedStart)
{
    std::string folder;
    TorvaneRun run;
    HWND sheet = StartWithSheet(ScenarioName(), {}, 0, &folder, &run);
    ASSERT_NE(nullptr, sheet);
    HWND page = SelectPage(sheet, SHEET_REPORT_PAGE);
    for (int control : logDependents)
        EXPECT_EQ(0, ControlEnabled(page, control)) << control;
    ASSERT_TRUE(SetTicked(page, IDC_REPORT_LOG_TO_FILE, 1));
    struct Step {
        std::string typed;
        int browse;                          // 1: chosen with Browse instead of typed
        std::vector<std::string> codes;      // journalled during the apply
        std::string name;                    // shown and stored afterwards
    } steps[] = {
        {folder + "\\New.REP", 0, {"CTL_LOG_START", "CTL_LOG_STOP", "CTL_LOG_START"}, folder + "\\New.REP"},
        {folder + "\\NEW.rep", 0, {}, folder + "\\NEW.rep"},                 // only the case changed
        {"", 0, {}, folder + "\\NEW.rep"},                                   // empty: the last name
        {folder + "\\Browsed.REP", 1, {"CTL_LOG_STOP", "CTL_LOG_START"}, folder + "\\Browsed.REP"},
    };
    for (const Step &s : steps) {
        size_t before = JournalCodes(ReadJournal(folder)).size();
        if (s.browse) {
            ASSERT_TRUE(BrowseAndAnswer(page, IDC_REPORT_BROWSE, s.typed, 1)) << s.typed;
        } else {
            ASSERT_TRUE(TypeText(page, IDC_REPORT_FILE_NAME, s.typed));
        }
        EXPECT_TRUE(PressSheetButton(sheet, SHEET_APPLY)) << s.typed;
        EXPECT_EQ(s.codes, LoggingCodesFrom(folder, before)) << s.typed;
        std::string stored;
        EXPECT_EQ(s.name, ControlText(page, IDC_REPORT_FILE_NAME)) << s.typed;
        EXPECT_TRUE(ReadSettingText("LogFileName", &stored) && stored == s.name) << s.typed << " stored as " << stored;
    }
    EXPECT_TRUE(PressSheetButton(sheet, IDOK));
    EXPECT_TRUE(EndNormally(run));
    // The program's end unloads the driver: the report still gets its summary and closing line.
    std::string report;
    EXPECT_TRUE(ReadFileBytes(folder + "\\Browsed.REP", &report));
    EXPECT_NE(std::string::npos, report.find("  Summary: ")) << report;
    EXPECT_EQ(report.size() - 28, report.rfind("Torvane.VXD report stopped\r\n")) << report;

    // A driver that refuses the start: text 609 under 600, as stored; Log to file stays on, saved.
    sheet = StartWithSheet(ScenarioName() + "_refused", {{"RefuseLogStart", "1"}}, 0, &folder, &run);
    ASSERT_NE(nullptr, sheet);
    page = SelectPage(sheet, SHEET_REPORT_PAGE);
    ASSERT_TRUE(SetTicked(page, IDC_REPORT_LOG_TO_FILE, 1));
    HANDLE apply = StartSentClick(sheet, SHEET_APPLY);
    ASSERT_NE(nullptr, apply);
    MessageBoxView view;
    HWND box = WaitForMessageBox(run.processId, ROBOT_TIMEOUT_MS);
    ASSERT_TRUE(ReadMessageBox(box, &view));
    EXPECT_EQ(PlatformShownText(englishTexts[609 - DRIVER_FIRST_TEXT]), view.text);
    EXPECT_EQ(englishTexts[600 - DRIVER_FIRST_TEXT], view.caption);
    EXPECT_EQ(1, view.stopIcon) << "another icon than the stop icon (0), or one that cannot be told (-1)";
    PressButton(box, IDOK);
    EXPECT_TRUE(WaitSentClick(apply, ROBOT_TIMEOUT_MS)) << "the apply did not end after the message";
    EXPECT_EQ(0, ApplyEnabled(sheet));
    DWORD logToFile = 0;
    EXPECT_TRUE(ReadSettingNumber("LogToFile", &logToFile) && logToFile == 1);
    EXPECT_TRUE(WaitJournalLine(folder, "CTL_LOG_START result=0", ROBOT_TIMEOUT_MS));
    EXPECT_TRUE(PressSheetButton(sheet, IDOK));
    EXPECT_TRUE(EndNormally(run));
}

}   // namespace
