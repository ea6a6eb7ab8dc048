// The property sheet frame: the pending language switch, the six page records, the header, and the
// page protocol the editing pages share.
#include "sheet/sheet.h"

#include <commctrl.h>

#include <cstddef>
#include <cstdio>

#include "base/bounded.h"
#include "driver/link.h"
#include "res/resource.h"
#include "settings/store.h"
#include "sheet/pages.h"

int sheetOpen;
int languageSwitchPending;
SheetHost sheetHost;
int scanPageDirty;
int actionPageDirty;
int reportPageDirty;
int exclusionsPageDirty;

// The sheet walks the page array by each record's dwSize, so the array must be made of records of
// exactly the first form, whatever the SDK's PROPSHEETPAGEA has grown to.
typedef PROPSHEETPAGEA_V1 PageRecord;
// The header's first form ends with pfnCallback (the SDK's macro for it is no constant expression).
constexpr DWORD SHEET_HEADER_SIZE = offsetof(PROPSHEETHEADERA, pfnCallback) + sizeof(PFNPROPSHEETCALLBACK);
#ifdef _WIN64
static_assert(sizeof(PageRecord) == 72 && SHEET_HEADER_SIZE == 72, "first forms, 64-bit layout");
static_assert(offsetof(PageRecord, pszTitle) == 32 && offsetof(PageRecord, pfnDlgProc) == 40,
              "first form of the page record, 64-bit layout");
static_assert(offsetof(PROPSHEETHEADERA, ppsp) == 56, "first form of the sheet header, 64-bit layout");
#else
static_assert(sizeof(PageRecord) == 40 && SHEET_HEADER_SIZE == 40, "first forms: 40 bytes each");
static_assert(offsetof(PageRecord, pszTitle) == 20 && offsetof(PageRecord, pfnDlgProc) == 24
                  && offsetof(PageRecord, lParam) == 28,
              "first form of the page record");
static_assert(offsetof(PROPSHEETHEADERA, pszCaption) == 20 && offsetof(PROPSHEETHEADERA, ppsp) == 32
                  && offsetof(PROPSHEETHEADERA, pfnCallback) == 36,
              "first form of the sheet header");
#endif

// The pages in their fixed order.
struct PageEntry {
    int templateId;
    int title;     // LanguageTable text of the tab
    DLGPROC procedure;
};
static const PageEntry sheetPages[] = {
    {IDD_SCAN_PAGE, 611, ScanPageProc},
    {IDD_ACTION_PAGE, 613, ActionPageProc},
    {IDD_REPORT_PAGE, 614, ReportPageProc},
    {IDD_EXCLUSIONS_PAGE, 616, ExclusionsPageProc},
    {IDD_INFO_PAGE, 612, InformationPageProc},
    {IDD_ABOUT_PAGE, 615, AboutPageProc},
};
constexpr size_t PAGE_COUNT = sizeof sheetPages / sizeof sheetPages[0];

void FormatProductLine(char *buffer, size_t size, const char *format)
{
    char line[2048];   // both texts belong to the driver and may be long; the result is cut below
    std::snprintf(line, sizeof line, format, StoredText(TEXT_PRODUCT), StoredText(TEXT_VERSION), "05");
    CopyBounded(buffer, size, line);
    if (size > 0)
        OemToCharA(buffer, buffer);   // in place: a converted text is never longer than its source
}

static const char SAVE_FAILED_TEXT[] = "Can not save the settings.";
static UINT_PTR saveFailureTimer;   // a refused save waits on it for its message

static void CALLBACK TellSaveFailure(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);   // before the message box, whose loop would run the timer again
    saveFailureTimer = 0;
    ShowStop(SAVE_FAILED_TEXT, StoredText(TEXT_PRODUCT));
}

int SaveSettingsOrTell(void)
{
    if (SaveSettings())
        return 1;
    // An OK applies every visited page in one go, each with its own save; a thread timer fires only
    // once the sheet has done so and a message loop waits again, whichever loop that is.
    if (saveFailureTimer == 0) {
        saveFailureTimer = SetTimer(nullptr, 0, 0, TellSaveFailure);
        if (saveFailureTimer == 0)
            ShowStop(SAVE_FAILED_TEXT, StoredText(TEXT_PRODUCT));   // nothing to wait with: told now
    }
    return 0;
}

// A pending choice from the About page is carried out before any page exists, so the whole sheet
// speaks the new language. A refusal keeps the old table and languageId alike (SelectLanguage shows
// the message); only a switch that happened is saved.
static void SwitchLanguageIfPending(void)
{
    if (!languageSwitchPending)
        return;
    languageSwitchPending = 0;
    if (SelectLanguage(languageId))
        SaveSettingsOrTell();
}

