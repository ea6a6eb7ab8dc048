// The robot's hands on windows: finding the windows of a process, reading message boxes, pressing
// buttons, and the virus alert with its list.
#include "tests/e2e/robot.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

const char ROBOT_MAIN_CLASS[] = "\x6D\xE9\x6E\x6D\x38\x38\x37\x37\xF0\xE6\x77";
const char ROBOT_MAIN_TITLE[] = "\xDE\xE6\x51\x31\x32\x33\x64\x43\x5B\x5D";
static_assert(sizeof ROBOT_MAIN_CLASS == 12 && sizeof ROBOT_MAIN_TITLE == 11, "11 and 10 bytes");

// ---- Windows ----------------------------------------------------------------------------------

std::string WindowText(HWND window)
{
    char text[4096];
    int length = GetWindowTextA(window, text, sizeof text);
    return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

std::string WindowClass(HWND window)
{
    char name[256];
    int length = GetClassNameA(window, name, sizeof name);
    return std::string(name, length > 0 ? static_cast<size_t>(length) : 0);
}

HWND FindTopWindow(const char *className, const char *title)
{
    return FindWindowA(className, title);
}

struct WindowSearch {
    DWORD processId;
    int visibleOnly;
    std::vector<HWND> found;
};

static BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter)
{
    WindowSearch *search = reinterpret_cast<WindowSearch *>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && (!search->visibleOnly || IsWindowVisible(window)))
        search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> ProcessWindows(DWORD processId, int visibleOnly)
{
    WindowSearch search = {processId, visibleOnly, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

static BOOL CALLBACK CollectChild(HWND window, LPARAM parameter)
{
    reinterpret_cast<std::vector<HWND> *>(parameter)->push_back(window);
    return TRUE;
}

std::vector<HWND> ChildWindows(HWND parent)
{
    std::vector<HWND> children;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

// Waits for the first visible top-level window of processId that match accepts; gives up early
// when the process ends.
static HWND WaitForProcessWindow(DWORD processId, DWORD timeoutMs, const std::function<int(HWND)> &match)
{
    HWND found = nullptr;
    WaitUntil([&] {
        for (HWND window : ProcessWindows(processId, 1)) {
            if (match(window)) {
                found = window;
                return 1;
            }
        }
        return ProcessEnded(processId);
    }, timeoutMs);
    return found;
}

HWND WaitForMainWindow(DWORD processId, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil([&] {
        HWND window = FindTopWindow(ROBOT_MAIN_CLASS, ROBOT_MAIN_TITLE);
        DWORD owner = 0;
        if (window != nullptr && GetWindowThreadProcessId(window, &owner) && owner == processId)
            found = window;
        return found != nullptr || ProcessEnded(processId);
    }, timeoutMs);
    return found;
}

HWND WaitForWindow(DWORD processId, const char *className, DWORD timeoutMs)
{
    return WaitForProcessWindow(processId, timeoutMs,
                                [&](HWND window) { return className == nullptr || WindowClass(window) == className; });
}

HWND WaitForDialogWith(DWORD processId, const std::vector<int> &ids, DWORD timeoutMs)
{
    return WaitForProcessWindow(processId, timeoutMs, [&](HWND window) {
        for (int id : ids) {
            if (GetDlgItem(window, id) == nullptr)
                return 0;
        }
        return 1;
    });
}

int IsMessageBox(HWND box)
{
    return WindowClass(box) == "#32770" && GetDlgItem(box, MESSAGE_BOX_TEXT_ID) != nullptr;
}

HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs)
{
    return WaitForProcessWindow(processId, timeoutMs, IsMessageBox);
}

HWND WaitForMessageBoxAfterSplash(const TorvaneRun &run, DWORD timeoutMs, int *splashSeen, ULONGLONG *boxMs)
{
    int splash = 0;
    HWND box = WaitForProcessWindow(run.processId, timeoutMs, [&](HWND window) {
        if (IsMessageBox(window))
            return 1;
        splash = 1;
        return 0;
    });
    if (splashSeen != nullptr)
        *splashSeen = splash;
    if (boxMs != nullptr)
        *boxMs = MsSinceStart(run);
    return box;
}

int ReadMessageBox(HWND box, MessageBoxView *view)
{
    if (!IsWindow(box))
        return 0;
    view->caption = WindowText(box);
    HWND text = GetDlgItem(box, MESSAGE_BOX_TEXT_ID);
    view->text = text != nullptr ? WindowText(text) : "";
    view->buttonIds.clear();
    view->buttonTexts.clear();
    for (HWND child : ChildWindows(box)) {
        if (_stricmp(WindowClass(child).c_str(), "Button") == 0 && IsWindowVisible(child)) {
            view->buttonIds.push_back(GetDlgCtrlID(child));
            view->buttonTexts.push_back(WindowText(child));
        }
    }
    view->stopIcon = CheckStopIcon(box);
    return text != nullptr;
}

int CloseDialog(HWND dialog)
{
    return PressButton(dialog, GetDlgItem(dialog, IDOK) != nullptr ? IDOK : IDCANCEL);
}

int WaitClosed(HWND window, DWORD timeoutMs)
{
    return WaitUntil([&] { return !IsWindow(window); }, timeoutMs);
}

static DWORD WINAPI ShowOwnMessageBox(LPVOID text)
{
    MessageBoxA(nullptr, static_cast<const std::string *>(text)->c_str(), "robot", MB_OK);
    return 0;
}

std::string PlatformShownText(const std::string &text)
{
    std::string copy = text;
    HANDLE thread = CreateThread(nullptr, 0, ShowOwnMessageBox, &copy, 0, nullptr);
    if (thread == nullptr)
        return text;
    std::string shown = text;
    HWND box = WaitForMessageBox(GetCurrentProcessId(), ROBOT_TIMEOUT_MS);
    if (box != nullptr) {
        shown = WindowText(GetDlgItem(box, MESSAGE_BOX_TEXT_ID));
        PressButton(box, IDOK);
    }
    WaitForSingleObject(thread, ROBOT_TIMEOUT_MS);
    CloseHandle(thread);
    return shown;
}

MessageBoxView ExpectStopMessage(HWND box, const std::string &caption, const std::string &text)
{
    MessageBoxView view;
    EXPECT_TRUE(ReadMessageBox(box, &view)) << "no message box";
    std::string shown = PlatformShownText(text);
    EXPECT_EQ(caption, view.caption);
    EXPECT_EQ(shown, view.text) << "got \"" << Visible(view.text) << "\", expected \"" << Visible(shown) << "\"";
    EXPECT_EQ(std::vector<int>{IDOK}, view.buttonIds) << "exactly one button, OK";
    EXPECT_EQ(1, view.stopIcon) << "another icon than the stop icon (0), or one that cannot be told (-1)";
    return view;
}

int PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return PostMessageA(window, message, wParam, lParam) ? 1 : 0;
}

int Answers(HWND window, DWORD timeoutMs)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) ? 1 : 0;
}

int SendToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, ROBOT_TIMEOUT_MS, &result) ? 1 : 0;
}

// ---- Controls -----------------------------------------------------------------------------------

// SendMessageTimeoutA: the answer, or -1 when the control's thread does not answer within 5 s.
static LRESULT Ask(HWND control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(control, message, wParam, lParam, SMTO_NORMAL, 5000, &answer))
        return -1;
    return static_cast<LRESULT>(answer);
}

// The control when a user could work it: there, shown and enabled; else nullptr.
static HWND UsableControl(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr && IsWindowVisible(control) && IsWindowEnabled(control) ? control : nullptr;
}

static int IsComboBox(HWND control)
{
    return _stricmp(WindowClass(control).c_str(), "ComboBox") == 0;
}

int PressButton(HWND dialog, int id)
{
    HWND button = UsableControl(dialog, id);
    return button != nullptr && PostMessageA(button, BM_CLICK, 0, 0) ? 1 : 0;
}

int PressButtonAndWait(HWND dialog, int id, DWORD timeoutMs)
{
    HWND button = UsableControl(dialog, id);
    DWORD_PTR done = 0;
    return button != nullptr && SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, timeoutMs, &done) ? 1 : 0;
}

// Ends with 1 once the click has been handled, 0 when it was not.
static DWORD WINAPI SendClick(LPVOID button)
{
    DWORD_PTR done = 0;
    // Bounded only to end some day: the robot answers what the click opens while this thread waits.
    return SendMessageTimeoutA(static_cast<HWND>(button), BM_CLICK, 0, 0, SMTO_NORMAL, 10 * ROBOT_TIMEOUT_MS, &done)
               ? 1 : 0;
}

