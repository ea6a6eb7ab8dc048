// The test robot: prepares program folders and the registry, starts Torvane.exe in a process of its
// own and drives its windows from outside, the way a user (or a second instance) would. One header
// for all of it, grouped by the file that defines each part.
//
// Every wait goes through WaitUntil. Control ids are res/resource.h's names; the few numbers here
// are the platform's own (message box, property sheet frame, common file dialogs).
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "res/resource.h"

// Time limit for anything the robot waits for; generous so a loaded machine does not fail a test.
constexpr DWORD ROBOT_TIMEOUT_MS = 15000;

// ---- robot.cpp: the one wait and small helpers --------------------------------------------------

// Asks condition every 20 ms until it returns nonzero (then 1) or timeoutMs have passed (then 0).
// The condition is asked at least once, so a timeout of 0 asks exactly once.
int WaitUntil(const std::function<int()> &condition, DWORD timeoutMs);

// Unix path to the Windows path Wine maps it to ("Z:" and backslashes).
std::string UnixToWindowsPath(const std::string &unixPath);

// Text with control characters spelled out (\n, \r, \xNN), for messages.
std::string Visible(const std::string &text);

// Text number of one of the reference driver's tables (vxd/texts/language_texts.h, UTF-8 in its sources)
// as the front end shows it: in code page 1252, after converting the driver's OEM text.
std::string ShownText(const char *const *texts, int number);
// An environment variable's value; "" when it is not set.
std::string EnvironmentValue(const char *name);

// 1 when the Torvane.exe the robot starts runs as Windows 95 or 98 (TORVANE_WINDOWS, set by the
// build's wine-exec for its prefix: win95 or win98).
inline int TorvaneRunsAsWindows9x(void)
{
    return !EnvironmentValue("TORVANE_WINDOWS").empty();
}

// ---- robot_process.cpp: program folders and processes ------------------------------------------

// One key of the driver's Torvane.ini, section [Driver].
struct IniKey {
    std::string name;
    std::string value;
};

// What goes into a fresh program folder besides Torvane.exe.
struct FolderSetup {
    std::vector<IniKey> ini;      // keys for [Driver]; a name given here replaces the default of
                                  // the same name (defaults: Watch=none, Journal=journal.txt)
    int withDriver = 1;           // 0: no Torvane.VXD in the folder
    int ownDriverBytes = 0;       // 1: Torvane.VXD holds exactly driverBytes instead of the build's
    std::string driverBytes;
};

// Windows path of the build folder (TORVANE_BUILD, a Unix path, seen through drive Z:), no
// trailing backslash; "" when the variable is not set.
std::string BuildFolder(void);

// Reads a whole file into bytes. 1 on success.
int ReadFileBytes(const std::string &path, std::string *bytes);

// Writes bytes as the whole file, replacing it. 1 on success.
int WriteFileBytes(const std::string &path, const std::string &bytes);

// The bytes of the build's Torvane.VXD (trailer included). 1 on success.
int ReadBuiltDriver(std::string *bytes);

// Empties (or creates) C:\torvane-e2e\<name>\ and fills it: Torvane.exe, the driver as setup says,
// and Torvane.ini. *folder receives the folder without a trailing backslash. 1 on success.
int PrepareFolder(const std::string &name, const FolderSetup &setup, std::string *folder);

// A folder name for the running test: "<suite>_<test>".
std::string ScenarioName(void);

// A program folder for the running test (ScenarioName() and suffix) whose driver watches its
// subfolder "watched" (ini: keys besides), with the default settings stored. A failure is a test
// failure; the folder is returned all the same.
std::string PrepareWatched(const std::string &suffix = "", const std::vector<IniKey> &ini = {});
// The standard anti-virus test file's bytes, which the reference driver detects.
std::string TestFileBytes(void);

// One started Torvane.exe.
struct TorvaneRun {
    HANDLE process = nullptr;
    DWORD processId = 0;
    ULONGLONG startTick = 0;      // GetTickCount64 just before CreateProcess
};

