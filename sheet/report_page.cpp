// The Report page: whether and where the driver writes its report file, and what goes into it.
// Its apply has logging follow Log to file and the file name; the action page's "Only log to
// report" locks its log-file section.
#include "base/bounded.h"
#include "driver/link.h"
#include "driver/texts.h"
#include "res/resource.h"
#include "sheet/folder_picker.h"
#include "sheet/logging.h"
#include "sheet/pages.h"
#include "sheet/sheet.h"

static const TextLabel reportLabels[] = {
    {657, IDC_REPORT_FILE_FRAME},   {661, IDC_REPORT_WHAT_FRAME}, {658, IDC_REPORT_LOG_TO_FILE},
    {659, IDC_REPORT_APPEND},       {660, IDC_REPORT_BROWSE},     {662, IDC_REPORT_INFECTION},
    {663, IDC_REPORT_DISINFECTION}, {664, IDC_REPORT_DELETE},     {665, IDC_REPORT_MOVE_RENAME},
    {666, IDC_REPORT_USER},         {667, IDC_REPORT_DATE_TIME},  {668, IDC_REPORT_SUMMARY},
    {669, IDC_REPORT_SETTINGS},
};

// The what-to-log boxes and the logMask bit each stands for.
struct LogMaskBox {
    int control;
    uint32_t bit;
};
static const LogMaskBox logMaskBoxes[] = {
    {IDC_REPORT_INFECTION, LOG_INFECTION}, {IDC_REPORT_DISINFECTION, LOG_DISINFECTION},
    {IDC_REPORT_DELETE, LOG_DELETE},       {IDC_REPORT_MOVE_RENAME, LOG_MOVE_RENAME},
    {IDC_REPORT_USER, LOG_USER},           {IDC_REPORT_DATE_TIME, LOG_DATE_TIME},
    {IDC_REPORT_SETTINGS, LOG_SETTINGS},   {IDC_REPORT_SUMMARY, LOG_SUMMARY},
};

// The controls that follow "Log to file", in the order they are switched.
static const int logDependentControls[] = {
    IDC_REPORT_FILE_NAME,    IDC_REPORT_APPEND, IDC_REPORT_BROWSE,   IDC_REPORT_INFECTION,
    IDC_REPORT_DISINFECTION, IDC_REPORT_DELETE, IDC_REPORT_MOVE_RENAME, IDC_REPORT_USER,
    IDC_REPORT_DATE_TIME,    IDC_REPORT_SETTINGS, IDC_REPORT_SUMMARY,
};

static void FillReportPage(HWND page);
static void ReadReportPage(HWND page);

static const EditingPage reportPage = {
    &reportPageDirty, reportLabels, sizeof reportLabels / sizeof reportLabels[0], FillReportPage, ReadReportPage,
    0,   // no change code: the apply acts on logging itself
    1,   // changes abandoned with Cancel still show as changes when the page is next opened
};

// Enables or disables the eleven controls that depend on "Log to file".
static void SetLogControlsEnabled(HWND page, int enable)
{
    for (int control : logDependentControls)
        EnableWindow(GetDlgItem(page, control), enable);
}

static void ShowLogFileName(HWND page)
{
    ShowFieldText(page, IDC_REPORT_FILE_NAME, statusBlock->logFileName);
}

// While "Only log to report" is on, Log to file cannot be switched, and a log-file section in use
// cannot be changed. At the page's opening this is the same as leaving the template's states alone
// when the box is off.
static void LockLogFileSection(HWND page)
{
    int locked = LogFileSectionLocked();
    EnableWindow(GetDlgItem(page, IDC_REPORT_LOG_TO_FILE), !locked);
    if (statusBlock->logToFile)
        SetLogControlsEnabled(page, !locked);
}

// A click on "Only log to report" since the page's last message: the lock follows the box. The
// click may also have filled in the default report name; an edit the user has not typed into
// shows it, so that an apply does not take the old text back.
static void FollowOnlyLog(HWND page)
{
    LockLogFileSection(page);
    if (!SendDlgItemMessageA(page, IDC_REPORT_FILE_NAME, EM_GETMODIFY, 0, 0))
        ShowLogFileName(page);
}

static void FillReportPage(HWND page)
{
    const StatusBlock &block = *statusBlock;
    SendDlgItemMessageA(page, IDC_REPORT_FILE_NAME, EM_LIMITTEXT, sizeof block.logFileName - 1, 0);
    ShowTicked(page, IDC_REPORT_APPEND, block.append != 0);
    for (const LogMaskBox &box : logMaskBoxes) {
        if (block.logMask & box.bit)
            CheckDlgButton(page, box.control, BST_CHECKED);
    }
    ShowLogFileName(page);
    if (block.logToFile)
        CheckDlgButton(page, IDC_REPORT_LOG_TO_FILE, BST_CHECKED);
    else
        SetLogControlsEnabled(page, 0);
    LockLogFileSection(page);
}

