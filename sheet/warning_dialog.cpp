// The warning (template 133) the action page shows when a box that changes the driver's duties is
// ticked. It is centred over the main window and closed only by OK.
#include "driver/texts.h"
#include "res/resource.h"
#include "sheet/pages.h"
#include "sheet/sheet.h"

constexpr int TEXT_WARNING_TITLE = 694;
constexpr int TEXT_ONLY_LOG_WARNING = 695;
constexpr int TEXT_STOP_MACROS_WARNING = 591;

// The hidden main window has a window rectangle of its own (placed by the system); the dialog keeps
// its size. The halves are truncated toward zero, so a dialog larger than the main window moves
// left and up by the truncated half of the difference.
static void CentreOverMainWindow(HWND dialog)
{
    RECT main, own;
    if (!GetWindowRect(sheetHost.mainWindow, &main) || !GetWindowRect(dialog, &own))
        return;
    int width = own.right - own.left, height = own.bottom - own.top;
    int left = main.left + (main.right - main.left - width) / 2;
    int top = main.top + (main.bottom - main.top - height) / 2;
    MoveWindow(dialog, left, top, width, height, FALSE);
}

static INT_PTR WarningProc(HWND dialog, UINT message, WPARAM wParam, int text)
{
    switch (message) {
    case WM_INITDIALOG: {
        const TextLabel labels[] = {{TEXT_WARNING_TITLE, LABEL_TITLE}, {text, IDC_WARNING_TEXT}};
        LabelDialog(dialog, labels);
        CentreOverMainWindow(dialog);
        return FALSE;
    }
    case WM_COMMAND:
        // Escape and the close box arrive as IDCANCEL, which is ignored: the warning must be read.
        if (LOWORD(wParam) == IDOK)
            EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK OnlyLogWarningProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    return WarningProc(dialog, message, wParam, TEXT_ONLY_LOG_WARNING);
}

INT_PTR CALLBACK StopMacrosWarningProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    return WarningProc(dialog, message, wParam, TEXT_STOP_MACROS_WARNING);
}