// Starts folder\Torvane.exe with folder as its current directory. Every started process is
// remembered and ended by EndAllTorvane, which runs after every test. 1 on success.
int StartTorvane(const std::string &folder, TorvaneRun *run);

// Starts Torvane.exe in folder and waits until its start-up has told the driver the language
// (the journal's CTL_SELECT_LANGUAGE): the settings are in force and the driver watches. Returns
// the MainWindow, or nullptr after a test failure that names the message on screen, if any.
HWND StartNormally(const std::string &folder, TorvaneRun *run);

// Ends a run as Exit in the tray menu does (WM_CLOSE to its MainWindow, which also takes its tray
// icon away) and waits for exit code 0; 1 when so, else a test failure and 0.
int EndNormally(const TorvaneRun &run);
// Waits up to timeoutMs for the process to end; 1 and *exitCode set when it ended.
int WaitExit(const TorvaneRun &run, DWORD timeoutMs, DWORD *exitCode);

// 1 while the process runs.
int IsRunning(const TorvaneRun &run);

// 1 when the process processId has ended (or cannot be found).
int ProcessEnded(DWORD processId);

// Ends every process this robot started that still runs (by its id) and forgets them.
void EndAllTorvane(void);

// Milliseconds since the run was started.
ULONGLONG MsSinceStart(const TorvaneRun &run);

// count bytes of zeroed, readable and writable memory in process at an address below 4 GB (what a
// 32-bit address in a message reaches); nullptr when there is none. Kept until the process ends.
void *AllocateLowIn(HANDLE process, size_t count);

// ---- robot_registry.cpp: the settings (HKEY_LOCAL_MACHINE\SOFTWARE\Brannholt\Torvane) ----------

// Replaces the key with the 25 default values and seal 0; the file names point into folder.
int WriteDefaultSettings(const std::string &folder);
int SetSettingNumber(const char *name, DWORD value);              // REG_DWORD
int SetSettingText(const char *name, const std::string &value);   // REG_SZ
int SetSettingBytes(const char *name, DWORD type, const std::string &bytes);   // any type, raw
int DeleteSetting(const char *name);
int DeleteSettingsKey(void);                                      // 1 also when it did not exist
int SetSettingsWritable(int writable);   // 0: the key can be read (and deleted), not written
int ReadSettingNumber(const char *name, DWORD *value);            // 0 when missing or not 4 bytes
int ReadSettingText(const char *name, std::string *value);        // 0 when missing

// ---- robot_windows.cpp: windows, message boxes and the controls of any dialog ----------------

// Raw bytes of the MainWindow's class name and title (code page 1252).
extern const char ROBOT_MAIN_CLASS[];
extern const char ROBOT_MAIN_TITLE[];

// The platform's ids in a message box: its text (a static) and its icon.
constexpr int MESSAGE_BOX_TEXT_ID = 0xFFFF;
constexpr int MESSAGE_BOX_ICON_ID = 20;

// The top-level window with exactly this class and title (hidden ones included), or nullptr.
HWND FindTopWindow(const char *className, const char *title);

// The MainWindow of processId once it exists, or nullptr after timeoutMs or when the process ends.
HWND WaitForMainWindow(DWORD processId, DWORD timeoutMs);

// Top-level windows of processId, topmost first; visibleOnly skips hidden ones.
std::vector<HWND> ProcessWindows(DWORD processId, int visibleOnly);

// The first visible top-level window of processId (of className when not null), or nullptr after
// timeoutMs or when the process ends.
HWND WaitForWindow(DWORD processId, const char *className, DWORD timeoutMs);

// The first visible top-level window of processId that holds a control of each of ids (a dialog
// told by its controls), or nullptr after timeoutMs or when the process ends.
HWND WaitForDialogWith(DWORD processId, const std::vector<int> &ids, DWORD timeoutMs);
// 1 when box is a message box: a "#32770" dialog with the static text control 0xFFFF.
int IsMessageBox(HWND box);

// The first visible message box of processId, or nullptr after timeoutMs or when the process ends.
HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs);

