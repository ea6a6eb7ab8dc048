// The Exclusions page: the paths the driver leaves alone, one list row per entry of the driver's
// ExclusionList text, and the dialog that adds a row.
#include <cstring>

#include "base/bounded.h"
#include "driver/address.h"
#include "driver/link.h"
#include "res/resource.h"
#include "sheet/exclusion_list.h"
#include "sheet/folder_picker.h"
#include "sheet/pages.h"
#include "sheet/sheet.h"

static char addedPath[EXCLUSION_PATH_SIZE];   // the add dialog's accepted path, which the page takes

static const TextLabel exclusionsLabels[] = {
    {656, IDC_EXCL_HEADER}, {654, IDC_EXCL_ADD}, {655, IDC_EXCL_REMOVE},
};

static const TextLabel addExclusionLabels[] = {
    {696, LABEL_TITLE}, {692, IDC_ADDEXCL_LABEL}, {693, IDC_ADDEXCL_SUBFOLDERS}, {691, IDC_ADDEXCL_BROWSE},
    {690, IDCANCEL},
};

// Texts 606 and 607 as shown, taken from the table in force each time they are needed.
struct RowMarks {
    char subfolders[64];
    char alone[64];
    ExclusionMarks marks;
};
static void LoadMarks(RowMarks *m)
{
    ConvertText(606, m->subfolders, sizeof m->subfolders);
    ConvertText(607, m->alone, sizeof m->alone);
    m->marks = {m->subfolders, m->alone};
}

static HWND List(HWND page)
{
    return GetDlgItem(page, IDC_EXCL_LIST);
}

// Width in pixels of length characters of text in the control's font; -1 when it cannot be measured.
static LONG TextWidth(HWND control, const char *text, int length)
{
    HDC dc = GetDC(control);
    if (dc == nullptr)
        return -1;
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32A(dc, text, length, &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}

// Appends a row; the list's scrolling width grows to the widest row so that long paths can be read.
static void AppendRow(HWND list, const char *row)
{
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
    LONG width = TextWidth(list, row, static_cast<int>(std::strlen(row)));
    if (width >= 0 && width + 4 > SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0))
        SendMessageA(list, LB_SETHORIZONTALEXTENT, width + 4, 0);
}

static void FillExclusions(HWND page)
{
    const char *text = FromAddress32<const char>(statusBlock->exclusions);
    if (text == nullptr)
        return;
    RowMarks m;
    LoadMarks(&m);
    size_t length = BoundedLength(text, EXCLUSIONS_SIZE);
    size_t position = 0;
    ExclusionEntry entry;
    while (NextExclusion(text, length, &position, &entry)) {
        char row[EXCLUSION_ROW_SIZE];
        MakeExclusionRow(row, sizeof row, m.marks, ROW_STORED, entry.subfolders, entry.path);
        AppendRow(List(page), row);
    }
}

// The rows as ExclusionList text in text (size bytes); returns its length. Whole entries only, so
// a text the settings could not load again is never built.
static size_t RebuildText(HWND page, char *text, size_t size)
{
    RowMarks m;
    LoadMarks(&m);
    text[0] = 0;
    LRESULT count = SendMessageA(List(page), LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        char row[EXCLUSION_ROW_SIZE];
        if (!ReadListRow(List(page), i, row, sizeof row))
            continue;
        int subfolders = 0;
        const char *path = ReadExclusionRow(row, m.marks, &subfolders);
        AppendExclusion(text, size, subfolders, path);
    }
    return BoundedLength(text, size);
}

// Apply: written in place into the driver's buffer, which the driver takes over when told.
static void ReadExclusions(HWND page)
{
    char *text = FromAddress32<char>(statusBlock->exclusions);
    if (text != nullptr)
        RebuildText(page, text, EXCLUSION_TEXT_SIZE);
}

static const EditingPage exclusionsPage = {
    &exclusionsPageDirty, exclusionsLabels, sizeof exclusionsLabels / sizeof exclusionsLabels[0], FillExclusions,
    ReadExclusions, CTL_EXCLUSIONS_CHANGED, 0,
};

static void OnAdd(HWND page)
{
    char text[EXCLUSION_TEXT_SIZE];
    size_t length = RebuildText(page, text, sizeof text);
    INT_PTR result = DialogBoxParamA(ModuleOf(page), MAKEINTRESOURCEA(IDD_ADD_EXCLUSION), page,
                                     AddExclusionDialogProc, static_cast<LPARAM>(length));
    if (result != 1 && result != 3)
        return;   // nothing to add, or the dialog could not be shown
    RowMarks m;
    LoadMarks(&m);
    char row[EXCLUSION_ROW_SIZE];
    MakeExclusionRow(row, sizeof row, m.marks, ROW_ADDED, (result & 2) != 0, addedPath);
    AppendRow(List(page), row);
    MarkPageChanged(page, exclusionsPage);
}

