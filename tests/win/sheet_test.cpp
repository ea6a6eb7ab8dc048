// The property sheet in process: the page protocol against a recording stand-in for the sheet,
// the Scan options page's fill and read, and the real sheet's frame.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/globals.h"
#include "app/tray.h"
#include "driver/link.h"
#include "driver/protocol.h"
#include "res/resource.h"
#include "sheet/pages.h"
#include "sheet/sheet.h"
#include "tests/settings_snapshot.h"
#include "tests/win/sheet_fixture.h"
#include "tests/win/test_support.h"
#include "tests/vxd/test_driver.h"
#include "vxd/texts/language_texts.h"

namespace {

TEST_F(Sheet, ProtocolFollowsTheNotificationsOfTheSheet)
{
    scanPageDirty = 1;   // left over from an earlier sheet: a fresh page starts clean
    HWND page = CreateScanPage();
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(0, scanPageDirty);
    statusBlock->showIcon = 1;
    CheckDlgButton(page, IDC_SCAN_SHOW_ICON, BST_CHECKED);
    enum Step { CLICK, COMMAND, NOTIFY };
    struct Case {
        const char *what;
        Step step;
        UINT value;          // control or notification code
        std::string expected;
        int dirtyAfter;
        LRESULT result;      // the notification's result, -1 when left unhandled
    } cases[] = {
        {"activation of a clean page", NOTIFY, PSN_SETACTIVE, "", 0, 0},
        {"a frame is no editing control", COMMAND, IDC_SCAN_WHAT_FRAME, "", 0, 0},
        {"a box marks the page", CLICK, IDC_SCAN_ARCHIVES, "changed ", 1, 0},
        {"a choice marks it again", CLICK, IDC_SCAN_ONLY_MACROS, "changed ", 1, 0},
        {"leaving withdraws the mark", NOTIFY, PSN_KILLACTIVE, "unchanged ", 1, FALSE},
        {"coming back restores it", NOTIFY, PSN_SETACTIVE, "changed ", 1, 0},
        {"apply: read (tray first), unmark, code; never refused", NOTIFY, PSN_APPLY,
         "icon-add unchanged scan-code ", 0, PSNRET_NOERROR},
        {"an applied page stays unmarked", NOTIFY, PSN_SETACTIVE, "", 0, 0},
        {"leaving a clean page withdraws all the same", NOTIFY, PSN_KILLACTIVE, "unchanged ", 0, FALSE},
        {"apply of a clean page still reads and tells", NOTIFY, PSN_APPLY, "icon-add unchanged scan-code ", 0,
         PSNRET_NOERROR},
        {"reset is not handled", NOTIFY, PSN_RESET, "", 0, -1},
        {"help is not handled", NOTIFY, PSN_HELP, "", 0, -1},
    };
    for (const Case &c : cases) {
        record.clear();
        LRESULT result = 0;
        if (c.step == CLICK)
            SendDlgItemMessageA(page, c.value, BM_CLICK, 0, 0);
        else if (c.step == COMMAND)
            Command(page, c.value);
        else
            result = Notify(page, c.value);
        EXPECT_EQ(c.expected, record) << c.what;
        EXPECT_EQ(c.dirtyAfter, scanPageDirty) << c.what;
        EXPECT_EQ(c.result, result) << c.what;
    }
    EXPECT_EQ(std::string("\3\0\0\0", 4), TakeSnapshot().values["Type"].bytes) << "the apply saved what it read";

    // Every editing control marks, whatever its notification code; the frames do not.
    const int editing[] = {1000, 1001, 1014, 1015, 1017, 1018, 1066, 1067, 1068, 1069, 1070, 1071, 1095};
    for (int control : editing) {
        scanPageDirty = 0;
        record.clear();
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(control, BN_SETFOCUS), 0);
        EXPECT_EQ("changed ", record) << control;
        EXPECT_EQ(1, scanPageDirty) << control;
    }
    record.clear();
    for (int control : {IDC_SCAN_ON_FRAME, IDC_SCAN_GENERAL_FRAME, 0, 1, 2})
        Command(page, control);
    EXPECT_EQ("", record);
    DestroyWindow(page);
    EXPECT_EQ(1, scanPageDirty) << "the flag outlives the page";
}

