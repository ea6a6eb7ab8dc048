// The tray icon, its blink, the tray menu and the main window's tray handling, with the shell's
// Shell_NotifyIconA replaced by a recorder (nothing else can watch those calls).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/globals.h"
#include "app/tray.h"
#include "driver/link.h"
#include "res/resource.h"
#include "sheet/sheet.h"
#include "tests/win/test_support.h"

namespace {

struct Call {
    DWORD operation;
    HICON icon;
    std::string tip;
    DWORD size;
    UINT flags;
};
std::vector<Call> calls;

BOOL WINAPI RecordNotifyIcon(DWORD operation, PNOTIFYICONDATAA record)
{
    calls.push_back({operation, record->hIcon, record->szTip, record->cbSize, record->uFlags});
    return TRUE;
}

// Distinct stand-ins for the three icons, so the recorded calls tell them apart.
HICON const ENABLED = reinterpret_cast<HICON>(0x101);
HICON const BLINK = reinterpret_cast<HICON>(0x117);
HICON const DISABLED = reinterpret_cast<HICON>(0x137);

std::string Describe(const std::vector<Call> &list)
{
    std::string text;
    for (const Call &c : list) {
        text += c.icon == ENABLED ? "enabled" : c.icon == BLINK ? "blink" : c.icon == DISABLED ? "disabled" : "?";
        text += "/" + c.tip + " ";
    }
    return text;
}

class Tray : public testing::Test {
protected:
    void SetUp() override
    {
        InstallTestDriver();
        CreateTestMainWindow();
        enabledIcon = ENABLED;
        blinkIcon = BLINK;
        disabledIcon = DISABLED;
        notifyIcon = RecordNotifyIcon;
        calls.clear();
        sheetOpen = 0;
    }
    void TearDown() override
    {
        notifyIcon = Shell_NotifyIconA;
        DestroyTestMainWindow();
    }
};

TEST_F(Tray, TimerTicksFollowTheBlinkRules)
{
    struct Case {
        const char *what;
        uint32_t enabled, showIcon, blinkCount;
        int phase;
        int ticks;
        std::string expected;        // icons and tips set, in order
        uint32_t countAfter;
        int phaseAfter;
    } cases[] = {
        {"count 1, phase 1: blink and back in one tick", 1, 1, 1, 1, 1, "blink/T601 enabled/T601 ", 0, 0},
        {"count 2, phase 1: blink, then enabled, no extra change", 1, 1, 2, 1, 2, "blink/T601 enabled/T601 ", 0, 1},
        {"count 2, phase 0: enabled, blink, and back", 1, 1, 2, 0, 2, "enabled/T601 blink/T601 enabled/T601 ", 0, 0},
        {"count 0 changes nothing", 1, 1, 0, 1, 3, "", 0, 1},
        {"disabled look on every tick, count untouched", 0, 1, 5, 1, 3,
         "disabled/T602 disabled/T602 disabled/T602 ", 5, 1},
        {"no icon: nothing changes and the count keeps", 1, 0, 4, 1, 3, "", 4, 1},
        {"no icon and disabled: nothing at all", 0, 0, 4, 1, 3, "", 4, 1},
    };
    for (const Case &c : cases) {
        statusBlock->enabled = c.enabled;
        statusBlock->showIcon = c.showIcon;
        statusBlock->blinkCount = c.blinkCount;
        blinkPhase = c.phase;
        calls.clear();
        for (int i = 0; i < c.ticks; i++)
            SendMessageA(mainWindow, WM_TIMER, MAIN_TIMER_ID, 0);
        EXPECT_EQ(c.expected, Describe(calls)) << c.what;
        EXPECT_EQ(c.countAfter, statusBlock->blinkCount) << c.what;
        EXPECT_EQ(c.phaseAfter, blinkPhase) << c.what;
        for (const Call &call : calls) {
            EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), call.operation) << c.what;
            EXPECT_EQ(TRAY_RECORD_SIZE, call.size) << c.what;
            EXPECT_EQ(7u, call.flags) << c.what;
        }
    }
}

TEST_F(Tray, RecordIsTheFirstFormAndTipsAreCut)
{
    struct Case {
        std::string tip;
        std::string expected;
    } cases[] = {
        {std::string(70, 'x'), std::string(63, 'x')},
        {std::string(64, 'y'), std::string(63, 'y')},
        {std::string(63, 'z'), std::string(63, 'z')},
        {"", ""},
    };
    for (const Case &c : cases) {
        calls.clear();
        SetTrayIcon(mainWindow, TRAY_ICON_ID, ENABLED, c.tip.c_str(), NIM_ADD, WM_TRAY_NOTIFY);
        ASSERT_EQ(1u, calls.size());
        EXPECT_EQ(c.expected, calls[0].tip) << "tip of " << c.tip.size() << " characters";
    }
    calls.clear();
    SetTrayIcon(mainWindow, TRAY_ICON_ID, ENABLED, nullptr, NIM_ADD, WM_TRAY_NOTIFY);
    EXPECT_EQ("", calls.at(0).tip);
    RemoveTrayIcon(mainWindow, TRAY_ICON_ID);
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), calls.at(1).operation);
    EXPECT_EQ(0u, calls.at(1).flags);