// The typed name into logFileName; an empty edit brings back the name last accepted. A text longer
// than the field (put there by another program: the edit itself takes no more) is not taken cut.
static void ReadLogFileName(HWND page)
{
    StatusBlock &block = *statusBlock;
    char typed[sizeof block.logFileName];
    if (ReadWholeText(page, IDC_REPORT_FILE_NAME, typed) && typed[0] != 0) {
        CopyBounded(block.logFileName, typed);
        MarkEditApplied(page, IDC_REPORT_FILE_NAME);
        return;
    }
    CopyBounded(block.logFileName, LogFileNameInForce());
    ShowLogFileName(page);
}

static void ReadReportPage(HWND page)
{
    StatusBlock &block = *statusBlock;
    block.append = IsTicked(page, IDC_REPORT_APPEND);
    block.logToFile = IsTicked(page, IDC_REPORT_LOG_TO_FILE);   // a disabled box keeps its state
    uint32_t mask = 0;
    for (const LogMaskBox &box : logMaskBoxes)
        mask |= IsTicked(page, box.control) ? box.bit : 0;
    block.logMask = mask;
    ReadLogFileName(page);
    PutReportLoggingInForce();
}

// The open-file dialog, proposing the name in force; 1 when a file was chosen, which is then in
// force at once, whatever becomes of the sheet.
static int BrowseLogFile(HWND page)
{
    static char fileTitle[516];   // receives the file title; never read
    StatusBlock &block = *statusBlock;
    // Into a copy: a dialog that fails may still write into its buffer (a path too long for it
    // leaves there the size it would need).
    char chosen[sizeof block.logFileName];
    CopyBounded(chosen, block.logFileName);
    OPENFILENAMEA record = {};
    record.lStructSize = FILE_DIALOG_RECORD_SIZE;
    record.hwndOwner = page;
    record.lpstrFilter = "Log Files (*.REP)\0*.rep\0AllFiles (*.*)\0*.*\0";
    record.nFilterIndex = 0;   // the first pair
    record.lpstrFile = chosen;
    record.nMaxFile = sizeof chosen;
    record.lpstrFileTitle = fileTitle;
    record.nMaxFileTitle = sizeof fileTitle;
    // The file need not exist; long names as the folder chooser takes them.
    record.Flags = OFN_HIDEREADONLY | OFN_LONGNAMES;
    record.lpstrDefExt = "log";
    if (!getOpenFileName(&record))
        return 0;
    CopyBounded(block.logFileName, chosen);
    ShowLogFileName(page);
    return 1;
}

static int IsLogMaskBox(int control)
{
    for (const LogMaskBox &box : logMaskBoxes) {
        if (control == box.control)
            return 1;
    }
    return 0;
}

static INT_PTR OnCommand(HWND page, int control)
{
    switch (control) {
    case IDC_REPORT_LOG_TO_FILE:
        statusBlock->logToFile = IsTicked(page, IDC_REPORT_LOG_TO_FILE);   // at once: Cancel keeps it
        SetLogControlsEnabled(page, static_cast<int>(statusBlock->logToFile));
        MarkPageChanged(page, reportPage);
        break;
    case IDC_REPORT_FILE_NAME:
        if (SendDlgItemMessageA(page, IDC_REPORT_FILE_NAME, EM_GETMODIFY, 0, 0))
            MarkPageChanged(page, reportPage);
        break;
    case IDC_REPORT_BROWSE:
        if (BrowseLogFile(page))
            MarkPageChanged(page, reportPage);
        return TRUE;
    default:
        if (control == IDC_REPORT_APPEND || IsLogMaskBox(control))
            MarkPageChanged(page, reportPage);
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK ReportPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Before anything else: a click on "Only log to report" since the last message.
    if (TakeOnlyLogSwitch())
        FollowOnlyLog(page);
    switch (message) {
    case WM_INITDIALOG:
        InitEditingPage(page, reportPage);
        return FALSE;
    case WM_COMMAND:
        return OnCommand(page, LOWORD(wParam));
    case WM_NOTIFY:
        return NotifyEditingPage(page, reportPage, reinterpret_cast<const NMHDR *>(lParam));
    }
    return FALSE;
}
