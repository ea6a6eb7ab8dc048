// The robot's own eyes and hands: what it reads from a message box must be what the box shows,
// and its helpers must work a property sheet and the file dialogs as a user would.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>
#include <gtest/gtest.h>
#include <shellapi.h>

#include <string>

#include "tests/e2e/robot.h"

struct OwnBox {
    const char *text;
    UINT style;
};

static DWORD WINAPI ShowBox(LPVOID parameter)
{
    const OwnBox *box = static_cast<const OwnBox *>(parameter);
    MessageBoxA(nullptr, box->text, "robot check", box->style);
    return 0;
}

TEST(Robot, TellsTheStopIconFromTheOthers)
{
    struct Case {
        UINT icon;
        int expected;
    } cases[] = {
        {MB_ICONERROR, 1},
        {MB_ICONWARNING, 0},
        {MB_ICONINFORMATION, 0},
        {MB_ICONQUESTION, 0},
        {0, -1},                  // no icon at all: nothing to tell
    };
    for (const Case &c : cases) {
        OwnBox box = {"Which icon is this?", c.icon | MB_OK};
        HANDLE thread = CreateThread(nullptr, 0, ShowBox, &box, 0, nullptr);
        ASSERT_NE(nullptr, thread);
        HWND window = WaitForMessageBox(GetCurrentProcessId(), ROBOT_TIMEOUT_MS);
        ASSERT_NE(nullptr, window);
        MessageBoxView view;
        EXPECT_TRUE(ReadMessageBox(window, &view));
        EXPECT_EQ(c.expected, view.stopIcon) << "icon style 0x" << std::hex << c.icon;
        EXPECT_EQ("robot check", view.caption);
        EXPECT_EQ("Which icon is this?", view.text);
        PressButton(window, IDOK);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, ROBOT_TIMEOUT_MS));
        CloseHandle(thread);
    }
}

// Torvane's three looks and another icon, shown in the tray by the robot itself: each told apart,
// and the icons counted.
TEST(Robot, TellsTrayIconsApart)
{
    ASSERT_TRUE(WaitUntil([] { return !TrayIconShown(); }, ROBOT_TIMEOUT_MS)) << "an icon of an earlier run";
    ASSERT_EQ(0, TrayIconCount());
    HMODULE program = LoadLibraryExA((BuildFolder() + "\\app\\Torvane.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, program);
    HWND owner = CreateWindowExA(0, "STATIC", "robot check", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    NOTIFYICONDATAA record = RobotTrayIcon(owner, 7, LoadIconA(nullptr, IDI_HAND));
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &record));
    for (int look : {IDI_ENABLED, IDI_BLINK, IDI_DISABLED, 0}) {
        record.hIcon = look != 0 ? LoadIconA(program, MAKEINTRESOURCEA(look)) : LoadIconA(nullptr, IDI_HAND);
        EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &record));
        EXPECT_TRUE(WaitUntil([&] { return TrayIconShown() && TrayIconLook() == look; }, ROBOT_TIMEOUT_MS))
            << look << ", told " << TrayIconLook();
    }
    EXPECT_EQ(1, TrayIconCount());
    Shell_NotifyIconA(NIM_DELETE, &record);
    DestroyWindow(owner);
    EXPECT_EQ(0, TrayIconCount());
}

// ---- A property sheet and file dialogs of the robot's own, driven through the same helpers ----

// An in-memory dialog template: a header, then one item per control, each on a 4-byte boundary.
struct OwnControl {
    WORD atom;        // 0x0080 button, 0x0081 edit, 0x0082 static, 0x0083 list box, 0x0085 combo box
    DWORD style;
    WORD id;
    const wchar_t *text;
    short y;
};

static std::vector<WORD> PageTemplate(const std::vector<OwnControl> &controls)
{
    std::vector<WORD> words;
    auto put = [&](const void *data, size_t bytes) {
        const WORD *w = static_cast<const WORD *>(data);
        words.insert(words.end(), w, w + bytes / 2);
    };
    auto align = [&] {
        if (words.size() % 2)
            words.push_back(0);
    };
    DLGTEMPLATE header = {WS_CHILD | DS_CONTROL, 0, static_cast<WORD>(controls.size()), 0, 0, 200, 120};
    put(&header, sizeof header);
    words.insert(words.end(), {0, 0, 0});   // no menu, the dialog class, no title
    for (const OwnControl &c : controls) {
        align();
        DLGITEMTEMPLATE item = {c.style | WS_CHILD | WS_VISIBLE, 0, 8, c.y, 150, 12, c.id};
        put(&item, sizeof item);
        words.insert(words.end(), {0xFFFF, c.atom});
        put(c.text, (wcslen(c.text) + 1) * sizeof(wchar_t));
        words.push_back(0);                  // no creation data
    }
    return words;
}

