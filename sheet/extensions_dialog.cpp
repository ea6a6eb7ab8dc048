// The extensions dialog: the program-file extensions in force (inUse), edited as list rows and
// written back on Close. Opened modally from the scan options page.
#include "base/bounded.h"
#include "driver/address.h"
#include "driver/link.h"
#include "res/resource.h"
#include "sheet/extension_list.h"
#include "sheet/pages.h"
#include "sheet/sheet.h"

static int extensionsChanged;   // set by Add, Remove and Default; Close writes inUse only when set

static const TextLabel extensionLabels[] = {
    {697, LABEL_TITLE}, {683, IDC_EXT_LABEL},  {684, IDC_EXT_ADD},     {685, IDOK},
    {686, IDCANCEL},    {687, IDC_EXT_REMOVE}, {688, IDC_EXT_DEFAULT},
};

static HWND List(HWND dialog)
{
    return GetDlgItem(dialog, IDC_EXT_LIST);
}

// One row per entry of the driver's buffer behind field (capacity bytes, read no further); the list
// box sorts them into place.
static void FillRows(HWND dialog, uint32_t StatusBlock::*field, size_t capacity)
{
    SendMessageA(List(dialog), LB_RESETCONTENT, 0, 0);
    const char *text = FromAddress32<const char>(statusBlock->*field);
    if (text == nullptr)
        return;
    size_t length = BoundedLength(text, capacity);
    size_t position = 0;
    char row[EXTENSION_ROW_SIZE];
    while (NextExtensionRow(text, length, &position, row, sizeof row))
        SendMessageA(List(dialog), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
}

// The rows in list order joined into text; returns how many rows there are. Every row the dialog
// makes fits, and so does their join; anything else is left out rather than overrun.
static size_t JoinRows(HWND dialog, char *text, size_t size)
{
    text[0] = 0;
    LRESULT count = SendMessageA(List(dialog), LB_GETCOUNT, 0, 0);
    size_t joined = 0;
    for (LRESULT i = 0; i < count; i++) {
        char row[EXTENSION_ROW_SIZE];
        if (ReadListRow(List(dialog), i, row, sizeof row) && JoinExtensionRow(text, size, joined, row))
            joined++;
    }
    return count > 0 ? static_cast<size_t>(count) : 0;
}

static void OnAdd(HWND dialog)
{
    char typed[EXTENSION_TYPED_SIZE];
    GetDlgItemTextA(dialog, IDC_EXT_EDIT, typed, sizeof typed);
    char joined[EXTENSION_TEXT_SIZE];
    size_t rows = JoinRows(dialog, joined, sizeof joined);
    char ext[4];
    if (CheckNewExtension(typed, joined, rows, ext) != EXTENSION_ADD)
        return;   // refused silently; the field keeps its text
    extensionsChanged = 1;
    SendMessageA(List(dialog), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ext));
    SetDlgItemTextA(dialog, IDC_EXT_EDIT, "");
}

static void OnRemove(HWND dialog)
{
    if (SendMessageA(List(dialog), LB_GETCOUNT, 0, 0) < 2)
        return;   // the last row stays
    LRESULT selected = SendMessageA(List(dialog), LB_GETCURSEL, 0, 0);
    if (selected != LB_ERR)
        SendMessageA(List(dialog), LB_DELETESTRING, selected, 0);
    extensionsChanged = 1;
}

static void OnClose(HWND dialog)
{
    EndDialog(dialog, 0);
    if (!extensionsChanged)
        return;
    char joined[EXTENSION_TEXT_SIZE];
    JoinRows(dialog, joined, sizeof joined);
    // In place, in the driver's buffer: the driver sees the new list without being told.
    char *inUse = FromAddress32<char>(statusBlock->inUse);
    if (inUse != nullptr)
        CopyBounded(inUse, IN_USE_SIZE, joined);
    SaveSettingsOrTell();
    extensionsChanged = 0;
}

static void OnCommand(HWND dialog, int control)
{
    switch (control) {
    case IDC_EXT_ADD:
        OnAdd(dialog);
        break;
    case IDC_EXT_REMOVE:
        OnRemove(dialog);
        break;
    case IDC_EXT_DEFAULT:
        FillRows(dialog, &StatusBlock::extensions, EXTENSIONS_SIZE);
        extensionsChanged = 1;
        break;
    case IDOK:
        OnClose(dialog);
        break;
    case IDCANCEL:
        EndDialog(dialog, 0);
        break;
    }
}

INT_PTR CALLBACK ExtensionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        LabelDialog(dialog, extensionLabels);
        FillRows(dialog, &StatusBlock::inUse, IN_USE_SIZE);
        // The field to type into has the focus; FALSE keeps the dialog manager from moving it.
        SetFocus(GetDlgItem(dialog, IDC_EXT_EDIT));
        return FALSE;
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}
