// The action and report pages in process against the recording sheet: filling and applying, the
// warning, "Only log to report" with its logging, the report page's lock and logging requests.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/globals.h"
#include "base/bounded.h"
#include "driver/link.h"
#include "res/resource.h"
#include "sheet/pages.h"
#include "tests/win/sheet_fixture.h"
#include "tests/win/test_support.h"

namespace {

int Enabled(HWND page, int control)
{
    return IsWindowEnabled(GetDlgItem(page, control)) ? 1 : 0;
}

// What a click on control showed: the warning (caption / text; "" for none; "stayed open" when
// Escape and the close box left it on screen before OK closed it) and a message box after it.
struct Shown {
    std::string warning, box;
};

Shown ClickAndAnswer(HWND page, int control)
{
    Shown shown;
    int returned = 0;
    CaughtBox box = CatchMessageBox([&] {
        RunStepsDuring([&] { SendDlgItemMessageA(page, control, BM_CLICK, 0, 0), returned = 1; }, {[&] {
            HWND warning = FindOwnDialog([](HWND w) { return GetDlgItem(w, IDC_WARNING_TEXT) != nullptr ? 1 : 0; });
            if (warning == nullptr)
                return returned;
            shown.warning = WindowText(warning) + " / " + WindowText(GetDlgItem(warning, IDC_WARNING_TEXT));
            SendMessageA(warning, WM_COMMAND, IDCANCEL, 0);   // what Escape sends
            SendMessageA(warning, WM_SYSCOMMAND, SC_CLOSE, 0);
            shown.warning += IsWindowVisible(warning) ? " stayed open" : " closed by Escape";
            SendMessageA(warning, WM_COMMAND, IDOK, 0);
            return 1;
        }});
    });
    shown.box = box.found ? box.text + " / " + box.caption : "";
    return shown;
}

TEST_F(Sheet, ActionPageFillsAndAppliesEveryActionAndFollowsItsRadios)
{
    struct Case {
        uint32_t action;
        int ticked;                   // the radio shown ticked, 0 for none
        int moveEnabled, macroEnabled;
        uint32_t applied;
    } cases[] = {
        {1, IDC_ACTION_DENY, 0, 0, 1},      {2, IDC_ACTION_RENAME, 0, 0, 2},   {3, IDC_ACTION_MOVE, 1, 0, 3},
        {4, IDC_ACTION_DELETE, 0, 0, 4},    {5, IDC_ACTION_DISINFECT, 0, 1, 5}, {6, IDC_ACTION_REPORT_ONLY, 0, 0, 6},
        {0, 0, 0, 0, 6},                    {7, 0, 0, 0, 6},                    {0xFFFFFFFFu, 0, 0, 0, 6},
    };
    const int radios[] = {IDC_ACTION_DENY, IDC_ACTION_RENAME, IDC_ACTION_MOVE, IDC_ACTION_DELETE, IDC_ACTION_DISINFECT,
                          IDC_ACTION_REPORT_ONLY};
    for (const Case &c : cases) {
        InstallTestDriver();
        statusBlock->action = c.action, statusBlock->macroSpecial = c.action & 3, statusBlock->onlyLog = c.action & 1;
        statusBlock->stopMacros = 1;   // stored, and shown nowhere: template 119 has no box for it
        HWND page = CreatePage(IDD_ACTION_PAGE, ActionPageProc);
        int ticked = 0;
        for (int radio : radios)
            ticked = IsDlgButtonChecked(page, radio) == BST_CHECKED ? radio : ticked;
        EXPECT_EQ(c.ticked, ticked) << c.action;
        EXPECT_EQ(c.moveEnabled, Enabled(page, IDC_ACTION_MOVE_DIR) & Enabled(page, IDC_ACTION_BROWSE)) << c.action;
        EXPECT_EQ(c.macroEnabled, Enabled(page, IDC_ACTION_MACRO_NEW_TEXT) & Enabled(page, IDC_ACTION_MACRO_ALL))
            << c.action;
        record.clear();
        Notify(page, PSN_APPLY, ActionPageProc);
        EXPECT_EQ("unchanged action-code ", record) << c.action;
        EXPECT_EQ(c.applied, statusBlock->action);
        EXPECT_EQ(c.action & 3, statusBlock->macroSpecial) << c.action;
        EXPECT_EQ(c.action & 1, statusBlock->onlyLog) << c.action;
        EXPECT_EQ(1u, statusBlock->stopMacros) << "an apply keeps the stored setting";
        DestroyWindow(page);
    }
    // Each radio, clicked: the page is marked, the folder and the macro options follow it.
    HWND page = CreatePage(IDD_ACTION_PAGE, ActionPageProc);
    for (const Case &c : cases) {
        if (c.ticked == 0)
            continue;
        record.clear();
        SendDlgItemMessageA(page, c.ticked, BM_CLICK, 0, 0);
        EXPECT_EQ("changed ", record) << c.ticked;
        EXPECT_EQ(c.moveEnabled, Enabled(page, IDC_ACTION_MOVE_DIR) | Enabled(page, IDC_ACTION_BROWSE)) << c.ticked;
        for (int control : {IDC_ACTION_MACRO_NEW_TEXT, IDC_ACTION_MACRO_ALL_TEXT, IDC_ACTION_MACRO_NEW, IDC_ACTION_MACRO_ALL})
            EXPECT_EQ(c.macroEnabled, Enabled(page, control)) << c.ticked << " " << control;
    }
    // The folder edit marks only when typed into, and holds no more than moveDir.
    record.clear();
    SetDlgItemTextA(page, IDC_ACTION_MOVE_DIR, "C:\\");
    SendDlgItemMessageA(page, IDC_ACTION_MOVE_DIR, EM_SETMODIFY, TRUE, 0);
    Command(page, IDC_ACTION_MOVE_DIR);
    EXPECT_EQ("changed ", record);
    EXPECT_EQ(259, SendDlgItemMessageA(page, IDC_ACTION_MOVE_DIR, EM_GETLIMITTEXT, 0, 0));
    DestroyWindow(page);
}

TEST_F(Sheet, OnlyLogWarnsThenStartsAndStopsOnlyTheLoggingItStarted)
{
    const std::string home248 = "C:\\" + std::string(244, 'H') + "\\";   // + "Torvane.REP": 259, fits
    const char WARNED[] = "T694 / T695 stayed open";   // Escape and the close box did not close it
    struct Case {
        const char *what;
        int tick;                            // the box after the click
        uint32_t logToFile;
        std::string home, name;              // homeDir and logFileName before the click
        uint32_t refused;
        std::string warning, box, sent, nameAfter;
        int loggingAfter;                    // onlyLogLogging
    } cases[] = {
        {"ticked with no report name: the default one, and logging", 1, 0, "C:\\PROG\\", "", 0, WARNED, "",
         "START changed ", "C:\\PROG\\Torvane.REP", 1},
        {"unticked: its logging stops", 0, 0, "", "C:\\R.REP", 0, "", "", "STOP changed ", "C:\\R.REP", 0},
        {"unticked with nothing of its own to stop", 0, 0, "", "C:\\R.REP", 0, "", "", "changed ", "C:\\R.REP", 0},
        {"a report name is kept", 1, 0, "C:\\PROG\\", "C:\\R.REP", 0, WARNED, "", "START changed ", "C:\\R.REP", 1},
        {"a refused stop is told and tried at the next untick", 0, 0, "", "C:\\R.REP", CTL_LOG_STOP, "", "T610 / T600",
         "STOP changed ", "C:\\R.REP", 1},
        {"the next untick", 0, 0, "", "C:\\R.REP", 0, "", "", "STOP changed ", "C:\\R.REP", 0},
        {"the report page already logs: only the warning", 1, 1, "C:\\PROG\\", "", 0, WARNED, "", "changed ", "", 0},
        {"a refused start is told; the box stays ticked", 1, 0, "C:\\P\\", "", CTL_LOG_START, WARNED, "T609 / T600",
         "START changed ", "C:\\P\\Torvane.REP", 0},
        {"a program folder of 249 characters: no cut name, no start", 1, 0, home248 + "X", "", 0, WARNED,
         "T609 / T600", "changed ", "", 0},
        {"248 characters still fit", 1, 0, home248, "", 0, WARNED, "", "START changed ", home248 + "Torvane.REP", 1},
    };
    HWND page = CreatePage(IDD_ACTION_PAGE, ActionPageProc);
    onlyLogLogging = 0;
    for (const Case &c : cases) {
        statusBlock->logToFile = c.logToFile;
        CopyBounded(statusBlock->homeDir, c.home.c_str());
        CopyBounded(statusBlock->logFileName, c.name.c_str());
        refusedCode = c.refused;
        onlyLogToggled = 0;
        CheckDlgButton(page, IDC_ACTION_ONLY_LOG, c.tick ? BST_UNCHECKED : BST_CHECKED);
        record.clear();
        Shown shown = ClickAndAnswer(page, IDC_ACTION_ONLY_LOG);
        EXPECT_EQ(c.warning, shown.warning) << c.what;
        EXPECT_EQ(c.box, shown.box) << c.what;
        EXPECT_EQ(c.sent, record) << c.what;
        EXPECT_EQ(c.nameAfter, std::string(statusBlock->logFileName)) << c.what;
        EXPECT_EQ(c.loggingAfter, onlyLogLogging) << c.what;
        EXPECT_EQ(static_cast<uint32_t>(c.tick), statusBlock->onlyLog) << "written at once: " << c.what;
        EXPECT_EQ(1, onlyLogToggled) << c.what;
    }
    DestroyWindow(page);
}

TEST_F(Sheet, WarningIsCentredOverTheMainWindowWithTruncatedHalves)
{
    struct Case {
        RECT main;   // the main window's rectangle
    } cases[] = {{{100, 50, 701, 451}}, {{0, 0, 1, 1}}, {{-300, -201, 3, 2}}, {{37, 11, 38, 12}}};
    for (const Case &c : cases) {
        MoveWindow(mainWindow, c.main.left, c.main.top, c.main.right - c.main.left, c.main.bottom - c.main.top, FALSE);
        RECT main, shown = {};
        GetWindowRect(mainWindow, &main);   // what the system made of it
        std::string text;
        RunStepsDuring([&] { DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_WARNING), nullptr, StopMacrosWarningProc, 0); },
                       {[&] {
                           HWND warning = FindOwnDialog([](HWND w) { return GetDlgItem(w, IDC_WARNING_TEXT) != nullptr; });
                           if (warning == nullptr)
                               return 0;
                           GetWindowRect(warning, &shown);
                           text = WindowText(GetDlgItem(warning, IDC_WARNING_TEXT));
                           SendMessageA(warning, WM_COMMAND, IDOK, 0);
                           return 1;
                       }});
        int width = shown.right - shown.left, height = shown.bottom - shown.top;
        EXPECT_EQ(main.left + (main.right - main.left - width) / 2, shown.left) << main.left << "," << main.right;
        EXPECT_EQ(main.top + (main.bottom - main.top - height) / 2, shown.top) << main.top << "," << main.bottom;
        EXPECT_EQ("T591", text);
    }
}

