// The Scan options page: what and when to scan, three general switches, and the button that opens
// the extensions dialog.
#include "driver/link.h"
#include "res/resource.h"
#include "sheet/pages.h"
#include "sheet/sheet.h"

static const TextLabel scanLabels[] = {
    {617, IDC_SCAN_WHAT_FRAME},  {625, IDC_SCAN_ON_FRAME},    {629, IDC_SCAN_GENERAL_FRAME},
    {618, IDC_SCAN_PROGRAMS},    {619, IDC_SCAN_ONLY_MACROS}, {620, IDC_SCAN_ALL_FILES},
    {621, IDC_SCAN_ARCHIVES},    {622, IDC_SCAN_FLOPPY_BOOT}, {623, IDC_SCAN_COMPRESSED},
    {624, IDC_SCAN_HEURISTICS},  {630, IDC_SCAN_ON_SHUTDOWN}, {631, IDC_SCAN_CAN_DISABLE},
    {632, IDC_SCAN_SHOW_ICON},   {626, IDC_SCAN_ON_OPEN},     {627, IDC_SCAN_ON_CREATE},
    {628, IDC_SCAN_ON_BOTH},
};

// In the order they are read at apply.
static const PageCheck scanChecks[] = {
    {IDC_SCAN_ARCHIVES, &StatusBlock::archives},       {IDC_SCAN_FLOPPY_BOOT, &StatusBlock::floppyBoot},
    {IDC_SCAN_COMPRESSED, &StatusBlock::compressedExe}, {IDC_SCAN_HEURISTICS, &StatusBlock::heuristics},
    {IDC_SCAN_ON_SHUTDOWN, &StatusBlock::onShutdown},  {IDC_SCAN_CAN_DISABLE, &StatusBlock::canDisable},
    {IDC_SCAN_SHOW_ICON, &StatusBlock::showIcon},
};

// Read in this order; the last entry is also what an untouched group stores.
static const PageChoice scanTypeChoices[] = {
    {IDC_SCAN_PROGRAM_FILES, SCAN_PROGRAMS}, {IDC_SCAN_ONLY_MACROS, SCAN_MACROS}, {IDC_SCAN_ALL_FILES, SCAN_ALL}};
static const PageChoice scanOnChoices[] = {
    {IDC_SCAN_ON_OPEN, SCAN_ON_OPEN}, {IDC_SCAN_ON_CREATE, SCAN_ON_CREATE}, {IDC_SCAN_ON_BOTH, SCAN_ON_BOTH}};

// The controls whose every command marks the page changed.
static const int scanEditingControls[] = {
    IDC_SCAN_ARCHIVES,    IDC_SCAN_FLOPPY_BOOT, IDC_SCAN_HEURISTICS,  IDC_SCAN_COMPRESSED, IDC_SCAN_PROGRAM_FILES,
    IDC_SCAN_ALL_FILES,   IDC_SCAN_ON_OPEN,     IDC_SCAN_ON_CREATE,   IDC_SCAN_ON_BOTH,    IDC_SCAN_ON_SHUTDOWN,
    IDC_SCAN_CAN_DISABLE, IDC_SCAN_SHOW_ICON,   IDC_SCAN_ONLY_MACROS,
};

static void FillScanPage(HWND page)
{
    TickChecks(page, scanChecks);
    TickChoice(page, scanTypeChoices, statusBlock->scanType);
    TickChoice(page, scanOnChoices, statusBlock->scanOn);
}

static void ReadScanPage(HWND page)
{
    ReadChecks(page, scanChecks);
    // At once, on every apply and before the driver is told: adding an icon already shown changes
    // nothing, and the main window's timer gives a disabled scanner its own look at the next tick.
    sheetHost.showTrayIcon(statusBlock->showIcon != 0);
    statusBlock->scanType = ReadChoice(page, scanTypeChoices);
    statusBlock->scanOn = ReadChoice(page, scanOnChoices);
}

static const EditingPage scanPage = {
    &scanPageDirty, scanLabels, sizeof scanLabels / sizeof scanLabels[0], FillScanPage, ReadScanPage,
    CTL_SCAN_OPTIONS_CHANGED, 0,
};

static void OnCommand(HWND page, int control)
{
    if (control == IDC_SCAN_PROGRAMS) {
        // The dialog saves what it changes itself; the page is not marked.
        DialogBoxParamA(ModuleOf(page), MAKEINTRESOURCEA(IDD_EXTENSIONS), page, ExtensionsDialogProc, 0);
        return;
    }
    for (int editing : scanEditingControls) {
        if (control == editing) {
            MarkPageChanged(page, scanPage);
            return;
        }
    }
}

INT_PTR CALLBACK ScanPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitEditingPage(page, scanPage);
        return TRUE;
    case WM_COMMAND:
        OnCommand(page, LOWORD(wParam));
        return FALSE;
    case WM_NOTIFY:
        return NotifyEditingPage(page, scanPage, reinterpret_cast<const NMHDR *>(lParam));
    }
    return FALSE;
}