// With no row selected nothing is removed, but the page is marked all the same.
static void OnRemove(HWND page)
{
    HWND list = List(page);
    LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (selected != LB_ERR) {
        LRESULT left = SendMessageA(list, LB_DELETESTRING, selected, 0);
        // The row that took its place is selected, so that several rows go with repeated clicks.
        if (left > 0)
            SendMessageA(list, LB_SETCURSEL, selected < left ? selected : left - 1, 0);
    }
    MarkPageChanged(page, exclusionsPage);
}

INT_PTR CALLBACK ExclusionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitEditingPage(page, exclusionsPage);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_EXCL_ADD)
            OnAdd(page);
        else if (LOWORD(wParam) == IDC_EXCL_REMOVE)
            OnRemove(page);
        return FALSE;
    case WM_NOTIFY:
        return NotifyEditingPage(page, exclusionsPage, reinterpret_cast<const NMHDR *>(lParam));
    }
    return FALSE;
}

// ---- The add exclusion dialog (template 132) ---------------------------------------------------

static size_t addTextLength;   // characters of the list's text when the dialog opened

// OK: the path goes to addedPath, where the page takes it. A path the list cannot hold keeps the
// dialog open with the path selected, so that it can be mended.
static void OnAddOk(HWND dialog)
{
    char typed[PICKED_FOLDER_SIZE];
    GetDlgItemTextA(dialog, IDC_ADDEXCL_PATH, typed, sizeof typed);
    int subfolders = IsTicked(dialog, IDC_ADDEXCL_SUBFOLDERS);
    int result = AddExclusionResult(typed, std::strlen(typed), subfolders, addTextLength);
    if (result == ADD_REFUSED) {
        MessageBeep(MB_OK);
        SetFocus(GetDlgItem(dialog, IDC_ADDEXCL_PATH));
        SendDlgItemMessageA(dialog, IDC_ADDEXCL_PATH, EM_SETSEL, 0, -1);
        return;
    }
    CopyBounded(addedPath, StoredExclusionPath(typed));   // judged so: it fits
    EndDialog(dialog, result);
}

// Browse: a folder taken becomes its files, "C:\DATA\*.*" (a drive root "C:\*.*"); a cancelled
// chooser empties the field.
static void OnAddBrowse(HWND dialog)
{
    char folder[PICKED_FOLDER_SIZE];
    if (PickFolder(dialog, "", folder) && folder[0] != 0) {
        size_t length = BoundedLength(folder, sizeof folder);
        CopyBounded(folder + length, sizeof folder - length, "\\*.*");
    }
    SetDlgItemTextA(dialog, IDC_ADDEXCL_PATH, folder);
}

// The template leaves the path's label and the check box room for English texts only; a longer
// label (the German check box needs half as much again) gets what room its row has: up to the path
// field, and up to the dialog's right margin.
static void WidenToLabel(HWND dialog, int control, int extra, LONG limit)
{
    HWND label = GetDlgItem(dialog, control);
    char text[128];
    int length = GetWindowTextA(label, text, sizeof text);
    LONG textWidth = TextWidth(label, text, length);   // the '&' counts too: a little spare room
    if (textWidth < 0)
        return;
    RECT rect;
    GetWindowRect(label, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&rect), 2);
    LONG wanted = textWidth + extra;
    LONG width = rect.left + wanted < limit ? wanted : limit - rect.left;
    if (width > rect.right - rect.left)
        SetWindowPos(label, nullptr, 0, 0, width, rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

static void FitLabels(HWND dialog)
{
    RECT client, path;
    GetClientRect(dialog, &client);
    GetWindowRect(GetDlgItem(dialog, IDC_ADDEXCL_PATH), &path);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&path), 2);
    WidenToLabel(dialog, IDC_ADDEXCL_LABEL, 2, path.left - 2);
    RECT box;
    GetWindowRect(GetDlgItem(dialog, IDC_ADDEXCL_SUBFOLDERS), &box);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&box), 2);
    WidenToLabel(dialog, IDC_ADDEXCL_SUBFOLDERS, GetSystemMetrics(SM_CXMENUCHECK) + 8, client.right - box.left);
}

INT_PTR CALLBACK AddExclusionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        addTextLength = static_cast<size_t>(lParam);
        LabelDialog(dialog, addExclusionLabels);
        FitLabels(dialog);
        SendDlgItemMessageA(dialog, IDC_ADDEXCL_PATH, EM_LIMITTEXT, EXCLUSION_PATH_SIZE - 1, 0);
        // The path field has the focus; FALSE keeps the dialog manager from moving it.
        SetFocus(GetDlgItem(dialog, IDC_ADDEXCL_PATH));
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OnAddOk(dialog);
            break;
        case IDCANCEL:
            EndDialog(dialog, 0);
            break;
        case IDC_ADDEXCL_BROWSE:
            OnAddBrowse(dialog);
            break;
        }
        return TRUE;
    }
    return FALSE;
}
