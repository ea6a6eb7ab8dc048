// The Information page: the driver's ten statistics counters and the last file scanned, refreshed
// every 150 ms while the page exists; Clear asks the driver to zero the counters.
#include <cstdio>
#include <cstring>

#include "base/bounded.h"
#include "driver/link.h"
#include "res/resource.h"
#include "sheet/pages.h"
#include "sheet/sheet.h"
#include "sheet/shorten_path.h"

constexpr UINT_PTR REFRESH_TIMER_ID = 1;
constexpr UINT REFRESH_MS = 150;

static const TextLabel informationLabels[] = {
    {635, IDC_INFO_FILES_SCANNED_LABEL},  {636, IDC_INFO_FILES_INFECTED_LABEL},
    {638, IDC_INFO_FILES_SUSPICIOUS_LABEL}, {637, IDC_INFO_BOOT_SCANNED_LABEL},
    {642, IDC_INFO_BOOT_INFECTED_LABEL},  {643, IDC_INFO_BOOT_SUSPICIOUS_LABEL},
    {639, IDC_INFO_DISINFECTED_LABEL},    {641, IDC_INFO_DELETED_LABEL},
    {640, IDC_INFO_RENAMED_LABEL},        {644, IDC_INFO_MOVED_LABEL},
    {633, IDC_INFO_LAST_FILE_FRAME},      {647, IDC_INFO_STATS_FRAME},
    {634, IDC_INFO_FILES_FRAME},          {645, IDC_INFO_BOOT_FRAME},
    {646, IDC_INFO_ACTION_FRAME},         {648, IDC_INFO_CLEAR},
};

// The value fields in refresh order, each with the counter it shows.
struct CounterField {
    int control;
    volatile uint32_t StatusBlock::*counter;
};
static const CounterField counterFields[] = {
    {IDC_INFO_FILES_SCANNED, &StatusBlock::filesScanned},
    {IDC_INFO_FILES_INFECTED, &StatusBlock::filesInfected},
    {IDC_INFO_FILES_SUSPICIOUS, &StatusBlock::filesSuspicious},
    {IDC_INFO_BOOT_SCANNED, &StatusBlock::bootScanned},
    {IDC_INFO_BOOT_INFECTED, &StatusBlock::bootInfected},
    {IDC_INFO_BOOT_SUSPICIOUS, &StatusBlock::bootSuspicious},
    {IDC_INFO_DISINFECTED, &StatusBlock::disinfectedCount},
    {IDC_INFO_DELETED, &StatusBlock::deletedCount},
    {IDC_INFO_RENAMED, &StatusBlock::renamedCount},
    {IDC_INFO_MOVED, &StatusBlock::movedCount},
};

// Sets a control's text only when it would change: an unchanged page costs no repaint.
static void SetIfChanged(HWND page, int control, const char *text)
{
    char shown[sizeof statusBlock->lastFile];
    GetDlgItemTextA(page, control, shown, sizeof shown);
    if (std::strcmp(shown, text) != 0)
        SetDlgItemTextA(page, control, text);
}

// The driver writes lastFile at any time and may leave it without a terminator; the copy reads
// no further than the field and keeps the whole name, so the shortened form shows the right file.
static void Refresh(HWND page)
{
    char lastFile[sizeof statusBlock->lastFile];
    CopyBounded(lastFile, statusBlock->lastFile);
    ShortenPath(lastFile, sizeof lastFile);
    SetIfChanged(page, IDC_INFO_LAST_FILE, lastFile);

    // Counters are shown as signed numbers (2147483648 and above show negative). The shown text is
    // compared rather than its number read back unsigned, which would never match a negative text
    // and so would rewrite such a field on every tick.
    for (const CounterField &field : counterFields) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", static_cast<int32_t>(statusBlock->*field.counter));
        SetIfChanged(page, field.control, text);
    }
}

static void OnInit(HWND page)
{
    for (const CounterField &field : counterFields)
        SetDlgItemInt(page, field.control, 0, TRUE);
    LabelDialog(page, informationLabels);
    Refresh(page);
    SetTimer(page, REFRESH_TIMER_ID, REFRESH_MS, nullptr);
}

INT_PTR CALLBACK InformationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInit(page);
        return TRUE;
    case WM_TIMER:
        Refresh(page);
        return TRUE;
    case WM_COMMAND:
        // The fields follow at the next refresh, once the driver has zeroed its counters.
        if (LOWORD(wParam) == IDC_INFO_CLEAR)
            sendControl(CTL_CLEAR_STATISTICS);
        return FALSE;
    case WM_DESTROY:
        KillTimer(page, REFRESH_TIMER_ID);
        return FALSE;
    }
    return FALSE;
}
