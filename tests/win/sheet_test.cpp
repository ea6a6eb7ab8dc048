// The property sheet in process: the page protocol against a recording stand-in for the sheet,
// the Scan options page's fill and read, the real sheet's frame, and the extensions dialog.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/globals.h"
#include "app/tray.h"
#include "driver/address.h"
#include "driver/link.h"
#include "driver/protocol.h"
#include "res/resource.h"
#include "sheet/pages.h"
#include "sheet/sheet.h"
#include "tests/settings_snapshot.h"
#include "tests/win/sheet_fixture.h"
#include "tests/win/test_support.h"

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
    EXPECT_EQ(3u, StoredNumber("Type")) << "the apply saved what it read";

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

int IsMessageBox(HWND window)
{
    return GetDlgItem(window, 0xFFFF) != nullptr;
}

int IsPropertySheet(HWND window)
{
    return FindWindowExA(window, nullptr, WC_TABCONTROLA, nullptr) != nullptr;
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

TEST_F(Sheet, FrameSwitchesLanguageFirstAndCutsTextsToFit)
{
    struct Case {
        const char *what;
        int pending;
        std::string product, version, scanTitle;
        const char *box;            // the message shown before the sheet, or nullptr
        std::string caption, firstTitle;
    } cases[] = {
        {"a refused switch: the message, then the old language", 1, "T600", "T589", "T611",
         "Can not load new language", "T600 T589.05", "T611"},
        {"51 characters fit", 0, std::string(44, 'P'), "1", std::string(51, 'S'), nullptr,
         std::string(44, 'P') + " 1.05", std::string(51, 'S')},
        {"longer texts are cut to 51", 0, std::string(60, 'P'), "1", std::string(70, 'S'), nullptr,
         std::string(51, 'P'), std::string(51, 'S')},
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
        record.clear();
        PostMessageA(mainWindow, WM_OPEN_PROPERTIES, 0, 0);
        int all = RunSteps({
            [&] {
                HWND found = FindOwnDialog(IsMessageBox);
                if (found != nullptr) {
                    box = WindowText(GetDlgItem(found, 0xFFFF)) + " / " + WindowText(found);
                    PostMessageA(found, WM_COMMAND, IDOK, 0);
                }
                return (sheetWindow = FindOwnDialog(IsPropertySheet)) != nullptr;
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
                PropSheet_PressButton(sheetWindow, PSBTN_OK);
                return 1;
            },
            [&] { return sheetOpen == 0; },
        });
        EXPECT_TRUE(all) << c.what;
        EXPECT_EQ(c.box ? std::string(c.box) + " / T600" : "none", box) << c.what;
        EXPECT_EQ(0, languageSwitchPending) << c.what;
        EXPECT_EQ(2u, languageId) << "a refused language stays chosen: " << c.what;
        EXPECT_EQ("icon-delete scan-code action-code ", record) << "OK applies the visited editing pages only: " << c.what;
    }
}

TEST_F(Sheet, ExtensionsDialogReadsOddListsAndWritesOnlyOnClose)
{
    char *inUse = TestBuffer(&StatusBlock::inUse);
    std::strcpy(TestBuffer(&StatusBlock::extensions), "EXE,COM,BAT");
    std::string full;   // 1020 characters: one more entry no longer fits
    for (int i = 0; full.size() < 1020; i++)
        full += (i ? "," : "") + std::to_string(100 + i % 900);
    full.resize(1020);
    struct Case {
        const char *what;
        std::string stored;
        std::vector<std::string> rows;    // shown at opening, sorted
        std::vector<std::string> typed;   // each typed and added
        std::vector<std::string> after;   // rows before the dialog is left
        int close;                        // 1 Close, 0 Cancel
        std::string written;              // inUse afterwards
    } cases[] = {
        {"empty runs give empty rows; a long entry keeps seven characters", "exe,LONGENTRY,,COM",
         {"", "COM", "exe", "LONGENT"}, {"exe", "c,m", "co", "c*m"}, {"", "COM", "EXE", "exe", "LONGENT"}, 1,
         ",COM,EXE,exe,LONGENT"},
        {"cancel writes nothing", "COM", {"COM"}, {"bat"}, {"BAT", "COM"}, 0, "COM"},
        {"no room for one more entry", full, {}, {"XYZ"}, {}, 1, ""},
    };
    for (const Case &c : cases) {
        std::memset(inUse, 0, IN_USE_SIZE);
        std::memcpy(inUse, c.stored.data(), c.stored.size());
        extensionsChanged = 0;
        HWND page = CreateScanPage();
        record.clear();
        std::vector<std::string> rows, after;
        PostMessageA(page, WM_COMMAND, IDC_SCAN_PROGRAMS, 0);
        HWND dialog = nullptr;
        auto rowsOf = [&](std::vector<std::string> *out) {
            HWND list = GetDlgItem(dialog, IDC_EXT_LIST);
            for (int i = 0; i < SendMessageA(list, LB_GETCOUNT, 0, 0); i++) {
                char row[64] = "";
                SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(row));
                out->push_back(row);
            }
        };
        int all = RunSteps({
            [&] { return (dialog = FindOwnDialog([](HWND w) { return WindowText(w) == "T697" ? 1 : 0; })) != nullptr; },
            [&] {
                EXPECT_EQ("T683", WindowText(GetDlgItem(dialog, IDC_EXT_LABEL)));
                rowsOf(&rows);
                for (const std::string &typed : c.typed) {
                    SetDlgItemTextA(dialog, IDC_EXT_EDIT, "");
                    for (char letter : typed)
                        SendDlgItemMessageA(dialog, IDC_EXT_EDIT, WM_CHAR, static_cast<unsigned char>(letter), 1);
                    SendDlgItemMessageA(dialog, IDC_EXT_ADD, BM_CLICK, 0, 0);
                }
                rowsOf(&after);
                SendDlgItemMessageA(dialog, c.close ? IDOK : IDCANCEL, BM_CLICK, 0, 0);
                return 1;
            },
            [&] { return !IsWindow(dialog); },
        });
        EXPECT_TRUE(all) << c.what;
        if (!c.rows.empty()) {
            EXPECT_EQ(c.rows, rows) << c.what;
            EXPECT_EQ(c.after, after) << c.what;
        } else {
            EXPECT_EQ(rows, after) << c.what;
        }
        EXPECT_EQ(c.written.empty() ? c.stored : c.written, std::string(inUse)) << c.what;
        EXPECT_EQ("", record) << "the page is not marked: " << c.what;
        EXPECT_EQ(c.close ? 0 : 1, extensionsChanged) << "the flag outlives a cancelled dialog: " << c.what;
        DestroyWindow(page);
    }
}

}   // namespace
