// The Exclusions page: paths the driver leaves alone. For now it shows its labelled template only
// and takes no part in the page protocol.
#include "res/resource.h"
#include "sheet/pages.h"
#include "sheet/sheet.h"

static const TextLabel exclusionsLabels[] = {
    {656, IDC_EXCL_HEADER}, {654, IDC_EXCL_ADD}, {655, IDC_EXCL_REMOVE},
};

INT_PTR CALLBACK ExclusionsPageProc(HWND page, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    LabelDialog(page, exclusionsLabels);
    return TRUE;
}
