// The virus alert: dialog 134 listing the infected files, newest first; only OK closes it.
#include "alert/alert.h"

#include <commctrl.h>

#include <cstring>
#include <memory>
#include <new>

#include "base/bounded.h"
#include "driver/address.h"
#include "driver/link.h"
#include "driver/readable.h"
#include "driver/texts.h"
#include "res/resource.h"

int alertDialogOpen;
static HWND alertList;           // the list view of the open alert
static int alertColumnWidth;     // present width of the list's only column, in pixels

constexpr DWORD ALERT_LIST_STYLE = 0x50804005;   // child, visible, border, no header, single selection, report
static_assert(ALERT_LIST_STYLE == (WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_REPORT),
              "the alert's list style");
constexpr int ALERT_LIST_X = 10;
constexpr int ALERT_LIST_Y = 70;
constexpr int ALERT_LIST_WIDTH_LESS = 26;     // list width = dialog window width less this
constexpr int ALERT_LIST_HEIGHT_LESS = 160;   // list height = dialog window height less this

static const TextLabel alertLabels[] = {
    {TEXT_ALERT_MESSAGE, IDC_ALERT_TEXT},
    {TEXT_ALERT_TITLE, LABEL_TITLE},
};

void AddAlertRow(HWND list, const char *name)
{
    std::unique_ptr<char[]> shown(new (std::nothrow) char[ALERT_NAME_SIZE]);
    if (!shown)
        return;
    // Bounded: a name longer than the buffer is cut at 1023 characters, and nothing past the
    // driver's terminator is read.
    CopyBounded(shown.get(), ALERT_NAME_SIZE, name);
    OemToCharA(shown.get(), shown.get());
    int length = static_cast<int>(std::strlen(shown.get()));

    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = 0;              // the newest detection goes to the top
    item.iSubItem = 0;
    item.pszText = shown.get();
    item.cchTextMax = length;
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));

    HDC dc = GetDC(list);
    SIZE extent;
    if (dc != nullptr && GetTextExtentPointA(dc, shown.get(), length, &extent) && extent.cx > alertColumnWidth) {
        SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(extent.cx, 0));
        alertColumnWidth = extent.cx;
    }
    if (dc != nullptr)
        ReleaseDC(list, dc);
}

static void OnInit(HWND dialog, const char *name)
{
    LabelDialog(dialog, alertLabels);
    // DS_SYSMODAL makes the alert topmost on Windows; some platforms (Wine) ignore it, and the alert
    // must stay above the sheet and every other window all the same.
    SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RECT frame;
    GetWindowRect(dialog, &frame);
    int width = frame.right - frame.left - ALERT_LIST_WIDTH_LESS;
    int height = frame.bottom - frame.top - ALERT_LIST_HEIGHT_LESS;
    HINSTANCE module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", ALERT_LIST_STYLE, ALERT_LIST_X, ALERT_LIST_Y, width, height,
                                dialog, nullptr, module, nullptr);
    alertColumnWidth = width;
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH;
    column.cx = width;
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    AddAlertRow(list, name);
    alertList = list;
}

// Whether the alert is up, for the program and, in the same step, for the driver. The program's
// flag alone decides: the driver shares the StatusBlock and could write alertOpen itself.
static void SetAlertShowing(int showing)
{
    alertDialogOpen = showing;
    statusBlock->alertOpen = static_cast<uint32_t>(showing);
}

static void OnOk(HWND dialog)
{
    EndDialog(dialog, 0);
    SetAlertShowing(0);
    SendMessageA(alertList, LVM_DELETEALLITEMS, 0, 0);
}

INT_PTR CALLBACK VirusAlertDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog, reinterpret_cast<const char *>(lParam));
        return TRUE;
    case WM_COMMAND:
        // Only OK (or Enter) closes the alert; Esc and the close box arrive as IDCANCEL and are ignored.
        if (LOWORD(wParam) == IDOK)
            OnOk(dialog);
        return TRUE;
    }
    return FALSE;
}

// The file name a detection carries, or nullptr for an address that is 0, does not fit 32 bits or
// cannot be read up to the name's terminator (or its first 1024 bytes).
static const char *DetectedName(LPARAM lParam)
{
    if (lParam == 0 || static_cast<ULONG_PTR>(lParam) > UINT32_MAX)
        return nullptr;
    const char *name = FromAddress32<const char>(static_cast<uint32_t>(lParam));
    return IsReadableText(name, ALERT_NAME_SIZE) ? name : nullptr;
}

// A detection while the alert shows, or one ignored then. A burst goes into the list without a
// repaint for every row: the list is drawn again once no further detection waits in the queue,
// whether the last of them is listed or ignored.
static void AddToOpenAlert(HWND mainWindow, const char *name)
{
    MSG waiting;
    int more = PeekMessageA(&waiting, mainWindow, WM_VIRUS_FOUND, WM_VIRUS_FOUND, PM_NOREMOVE);
    if (name != nullptr) {
        if (more)
            SendMessageA(alertList, WM_SETREDRAW, FALSE, 0);
        AddAlertRow(alertList, name);
    }
    if (!more) {
        SendMessageA(alertList, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(alertList, nullptr, TRUE);
    }
}

void HandleVirusFound(HWND mainWindow, LPARAM lParam)
{
    const char *name = DetectedName(lParam);
    int opening = !alertDialogOpen;
    if (name != nullptr)
        SetAlertShowing(1);   // every detection tells the driver again, an alert already up or not
    if (!opening) {
        AddToOpenAlert(mainWindow, name);
        return;
    }
    if (name == nullptr)
        return;
    // Modal: further detections reach MainWindowProc through this dialog's loop and add rows.
    HINSTANCE module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(mainWindow, GWLP_HINSTANCE));
    INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_VIRUS_ALERT), nullptr, VirusAlertDialogProc,
                                     reinterpret_cast<LPARAM>(name));
    // No alert came up: without this, every later detection would only add rows to a list that
    // does not exist.
    if (result == -1)
        SetAlertShowing(0);
}
