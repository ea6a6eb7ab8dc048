// The virus alert driven through MainWindowProc, with detections posted as the driver posts them.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "alert/alert.h"
#include "app/globals.h"
#include "driver/address.h"
#include "driver/link.h"
#include "tests/win/test_support.h"

namespace {

// The driver's texts live in its own memory below 4 GB; static storage of the test exe is too.
char names[8][2100];

LPARAM Detection(int slot, const std::string &oemName)
{
    std::memset(names[slot], 0, sizeof names[slot]);
    std::memcpy(names[slot], oemName.data(), std::min(oemName.size(), sizeof names[slot] - 1));
    return static_cast<LPARAM>(Address32(names[slot]));
}

HWND FindAlert(void)
{
    return FindWindowA("#32770", "T608");
}

// The list view of the open alert (it has no id: found by its class).
HWND AlertList(void)
{
    return FindWindowExA(FindAlert(), nullptr, "SysListView32", nullptr);
}

int RowCount(void)
{
    return static_cast<int>(SendMessageA(AlertList(), LVM_GETITEMCOUNT, 0, 0));
}

std::string Row(int index)
{
    static char text[4096];
    LVITEMA item = {};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    text[0] = 0;
    SendMessageA(AlertList(), LVM_GETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
    return text;
}

int ColumnWidth(void)
{
    return static_cast<int>(SendMessageA(AlertList(), LVM_GETCOLUMNWIDTH, 0, 0));
}

// Whether the last WM_SETREDRAW of the alert's list turned drawing off.
WNDPROC listProc;
int redrawOff;
LRESULT CALLBACK WatchRedraw(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETREDRAW)
        redrawOff = !wParam;
    return CallWindowProcA(listProc, list, message, wParam, lParam);
}

void PressKey(HWND alert, WPARAM key)
{
    // Posted to the focused control, as a real key press arrives, so the dialog's own loop sees it.
    HWND focus = GetFocus();
    PostMessageA(focus != nullptr ? focus : alert, WM_KEYDOWN, key, 0);
    PostMessageA(focus != nullptr ? focus : alert, WM_KEYUP, key, 0xC0000000);
}

class Alert : public testing::Test {
protected:
    void SetUp() override
    {
        InstallTestDriver();
        CreateTestMainWindow();
        alertDialogOpen = 0;
    }
    void TearDown() override
    {
        HWND alert = FindAlert();
        if (alert != nullptr)
            EndDialog(alert, 0);
        DestroyTestMainWindow();
    }
};

TEST_F(Alert, RowsArriveOnTopAndOnlyOkCloses)
{
    const std::string longName = "C:\\" + std::string(180, 'L') + "\\VIRUS.COM";
    int initialWidth = 0;
    int widened = 0;
    std::string label, title;
    PostMessageA(mainWindow, WM_VIRUS_FOUND, 0, Detection(0, "C:\\FIRST.COM"));
    int all = RunSteps({
        [&] { return FindAlert() != nullptr; },
        [&] {
            EXPECT_EQ(1, RowCount());
            EXPECT_EQ("C:\\FIRST.COM", Row(0));
            EXPECT_EQ(1u, statusBlock->alertOpen);
            EXPECT_EQ(1, alertDialogOpen);
            label = WindowText(GetDlgItem(FindAlert(), 1142));
            title = WindowText(FindAlert());
            initialWidth = ColumnWidth();
            PostMessageA(mainWindow, WM_VIRUS_FOUND, 0, Detection(1, "C:\\SECOND.EXE"));
            PostMessageA(mainWindow, WM_VIRUS_FOUND, 0, Detection(2, longName));
            return 1;
        },
        [&] { return RowCount() == 3; },
        [&] {
            EXPECT_EQ(longName, Row(0));
            EXPECT_EQ("C:\\SECOND.EXE", Row(1));
            EXPECT_EQ("C:\\FIRST.COM", Row(2));
            widened = ColumnWidth();
            EXPECT_GT(widened, initialWidth) << "a name wider than the column widens it";
            PostMessageA(mainWindow, WM_VIRUS_FOUND, 0, Detection(3, "A:\\X.COM"));
            return 1;
        },
        [&] { return RowCount() == 4; },
        [&] {
            // A row, then a detection that is ignored: the list is drawn again all the same.
            listProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrA(AlertList(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchRedraw)));
            PostMessageA(mainWindow, WM_VIRUS_FOUND, 0, Detection(5, "B:\\Y.COM"));
            PostMessageA(mainWindow, WM_VIRUS_FOUND, 0, 0x10);
            return 1;
        },
        [&] { return RowCount() == 5; },
        [&] {
            EXPECT_EQ(0, redrawOff) << "the list was left frozen";
            EXPECT_EQ(widened, ColumnWidth()) << "a narrower name never narrows the column";
            PressKey(FindAlert(), VK_ESCAPE);
            SendMessageA(FindAlert(), WM_SYSCOMMAND, SC_CLOSE, 0);
            SendMessageA(FindAlert(), WM_COMMAND, IDCANCEL, 0);
            return 1;
        },
        [&] {
            EXPECT_NE(nullptr, FindAlert()) << "Esc and the close box leave the alert open";
            EXPECT_EQ(1, alertDialogOpen);
            PressKey(FindAlert(), VK_RETURN);
            return 1;
        },
        [&] { return FindAlert() == nullptr; },
    });
    ASSERT_TRUE(all) << "the alert did not go through its steps";
    EXPECT_EQ("T701", label);
    EXPECT_EQ("T608", title);
    EXPECT_EQ(0, alertDialogOpen);
    EXPECT_EQ(0u, statusBlock->alertOpen);

