// The About page: the product, its signature files and the choice of language. For now it shows its
// labelled template and the product line only.
#include "res/resource.h"
#include "sheet/pages.h"
#include "sheet/sheet.h"

static const TextLabel aboutLabels[] = {
    {649, IDC_ABOUT_NOTICE}, {652, IDC_ABOUT_LANGUAGE_LABEL},
};

INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    // The template's product line names no real version: the page always shows the driver's.
    char line[1024];
    FormatProductLine(line, sizeof line, "%s %s.%s\n");
    SetDlgItemTextA(page, IDC_ABOUT_PRODUCT, line);
    LabelDialog(page, aboutLabels);
    return TRUE;
}