// The eleven controls that follow "Log to file".
const int logDependents[] = {1003, 1008, 1054, 1050, 1059, 1060, 1061, 1062, 1063, 1064, 1065};

TEST_F(Sheet, ReportPageLockFollowsOnlyLogAtOpeningAndAtItsNextMessage)
{
    for (int onlyLog : {0, 1}) {
        for (int logToFile : {0, 1}) {
            statusBlock->onlyLog = onlyLog, statusBlock->logToFile = logToFile;
            reportPageDirty = 1;   // changes abandoned with Cancel: still there at the next opening
            HWND page = CreatePage(IDD_REPORT_PAGE, ReportPageProc);
            for (int toggled = 0; toggled < 2; toggled++) {
                const int on = statusBlock->onlyLog != 0;
                std::string what = "onlyLog " + std::to_string(on) + ", logToFile " + std::to_string(logToFile);
                EXPECT_EQ(!on, Enabled(page, IDC_REPORT_LOG_TO_FILE)) << what;
                for (int control : logDependents)
                    EXPECT_EQ(logToFile && !on, Enabled(page, control)) << what << ", control " << control;
                // A click on the action page's box, then any message to this page.
                statusBlock->onlyLog = !on;
                onlyLogToggled = 1;
                SendMessageA(page, WM_NULL, 0, 0);
                EXPECT_EQ(0, onlyLogToggled);
            }
            EXPECT_EQ(1, reportPageDirty);
            record.clear();
            Notify(page, PSN_SETACTIVE, ReportPageProc);
            EXPECT_EQ("changed ", record) << "Apply comes back at once";
            DestroyWindow(page);
        }
    }
}

