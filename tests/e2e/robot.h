// The test robot: prepares program folders and the registry, starts Torvane.exe in a process of its
// own and drives its windows from outside, the way a user (or a second instance) would.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Time limit for anything the robot waits for; generous so a loaded machine does not fail a test.
constexpr DWORD ROBOT_TIMEOUT_MS = 15000;

// ---- Program folders ------------------------------------------------------------------------

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

// ---- Settings in the registry (HKEY_LOCAL_MACHINE\SOFTWARE\Brannholt\Torvane) -----------------

// Replaces the key with the 25 default values and seal 0; the file names point into folder.
int WriteDefaultSettings(const std::string &folder);
int SetSettingNumber(const char *name, DWORD value);              // REG_DWORD
int SetSettingText(const char *name, const std::string &value);   // REG_SZ
int DeleteSetting(const char *name);
int DeleteSettingsKey(void);                                      // 1 also when it did not exist
int ReadSettingNumber(const char *name, DWORD *value);            // 0 when missing or not 4 bytes
int ReadSettingText(const char *name, std::string *value);        // 0 when missing

// ---- Processes --------------------------------------------------------------------------------

// One started Torvane.exe.
struct TorvaneRun {
    HANDLE process = nullptr;
    DWORD processId = 0;
    ULONGLONG startTick = 0;      // GetTickCount64 just before CreateProcess
};

// Starts folder\Torvane.exe with folder as its current directory. Every started process is
// remembered and ended by EndAllTorvane, which runs after every test. 1 on success.
int StartTorvane(const std::string &folder, TorvaneRun *run);

// Waits up to timeoutMs for the process to end; 1 and *exitCode set when it ended.
int WaitExit(const TorvaneRun &run, DWORD timeoutMs, DWORD *exitCode);

// 1 while the process runs.
int IsRunning(const TorvaneRun &run);

// Ends every process this robot started that still runs (by its id) and forgets them.
void EndAllTorvane(void);

// Milliseconds since the run was started.
ULONGLONG MsSinceStart(const TorvaneRun &run);

// ---- Windows ----------------------------------------------------------------------------------

// Raw bytes of the MainWindow's class name and title (code page 1252).
extern const char ROBOT_MAIN_CLASS[];
extern const char ROBOT_MAIN_TITLE[];

// The top-level window with exactly this class and title (hidden ones included), or nullptr.
HWND FindTopWindow(const char *className, const char *title);

// The MainWindow of processId once it exists, or nullptr after timeoutMs.
HWND WaitForMainWindow(DWORD processId, DWORD timeoutMs);

// Top-level windows of processId; visibleOnly skips hidden ones.
std::vector<HWND> ProcessWindows(DWORD processId, int visibleOnly);

// The first visible top-level window of processId (of className when not null), or nullptr after
// timeoutMs.
HWND WaitForWindow(DWORD processId, const char *className, DWORD timeoutMs);

// 1 when box is a message box: a "#32770" dialog with the static text control 0xFFFF.
int IsMessageBox(HWND box);

// The first visible message box of processId, or nullptr after timeoutMs. Also gives up early
// when the process ends.
HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs);

// Like WaitForMessageBox, and records whether a visible window of the process that is not a
// message box (the splash) was on screen before it: *splashSeen 1 or 0, *boxMs the time since
// start at which the box was first seen.
HWND WaitForMessageBoxAfterSplash(const TorvaneRun &run, DWORD timeoutMs, int *splashSeen, ULONGLONG *boxMs);

// What a message box shows.
struct MessageBoxView {
    std::string caption;
    std::string text;                   // GetWindowText of static 0xFFFF, as the control holds it
    std::vector<int> buttonIds;         // in child order
    std::vector<std::string> buttonTexts;
    int stopIcon = -1;                  // 1 stop icon, 0 another icon, -1 cannot tell
};

// Reads caption, text, buttons and (if it can) the icon of a message box. 1 on success.
int ReadMessageBox(HWND box, MessageBoxView *view);

// 1 when the icon of box is the stop icon, 0 when it is another, -1 when that cannot be told
// (no icon control, or the screen cannot be read).
int CheckStopIcon(HWND box);

// Presses button id of a dialog (WM_COMMAND with BN_CLICKED, as a click would). 1 when posted.
int PressButton(HWND dialog, int id);

// Presses OK when the dialog has an OK button, else Cancel. 1 when posted.
int CloseDialog(HWND dialog);

// What this platform's message box shows in its text control for text: the robot opens one of its
// own and reads it back (Wine and Windows keep a trailing line feed, but this does not assume it).
std::string PlatformShownText(const std::string &text);

// PostMessageA to window; 1 when posted.
int PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Text and class of a window, read from outside.
std::string WindowText(HWND window);
std::string WindowClass(HWND window);

// ---- The driver's journal ---------------------------------------------------------------------

// Complete lines of folder\name (a line still being written is left out); empty when absent.
std::vector<std::string> ReadJournal(const std::string &folder, const char *name = "journal.txt");

// Waits until a journal line starts with prefix; 1 and *line (if not null) set, or 0 after
// timeoutMs.
int WaitJournalLine(const std::string &folder, const std::string &prefix, DWORD timeoutMs,
                    std::string *line = nullptr, const char *name = "journal.txt");

// The value of key in a journal line of "key=value" words ("" when absent).
std::string JournalField(const std::string &line, const std::string &key);

// The first word of each line that starts with "CTL_", in order.
std::vector<std::string> JournalCodes(const std::vector<std::string> &lines);

// ---- Screenshots ------------------------------------------------------------------------------

// When TORVANE_SHOTS names a folder (Unix path), saves the screen there as <name>.bmp (24-bit),
// after a moment for windows that have just appeared to paint.
// 1 when saved, 0 when not asked for or failed.
int SaveScreenshot(const std::string &name);

// The screen's pixels in rect as 0x00RRGGBB words, row by row from the top. 1 on success.
int CaptureScreen(const RECT &rect, std::vector<uint32_t> *pixels);

// ---- Small helpers ----------------------------------------------------------------------------

// Unix path to the Windows path Wine maps it to ("Z:" and backslashes).
std::string UnixToWindowsPath(const std::string &unixPath);

// Text with control characters spelled out (\n, \r, \xNN), for messages.
std::string Visible(const std::string &text);
