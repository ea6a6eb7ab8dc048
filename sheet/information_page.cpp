// The Information page: the driver's statistics and the last file scanned. For now it shows its
// labelled template only; the value fields stay empty.
#include "res/resource.h"
#include "sheet/pages.h"
#include "sheet/sheet.h"

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

INT_PTR CALLBACK InformationPageProc(HWND page, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    LabelDialog(page, informationLabels);
    return TRUE;
}
