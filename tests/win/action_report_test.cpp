// The action and report pages in process against the recording sheet: filling and applying, the
// centred warning, "Only log to report" and its logging, the report page's lock and refusals.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "app/globals.h"
#include "base/bounded.h"
#include "driver/link.h"
#include "res/resource.h"
#include "sheet/folder_picker.h"
#include "sheet/logging.h"
#include "sheet/pages.h"
#include "sheet/sheet.h"
#include "tests/win/sheet_fixture.h"
#include "tests/win/test_support.h"

namespace {

int Enabled(HWND page, int control)
{
    return IsWindowEnabled(GetDlgItem(page, control)) ? 1 : 0;
}

// Clicks control, answers the warning that comes of it with OK and a message box after it with OK.
// Returns what was shown: "caption / text" of the warning with where it stood, then the box's.
std::string ClickAndAnswer(HWND page, int control)
{
    std::string warned;
    int returned = 0;
    CaughtBox box = CatchMessageBox([&] {
        RunStepsDuring([&] { SendDlgItemMessageA(page, control, BM_CLICK, 0, 0), returned = 1; }, {[&] {
            HWND warning = FindOwnDialog([](HWND w) { return GetDlgItem(w, IDC_WARNING_TEXT) != nullptr ? 1 : 0; });
            if (warning == nullptr)
                return returned;
            RECT main, shown;
            GetWindowRect(mainWindow, &main), GetWindowRect(warning, &shown);
            // Centred over the main window, each half truncated toward zero.
            int left = main.left + (main.right - main.left - (shown.right - shown.left)) / 2;
            int top = main.top + (main.bottom - main.top - (shown.bottom - shown.top)) / 2;
            warned = WindowText(warning) + " / " + WindowText(GetDlgItem(warning, IDC_WARNING_TEXT))
                     + (shown.left == left && shown.top == top ? " centred" : " elsewhere");
            SendMessageA(warning, WM_COMMAND, IDOK, 0);
            return 1;
        }});
    });
    return warned + (box.found ? ", " + box.text + " / " + box.caption : "");
}

TEST_F(Sheet, ActionPageFillsAndAppliesEveryActionAndFollowsItsRadios)
{
    struct Case {
        uint32_t action;
        int radio;                    // shown ticked, 0 for none
        int move, macros;             // enabled: the folder edit and "...", the four macro options
        uint32_t applied;
    } cases[] = {
        {1, IDC_ACTION_DENY, 0, 0, 1},   {2, IDC_ACTION_RENAME, 0, 0, 2},    {3, IDC_ACTION_MOVE, 1, 0, 3},
        {4, IDC_ACTION_DELETE, 0, 0, 4}, {5, IDC_ACTION_DISINFECT, 0, 1, 5}, {6, IDC_ACTION_REPORT_ONLY, 0, 0, 6},
        {0, 0, 0, 0, 6},                 {7, 0, 0, 0, 6},                    {0xFFFFFFFFu, 0, 0, 0, 6},
    };
    auto shows = [&cases](HWND page, const Case &c, int expected) {
        for (int control : {IDC_ACTION_MOVE_DIR, IDC_ACTION_BROWSE})
            EXPECT_EQ(c.move, Enabled(page, control)) << c.action << " " << control;
        for (int control : {IDC_ACTION_MACRO_NEW_TEXT, IDC_ACTION_MACRO_ALL_TEXT, IDC_ACTION_MACRO_NEW, IDC_ACTION_MACRO_ALL})
            EXPECT_EQ(c.macros, Enabled(page, control)) << c.action << " " << control;
        for (const Case &other : cases) {
            if (other.radio != 0) {
                EXPECT_EQ(other.radio == expected, IsDlgButtonChecked(page, other.radio) == BST_CHECKED) << c.action;
            }
        }
    };
    for (const Case &c : cases) {
        statusBlock->action = c.action, statusBlock->macroSpecial = c.action & 3, statusBlock->onlyLog = c.action & 1;
        statusBlock->stopMacros = 1;
        HWND page = CreatePage(IDD_ACTION_PAGE, ActionPageProc);
        EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(page, IDC_ACTION_STOP_MACROS));
        shows(page, c, c.radio);
        SetDlgItemTextA(page, IDC_ACTION_MOVE_DIR, "C:\\");
        SendDlgItemMessageA(page, IDC_ACTION_MOVE_DIR, EM_SETMODIFY, TRUE, 0);   // as typing leaves it
        record.clear();
        Notify(page, PSN_APPLY, ActionPageProc);
        Command(page, IDC_ACTION_MOVE_DIR);   // a click into the edit: the folder applied is no change
        EXPECT_EQ("unchanged action-code ", record) << c.action;
        EXPECT_STREQ("C:\\", statusBlock->moveDir);
        EXPECT_EQ(c.applied, statusBlock->action);
        EXPECT_EQ(c.action & 3, statusBlock->macroSpecial) << c.action;
        EXPECT_EQ(c.action & 1, statusBlock->onlyLog) << c.action;
        EXPECT_EQ(1u, statusBlock->stopMacros) << "an apply keeps the setting shown";
        // Each radio clicked in turn: the page is marked, the folder and macro options follow.
        for (const Case &clicked : cases) {
            if (clicked.radio == 0)
                continue;
            record.clear();
            SendDlgItemMessageA(page, clicked.radio, BM_CLICK, 0, 0);
            EXPECT_EQ("changed ", record);
            shows(page, clicked, clicked.radio);
        }
        DestroyWindow(page);
    }
}