HANDLE StartSentClick(HWND dialog, int id)
{
    HWND button = UsableControl(dialog, id);
    return button != nullptr ? CreateThread(nullptr, 0, SendClick, button, 0, nullptr) : nullptr;
}

int WaitSentClick(HANDLE click, DWORD timeoutMs)
{
    if (click == nullptr)
        return 0;
    DWORD handled = 0;
    int ended = WaitForSingleObject(click, timeoutMs) == WAIT_OBJECT_0 && GetExitCodeThread(click, &handled);
    CloseHandle(click);
    return ended && handled == 1;
}

int PostedHandled(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    if (button == nullptr || !PostMessageA(button, BM_SETSTATE, TRUE, 0))
        return 0;
    int marked = WaitUntil([&] {
        LRESULT state = Ask(button, BM_GETSTATE);
        return state >= 0 && (state & BST_PUSHED) != 0;
    }, ROBOT_TIMEOUT_MS);
    return Ask(button, BM_SETSTATE, FALSE) >= 0 && marked;
}

int IsTicked(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr ? static_cast<int>(Ask(control, BM_GETCHECK)) : -1;
}

int SetTicked(HWND dialog, int id, int ticked)
{
    int wanted = ticked ? BST_CHECKED : BST_UNCHECKED;
    if (IsTicked(dialog, id) != wanted && !PressButton(dialog, id))
        return 0;
    return WaitUntil([&] { return IsTicked(dialog, id) == wanted; }, ROBOT_TIMEOUT_MS);
}

int ControlEnabled(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr ? (IsWindowEnabled(control) ? 1 : 0) : -1;
}

std::string ControlText(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    char text[4096] = "";
    LRESULT length = control != nullptr ? Ask(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text)) : 0;
    return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

int TypeText(HWND dialog, int id, const std::string &text)
{
    HWND edit = UsableControl(dialog, id);
    if (edit == nullptr || Ask(edit, EM_SETSEL, 0, -1) < 0)
        return 0;
    // Sent, not posted: each keystroke has been handled, EN_CHANGE included, when the call returns.
    int delivered = Ask(edit, WM_CHAR, VK_BACK, 1) >= 0;
    for (unsigned char c : text)
        delivered &= Ask(edit, WM_CHAR, c, 1) >= 0;
    return delivered;
}

int EditModified(HWND dialog, int id)
{
    HWND edit = GetDlgItem(dialog, id);
    return edit != nullptr ? (Ask(edit, EM_GETMODIFY) > 0 ? 1 : 0) : -1;
}

std::vector<std::string> ControlRows(HWND dialog, int id)
{
    std::vector<std::string> rows;
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr)
        return rows;
    int combo = IsComboBox(control);
    LRESULT count = Ask(control, combo ? CB_GETCOUNT : LB_GETCOUNT);
    for (LRESULT i = 0; i < count; i++) {
        // Asked in UTF-16: carried to another process, the ANSI form of these two arrives as
        // UTF-16 all the same on Wine.
        DWORD_PTR length = 0;
        SendMessageTimeoutW(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i, 0, SMTO_NORMAL, 5000, &length);
        std::wstring wide(static_cast<size_t>(static_cast<LRESULT>(length) > 0 ? length : 0) + 1, L'\0');
        if (!SendMessageTimeoutW(control, combo ? CB_GETLBTEXT : LB_GETTEXT, i, reinterpret_cast<LPARAM>(&wide[0]),
                                 SMTO_NORMAL, 5000, &length)
            || static_cast<LRESULT>(length) < 0)
            length = 0;
        std::string row(static_cast<size_t>(length) * 2 + 1, '\0');
        int bytes = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(length), &row[0],
                                        static_cast<int>(row.size()), nullptr, nullptr);
        row.resize(bytes > 0 ? static_cast<size_t>(bytes) : 0);
        rows.push_back(row);
    }
    return rows;
}

