// The virus alert: dialog 134 listing the infected files, newest first; only OK closes it.
#include "alert/alert.h"

#include <commctrl.h>

#include <cstring>
#include <memory>
#include <new>

#include "app/bounded.h"
#include "app/globals.h"
#include "driver/address.h"
#include "driver/link.h"
#include "driver/texts.h"
#include "res/resource.h"

int alertDialogOpen;
const char *alertText;
HWND alertList;
int alertColumnWidth;

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

void AddAlertRow(HWND list)
{
    std::unique_ptr<char[]> name(new (std::nothrow) char[ALERT_NAME_SIZE]);
    if (!name)
        return;
    // Bounded: a name longer than the buffer is cut at 1023 characters, and nothing past the
    // driver's terminator is read.
    CopyBounded(name.get(), ALERT_NAME_SIZE, alertText != nullptr ? alertText : "");
    OemToCharA(name.get(), name.get());
    int length = static_cast<int>(std::strlen(name.get()));

    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = 0;              // the newest detection goes to the top
    item.iSubItem = 0;
    item.pszText = name.get();
    item.cchTextMax = length;
    item.lParam = reinterpret_cast<LPARAM>(alertText);
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));

    HDC dc = GetDC(list);
    SIZE extent;
    if (dc != nullptr && GetTextExtentPointA(dc, name.get(), length, &extent) && extent.cx > alertColumnWidth) {
        SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(extent.cx, 0));
        alertColumnWidth = extent.cx;
    }
    if (dc != nullptr)
        ReleaseDC(list, dc);
}

static void OnInit(HWND dialog)
{
    LabelDialog(dialog, alertLabels);
    RECT frame;
    GetWindowRect(dialog, &frame);
    int width = frame.right - frame.left - ALERT_LIST_WIDTH_LESS;
    int height = frame.bottom - frame.top - ALERT_LIST_HEIGHT_LESS;
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", ALERT_LIST_STYLE, ALERT_LIST_X, ALERT_LIST_Y, width, height,
                                dialog, nullptr, instance, nullptr);
    alertColumnWidth = width;
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH;
    column.cx = width;
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    AddAlertRow(list);
    alertList = list;
}

static void OnOk(HWND dialog)
{
    EndDialog(dialog, 0);
    alertDialogOpen = 0;
    statusBlock->alertOpen = 0;
    SendMessageA(alertList, LVM_DELETEALLITEMS, 0, 0);
}

INT_PTR CALLBACK VirusAlertDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog);
        return TRUE;
    case WM_COMMAND:
        // Only OK (or Enter) closes the alert; Esc and the close box arrive as IDCANCEL and are ignored.
        if (LOWORD(wParam) == IDOK)
            OnOk(dialog);
        return TRUE;
    }
    return FALSE;
}

void HandleVirusFound(LPARAM lParam)
{
    statusBlock->alertOpen = 1;
    alertText = FromAddress32<const char>(static_cast<uint32_t>(lParam));
    if (!alertDialogOpen) {
        alertDialogOpen = 1;
        // Modal: further detections reach MainWindowProc through this dialog's loop and add rows.
        DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_VIRUS_ALERT), nullptr, VirusAlertDialogProc, 0);
    } else {
        // A burst of detections goes into the list without a repaint for every row: the list is
        // drawn again once no further detection waits in the queue.
        MSG waiting;
        int more = PeekMessageA(&waiting, mainWindow, WM_VIRUS_FOUND, WM_VIRUS_FOUND, PM_NOREMOVE);
        if (more)
            SendMessageA(alertList, WM_SETREDRAW, FALSE, 0);
        AddAlertRow(alertList);
        if (!more) {
            SendMessageA(alertList, WM_SETREDRAW, TRUE, 0);
            InvalidateRect(alertList, nullptr, TRUE);
        }
    }
}