#ifndef _WIN64
    EXPECT_EQ(88u, calls.at(1).size);
#endif
}

// Opens the real tray menu (WM_SHOW_TRAY_MENU) and reads its items while it tracks.
struct MenuItem {
    std::string text;
    UINT state;
};
std::vector<MenuItem> ReadTrayMenu(void)
{
    std::vector<MenuItem> items;
    PostMessageA(mainWindow, WM_SHOW_TRAY_MENU, 0, 0);
    RunSteps({
        [&] { return FindWindowA("#32768", nullptr) != nullptr; },
        [&] {
            HMENU menu = reinterpret_cast<HMENU>(SendMessageA(FindWindowA("#32768", nullptr), MN_GETHMENU, 0, 0));
            for (UINT id : {IDM_TOGGLE, IDM_PROPERTIES, IDM_EXIT}) {
                char text[256] = "";
                GetMenuStringA(menu, id, text, sizeof text, MF_BYCOMMAND);
                items.push_back({text, GetMenuState(menu, id, MF_BYCOMMAND)});
            }
            EndMenu();
            return 1;
        },
        [&] { return FindWindowA("#32768", nullptr) == nullptr || !IsWindowVisible(FindWindowA("#32768", nullptr)); },
    });
    return items;
}

TEST_F(Tray, MenuShowsConvertedTextsAndStates)
{
    SetTestText(699, "D\x82sactiver");      // "\xE9" in code page 437 ...
    SetTestText(698, "Activer");
    SetTestText(603, "Propri\x82t\x82s");
    SetTestText(604, "Quitter");
    const UINT on = MF_ENABLED;
    const UINT off = MF_GRAYED | MF_DISABLED;
    struct Case {
        uint32_t enabled;
        int sheetIsOpen;
        uint32_t canDisable;
        std::string toggle;          // ... is "\xE9" in code page 1252
        UINT toggleState, propertiesState;
    } cases[] = {
        {0, 0, 0, "Activer", off, off},
        {0, 0, 1, "Activer", on, off},
        {0, 1, 0, "Activer", off, off},
        {0, 1, 1, "Activer", on, off},
        {1, 0, 0, "D\xE9sactiver", off, on},
        {1, 0, 1, "D\xE9sactiver", on, on},
        {1, 1, 0, "D\xE9sactiver", off, off},
        {1, 1, 1, "D\xE9sactiver", on, off},
    };
    for (const Case &c : cases) {
        statusBlock->enabled = c.enabled;
        statusBlock->canDisable = c.canDisable;
        sheetOpen = c.sheetIsOpen;
        std::vector<MenuItem> items = ReadTrayMenu();
        std::string what = "enabled " + std::to_string(c.enabled) + ", sheet " + std::to_string(c.sheetIsOpen) +
                           ", canDisable " + std::to_string(c.canDisable);
        ASSERT_EQ(3u, items.size()) << what << ": the menu did not open";
        EXPECT_EQ(c.toggle, items[0].text) << what;
        EXPECT_EQ("Propri\xE9t\xE9s", items[1].text) << what;
        EXPECT_EQ("Quitter", items[2].text) << what;
        EXPECT_EQ(c.toggleState, items[0].state & off) << what;
        EXPECT_EQ(c.propertiesState, items[1].state & off) << what;
        EXPECT_EQ(on, items[2].state & off) << what;
    }
    sheetOpen = 0;
}

TEST_F(Tray, RightButtonOnlyOnOurIconAsksForTheMenu)
{
    struct Case {
        WPARAM iconId;
        LPARAM mouse;
        bool posts;
    } cases[] = {
        {1, WM_RBUTTONDOWN, true},
        {2, WM_RBUTTONDOWN, false},
        {1, WM_RBUTTONUP, false},
        {1, WM_LBUTTONDOWN, false},
        {1, WM_MOUSEMOVE, false},
    };
    for (const Case &c : cases) {
        MSG message;
        while (PeekMessageA(&message, mainWindow, 0, 0, PM_REMOVE)) {
        }
        SendMessageA(mainWindow, WM_TRAY_NOTIFY, c.iconId, c.mouse);
        bool posted = PeekMessageA(&message, mainWindow, WM_SHOW_TRAY_MENU, WM_SHOW_TRAY_MENU, PM_REMOVE) != 0;
        EXPECT_EQ(c.posts, posted) << "icon " << c.iconId << ", mouse message " << c.mouse;
    }
}

