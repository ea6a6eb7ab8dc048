// The Action page: what the driver does with an infected file. For now it shows its labelled
// template only and takes no part in the page protocol.
#include "res/resource.h"
#include "sheet/pages.h"
#include "sheet/sheet.h"

static const TextLabel actionLabels[] = {
    {670, IDC_ACTION_FRAME},      {679, IDC_ACTION_MACRO_FRAME}, {678, IDC_ACTION_MOVE_FRAME},
    {672, IDC_ACTION_DENY},       {673, IDC_ACTION_RENAME},      {675, IDC_ACTION_DELETE},
    {674, IDC_ACTION_MOVE},       {676, IDC_ACTION_DISINFECT},   {671, IDC_ACTION_REPORT_ONLY},
    {677, IDC_ACTION_ONLY_LOG},   {680, IDC_ACTION_MACRO_NEW_TEXT}, {681, IDC_ACTION_MACRO_ALL_TEXT},
    {590, IDC_ACTION_STOP_MACROS},   // the template has no such box: no visible effect
};

INT_PTR CALLBACK ActionPageProc(HWND page, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    LabelDialog(page, actionLabels);
    return TRUE;
}