int ShowPropertiesSheet(void)
{
    // From the first step on: "Can not load new language" runs a message loop of its own, in which
    // another request for the sheet must find it open.
    sheetOpen = 1;
    SwitchLanguageIfPending();

    // The buffers live as long as the sheet; static keeps them off the stack of a re-entered loop.
    static char titles[PAGE_COUNT][SHEET_TEXT_SIZE];
    static char caption[SHEET_TEXT_SIZE];
    static PageRecord pages[PAGE_COUNT];
    for (size_t i = 0; i < PAGE_COUNT; i++) {
        ConvertText(sheetPages[i].title, titles[i], sizeof titles[i]);
        PageRecord &page = pages[i];
        page = PageRecord();
        page.dwSize = sizeof(PageRecord);
        page.dwFlags = PSP_USETITLE;
        page.hInstance = sheetHost.module;
        page.pszTemplate = MAKEINTRESOURCEA(sheetPages[i].templateId);
        page.pszTitle = titles[i];
        page.pfnDlgProc = sheetPages[i].procedure;
        page.lParam = 0;
    }
    FormatProductLine(caption, sizeof caption, "%s %s.%s");

    PROPSHEETHEADERA header = {};
    header.dwSize = SHEET_HEADER_SIZE;
    // PSH_HASHELP gives the sheet its Help button; no page has help, so it stays disabled.
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_USEHICON | PSH_HASHELP;
    header.hwndParent = nullptr;
    header.hInstance = sheetHost.module;
    header.hIcon = sheetHost.icon;
    header.pszCaption = caption;
    header.nPages = PAGE_COUNT;
    header.nStartPage = 0;
    header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEA>(pages);
    header.pfnCallback = nullptr;

    int result = static_cast<int>(PropertySheetA(&header));
    sheetOpen = 0;
    return result;
}

// ---- The page protocol ------------------------------------------------------------------------

static void TellSheet(HWND page, UINT message)
{
    SendMessageA(GetParent(page), message, reinterpret_cast<WPARAM>(page), 0);
}

void InitEditingPage(HWND page, const EditingPage &editing)
{
    LabelDialog(page, editing.labels, editing.labelCount);
    editing.fill(page);
    if (!editing.keepsDirtyAtInit)
        *editing.dirty = 0;
}

void MarkPageChanged(HWND page, const EditingPage &editing)
{
    *editing.dirty = 1;
    TellSheet(page, PSM_CHANGED);
}

// Apply: every visited page applies on OK or Apply, changed or not; an apply is never refused.
static void ApplyEditingPage(HWND page, const EditingPage &editing)
{
    editing.read(page);
    TellSheet(page, PSM_UNCHANGED);
    *editing.dirty = 0;
    if (editing.changeCode != 0)
        sendControl(editing.changeCode);
    SaveSettingsOrTell();
}

INT_PTR NotifyEditingPage(HWND page, const EditingPage &editing, const NMHDR *header)
{
    switch (header->code) {
    case PSN_SETACTIVE:
        // Leaving the page withdrew its mark; coming back restores it.
        if (*editing.dirty)
            TellSheet(page, PSM_CHANGED);
        SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
        return TRUE;
    case PSN_KILLACTIVE:
        TellSheet(page, PSM_UNCHANGED);
        SetWindowLongPtrA(page, DWLP_MSGRESULT, FALSE);
        return TRUE;
    case PSN_APPLY:
        ApplyEditingPage(page, editing);
        SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
        return TRUE;
    }
    return FALSE;
}

// ---- Helpers for the controls of the pages ----------------------------------------------------

int ReadWholeText(HWND page, int control, char *text, size_t size)
{
    if (size == 0)
        return 0;
    text[0] = 0;
    HWND edit = GetDlgItem(page, control);
    if (GetWindowTextLengthA(edit) >= static_cast<int>(size))
        return 0;
    GetWindowTextA(edit, text, static_cast<int>(size));
    return 1;
}

void MarkEditApplied(HWND page, int control)
{
    SendDlgItemMessageA(page, control, EM_SETMODIFY, FALSE, 0);
}

int IsTicked(HWND page, int control)
{
    return IsDlgButtonChecked(page, control) == BST_CHECKED ? 1 : 0;
}

void ShowTicked(HWND page, int control, int on)
{
    CheckDlgButton(page, control, on ? BST_CHECKED : BST_UNCHECKED);
}

void TickChecks(HWND page, const PageCheck *checks, size_t count)
{
    for (size_t i = 0; i < count; i++)
        ShowTicked(page, checks[i].control, statusBlock->*checks[i].field != 0);
}

void ReadChecks(HWND page, const PageCheck *checks, size_t count)
{
    for (size_t i = 0; i < count; i++)
        statusBlock->*checks[i].field = IsTicked(page, checks[i].control);
}

void TickChoice(HWND page, const PageChoice *choices, size_t count, uint32_t value)
{
    for (size_t i = 0; i < count; i++) {
        if (choices[i].value == value)
            CheckDlgButton(page, choices[i].control, BST_CHECKED);
    }
}

uint32_t ReadChoice(HWND page, const PageChoice *choices, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        if (IsTicked(page, choices[i].control))
            return choices[i].value;
    }
    return count > 0 ? choices[count - 1].value : 0;
}

int ReadListRow(HWND list, LRESULT index, char *row, size_t size)
{
    if (size == 0)
        return 0;
    row[0] = 0;
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0 || static_cast<size_t>(length) >= size)
        return 0;
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(row));
    return 1;
}