// Sends message to the MainWindow and reports whether the property sheet opened (it is closed again).
// The sheet runs inside the handling of the message: once that returned, it opened or never will.
bool OpensSheet(UINT message, WPARAM wParam, LPARAM lParam)
{
    bool opened = false;
    int returned = 0;
    int all = RunStepsDuring([&] { SendMessageA(mainWindow, message, wParam, lParam), returned = 1; }, {
        [&] {
            HWND sheet = FindWindowA("#32770", "T600 T589.05");
            if (sheet == nullptr)
                return returned;
            opened = true;
            PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
            return 1;
        },
        [&] { return returned; },
    }, 30, 15000);
    EXPECT_TRUE(all) << "the message was not handled to its end";
    EXPECT_EQ(nullptr, FindWindowA("#32770", "T600 T589.05")) << "a sheet stayed open";
    return opened;
}

TEST_F(Tray, DoubleClickAndSecondInstanceOpenTheSheet)
{
    struct Case {
        const char *what;
        uint32_t enabled;
        int open;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool opens;
    } cases[] = {
        {"double-click, enabled", 1, 0, WM_TRAY_NOTIFY, 1, WM_LBUTTONDBLCLK, true},
        {"double-click, disabled", 0, 0, WM_TRAY_NOTIFY, 1, WM_LBUTTONDBLCLK, false},
        {"double-click on another icon", 1, 0, WM_TRAY_NOTIFY, 2, WM_LBUTTONDBLCLK, false},
        {"double-click with the sheet open", 1, 1, WM_TRAY_NOTIFY, 1, WM_LBUTTONDBLCLK, false},
        {"second instance, disabled", 0, 0, WM_OPEN_PROPERTIES, 0, 0, true},
        {"second instance with the sheet open", 1, 1, WM_OPEN_PROPERTIES, 0, 0, false},
        {"Properties command", 1, 0, WM_COMMAND, IDM_PROPERTIES, 0, true},
        {"Properties command with the sheet open", 1, 1, WM_COMMAND, IDM_PROPERTIES, 0, false},
    };
    for (const Case &c : cases) {
        statusBlock->enabled = c.enabled;
        sheetOpen = c.open;
        EXPECT_EQ(c.opens, OpensSheet(c.message, c.wParam, c.lParam)) << c.what;
        EXPECT_EQ(c.open, sheetOpen) << c.what << ": the flag is back as it was";
    }
    sheetOpen = 0;
}

TEST_F(Tray, NewTaskbarGetsTheIconAsShown)
{
    struct Case {
        const char *what;
        uint32_t enabled, showIcon, blinkCount;
        std::string expected;    // icons and tips added for the new taskbar, after one tick
    } cases[] = {
        {"enabled", 1, 1, 0, "enabled/T601 "},
        {"mid-blink", 1, 1, 3, "blink/T601 "},
        {"disabled", 0, 1, 0, "disabled/T602 "},
        {"no icon", 1, 0, 0, ""},
    };
    for (const Case &c : cases) {
        statusBlock->enabled = c.enabled;
        statusBlock->showIcon = c.showIcon;
        statusBlock->blinkCount = c.blinkCount;
        blinkPhase = 1;
        AddTrayIcon();
        SendMessageA(mainWindow, WM_TIMER, MAIN_TIMER_ID, 0);
        calls.clear();
        SendMessageA(mainWindow, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
        EXPECT_EQ(c.expected, Describe(calls)) << c.what;
        for (const Call &call : calls)
            EXPECT_EQ(static_cast<DWORD>(NIM_ADD), call.operation) << c.what;
    }
}

TEST_F(Tray, ToggleFlipsAndChangesTheIconOnlyWhenShown)
{
    struct Case {
        uint32_t showIcon;
        std::string expected;    // icons and tips set by two toggles from enabled
    } cases[] = {
        {1, "disabled/T602 enabled/T601 "},
        {0, ""},
    };
    for (const Case &c : cases) {
        calls.clear();
        statusBlock->showIcon = c.showIcon;
        statusBlock->enabled = 1;
        SendMessageA(mainWindow, WM_COMMAND, IDM_TOGGLE, 0);
        EXPECT_EQ(0u, statusBlock->enabled) << "showIcon " << c.showIcon;
        SendMessageA(mainWindow, WM_COMMAND, IDM_TOGGLE, 0);
        EXPECT_EQ(1u, statusBlock->enabled) << "showIcon " << c.showIcon;
        EXPECT_EQ(c.expected, Describe(calls)) << "showIcon " << c.showIcon;
    }
}

}   // namespace
