// The About page: the product, its signature files, the driver's version numbers and the choice of
// language, which the sheet carries out at its next opening.
#include <cstdio>
#include <cstring>

#include "base/bounded.h"
#include "driver/link.h"
#include "res/resource.h"
#include "sheet/driver_format.h"
#include "sheet/pages.h"
#include "sheet/sheet.h"

constexpr size_t ABOUT_TEXT_SIZE = 1024;      // each formatted text: at most 1023 characters
constexpr size_t LANGUAGE_NAME_SIZE = 50;     // a language name: at most 49 characters
constexpr uint32_t MAX_LANGUAGES = 256;       // more than any driver offers; bounds a broken count

static const TextLabel aboutLabels[] = {
    {649, IDC_ABOUT_NOTICE}, {652, IDC_ABOUT_LANGUAGE_LABEL},
};

// Shows text (OEM) in control, converted.
static void ShowConverted(HWND page, int control, char *text)
{
    OemToCharA(text, text);   // in place: a converted text is never longer than its source
    SetDlgItemTextA(page, control, text);
}

// A date line: text number is a format for the date, a text field of the driver's record that
// may lack its terminator. A format asking for anything but one text is shown as it stands.
static void ShowDateLine(HWND page, int control, int number, const char (&field)[40])
{
    char date[sizeof field + 1];
    size_t length = BoundedLength(field, sizeof field);
    std::memcpy(date, field, length);
    date[length] = 0;
    char line[ABOUT_TEXT_SIZE];
    const char *format = StoredText(number);
    if (FormatFits(format, FORMAT_TEXTS, 1))
        std::snprintf(line, sizeof line, format, date);
    else
        CopyBounded(line, format);
    ShowConverted(page, control, line);
}

// FormatFits lets a driver's %lu through: it must read the 32 bits each number is passed in.
static_assert(sizeof(long) == sizeof(uint32_t), "long is 32 bits on both Windows builds");

// Text 700 takes the eight numbers with the third one in seventh place.
static void ShowVersionText(HWND page)
{
    const uint32_t *v = statusBlock->versionInfo;
    char text[ABOUT_TEXT_SIZE];
    const char *format = StoredText(TEXT_VERSION_INFO);
    if (FormatFits(format, FORMAT_NUMBERS, 8))
        std::snprintf(text, sizeof text, format, v[0], v[1], v[3], v[4], v[5], v[6], v[2], v[7]);
    else
        CopyBounded(text, format);
    ShowConverted(page, IDC_ABOUT_VERSION, text);
}

// Item i is language number i. A languageId outside the list leaves nothing selected.
static void FillLanguages(HWND page)
{
    HWND box = GetDlgItem(page, IDC_ABOUT_LANGUAGE);
    uint32_t count = languageList != nullptr ? languageCount : 0;
    if (count > MAX_LANGUAGES)
        count = MAX_LANGUAGES;
    for (uint32_t i = 0; i < count; i++) {
        char name[LANGUAGE_NAME_SIZE];
        ConvertLanguageName(i, name, sizeof name);
        SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    SendMessageA(box, CB_SETCURSEL, languageId < count ? languageId : static_cast<WPARAM>(-1), 0);
    if (count <= 1)
        EnableWindow(box, FALSE);
}

static void OnInit(HWND page)
{
    // The template's product line names no real version: the page always shows the driver's.
    char line[ABOUT_TEXT_SIZE];
    FormatProductLine(line, sizeof line, "%s %s.%s\n");
    SetDlgItemTextA(page, IDC_ABOUT_PRODUCT, line);
    LabelDialog(page, aboutLabels);
    ShowDateLine(page, IDC_ABOUT_SIGN_DATE, 650, statusBlock->signDate);
    ShowDateLine(page, IDC_ABOUT_MACRO_DATE, 651, statusBlock->macroDate);
    ShowVersionText(page);
    FillLanguages(page);
}

// Only the choice is recorded: the sheet switches at its next opening. Nothing goes to the sheet
// (Apply stays as it is) or to the driver, and nothing is saved now.
static void OnLanguagePicked(HWND page)
{
    LRESULT picked = SendDlgItemMessageA(page, IDC_ABOUT_LANGUAGE, CB_GETCURSEL, 0, 0);
    if (picked < 0 || static_cast<uint32_t>(picked) == languageId)
        return;
    languageId = static_cast<uint32_t>(picked);
    languageSwitchPending = 1;
}

INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInit(page);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_ABOUT_LANGUAGE)
            OnLanguagePicked(page);
        return FALSE;
    }
    return FALSE;
}
