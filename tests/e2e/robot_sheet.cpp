// The robot at the property sheet and the common file dialogs: opening the sheet the three ways a
// user can, its pages and buttons, and answering a file dialog.
#include "tests/e2e/robot.h"

#include <commctrl.h>
#include <dlgs.h>

#include <cstddef>

#include "app/globals.h"   // WM_OPEN_PROPERTIES: only the number, none of the program's code

const char SHEET_CAPTION[] = "Torvane 1.05";

std::vector<HWND> OpenSheets(DWORD processId, const char *caption)
{
    std::vector<HWND> sheets;
    for (HWND window : ProcessWindows(processId, 1)) {
        if (WindowClass(window) == "#32770" && WindowText(window) == caption)
            sheets.push_back(window);
    }
    return sheets;
}

HWND WaitForSheet(DWORD processId, DWORD timeoutMs, const char *caption)
{
    HWND sheet = nullptr;
    WaitUntil([&] {
        std::vector<HWND> sheets = OpenSheets(processId, caption);
        sheet = sheets.empty() ? nullptr : sheets[0];
        return sheet != nullptr;
    }, timeoutMs);
    return sheet;
}

// Mouse messages at the centre of the tray icon, as the taskbar receives them from a user.
static int ClickTrayIcon(const std::vector<UINT> &messages)
{
    HWND tray;
    RECT square;
    if (!WaitUntil(TrayIconShown, ROBOT_TIMEOUT_MS) || !TrayIconSquare(&tray, &square))
        return 0;
    POINT centre = {(square.left + square.right) / 2, (square.top + square.bottom) / 2};
    ScreenToClient(tray, &centre);
    int posted = 1;
    for (UINT message : messages) {
        WPARAM buttons = message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK ? MK_LBUTTON : 0;
        posted &= PostToWindow(tray, message, buttons, MAKELPARAM(centre.x, centre.y));
    }
    return posted;
}

int AskForSheet(const TorvaneRun &run, SheetOpening how)
{
    switch (how) {
    case SHEET_BY_MENU: {
        HWND menu = OpenTrayMenu(run.processId);
        if (menu == nullptr)
            return 0;
        // Enable/Disable, a separator, Properties: the keyboard skips the separator.
        PostToWindow(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostToWindow(menu, WM_KEYUP, VK_DOWN, 0xC0000000);
        ChooseFromMenu(menu, VK_DOWN);
        return 1;
    }
    case SHEET_BY_DOUBLE_CLICK:
        return ClickTrayIcon({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP});
    case SHEET_BY_MESSAGE:
        return PostToWindow(WaitForMainWindow(run.processId, 0), WM_OPEN_PROPERTIES, 0, 0);
    }
    return 0;
}

int AskForSheetAndWait(const TorvaneRun &run, SheetOpening how)
{
    if (!AskForSheet(run, how))
        return 0;
    // The menu's choice posts its command as the menu closes; the next right-click comes after it.
    if (how == SHEET_BY_MENU && !WaitUntil([&] { return WaitForWindow(run.processId, "#32768", 0) == nullptr; },
                                           ROBOT_TIMEOUT_MS))
        return 0;
    // The taskbar passes the clicks on in order, and Torvane opens its menu by a message posted to
    // itself, behind any request posted before: a sheet that request opened is open once the menu is.
    HWND menu = OpenTrayMenu(run.processId);
    return menu != nullptr && CloseMenu(menu);
}

HWND OpenSheet(const TorvaneRun &run, SheetOpening how)
{
    return AskForSheet(run, how) ? WaitForSheet(run.processId, ROBOT_TIMEOUT_MS) : nullptr;
}

HWND CurrentPage(HWND sheet)
{
    DWORD_PTR page = 0;
    if (!SendMessageTimeoutA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_NORMAL, 5000, &page))
        return nullptr;
    return reinterpret_cast<HWND>(page);
}

