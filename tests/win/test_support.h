// A stand-in for what the driver shares, for in-process tests of the front end: a StatusBlock with
// its four buffers and a LanguageTable, all in the test program's static storage (below 4 GB).
#pragma once
#include <string>

#include "driver/status_block.h"

// Points the front end's globals (statusBlock, languageTable, languageCount, languageList) at fresh
// test records: every field zero, the address fields set, and text n reading "T<n>" (OEM) unless
// SetTestText changed it. The table holds a few texts past the 702 every driver's has.
void InstallTestDriver(void);
constexpr int TEST_TABLE_ENTRIES = 710;

// Replaces text number of the test LanguageTable (stored as given, i.e. as OEM bytes), or the
// address its entry holds.
void SetTestText(int number, const std::string &text);
void SetTestTextAddress(int number, uint32_t address);

// The buffers behind the address fields of the test StatusBlock.
char *TestBuffer(uint32_t StatusBlock::*field);

#include <functional>
#include <vector>
#include <windows.h>

// Runs each step in turn, one per timer tick of intervalMs, from inside whatever message loop is
// running at the time (the tests' own, or a modal dialog's or menu's the front end opened), and
// returns once every step ran or after timeoutMs; 1 when all steps ran. A step that returns 0 is
// tried again at the next tick (a wait for a condition).
int RunSteps(const std::vector<std::function<int()>> &steps, int intervalMs = 30, int timeoutMs = 10000);
// The same around call, which the steps answer from inside the modal loop it runs (a dialog the
// test calls directly); after call returns, the steps left run as above.
int RunStepsDuring(const std::function<void()> &call, const std::vector<std::function<int()>> &steps,
                   int intervalMs = 30, int timeoutMs = 10000);

// Creates the hidden MainWindow with the front end's class and procedure, as start-up does, sets
// the mainWindow global and hands the sheet its host. Destroying it is left to DestroyTestMainWindow (which also swallows
// the quit message its WM_DESTROY posts).
HWND CreateTestMainWindow(void);
void DestroyTestMainWindow(void);

// The first visible top-level window of this thread that passes test, or nullptr.
HWND FindOwnDialog(const std::function<int(HWND)> &test);

// Text of a window, as ANSI.
std::string WindowText(HWND window);

// What a message box of this process showed; the catcher pressed its OK button.
struct CaughtBox {
    int found = 0;
    std::string caption;
    std::string text;
};

// Runs call (which may show a message box and block in it) while a helper thread waits for a
// message box of this process, reads it and presses OK. Gives up when call returns without a box,
// or after 15 seconds.
CaughtBox CatchMessageBox(const std::function<void()> &call);

// 1 when this process runs as Windows 95/98 (the i686 build's tests run in Wine's Windows 98 mode).
inline int RunsAsWindows9x(void)
{
    return (GetVersion() & 0x80000000u) != 0;
}

// The build's driver file (TORVANE_BUILD is the build folder as a Unix path, seen through Z:).
std::string BuiltDriverPath(void);

// A file of the build folder (relative is a Unix path below it), as a Windows path through Z:.
std::string BuiltFilePath(const char *relative);