TEST_F(Sheet, OnlyLogWarnsThenStartsAndStopsOnlyTheLoggingItStarted)
{
    const std::string home248 = "C:\\" + std::string(244, 'H') + "\\";   // + "Torvane.REP": 259, fits
    const std::string warned = "T694 / T695 centred";
    struct Case {
        RECT main;                           // the main window, which the warning is centred over
        int tick;                            // the box after the click
        int lastOn;                          // the report page's Log to file as in force
        uint32_t logToFile;                  // and as its box stands, applied or not
        std::string home, name;              // homeDir and logFileName before the click
        uint32_t refused;
        std::string shown, sent, nameAfter;
        int logging;                         // onlyLogLogging afterwards
    } cases[] = {
        {{100, 50, 701, 451}, 1, 0, 0, "C:\\P\\", "", 0, warned, "START changed ", "C:\\P\\Torvane.REP", 1},
        {{}, 0, 0, 0, "", "C:\\R", 0, "", "STOP changed ", "C:\\R", 0},
        {{}, 0, 0, 0, "", "C:\\R", 0, "", "changed ", "C:\\R", 0},   // nothing of its own to stop
        {{0, 0, 1, 1}, 1, 0, 0, "C:\\P\\", "C:\\R", 0, warned, "START changed ", "C:\\R", 1},
        {{}, 0, 0, 0, "", "C:\\R", CTL_LOG_STOP, ", T610 / T600", "STOP changed ", "C:\\R", 1},
        {{}, 0, 0, 0, "", "C:\\R", 0, "", "STOP changed ", "C:\\R", 0},   // tried again at the next untick
        {{-300, -201, 3, 2}, 1, 1, 0, "C:\\P\\", "", 0, warned, "changed ", "", 0},   // the report page logs
        {{37, 11, 38, 12}, 1, 0, 0, "C:\\P\\", "", CTL_LOG_START, warned + ", T609 / T600", "START changed ",
         "C:\\P\\Torvane.REP", 0},
        {{}, 1, 0, 0, home248 + "X", "", 0, warned + ", T609 / T600", "changed ", "", 0},   // no cut name
        {{}, 1, 0, 0, home248, "", 0, warned, "START changed ", home248 + "Torvane.REP", 1},
        {{}, 1, 0, 1, "C:\\P\\", "C:\\R", 0, warned, "START changed ", "C:\\R", 1},   // its box ticked, not applied
    };
    HWND page = CreatePage(IDD_ACTION_PAGE, ActionPageProc);
    onlyLogLogging = 0;
    for (const Case &c : cases) {
        const std::string what = c.sent + c.shown + " " + c.home.substr(0, 12);
        MoveWindow(mainWindow, c.main.left, c.main.top, c.main.right - c.main.left, c.main.bottom - c.main.top, FALSE);
        lastLogToFile = c.lastOn, statusBlock->logToFile = c.logToFile;
        CopyBounded(statusBlock->homeDir, c.home.c_str());
        CopyBounded(statusBlock->logFileName, c.name.c_str());
        refusedCode = c.refused;
        onlyLogToggled = 0;
        CheckDlgButton(page, IDC_ACTION_ONLY_LOG, c.tick ? BST_UNCHECKED : BST_CHECKED);
        record.clear();
        EXPECT_EQ(c.shown, ClickAndAnswer(page, IDC_ACTION_ONLY_LOG)) << what;
        EXPECT_EQ(c.sent, record) << what;
        EXPECT_EQ(c.nameAfter, std::string(statusBlock->logFileName)) << what;
        EXPECT_EQ(c.logging, onlyLogLogging) << what;
        EXPECT_EQ(static_cast<uint32_t>(c.tick), statusBlock->onlyLog) << "written at once: " << what;
        EXPECT_EQ(1, onlyLogToggled) << what;
    }
    DestroyWindow(page);
}