// What the pages of the robot's sheet were told, read by the test's thread.
static volatile LONG clicks, edits, picks, applies;

static INT_PTR CALLBACK OwnPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(page, 104, "old");   // filled as a page fills its edits: not modified
        for (const char *row : {"alpha", "beta", "gamma"}) {
            SendDlgItemMessageA(page, 201, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
            SendDlgItemMessageA(page, 202, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
        }
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            InterlockedIncrement(&clicks);
        else if (HIWORD(wParam) == EN_CHANGE)
            InterlockedIncrement(&edits);
        else if (HIWORD(wParam) == CBN_SELCHANGE || HIWORD(wParam) == LBN_SELCHANGE)
            InterlockedIncrement(&picks);
        else
            return FALSE;
        SendMessageA(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
        return TRUE;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR *>(lParam)->code != static_cast<UINT>(PSN_APPLY))
            return FALSE;
        InterlockedIncrement(&applies);
        SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
        return TRUE;
    }
    return FALSE;
}

static DWORD WINAPI ShowOwnSheet(LPVOID)
{
    static const std::vector<WORD> first = PageTemplate({
        {0x0080, BS_AUTOCHECKBOX, 101, L"Check", 4},
        {0x0080, BS_AUTORADIOBUTTON | WS_GROUP, 102, L"Radio A", 20},
        {0x0080, BS_AUTORADIOBUTTON, 103, L"Radio B", 36},
        {0x0081, WS_BORDER | ES_AUTOHSCROLL | WS_GROUP, 104, L"", 52},
        {0x0080, BS_PUSHBUTTON | WS_DISABLED, 105, L"Off", 68},
    });
    static const std::vector<WORD> second = PageTemplate({
        {0x0083, WS_BORDER | LBS_NOTIFY | LBS_HASSTRINGS, 201, L"", 4},
        {0x0085, CBS_DROPDOWNLIST | CBS_HASSTRINGS | WS_VSCROLL, 202, L"", 60},
    });
    PROPSHEETPAGEA pages[2] = {};
    const std::vector<WORD> *templates[2] = {&first, &second};
    for (int i = 0; i < 2; i++) {
        pages[i].dwSize = sizeof pages[i];
        pages[i].dwFlags = PSP_DLGINDIRECT;
        pages[i].pResource = reinterpret_cast<LPCDLGTEMPLATEA>(templates[i]->data());
        pages[i].pfnDlgProc = OwnPageProc;
    }
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOCONTEXTHELP;
    header.pszCaption = "robot sheet";
    header.nPages = 2;
    header.ppsp = pages;
    return static_cast<DWORD>(PropertySheetA(&header));
}