TEST_F(Sheet, ScanPageShowsAndStoresEveryField)
{
    struct Fields {
        uint32_t scanType, scanOn, archives, floppyBoot, compressedExe, heuristics, onShutdown, canDisable, showIcon;
    };
    struct Case {
        const char *what;
        Fields stored;
        std::vector<int> ticked;     // in template order
        std::vector<int> clicks;     // between fill and apply
        Fields applied;
        const char *tray;
    } cases[] = {
        {"all on", {1, 1, 1, 1, 1, 1, 1, 1, 1},
         {1017, 1000, 1001, 1015, 1014, 1066, 1069, 1070, 1071}, {}, {1, 1, 1, 1, 1, 1, 1, 1, 1}, "icon-add "},
        {"nonzero flags are stored as 1", {3, 2, 7, 2, 0x80000000u, 5, 9, 4, 3},
         {1095, 1000, 1001, 1015, 1014, 1067, 1069, 1070, 1071}, {}, {3, 2, 1, 1, 1, 1, 1, 1, 1}, "icon-add "},
        {"all off", {2, 3, 0, 0, 0, 0, 0, 0, 0}, {1018, 1068}, {}, {2, 3, 0, 0, 0, 0, 0, 0, 0}, "icon-delete "},
        {"out of range: no choice shown, all files and both stored", {0, 0, 0, 0, 0, 0, 0, 0, 1}, {1071}, {},
         {2, 3, 0, 0, 0, 0, 0, 0, 1}, "icon-add "},
        {"out of range above", {4, 7, 0, 0, 0, 0, 0, 0, 1}, {1071}, {}, {2, 3, 0, 0, 0, 0, 0, 0, 1}, "icon-add "},
        {"choices and boxes clicked before the apply", {4, 7, 1, 0, 0, 0, 0, 1, 1}, {1000, 1070, 1071},
         {1017, 1066, 1000, 1014, 1071}, {1, 1, 0, 0, 0, 1, 0, 1, 0}, "icon-delete "},
        {"the last choice of a group wins", {1, 1, 0, 0, 0, 0, 0, 0, 0}, {1017, 1066}, {1095, 1067},
         {3, 2, 0, 0, 0, 0, 0, 0, 0}, "icon-delete "},
    };
    const int boxes[] = {1017, 1095, 1018, 1000, 1001, 1015, 1014, 1066, 1067, 1068, 1069, 1070, 1071};
    for (const Case &c : cases) {
        const Fields &s = c.stored;
        InstallTestDriver();
        statusBlock->scanType = s.scanType, statusBlock->scanOn = s.scanOn, statusBlock->archives = s.archives;
        statusBlock->floppyBoot = s.floppyBoot, statusBlock->compressedExe = s.compressedExe;
        statusBlock->heuristics = s.heuristics, statusBlock->onShutdown = s.onShutdown;
        statusBlock->canDisable = s.canDisable, statusBlock->showIcon = s.showIcon;
        HWND page = CreateScanPage();
        std::vector<int> ticked;
        for (int box : boxes) {
            if (IsDlgButtonChecked(page, box) == BST_CHECKED)
                ticked.push_back(box);
        }
        EXPECT_EQ(c.ticked, ticked) << c.what;
        for (int control : c.clicks)
            SendDlgItemMessageA(page, control, BM_CLICK, 0, 0);
        record.clear();
        Notify(page, PSN_APPLY);
        const StatusBlock &b = *statusBlock;
        Fields applied = {b.scanType,      b.scanOn,     b.archives,   b.floppyBoot, b.compressedExe,
                          b.heuristics,    b.onShutdown, b.canDisable, b.showIcon};
        EXPECT_EQ(0, std::memcmp(&c.applied, &applied, sizeof applied)) << c.what;
        EXPECT_EQ(std::string(c.tray) + "unchanged scan-code ", record) << c.what;
        DestroyWindow(page);
    }
}