// Like WaitForMessageBox, and records whether a visible window of the process that is not a
// message box (the splash) was on screen before it: *splashSeen 1 or 0, *boxMs the time since
// start at which the box was first seen.
HWND WaitForMessageBoxAfterSplash(const TorvaneRun &run, DWORD timeoutMs, int *splashSeen, ULONGLONG *boxMs);

// What a message box shows.
struct MessageBoxView {
    std::string caption;
    std::string text;                   // the text of static 0xFFFF, as the control holds it
    std::vector<int> buttonIds;         // in child order
    std::vector<std::string> buttonTexts;
    int stopIcon = -1;                  // 1 stop icon, 0 another icon, -1 cannot tell
};

// Reads caption, text, buttons and (if it can) the icon of a message box. 1 on success.
int ReadMessageBox(HWND box, MessageBoxView *view);

// Expects box to be one of the program's error messages: caption, text as this platform's message
// box shows it (PlatformShownText), one OK button and the stop icon (an icon that cannot be told
// fails too). Mismatches are test failures; returns what it read.
MessageBoxView ExpectStopMessage(HWND box, const std::string &caption, const std::string &text);

// What this platform's message box shows in its text control for text: the robot opens one of its
// own and reads it back (Wine and Windows keep a trailing line feed, but this does not assume it).
std::string PlatformShownText(const std::string &text);

// Child windows of parent, all levels, in the platform's order.
std::vector<HWND> ChildWindows(HWND parent);


// Presses OK when the dialog has an OK button, else Cancel. 1 when posted.
int CloseDialog(HWND dialog);

// Waits until window is gone; 1 when it went within timeoutMs.
int WaitClosed(HWND window, DWORD timeoutMs);

// PostMessageA to window; 1 when posted.
int PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// 1 when window (of any process) answers a sent WM_NULL within timeoutMs: its thread runs a loop.
int Answers(HWND window, DWORD timeoutMs);

// SendMessageA to window of another process: 1 once its window procedure has handled the message
// (whatever it did), 0 when that took longer than ROBOT_TIMEOUT_MS.
int SendToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Text and class of a window, read from outside.
std::string WindowText(HWND window);
std::string WindowClass(HWND window);

// ---- robot_windows.cpp: the controls of a dialog in another process ---------------------------
//
// Each takes the dialog that holds the control (a message box, a page of the sheet, the sheet
// itself, any dialog) and the control's id. Clicks are posted, so that whatever a click opens (a
// warning, a message box, a file dialog) cannot block the robot: read the effect afterwards, with
// WaitUntil where it takes a moment. A control that is missing, hidden (also on a page not on
// display) or disabled cannot be clicked or typed into, as for a user.

// Clicks a push button, check box or radio button as the mouse does (BM_CLICK): an automatic
// check box flips, an automatic radio button is ticked and the others of its group cleared, and
// the dialog gets WM_COMMAND with BN_CLICKED. 1 when the click was posted.
int PressButton(HWND dialog, int id);

// The same click, sent: returns 1 once the dialog has handled it, everything the click does
// included; 0 when that took longer than timeoutMs (a modal window the click opened is still up:
// it goes on without the robot waiting) or the button cannot be clicked.
int PressButtonAndWait(HWND dialog, int id, DWORD timeoutMs);

// The click of PressButtonAndWait, sent from a thread of the robot's own, so that the robot can
// answer what the click opens (a file dialog) meanwhile. Returns that thread, which ends once the
// dialog has handled the click to its end; nullptr when the button cannot be clicked.
HANDLE StartSentClick(HWND dialog, int id);

// 1 when the click of StartSentClick was handled to its end within timeoutMs; the handle is
// closed either way.
int WaitSentClick(HANDLE click, DWORD timeoutMs);

// A sign that everything posted to the thread of dialog so far has been handled (a thread takes
// its posted messages in order): posts the push button id a mark (BM_SETSTATE, shown pushed),
// waits until the button shows it and takes it back. 1 when so within ROBOT_TIMEOUT_MS. Messages
// those posted ones posted in turn come later: send what may post again (WM_SYSCOMMAND) instead.
int PostedHandled(HWND dialog, int id);