TEST(Robot, DrivesAPropertySheetOfItsOwn)
{
    InitCommonControls();
    for (int button : {IDOK, IDCANCEL}) {
        SCOPED_TRACE(button == IDOK ? "closed with OK" : "closed with Cancel");
        clicks = edits = picks = applies = 0;
        HANDLE thread = CreateThread(nullptr, 0, ShowOwnSheet, nullptr, 0, nullptr);
        HWND sheet = WaitForSheet(GetCurrentProcessId(), ROBOT_TIMEOUT_MS, "robot sheet");
        ASSERT_NE(nullptr, sheet);
        EXPECT_EQ(1u, OpenSheets(GetCurrentProcessId(), "robot sheet").size());
        HWND page = CurrentPage(sheet);
        EXPECT_EQ(0, ApplyEnabled(sheet));
        EXPECT_EQ((std::vector<int>{1, 0, -1}), (std::vector<int>{ControlEnabled(page, 104), ControlEnabled(page, 105),
                                                                  ControlEnabled(page, 999)}));
        EXPECT_EQ(0, PressButton(page, 105)) << "a disabled button cannot be clicked";

        EXPECT_TRUE(SetTicked(page, 101, 1));
        EXPECT_TRUE(SetTicked(page, 103, 1));
        EXPECT_EQ(0, IsTicked(page, 102)) << "the other radio button of the group";
        EXPECT_TRUE(SetTicked(page, 101, 0));
        EXPECT_TRUE(SetTicked(page, 101, 0)) << "already clear: no click";
        EXPECT_TRUE(WaitUntil([] { return clicks == 3; }, 5000)) << clicks;
        EXPECT_EQ(1, ApplyEnabled(sheet)) << "the page's WM_COMMAND reached it";

        EXPECT_EQ(0, EditModified(page, 104));
        edits = 0;   // the fill's own EN_CHANGE is behind us
        EXPECT_TRUE(TypeText(page, 104, "C:\\Temp"));
        EXPECT_EQ("C:\\Temp", ControlText(page, 104));
        EXPECT_EQ(1, EditModified(page, 104));
        EXPECT_EQ(8, edits) << "one EN_CHANGE for the deletion and one per character";

        HWND second = SelectPage(sheet, 1);
        ASSERT_NE(nullptr, second);
        EXPECT_NE(page, second);
        EXPECT_EQ(0, PressButton(page, 101)) << "a page not on display cannot be clicked";
        for (int id : {201, 202}) {
            EXPECT_EQ((std::vector<std::string>{"alpha", "beta", "gamma"}), ControlRows(second, id)) << id;
            EXPECT_EQ(-1, SelectedRow(second, id));
            EXPECT_TRUE(SelectRow(second, id, 2));
            EXPECT_EQ(2, SelectedRow(second, id));
        }
        EXPECT_TRUE(WaitUntil([] { return picks == 2; }, 5000)) << picks;

        if (button == IDOK) {
            EXPECT_TRUE(PressSheetButton(sheet, SHEET_APPLY));
        }
        EXPECT_EQ(button == IDOK ? 2 : 0, applies) << "both pages apply";
        EXPECT_TRUE(PressSheetButton(sheet, button));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, ROBOT_TIMEOUT_MS));
        EXPECT_EQ(button == IDOK ? 4 : 0, applies) << "OK applies both pages again";
        CloseHandle(thread);
    }
}

struct OwnFileDialog {
    int save;              // GetSaveFileNameA in the old style with its name edit hidden, else
                           // GetOpenFileNameA in the Explorer style
    char file[MAX_PATH];
    int result;
};

static UINT_PTR CALLBACK HideNameEdit(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG)
        ShowWindow(GetDlgItem(dialog, edt1), SW_HIDE);
    return message == WM_INITDIALOG;
}

static DWORD WINAPI ShowOwnFileDialog(LPVOID parameter)
{
    OwnFileDialog *own = static_cast<OwnFileDialog *>(parameter);
    OPENFILENAMEA name = {};
    name.lStructSize = sizeof name;
    name.lpstrFile = own->file;
    name.nMaxFile = sizeof own->file;
    name.Flags = own->save ? OFN_ENABLEHOOK : OFN_EXPLORER | OFN_FILEMUSTEXIST;
    name.lpfnHook = own->save ? HideNameEdit : nullptr;
    own->result = own->save ? GetSaveFileNameA(&name) : GetOpenFileNameA(&name);
    return 0;
}

TEST(Robot, AnswersFileDialogsOfItsOwn)
{
    std::string folder;
    ASSERT_TRUE(PrepareFolder(ScenarioName(), FolderSetup(), &folder));
    std::string path = folder + "\\Torvane.ini";   // there, as the open dialog wants
    for (int save : {0, 1}) {
        for (int ok : {1, 0}) {
            SCOPED_TRACE(std::string(save ? "old-style save" : "Explorer-style open") + (ok ? ", OK" : ", Cancel"));
            OwnFileDialog own = {save, "", -1};
            HANDLE thread = CreateThread(nullptr, 0, ShowOwnFileDialog, &own, 0, nullptr);
            HWND dialog = WaitForFileDialog(GetCurrentProcessId(), ROBOT_TIMEOUT_MS);
            ASSERT_NE(nullptr, dialog);
            EXPECT_TRUE(AnswerFileDialog(dialog, path, ok));
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, ROBOT_TIMEOUT_MS));
            CloseHandle(thread);
            EXPECT_EQ(ok, own.result);
            EXPECT_EQ(ok ? path : "", std::string(own.file));
        }
    }
}
