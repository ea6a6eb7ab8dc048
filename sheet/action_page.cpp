// The Action page: what the driver does with an infected file, the folder moved files go to, the
// macro options, and "Only log to report", which starts and stops logging at once.
#include "base/bounded.h"
#include "driver/link.h"
#include "res/resource.h"
#include "sheet/folder_picker.h"
#include "sheet/logging.h"
#include "sheet/pages.h"
#include "sheet/sheet.h"

static const TextLabel actionLabels[] = {
    {670, IDC_ACTION_FRAME},      {679, IDC_ACTION_MACRO_FRAME}, {678, IDC_ACTION_MOVE_FRAME},
    {672, IDC_ACTION_DENY},       {673, IDC_ACTION_RENAME},      {675, IDC_ACTION_DELETE},
    {674, IDC_ACTION_MOVE},       {676, IDC_ACTION_DISINFECT},   {671, IDC_ACTION_REPORT_ONLY},
    {677, IDC_ACTION_ONLY_LOG},   {680, IDC_ACTION_MACRO_NEW_TEXT}, {681, IDC_ACTION_MACRO_ALL_TEXT},
    {590, IDC_ACTION_STOP_MACROS},
};

// Read in this order; with none ticked the last entry, report only, is stored.
static const PageChoice actionChoices[] = {
    {IDC_ACTION_DENY, ACTION_DENY},     {IDC_ACTION_RENAME, ACTION_RENAME},
    {IDC_ACTION_MOVE, ACTION_MOVE},     {IDC_ACTION_DELETE, ACTION_DELETE},
    {IDC_ACTION_DISINFECT, ACTION_DISINFECT}, {IDC_ACTION_REPORT_ONLY, ACTION_REPORT_ONLY},
};

static void ReadActionPage(HWND page);
static void FillActionPage(HWND page);

static const EditingPage actionPage = {
    &actionPageDirty, actionLabels, sizeof actionLabels / sizeof actionLabels[0], FillActionPage, ReadActionPage,
    CTL_ACTION_OPTIONS_CHANGED, 0,
};

// The macro options, in the order they are switched.
static const int macroOptionControls[] = {
    IDC_ACTION_MACRO_NEW_TEXT, IDC_ACTION_MACRO_ALL_TEXT, IDC_ACTION_MACRO_NEW, IDC_ACTION_MACRO_ALL};

static void SetMacroOptionsEnabled(HWND page, int enable)
{
    for (int control : macroOptionControls)
        EnableWindow(GetDlgItem(page, control), enable);
}

static void SetMoveFolderEnabled(HWND page, int enable)
{
    EnableWindow(GetDlgItem(page, IDC_ACTION_MOVE_DIR), enable);
    EnableWindow(GetDlgItem(page, IDC_ACTION_BROWSE), enable);
}

// 1 when the current directory can be changed into path; the current directory is always restored.
static int IsUsableFolder(const char *path)
{
    // Without the current folder in hand the test could not undo itself: the folder is refused.
    char current[2 * MAX_PATH];
    DWORD length = GetCurrentDirectoryA(sizeof current, current);
    if (length == 0 || length >= sizeof current)
        return 0;
    if (!SetCurrentDirectoryA(path))
        return 0;
    SetCurrentDirectoryA(current);
    return 1;
}

static void FillActionPage(HWND page)
{
    const StatusBlock &block = *statusBlock;
    SendDlgItemMessageA(page, IDC_ACTION_MOVE_DIR, EM_LIMITTEXT, sizeof block.moveDir - 1, 0);
    ShowTicked(page, IDC_ACTION_ONLY_LOG, block.onlyLog != 0);
    ShowTicked(page, IDC_ACTION_STOP_MACROS, block.stopMacros != 0);
    ShowFieldText(page, IDC_ACTION_MOVE_DIR, block.moveDir);
    ShowTicked(page, IDC_ACTION_MACRO_NEW, block.macroSpecial & MACRO_REMOVE_NEW);
    ShowTicked(page, IDC_ACTION_MACRO_ALL, block.macroSpecial & MACRO_REMOVE_ALL);
    TickChoice(page, actionChoices, block.action);
    SetMoveFolderEnabled(page, block.action == ACTION_MOVE);
    SetMacroOptionsEnabled(page, block.action == ACTION_DISINFECT);
}

// The typed move folder, or 0 when it is empty, longer than moveDir holds (put there by another
// program: the edit itself takes no more) or cannot be entered.
static int ReadMoveFolder(HWND page, char (&folder)[sizeof StatusBlock::moveDir])
{
    return ReadWholeText(page, IDC_ACTION_MOVE_DIR, folder) && folder[0] != 0 && IsUsableFolder(folder);
}