std::vector<std::string> TabTitles(HWND sheet)
{
    HWND tabs = PropSheet_GetTabControl(sheet);
    std::vector<std::string> titles;
    for (int i = 0; i < TabCtrl_GetItemCount(tabs); i++) {
        char text[256] = "";
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        titles.push_back(text);
    }
    return titles;
}

int markFired;   // set by MarkTimer

void CALLBACK MarkTimer(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    markFired = 1;
}

TEST_F(Sheet, FrameSwitchesLanguageFirstAndCutsTextsToFit)
{
    struct Case {
        const char *what;
        int pending;
        std::string product, version, scanTitle;
        const char *box;            // the message shown before the sheet, or nullptr
        std::string caption, firstTitle;
        int refused;                // 1: the registry refuses the saves of the OK
    } cases[] = {
        {"a refused switch: the message, then the old language", 1, "T600", "T589", "T611",
         "Can not load new language", "T600 T589.05", "T611", 0},
        {"51 characters fit", 0, std::string(44, 'P'), "1", std::string(51, 'S'), nullptr,
         std::string(44, 'P') + " 1.05", std::string(51, 'S'), 0},
        {"longer texts are cut to 51", 0, std::string(60, 'P'), "1", std::string(70, 'S'), nullptr,
         std::string(51, 'P'), std::string(51, 'S'), 0},
        // Last: the fixture brings the key back.
        {"saves refused: told once for the OK", 0, "T600", "T589", "T611", nullptr, "T600 T589.05", "T611", 1},
    };
    for (const Case &c : cases) {
        InstallTestDriver();
        SetTestText(600, c.product);
        SetTestText(589, c.version);
        SetTestText(611, c.scanTitle);
        languageSwitchPending = c.pending;
        languageId = 2;
        std::string box = "none";
        HWND sheetWindow = nullptr;
        std::vector<std::string> told;   // message boxes after the OK
        record.clear();
        PostMessageA(mainWindow, WM_OPEN_PROPERTIES, 0, 0);
        int all = RunSteps({
            [&] {
                HWND active = GetActiveWindow();   // a message box first, if any, then the sheet
                if (GetDlgItem(active, 0xFFFF) != nullptr) {
                    // Another request for the sheet, which this box's loop may take, must find it open.
                    EXPECT_EQ(1, sheetOpen) << "the sheet counts as open from its first step";
                    box = WindowText(GetDlgItem(active, 0xFFFF)) + " / " + WindowText(active);
                    PostMessageA(active, WM_COMMAND, IDOK, 0);
                    return 0;
                }
                sheetWindow = active;
                return PropSheet_GetTabControl(active) != nullptr ? 1 : 0;
            },
            [&] {
                EXPECT_EQ(1, sheetOpen) << c.what;
                EXPECT_EQ(c.caption, WindowText(sheetWindow)) << c.what;
                std::vector<std::string> expected = {c.firstTitle, "T613", "T614", "T616", "T612", "T615"};
                EXPECT_EQ(expected, TabTitles(sheetWindow)) << c.what;
                HWND page = PropSheet_GetCurrentPageHwnd(sheetWindow);
                EXPECT_EQ("T617", WindowText(GetDlgItem(page, IDC_SCAN_WHAT_FRAME))) << "opens on the first page, labelled";
                HWND help = GetDlgItem(sheetWindow, IDHELP);
                EXPECT_TRUE(help != nullptr && IsWindowVisible(help) && !IsWindowEnabled(help)) << "Help shown disabled";
                EXPECT_FALSE(IsWindowEnabled(GetDlgItem(sheetWindow, 0x3021))) << "Apply starts disabled";
                PropSheet_SetCurSel(sheetWindow, nullptr, 1);
                if (c.refused)
                    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brannholt\\Torvane");   // the store never creates it
                PropSheet_PressButton(sheetWindow, PSBTN_OK);
                return 1;
            },
            [&] {
                if (sheetOpen != 0)
                    return 0;
                // A timer set now comes after any the OK's saves set (as short, set earlier): the
                // message a refused save waits on it for is on screen by the time this one fires.
                markFired = 0;
                return SetTimer(nullptr, 0, 0, MarkTimer) != 0 ? 1 : 0;
            },
            [&] {   // message boxes after the OK, up to the mark
                HWND shown = FindOwnDialog([](HWND w) { return GetDlgItem(w, 0xFFFF) != nullptr ? 1 : 0; });
                if (shown == nullptr)
                    return markFired;
                if (PostMessageA(shown, WM_COMMAND, IDOK, 0))
                    told.push_back(WindowText(GetDlgItem(shown, 0xFFFF)) + " / " + WindowText(shown));
                return 0;
            },
        });
        EXPECT_TRUE(all) << c.what;
        EXPECT_EQ(c.refused ? std::vector<std::string>{"Can not save the settings. / T600"} : std::vector<std::string>{},
                  told) << c.what;
        EXPECT_EQ(SCAN_ALL, statusBlock->scanType) << "applied, and in force saved or not: " << c.what;
        EXPECT_EQ(c.box ? std::string(c.box) + " / T600" : "none", box) << c.what;
        EXPECT_EQ(0, languageSwitchPending) << c.what;
        EXPECT_EQ(2u, languageId) << "a refused language stays chosen: " << c.what;
        EXPECT_EQ("icon-delete scan-code action-code ", record) << "OK applies the visited editing pages only: " << c.what;
    }
}