// BST_CHECKED (1), BST_UNCHECKED (0) or BST_INDETERMINATE (2) of a check box or radio button;
// -1 when there is no such control.
int IsTicked(HWND dialog, int id);

// Clicks the check box or radio button when it does not show ticked (1 or 0) yet, and waits until
// it does. 1 when it shows ticked in the end (without a click when it already did).
int SetTicked(HWND dialog, int id, int ticked);

// 1 when the control is enabled, 0 when it is disabled, -1 when there is no such control.
int ControlEnabled(HWND dialog, int id);

// The control's text (WM_GETTEXT, carried across processes); "" when there is no such control.
std::string ControlText(HWND dialog, int id);

// Types text into an edit as a user does: selects all of it, deletes it, then one WM_CHAR per
// character, so that the edit sets its own modified flag and sends EN_CHANGE for each. An edit
// may refuse or change characters (a limit, capitals): compare ControlText afterwards. 1 when
// every keystroke was delivered.
int TypeText(HWND dialog, int id, const std::string &text);

// The modified flag of an edit (EM_GETMODIFY): 1 or 0; -1 when there is no such control.
int EditModified(HWND dialog, int id);

// The rows of a list box or combo box, top first (LB_GETTEXT, CB_GETLBTEXT).
std::vector<std::string> ControlRows(HWND dialog, int id);

// The selected row of a list box or combo box; -1 when none is (or no such control).
int SelectedRow(HWND dialog, int id);

// Picks row index of a combo box or list box as a mouse pick does: the row is selected, then the
// dialog gets CBN_SELCHANGE (or LBN_SELCHANGE from a list box with LBS_NOTIFY). 1 when the row
// shows selected.
int SelectRow(HWND dialog, int id, int index);

// ---- robot_windows.cpp: the virus alert -------------------------------------------------------

// The virus alert of processId: a visible "#32770" dialog with the alert text IDC_ALERT_TEXT;
// *list (when not null) receives its list view. nullptr while there is none.
HWND FindAlert(DWORD processId, HWND *list = nullptr);

// FindAlert once it is there, or nullptr after timeoutMs.
HWND WaitForAlert(DWORD processId, DWORD timeoutMs, HWND *list = nullptr);

// Row count of a list view of another process; -1 when it does not answer within 1 s.
int ListViewCount(HWND list);

// Text of row index of a list view in process (opened with PROCESS_VM_OPERATION, _READ and
// _WRITE): the record and the text buffer are placed in that process's memory, since the list view
// writes through the pointers it is handed. 1 on success.
int ListViewText(HANDLE process, HWND list, int index, std::string *text);

// Asks control, of the process opened as process (PROCESS_VM_OPERATION, _READ and _WRITE), for a
// text through a record that points to a text buffer (LVITEMA, TCITEMA): a copy of record
// (recordSize bytes) goes into that process with a buffer behind it, its pointer at textOffset and
// its int capacity at capacityOffset set to that buffer, and message is sent with wParam and the
// copy's address. 1 and *text set when the answer came and could be read.
int RemoteRecordText(HANDLE process, HWND control, UINT message, WPARAM wParam, const void *record,
                     size_t recordSize, size_t textOffset, size_t capacityOffset, std::string *text);
// Every row of a list view of another process, top row first.
std::vector<std::string> ListViewRows(HWND list);

// ---- robot_tray.cpp: the tray icon on the taskbar and its menu --------------------------------

// The square of the first icon in the taskbar's notification area, on the screen, and the tray
// window that draws it. Torvane's icon is the only one on the test desktop. 1 when found.
int TrayIconSquare(HWND *tray, RECT *square);

// 1 when the square shows an icon (anything but the taskbar's colour); 0 when it is empty.
int TrayIconShown(void);

// Which of Torvane's three tray icons the square shows, told by drawing each of them (from program,
// a Torvane.exe, by default the build's, as Torvane loads them) the way the taskbar does:
// IDI_ENABLED, IDI_BLINK or IDI_DISABLED; 0 when it shows none of them (no icon, another one, or
// one not painted whole).
int TrayIconLook(const std::string &program = "");