static void ReadActionPage(HWND page)
{
    StatusBlock &block = *statusBlock;
    // Checked whatever the action, also while the edit is disabled; a refused folder brings back
    // the one in force, silently.
    char folder[sizeof block.moveDir];
    if (ReadMoveFolder(page, folder)) {
        CopyBounded(block.moveDir, folder);
        MarkEditApplied(page, IDC_ACTION_MOVE_DIR);
    } else {
        ShowFieldText(page, IDC_ACTION_MOVE_DIR, block.moveDir);
    }
    uint32_t macros = 0;
    if (IsTicked(page, IDC_ACTION_MACRO_NEW))
        macros |= MACRO_REMOVE_NEW;
    if (IsTicked(page, IDC_ACTION_MACRO_ALL))
        macros |= MACRO_REMOVE_ALL;
    block.macroSpecial = macros;
    block.onlyLog = IsTicked(page, IDC_ACTION_ONLY_LOG);
    block.stopMacros = IsTicked(page, IDC_ACTION_STOP_MACROS);
    block.action = ReadChoice(page, actionChoices);
}

static void ShowWarning(HWND page, DLGPROC procedure)
{
    DialogBoxParamA(ModuleOf(page), MAKEINTRESOURCEA(IDD_WARNING), page, procedure, 0);
}

// Ticking the box: the warning first, then the logging it asks for; unticking stops only logging
// the box started.
static void OnOnlyLog(HWND page)
{
    int ticked = IsTicked(page, IDC_ACTION_ONLY_LOG);
    SwitchOnlyLog(ticked);
    if (ticked) {
        ShowWarning(page, OnlyLogWarningProc);
        StartOnlyLogLogging();
    } else {
        StopOnlyLogLogging();
    }
    MarkPageChanged(page, actionPage);
}

static void OnStopMacros(HWND page)
{
    statusBlock->stopMacros = IsTicked(page, IDC_ACTION_STOP_MACROS);   // at once, like onlyLog
    if (statusBlock->stopMacros)
        ShowWarning(page, StopMacrosWarningProc);
    MarkPageChanged(page, actionPage);
}

// The chooser starts in the move folder in force; a folder taken is in force at once, and Cancel on
// the sheet keeps it. 1 when one was taken.
static int OnBrowse(HWND page)
{
    StatusBlock &block = *statusBlock;
    char folder[sizeof block.moveDir];
    if (!PickFolder(page, block.moveDir, folder))
        return 0;
    CopyBounded(block.moveDir, folder);
    SetDlgItemTextA(page, IDC_ACTION_MOVE_DIR, block.moveDir);
    return 1;
}

static INT_PTR OnCommand(HWND page, int control)
{
    switch (control) {
    case IDC_ACTION_REPORT_ONLY:
    case IDC_ACTION_DENY:
    case IDC_ACTION_RENAME:
    case IDC_ACTION_DELETE:
    case IDC_ACTION_MOVE:
    case IDC_ACTION_DISINFECT:
        SetMacroOptionsEnabled(page, control == IDC_ACTION_DISINFECT);
        SetMoveFolderEnabled(page, control == IDC_ACTION_MOVE);
        MarkPageChanged(page, actionPage);
        break;
    case IDC_ACTION_MACRO_NEW:
    case IDC_ACTION_MACRO_ALL:
        MarkPageChanged(page, actionPage);
        break;
    case IDC_ACTION_MOVE_DIR:
        // Typing sets the modified flag; the page's own SetDlgItemTextA calls clear it.
        if (SendDlgItemMessageA(page, IDC_ACTION_MOVE_DIR, EM_GETMODIFY, 0, 0))
            MarkPageChanged(page, actionPage);
        break;
    case IDC_ACTION_BROWSE:
        if (OnBrowse(page))
            MarkPageChanged(page, actionPage);
        return TRUE;
    case IDC_ACTION_ONLY_LOG:
        OnOnlyLog(page);
        break;
    case IDC_ACTION_STOP_MACROS:
        OnStopMacros(page);
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK ActionPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitEditingPage(page, actionPage);
        return TRUE;
    case WM_COMMAND:
        return OnCommand(page, LOWORD(wParam));
    case WM_NOTIFY:
        return NotifyEditingPage(page, actionPage, reinterpret_cast<const NMHDR *>(lParam));
    }
    return FALSE;
}