// A language chosen while the sheet was closed, against the reference driver (which stays loaded
// in its process, hence a child process): the next opening switches first, then shows the new
// language everywhere and stores its number.
void OpenAfterChoosingGerman(void)
{
    TestDriver driver;
    if (!LoadTestDriver("sheet", "Watch=none\r\nJournal=journal.txt\r\n", &driver)
        || !SetCurrentDirectoryA(driver.folder.c_str()) || !OpenDriver("Torvane.VXD")
        || !BuildProgramDir(programDir, sizeof programDir) || !ConnectDriver(programDir, CreateTestMainWindow())) {
        std::fprintf(stderr, "the driver was not loaded\n");
        std::exit(1);
    }
    languageId = 1;
    languageSwitchPending = 1;
    std::string shown;
    PostMessageA(mainWindow, WM_OPEN_PROPERTIES, 0, 0);
    RunSteps({
        [&] { return PropSheet_GetTabControl(GetActiveWindow()) != nullptr ? 1 : 0; },
        [&] {
            HWND sheetWindow = GetActiveWindow();
            shown = WindowText(sheetWindow) + " / " + TabTitles(sheetWindow)[0] + " / "
                    + WindowText(GetDlgItem(PropSheet_GetCurrentPageHwnd(sheetWindow), IDC_SCAN_ON_BOTH));
            PropSheet_PressButton(sheetWindow, PSBTN_CANCEL);
            return 1;
        },
    });
    std::string stored = TakeSnapshot().values["Language"].bytes;
    std::fprintf(stderr, "shown %s, stored language %d, pending %d\n", shown.c_str(), stored.empty() ? -1 : stored[0],
                 languageSwitchPending);
    std::exit(0);
}

TEST_F(Sheet, LanguageChosenEarlierShowsFromTheNextOpening)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    std::string german = std::string("Torvane 1.05 / Pr\xFC") + "foptionen / Bei&dem";
    EXPECT_EXIT(OpenAfterChoosingGerman(), testing::ExitedWithCode(0),
                "shown " + german + ", stored language 1, pending 0");
}

}   // namespace