// How many icons the tray holds, told by the place where the taskbar draws an icon of the robot's
// own, added now (the first icon stands rightmost, each next one left of it): so it also waits
// until the taskbar has taken every icon added before. -1 when the robot's icon was not seen
// within ROBOT_TIMEOUT_MS. The robot's icon goes again.
int TrayIconCount(void);

// The record of a tray icon of the robot's own, in the first form (as Torvane's): owner's icon id,
// showing icon.
NOTIFYICONDATAA RobotTrayIcon(HWND owner, UINT id, HICON icon);

// Right-clicks the icon and waits for the tray menu of processId; nullptr when none came.
HWND OpenTrayMenu(DWORD processId);

// Closes an open menu with Escape and waits until it has gone; 1 when it did.
int CloseMenu(HWND menu);

// Picks an item of an open menu with the keyboard: Down from nothing selects the first item, Up
// the last; then Enter.
void ChooseFromMenu(HWND menu, WPARAM key);

// ---- robot_sheet.cpp: the property sheet and the common file dialogs --------------------------
//
// A page test opens the sheet (OpenSheet), shows a page (SelectPage), works the page's controls
// with the control helpers above (the page is the dialog that holds them), and ends with
// PressSheetButton. For example:
//     HWND sheet = OpenSheet(run, SHEET_BY_MENU);
//     HWND page = SelectPage(sheet, SHEET_ACTION_PAGE);
//     SetTicked(page, IDC_ACTION_ONLY_LOG, 1);
//     EXPECT_EQ(1, ApplyEnabled(sheet));
//     PressSheetButton(sheet, IDOK);

// The pages in the sheet's fixed order; SelectPage takes these positions.
enum SheetPage {
    SHEET_SCAN_PAGE,
    SHEET_ACTION_PAGE,
    SHEET_REPORT_PAGE,
    SHEET_EXCLUSIONS_PAGE,
    SHEET_INFORMATION_PAGE,
    SHEET_ABOUT_PAGE,
};

// The sheet frame's Apply button (the platform's id); OK and Cancel are IDOK and IDCANCEL.
constexpr int SHEET_APPLY = 0x3021;

// The sheet's caption with the reference driver's texts 600 and 589 (the same in its three languages).
extern const char SHEET_CAPTION[];

// How a user (or a second instance) asks Torvane for its sheet.
enum SheetOpening {
    SHEET_BY_MENU,           // right-click on the tray icon, then Properties with the keyboard
    SHEET_BY_DOUBLE_CLICK,   // double-click on the tray icon
    SHEET_BY_MESSAGE,        // WM_OPEN_PROPERTIES posted to the MainWindow, as a second instance does
};

// The open sheets of processId: visible top-level "#32770" windows captioned caption, topmost
// first. More than one is a fault.
std::vector<HWND> OpenSheets(DWORD processId, const char *caption = SHEET_CAPTION);

// The first sheet of processId once one is open, or nullptr after timeoutMs.
HWND WaitForSheet(DWORD processId, DWORD timeoutMs, const char *caption = SHEET_CAPTION);

// Asks Torvane for its sheet the way how says, without waiting for it. 1 when the request went
// out (for the menu: the menu opened and Properties was chosen, whether grayed or not).
int AskForSheet(const TorvaneRun &run, SheetOpening how);

// AskForSheet, then waits until Torvane has handled the request, so that a sheet it opened is open:
// the tray menu, asked for afterwards the same way in (right-click on the icon after a click or a
// posted message, after the menu asked with has closed), comes and is closed again. 1 when so.
int AskForSheetAndWait(const TorvaneRun &run, SheetOpening how);

// AskForSheet, then waits for the sheet; nullptr when none opened within ROBOT_TIMEOUT_MS.
HWND OpenSheet(const TorvaneRun &run, SheetOpening how);

// The page on display: its dialog, a child of the sheet (PSM_GETCURRENTPAGEHWND).
HWND CurrentPage(HWND sheet);