HWND SelectPage(HWND sheet, int position)
{
    // Sent, so the sheet has switched when the call returns; no pointer travels with it.
    DWORD_PTR selected = 0;
    if (!SendMessageTimeoutA(sheet, PSM_SETCURSEL, static_cast<WPARAM>(position), 0, SMTO_NORMAL, 5000, &selected)
        || !selected)
        return nullptr;
    HWND tabs = PropSheet_GetTabControl(sheet);
    if (tabs == nullptr || SendMessageA(tabs, TCM_GETCURSEL, 0, 0) != position)
        return nullptr;
    return CurrentPage(sheet);
}

std::vector<std::string> SheetTabTitles(HWND sheet)
{
    std::vector<std::string> titles;
    HWND tabs = PropSheet_GetTabControl(sheet);
    DWORD processId = 0;
    GetWindowThreadProcessId(sheet, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (tabs == nullptr || process == nullptr)
        return titles;
    for (LRESULT i = 0; i < SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0); i++) {
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        std::string title;
        if (!RemoteRecordText(process, tabs, TCM_GETITEMA, static_cast<WPARAM>(i), &item, sizeof item,
                              offsetof(TCITEMA, pszText), offsetof(TCITEMA, cchTextMax), &title))
            break;
        titles.push_back(title);
    }
    CloseHandle(process);
    return titles;
}

int ApplyEnabled(HWND sheet)
{
    return ControlEnabled(sheet, SHEET_APPLY);
}

int PressSheetButton(HWND sheet, int button)
{
    // The sheet disables Apply at the current page's PSN_KILLACTIVE, before any page applies, so
    // the button's state cannot tell that the apply is over: the click is sent and waited for.
    if (button == SHEET_APPLY)
        return PressButtonAndWait(sheet, button, ROBOT_TIMEOUT_MS) && ApplyEnabled(sheet) == 0;
    return PressButton(sheet, button) && WaitClosed(sheet, ROBOT_TIMEOUT_MS);
}

// The file-name control of a file dialog: the edit (old style, and Explorer style for some
// flags) or the Explorer style's combo box; nullptr when dialog is no file dialog.
static HWND FileNameControl(HWND dialog)
{
    HWND control = GetDlgItem(dialog, edt1);
    return control != nullptr ? control : GetDlgItem(dialog, cmb13);
}

HWND WaitForFileDialog(DWORD processId, DWORD timeoutMs)
{
    HWND dialog = nullptr;
    WaitUntil([&] {
        for (HWND window : ProcessWindows(processId, 1)) {
            if (WindowClass(window) == "#32770" && FileNameControl(window) != nullptr) {
                dialog = window;
                return 1;
            }
        }
        return 0;
    }, timeoutMs);
    return dialog;
}

int AnswerFileDialog(HWND dialog, const std::string &path, int ok)
{
    if (ok) {
        // The combo box keeps its text in an edit of its own, one or two levels down.
        HWND field = FileNameControl(dialog);
        for (HWND child : ChildWindows(field)) {
            if (_stricmp(WindowClass(child).c_str(), "Edit") == 0)
                field = child;
        }
        DWORD_PTR done = 0;
        if (field == nullptr || !SendMessageTimeoutA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()),
                                                     SMTO_NORMAL, 5000, &done))
            return 0;
    }
    return PressButton(dialog, ok ? IDOK : IDCANCEL) && WaitClosed(dialog, ROBOT_TIMEOUT_MS);
}

int BrowseAndAnswer(HWND dialog, int id, const std::string &path, int ok, const std::function<void(HWND)> &look)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(dialog, &processId);
    HANDLE click = StartSentClick(dialog, id);
    if (click == nullptr)
        return 0;
    HWND chooser = WaitForFileDialog(processId, ROBOT_TIMEOUT_MS);
    if (chooser != nullptr && look)
        look(chooser);
    // The file dialog's window goes before the call that showed it returns: what the button does
    // with the answer is over only when the click is.
    int answered = chooser != nullptr && AnswerFileDialog(chooser, path, ok);
    return WaitSentClick(click, ROBOT_TIMEOUT_MS) && answered;
}