    // The next detection opens a fresh alert listing only the new file, its column back at the list width.
    PostMessageA(mainWindow, WM_VIRUS_FOUND, 0, Detection(4, "C:\\NEXT.COM"));
    all = RunSteps({
        [&] { return FindAlert() != nullptr; },
        [&] {
            EXPECT_EQ(1, RowCount());
            EXPECT_EQ("C:\\NEXT.COM", Row(0));
            EXPECT_EQ(initialWidth, ColumnWidth());
            EXPECT_EQ(1u, statusBlock->alertOpen);
            SendMessageA(FindAlert(), WM_COMMAND, IDOK, 0);
            return 1;
        },
        [&] { return FindAlert() == nullptr; },
    });
    EXPECT_TRUE(all);
}

TEST_F(Alert, NamesAreConvertedAndCutSafely)
{
    // "C:\GRÜN\Ä.COM" in code page 437 (Ü 0x9A, Ä 0x8E) reaches the list in code page 1252 (0xDC, 0xC4).
    std::string oem = "C:\\GR\x9AN\\\x8E.COM";
    std::string ansi = "C:\\GR\xDCN\\\xC4.COM";
    std::string huge(2000, 'N');
    std::string row0, row1;
    PostMessageA(mainWindow, WM_VIRUS_FOUND, 0, Detection(0, oem));
    PostMessageA(mainWindow, WM_VIRUS_FOUND, 0, Detection(1, huge));
    int all = RunSteps({
        [&] { return FindAlert() != nullptr && RowCount() == 2; },
        [&] {
            row0 = Row(0);
            row1 = Row(1);
            SendMessageA(FindAlert(), WM_COMMAND, IDOK, 0);
            return 1;
        },
        [&] { return FindAlert() == nullptr; },
    });
    ASSERT_TRUE(all);
    EXPECT_EQ(std::string(ALERT_NAME_SIZE - 1, 'N'), row0) << "a name of 2000 characters is cut to 1023";
    EXPECT_EQ(ansi, row1);
}

TEST_F(Alert, TemplateAndListHaveTheirDesignedForm)
{
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(134), MAKEINTRESOURCEA(5));   // RT_DIALOG
    ASSERT_NE(nullptr, resource);
    const DLGTEMPLATE *dialog = static_cast<const DLGTEMPLATE *>(LockResource(LoadResource(nullptr, resource)));
    EXPECT_EQ(0x80C80AC2u, dialog->style);
    EXPECT_EQ(3, dialog->cdit);
    EXPECT_EQ(290, dialog->cx);
    EXPECT_EQ(170, dialog->cy);

    LONG_PTR style = 0;
    RECT frame = {}, list = {};
    PostMessageA(mainWindow, WM_VIRUS_FOUND, 0, Detection(0, "C:\\A.COM"));
    int all = RunSteps({
        [&] { return FindAlert() != nullptr; },
        [&] {
            style = GetWindowLongPtrA(AlertList(), GWL_STYLE);
            GetWindowRect(FindAlert(), &frame);
            GetWindowRect(AlertList(), &list);
            MapWindowPoints(nullptr, FindAlert(), reinterpret_cast<POINT *>(&list), 2);
            SendMessageA(FindAlert(), WM_COMMAND, IDOK, 0);
            return 1;
        },
        [&] { return FindAlert() == nullptr; },
    });
    ASSERT_TRUE(all);
    EXPECT_EQ(0x50804005, style & 0xFFFFFFFF & ~(WS_HSCROLL | WS_VSCROLL)) << "scroll bars come and go with the rows";
    EXPECT_EQ(10, list.left);
    EXPECT_EQ(70, list.top);
    EXPECT_EQ(frame.right - frame.left - 26, list.right - list.left);
    EXPECT_EQ(frame.bottom - frame.top - 160, list.bottom - list.top);
}

}   // namespace