// Shows the page at position as a click on its tab does (PSM_SETCURSEL: the page on display gets
// PSN_KILLACTIVE, the new one PSN_SETACTIVE, and is created the first time). Returns the page's
// dialog, or nullptr when the sheet did not show it.
HWND SelectPage(HWND sheet, int position);

// The titles on the sheet's tabs, first page first.
std::vector<std::string> SheetTabTitles(HWND sheet);
// 1 when the sheet's Apply button is enabled, 0 when not, -1 when the sheet has none.
int ApplyEnabled(HWND sheet);

// Presses IDOK, IDCANCEL or SHEET_APPLY of the sheet. OK and Cancel wait until the sheet has
// closed: 1 when it did. Apply waits until every page has applied: 1 when it did and the button is
// disabled again. (An apply that shows a message box keeps it from returning: press Apply with
// PressButton then.)
int PressSheetButton(HWND sheet, int button);

// The common file dialog of processId once it is open: a visible "#32770" with a file-name
// control (the old style's edit 1152, which a custom template may hide, or the Explorer style's
// edit 1152 or combo box 1148); nullptr after timeoutMs.
HWND WaitForFileDialog(DWORD processId, DWORD timeoutMs);

// Answers a file dialog: with ok, sets its file-name field to path and presses OK; otherwise
// presses Cancel. 1 when the dialog then closed (a dialog that refuses the name stays open).
int AnswerFileDialog(HWND dialog, const std::string &path, int ok);

// Clicks the button id of dialog that opens a file dialog (a Browse button), answers that file
// dialog as AnswerFileDialog does (look, when given, sees it first), and waits until dialog has
// handled the click to its end, whatever it does with the answer. 1 when all of that happened.
int BrowseAndAnswer(HWND dialog, int id, const std::string &path, int ok,
                    const std::function<void(HWND)> &look = nullptr);

// ---- robot_journal.cpp: the driver's journal -------------------------------------------------

// Complete lines of folder\name (a line still being written is left out); empty when absent.
std::vector<std::string> ReadJournal(const std::string &folder, const char *name = "journal.txt");

// Waits until a journal line starts with prefix; 1 and *line (if not null) set, or 0 after
// timeoutMs.
int WaitJournalLine(const std::string &folder, const std::string &prefix, DWORD timeoutMs,
                    std::string *line = nullptr, const char *name = "journal.txt");

// The last journal line that starts with prefix; "" when there is none.
std::string LastJournalLine(const std::string &folder, const std::string &prefix);

// The value of key in a journal line of "key=value" words ("" when absent).
std::string JournalField(const std::string &line, const std::string &key);

// The first word of each line that starts with "CTL_", in order.
std::vector<std::string> JournalCodes(const std::vector<std::string> &lines);

// ---- robot_screen.cpp: pixels and screenshots ------------------------------------------------

// When TORVANE_SHOTS names a folder (Unix path), saves the screen there as <name>.bmp (24-bit),
// after settleMs for windows that have just appeared to paint (0 catches a passing look, such as
// one step of the tray icon's blink). 1 when saved, 0 when not asked for or failed.
int SaveScreenshot(const std::string &name, DWORD settleMs = 300);

// The screen's pixels in rect as 0x00RRGGBB words, row by row from the top. 1 on success.
int CaptureScreen(const RECT &rect, std::vector<uint32_t> *pixels);

// 1 when the icon of a message box is the stop icon, 0 when it is another, -1 when that cannot be
// told (no icon control, or the screen cannot be read). Looks again, up to ROBOT_TIMEOUT_MS, while
// the icon seems not painted yet.
int CheckStopIcon(HWND box);

// How far pixels (rows of width, from the top) are, where they come nearest, from icon drawn at
// the small icon size on the colour of their first pixel, as the taskbar draws its icons: the sum
// of the differences of every colour of every pixel (0: exactly so). UINT64_MAX when no icon fits.
uint64_t SmallIconDistance(const std::vector<uint32_t> &pixels, int width, HICON icon);