int SelectedRow(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr)
        return -1;
    LRESULT row = Ask(control, IsComboBox(control) ? CB_GETCURSEL : LB_GETCURSEL);
    return row >= 0 ? static_cast<int>(row) : -1;
}

int SelectRow(HWND dialog, int id, int index)
{
    HWND control = UsableControl(dialog, id);
    if (control == nullptr)
        return 0;
    int combo = IsComboBox(control);
    if (Ask(control, combo ? CB_SETCURSEL : LB_SETCURSEL, index) != index)
        return 0;
    // Setting the selection by message notifies nobody; a pick with the mouse does.
    int notifies = combo || (GetWindowLongA(control, GWL_STYLE) & LBS_NOTIFY);
    if (notifies) {
        WORD code = combo ? CBN_SELCHANGE : LBN_SELCHANGE;
        PostMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
    }
    return SelectedRow(dialog, id) == index;
}

// ---- The virus alert --------------------------------------------------------------------------

HWND FindAlert(DWORD processId, HWND *list)
{
    for (HWND window : ProcessWindows(processId, 1)) {
        if (WindowClass(window) == "#32770" && GetDlgItem(window, IDC_ALERT_TEXT) != nullptr) {
            if (list != nullptr)
                *list = FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr);
            return window;
        }
    }
    return nullptr;
}

HWND WaitForAlert(DWORD processId, DWORD timeoutMs, HWND *list)
{
    HWND alert = nullptr;
    WaitUntil([&] { return (alert = FindAlert(processId, list)) != nullptr; }, timeoutMs);
    return alert;
}

int ListViewCount(HWND list)
{
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutA(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 1000, &count))
        return -1;
    return static_cast<int>(count);
}

int RemoteRecordText(HANDLE process, HWND control, UINT message, WPARAM wParam, const void *record,
                     size_t recordSize, size_t textOffset, size_t capacityOffset, std::string *text)
{
    constexpr int TEXT_BYTES = 2048;
    char *remote = static_cast<char *>(
        VirtualAllocEx(process, nullptr, recordSize + TEXT_BYTES, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (remote == nullptr)
        return 0;
    std::string copy(static_cast<const char *>(record), recordSize);
    char *remoteText = remote + recordSize;
    int capacity = TEXT_BYTES;
    std::memcpy(&copy[textOffset], &remoteText, sizeof remoteText);
    std::memcpy(&copy[capacityOffset], &capacity, sizeof capacity);
    int ok = 0;
    DWORD_PTR answer = 0;
    char buffer[TEXT_BYTES] = "";
    if (WriteProcessMemory(process, remote, copy.data(), recordSize, nullptr)
        && SendMessageTimeoutA(control, message, wParam, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, 1000, &answer)
        && ReadProcessMemory(process, remoteText, buffer, sizeof buffer, nullptr)) {
        buffer[sizeof buffer - 1] = 0;
        *text = buffer;
        ok = 1;
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return ok;
}

int ListViewText(HANDLE process, HWND list, int index, std::string *text)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.iSubItem = 0;
    return RemoteRecordText(process, list, LVM_GETITEMTEXTA, static_cast<WPARAM>(index), &item, sizeof item,
                            offsetof(LVITEMA, pszText), offsetof(LVITEMA, cchTextMax), text);
}

std::vector<std::string> ListViewRows(HWND list)
{
    std::vector<std::string> rows;
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process == nullptr)
        return rows;
    int count = ListViewCount(list);
    for (int i = 0; i < count; i++) {
        std::string text;
        if (!ListViewText(process, list, i, &text))
            break;
        rows.push_back(text);
    }
    CloseHandle(process);
    return rows;
}