// Counts the texts set into the report page's file name field, whose every WM_SETTEXT notifies
// the page again (EN_UPDATE, EN_CHANGE) from inside the call.
int namesShown;
WNDPROC nameFieldProc;
LRESULT CALLBACK CountingNameField(HWND field, UINT message, WPARAM wParam, LPARAM lParam)
{
    namesShown += message == WM_SETTEXT;
    return CallWindowProcA(nameFieldProc, field, message, wParam, lParam);
}

TEST_F(Sheet, ReportPageLockFollowsOnlyLogAtOpeningAndAtItsNextMessage)
{
    const int dependents[] = {1003, 1008, 1054, 1050, 1059, 1060, 1061, 1062, 1063, 1064, 1065};
    for (int combination = 0; combination < 4; combination++) {
        statusBlock->onlyLog = combination & 1, statusBlock->logToFile = combination >> 1;
        reportPageDirty = 1;   // changes abandoned with Cancel: still there at the next opening
        HWND page = CreatePage(IDD_REPORT_PAGE, ReportPageProc);
        nameFieldProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            GetDlgItem(page, IDC_REPORT_FILE_NAME), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingNameField)));
        for (int toggled = 0; toggled < 2; toggled++) {
            const int on = statusBlock->onlyLog != 0, logToFile = statusBlock->logToFile != 0;
            EXPECT_EQ(!on, Enabled(page, IDC_REPORT_LOG_TO_FILE)) << on << logToFile;
            for (int control : dependents)
                EXPECT_EQ(logToFile && !on, Enabled(page, control)) << on << logToFile << " " << control;
            statusBlock->onlyLog = !on, onlyLogToggled = 1;   // a click on the action page's box
            namesShown = 0;
            SendMessageA(page, WM_NULL, 0, 0);                  // then any message to this page
            EXPECT_EQ(0, onlyLogToggled);
            EXPECT_EQ(1, namesShown) << "followed once, not again from the field's own notifications";
        }
        record.clear();
        Notify(page, PSN_SETACTIVE, ReportPageProc);
        EXPECT_EQ("changed ", record) << "Apply is back at once";
        DestroyWindow(page);
    }
}

