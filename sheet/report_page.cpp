// The report page: the report file, what goes into it, and the logging state last acted on.
#include "sheet/pages.h"

#include "base/bounded.h"
#include "driver/link.h"
#include "driver/texts.h"
#include "res/resource.h"

char lastLogFileName[260];
int lastLogToFile;

void RecordLoggingInForce(void)
{
    CopyBounded(lastLogFileName, statusBlock->logFileName);
    lastLogToFile = static_cast<int>(statusBlock->logToFile);
}

static const TextLabel reportLabels[] = {
    {657, IDC_REPORT_FILE_FRAME},   {661, IDC_REPORT_WHAT_FRAME}, {658, IDC_REPORT_LOG_TO_FILE},
    {659, IDC_REPORT_APPEND},       {660, IDC_REPORT_BROWSE},     {662, IDC_REPORT_INFECTION},
    {663, IDC_REPORT_DISINFECTION}, {664, IDC_REPORT_DELETE},     {665, IDC_REPORT_MOVE_RENAME},
    {666, IDC_REPORT_USER},         {667, IDC_REPORT_DATE_TIME},  {668, IDC_REPORT_SUMMARY},
    {669, IDC_REPORT_SETTINGS},
};

// For now the page shows its labelled template only and takes no part in the page protocol.
INT_PTR CALLBACK ReportPageProc(HWND page, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    LabelDialog(page, reportLabels);
    return TRUE;
}