TEST_F(Sheet, ReportApplyStartsStopsAndRestartsLoggingAndTellsOfRefusals)
{
    const std::string tooLong(300, 'L');
    struct Case {
        const char *what;
        int lastOn, on;               // lastLogToFile, and the box at the apply (clicked when it differs)
        std::string typed;            // the file name's text at the apply ("A.REP" before)
        uint32_t refused;
        const char *sent, *box;
        std::string name;             // logFileName and the edit afterwards
    } cases[] = {
        {"switched on with a new name", 0, 1, "B.REP", 0, "START STOP START ", "", "B.REP"},
        {"only the case changed: nothing, the name as typed", 1, 1, "a.rep", 0, "", "", "a.rep"},
        {"an empty name brings back the last one", 1, 1, "", 0, "", "", "A.REP"},
        {"a name too long for the field is not taken cut", 1, 1, tooLong, 0, "", "", "A.REP"},
        {"a new name while off is only remembered", 0, 0, "B.REP", 0, "", "", "B.REP"},
        {"switched off", 1, 0, "A.REP", 0, "STOP ", "", "A.REP"},
        {"a refused start", 0, 1, "A.REP", CTL_LOG_START, "START ", "T609 / T600", "A.REP"},
        {"a refused stop", 1, 0, "A.REP", CTL_LOG_STOP, "STOP ", "T610 / T600", "A.REP"},
        {"a restart whose stop is refused starts nothing", 1, 1, "B.REP", CTL_LOG_STOP, "STOP ", "T610 / T600", "B.REP"},
        {"a restart whose start is refused tells it with 610", 1, 1, "B.REP", CTL_LOG_START, "STOP START ",
         "T610 / T600", "B.REP"},
    };
    for (const Case &c : cases) {
        statusBlock->onlyLog = 0, statusBlock->logToFile = c.lastOn, statusBlock->logMask = 0xA5;
        CopyBounded(statusBlock->logFileName, "A.REP");
        RecordLoggingInForce();
        HWND page = CreatePage(IDD_REPORT_PAGE, ReportPageProc);
        if (c.on != c.lastOn)
            SendDlgItemMessageA(page, IDC_REPORT_LOG_TO_FILE, BM_CLICK, 0, 0);
        EXPECT_EQ(static_cast<uint32_t>(c.on), statusBlock->logToFile) << "written at once: " << c.what;
        SetDlgItemTextA(page, IDC_REPORT_FILE_NAME, c.typed.c_str());
        SendDlgItemMessageA(page, IDC_REPORT_USER, BM_CLICK, 0, 0);   // one more bit: 0xB5
        refusedCode = c.refused;
        record.clear();
        CaughtBox box = CatchMessageBox([&] { Notify(page, PSN_APPLY, ReportPageProc); });
        EXPECT_EQ(std::string(c.sent) + "unchanged ", record) << c.what;
        EXPECT_EQ(c.box, box.found ? box.text + " / " + box.caption : "") << c.what;
        EXPECT_EQ(c.name, std::string(statusBlock->logFileName)) << c.what;
        EXPECT_EQ(c.name, WindowText(GetDlgItem(page, IDC_REPORT_FILE_NAME))) << c.what;
        EXPECT_EQ(c.name, std::string(lastLogFileName)) << c.what;
        EXPECT_EQ(c.on, lastLogToFile) << "acted on, refused or not: " << c.what;
        EXPECT_EQ(0xB5u, statusBlock->logMask) << c.what;
        DestroyWindow(page);
    }
}

}   // namespace