TEST_F(Sheet, ReportApplyTellsOfEveryRefusalAndTakesNoCutName)
{
    struct Case {
        int lastOn, on;               // lastLogToFile, and the box at the apply (clicked when it differs)
        std::string typed;            // the file name's text at the apply ("A" before)
        uint32_t refused;
        const char *sent, *box;
        std::string name;             // logFileName and the edit afterwards
    } cases[] = {
        {1, 1, std::string(300, 'L'), 0, "", "", "A"},   // longer than the field: the last name instead
        {0, 0, "B", 0, "", "", "B"},                      // a new name while off is only remembered
        {0, 1, "A", CTL_LOG_START, "START ", "T609 / T600", "A"},
        {1, 0, "A", CTL_LOG_STOP, "STOP ", "T610 / T600", "A"},
        {1, 1, "B", CTL_LOG_STOP, "STOP ", "T610 / T600", "B"},            // the restart starts nothing
        {1, 1, "B", CTL_LOG_START, "STOP START ", "T610 / T600", "B"},     // told once, with 610
    };
    for (const Case &c : cases) {
        const std::string what = std::string(c.sent) + c.box + " " + c.typed.substr(0, 3);
        statusBlock->onlyLog = 0, statusBlock->logToFile = c.lastOn, statusBlock->logMask = 0xA5;
        CopyBounded(statusBlock->logFileName, "A");
        RecordLoggingInForce();
        HWND page = CreatePage(IDD_REPORT_PAGE, ReportPageProc);
        if (c.on != c.lastOn)
            SendDlgItemMessageA(page, IDC_REPORT_LOG_TO_FILE, BM_CLICK, 0, 0);
        EXPECT_EQ(static_cast<uint32_t>(c.on), statusBlock->logToFile) << "written at once: " << what;
        SetDlgItemTextA(page, IDC_REPORT_FILE_NAME, c.typed.c_str());
        SendDlgItemMessageA(page, IDC_REPORT_FILE_NAME, EM_SETMODIFY, TRUE, 0);   // as typing leaves it
        SendDlgItemMessageA(page, IDC_REPORT_USER, BM_CLICK, 0, 0);   // one more bit: 0xB5
        refusedCode = c.refused;
        record.clear();
        CaughtBox box = CatchMessageBox([&] { Notify(page, PSN_APPLY, ReportPageProc); });
        Command(page, IDC_REPORT_FILE_NAME);   // a click into the edit: the name applied is no change
        EXPECT_EQ(std::string(c.sent) + "unchanged ", record) << what;
        EXPECT_EQ(c.box, box.found ? box.text + " / " + box.caption : "") << what;
        EXPECT_EQ(c.name, std::string(statusBlock->logFileName)) << what;
        EXPECT_EQ(c.name, WindowText(GetDlgItem(page, IDC_REPORT_FILE_NAME))) << what;
        EXPECT_EQ(c.name, std::string(lastLogFileName)) << what;
        EXPECT_EQ(c.on, lastLogToFile) << "acted on, refused or not: " << what;
        EXPECT_EQ(0xB5u, statusBlock->logMask) << what;
        DestroyWindow(page);
    }
}

// The report page's Browse against a stand-in for the open-file dialog: it writes into its buffer
// and succeeds, or writes the size a path too long for it needs and fails.
int dialogResult;
DWORD dialogFlags;
BOOL WINAPI StandInOpenDialog(LPOPENFILENAMEA record)
{
    dialogFlags = record->Flags;
    CopyBounded(record->lpstrFile, record->nMaxFile, dialogResult ? "D:\\CHOSEN.REP" : "\x04\x01");
    return dialogResult;
}

TEST_F(Sheet, ReportBrowseTakesOnlyWhatTheDialogChose)
{
    getOpenFileName = StandInOpenDialog;
    statusBlock->logToFile = 1;
    HWND page = CreatePage(IDD_REPORT_PAGE, ReportPageProc);
    for (int result : {0, 1}) {
        CopyBounded(statusBlock->logFileName, "C:\\OLD.REP");
        dialogResult = result;
        record.clear();
        SendDlgItemMessageA(page, IDC_REPORT_BROWSE, BM_CLICK, 0, 0);
        EXPECT_EQ(result ? "D:\\CHOSEN.REP" : "C:\\OLD.REP", std::string(statusBlock->logFileName));
        EXPECT_EQ(result ? "changed " : "", record);
        EXPECT_EQ(static_cast<DWORD>(OFN_HIDEREADONLY | OFN_LONGNAMES), dialogFlags);
    }
    EXPECT_EQ("D:\\CHOSEN.REP", WindowText(GetDlgItem(page, IDC_REPORT_FILE_NAME)));
    DestroyWindow(page);
    getOpenFileName = GetOpenFileNameA;
}

}   // namespace
