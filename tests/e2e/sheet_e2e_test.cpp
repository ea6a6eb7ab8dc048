// The property sheet as a user meets it on the Wine desktop.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/robot.h"

namespace {

HWND FindSheet(DWORD processId)
{
    for (DWORD waited = 0; waited < ROBOT_TIMEOUT_MS; waited += 50) {
        for (HWND window : ProcessWindows(processId, 1)) {
            if (WindowClass(window) == "#32770" && FindWindowExA(window, nullptr, WC_TABCONTROLA, nullptr) != nullptr)
                return window;
        }
        Sleep(50);
    }
    return nullptr;
}

HWND ShowPage(HWND sheet, int index)
{
    SendMessageA(sheet, PSM_SETCURSEL, index, 0);
    Sleep(300);
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

TEST(SheetE2e, EveryPageAndTheExtensionsDialogInEnglishAndGerman)
{
    const char *pages[] = {"scan-options", "action", "report", "exclusions", "information", "about"};
    for (int language : {0, 1}) {
        std::string folder;
        ASSERT_TRUE(PrepareFolder(ScenarioName() + std::to_string(language), FolderSetup(), &folder));
        ASSERT_TRUE(WriteDefaultSettings(folder));
        ASSERT_TRUE(SetSettingNumber("Language", static_cast<DWORD>(language)));
        TorvaneRun run;
        ASSERT_TRUE(StartTorvane(folder, &run));
        HWND main = WaitForMainWindow(run.processId, ROBOT_TIMEOUT_MS);
        ASSERT_NE(nullptr, main);
        ASSERT_TRUE(WaitJournalLine(folder, "CTL_SELECT_LANGUAGE", ROBOT_TIMEOUT_MS));
        Sleep(500);
        ASSERT_TRUE(PostToWindow(main, WM_COMMAND, 40002, 0));
        HWND sheet = FindSheet(run.processId);
        ASSERT_NE(nullptr, sheet);
        std::string suffix = language ? "-de" : "";
        for (int i = 5; i >= 0; i--) {
            ShowPage(sheet, i);
            SaveScreenshot(std::string("sheet-") + pages[i] + suffix);
        }
        HWND page = ShowPage(sheet, 0);
        PostToWindow(page, WM_COMMAND, MAKEWPARAM(1072, BN_CLICKED), 0);
        Sleep(800);
        SaveScreenshot("extensions" + suffix);
        for (HWND window : ProcessWindows(run.processId, 1)) {
            if (window != sheet)
                PressButton(window, IDCANCEL);
        }
        Sleep(300);
        PressButton(sheet, IDCANCEL);
        Sleep(300);
        PostToWindow(main, WM_CLOSE, 0, 0);
        DWORD exitCode = 99;
        EXPECT_TRUE(WaitExit(run, ROBOT_TIMEOUT_MS, &exitCode));
    }
}

}   // namespace
