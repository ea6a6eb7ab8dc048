// Every label of the sheet's pages and dialogs, in every language the reference driver speaks, shows
// its text and fits the rectangle its template gives it: no text is cut off, none runs under its
// neighbour.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/globals.h"
#include "driver/texts.h"
#include "res/resource.h"
#include "sheet/pages.h"
#include "tests/win/test_support.h"
#include "vxd/texts/language_texts.h"

namespace {

// Installs one language's texts into the test table as the driver hands them over (code page 437).
void InstallLanguage(const char *const *texts)
{
    InstallTestDriver();
    for (int number = DRIVER_FIRST_TEXT; number <= DRIVER_LAST_TEXT; number++) {
        const char *utf8 = texts[number - DRIVER_FIRST_TEXT];
        std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0)), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], static_cast<int>(wide.size()));
        std::string oem(wide.size() * 2, '\0');
        WideCharToMultiByte(437, 0, wide.c_str(), -1, &oem[0], static_cast<int>(oem.size()), nullptr, nullptr);
        SetTestText(number, oem.c_str());
    }
}

// The text as a button or static draws it: "&" marks the next character and is not drawn, "&&"
// draws one "&".
std::string Drawn(const char *text)
{
    std::string drawn;
    for (const char *p = text; *p != 0; p++) {
        if (*p == '&' && p[1] != 0)
            p++;
        drawn += *p;
    }
    return drawn;
}

// How far the text of control reaches past its room, in pixels (0 when it fits), measured with the
// control's own font: a check box or radio button loses its box and the gap after it, a frame its
// indents, a push button its edges; a static text wraps, and its lines must fit in height too.
struct Overflow {
    int width, height;
};
Overflow Overrun(HWND control)
{
    char text[1024];
    GetWindowTextA(control, text, sizeof text);
    RECT room;
    GetClientRect(control, &room);
    char className[32] = "";
    GetClassNameA(control, className, sizeof className);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    int lost = 0, wraps = 0;
    if (lstrcmpiA(className, "Button") == 0) {
        LONG kind = style & BS_TYPEMASK;
        lost = kind == BS_GROUPBOX ? 16 : (kind == BS_AUTOCHECKBOX || kind == BS_AUTORADIOBUTTON) ? 17 : 6;
    } else if (lstrcmpiA(className, "Static") == 0 && (style & SS_TYPEMASK) == SS_LEFT) {
        wraps = 1;
    } else {
        return {0, 0};
    }
    if (text[0] == 0)
        return {0, 0};
    HDC dc = GetDC(control);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    SIZE needed = {0, 0};
    if (wraps) {
        RECT lines = {0, 0, room.right, 0};
        DrawTextA(dc, text, -1, &lines, DT_CALCRECT | DT_WORDBREAK);
        needed = {lines.right, lines.bottom};
    } else {
        std::string drawn = Drawn(text);
        GetTextExtentPoint32A(dc, drawn.c_str(), static_cast<int>(drawn.size()), &needed);
    }
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    int wide = needed.cx - (room.right - lost), high = needed.cy - room.bottom;
    return {wide > 0 ? wide : 0, high > 0 ? high : 0};
}

// 1 when a page's controls get the MS Sans Serif bitmap font, as on Windows 95/98 (the prefixes of
// the i686 build have it); the figures below hold only for that font.
int DialogsHaveTheBitmapFont(void)
{
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(106), mainWindow, ScanPageProc, 0);
    HDC dc = GetDC(dialog);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)));
    char face[LF_FACESIZE] = "";
    GetTextFaceA(dc, sizeof face, face);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(dialog, dc);
    DestroyWindow(dialog);
    return lstrcmpA(face, "MS Sans Serif") == 0 && !(metrics.tmPitchAndFamily & (TMPF_VECTOR | TMPF_TRUETYPE));
}

struct Language {
    const char *name;
    const char *const *texts;
};
const Language languages[] = {{"English", englishTexts}, {"German", germanTexts}, {"French", frenchTexts}};

// The pages and dialogs of the sheet, by template.
struct Dialog {
    int id;
    DLGPROC procedure;
};
const Dialog dialogs[] = {{106, ScanPageProc},        {119, ActionPageProc},      {121, ReportPageProc},
                          {120, ExclusionsPageProc},  {107, InformationPageProc}, {108, AboutPageProc},
                          {118, ExtensionsDialogProc}, {132, AddExclusionDialogProc}};

TEST(SheetLabels, EveryLabelFitsInEveryLanguage)
{
    // Where the English texts, as the templates were made for them, reach past their controls in
    // Wine's rendering of MS Sans Serif: named with their figures instead of failing. The templates
    // keep their sizes.
    struct Known {
        int dialog, control;
        Overflow overflow;
    } known[] = {
        {106, 1000, {2, 0}},   // "&Inside ZIP && ARJ archives"
        {119, 1126, {0, 2}},   // two lines of 13 px in 24; the last line has no descender
    };
    CreateTestMainWindow();
    int bitmapFont = DialogsHaveTheBitmapFont();
    if (!bitmapFont)
        DestroyTestMainWindow();
    // Measured in another font the figures tell nothing: a failure, never a pass.
    ASSERT_TRUE(bitmapFont) << "the dialogs are not drawn in the MS Sans Serif bitmap font of Windows 95/98 here";
    for (const Language &language : languages) {
        InstallLanguage(language.texts);
        for (const Dialog &d : dialogs) {
            HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(d.id), mainWindow, d.procedure, 0);
            ASSERT_NE(nullptr, dialog) << d.id;
            for (HWND control = GetWindow(dialog, GW_CHILD); control != nullptr; control = GetWindow(control, GW_HWNDNEXT)) {
                Overflow overflow = Overrun(control), allowed = {0, 0};
                for (const Known &k : known) {
                    if (language.texts == englishTexts && k.dialog == d.id && k.control == GetDlgCtrlID(control))
                        allowed = k.overflow;
                }
                std::string what = std::string(language.name) + ", dialog " + std::to_string(d.id) + ", control "
                                   + std::to_string(GetDlgCtrlID(control)) + ": \"" + WindowText(control) + "\" is "
                                   + std::to_string(overflow.width) + " px too wide, " + std::to_string(overflow.height)
                                   + " px too high";
                EXPECT_TRUE(overflow.width == allowed.width && overflow.height == allowed.height) << what;
                if (allowed.width != 0 || allowed.height != 0)
                    std::printf("  known difference: %s\n", what.c_str());
            }
            DestroyWindow(dialog);
        }
    }
    DestroyTestMainWindow();
}

// A text of the driver's table (UTF-8 in its sources) as a window shows it: in code page 1252.
std::string Shown(const char *const *texts, int number)
{
    const char *utf8 = texts[number - DRIVER_FIRST_TEXT];
    std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], static_cast<int>(wide.size()));
    std::string ansi(wide.size() * 2, '\0');
    WideCharToMultiByte(1252, 0, wide.c_str(), -1, &ansi[0], static_cast<int>(ansi.size()), nullptr, nullptr);
    return ansi.c_str();
}

// Which text each label of the pages and dialogs shows, written out from their layout (control
// LABEL_TITLE: the dialog's caption), checked in every language the reference driver speaks.
TEST(PageTexts, EveryLabelShowsItsTextInEveryLanguage)
{
    struct Label {
        int dialog, control, text;
    } labels[] = {
        {106, IDC_SCAN_WHAT_FRAME, 617}, {106, IDC_SCAN_ON_FRAME, 625}, {106, IDC_SCAN_GENERAL_FRAME, 629},
        {106, IDC_SCAN_PROGRAMS, 618}, {106, IDC_SCAN_ONLY_MACROS, 619}, {106, IDC_SCAN_ALL_FILES, 620},
        {106, IDC_SCAN_ARCHIVES, 621}, {106, IDC_SCAN_FLOPPY_BOOT, 622}, {106, IDC_SCAN_COMPRESSED, 623},
        {106, IDC_SCAN_HEURISTICS, 624}, {106, IDC_SCAN_ON_SHUTDOWN, 630}, {106, IDC_SCAN_CAN_DISABLE, 631},
        {106, IDC_SCAN_SHOW_ICON, 632}, {106, IDC_SCAN_ON_OPEN, 626}, {106, IDC_SCAN_ON_CREATE, 627},
        {106, IDC_SCAN_ON_BOTH, 628},
        {119, IDC_ACTION_FRAME, 670}, {119, IDC_ACTION_MACRO_FRAME, 679}, {119, IDC_ACTION_MOVE_FRAME, 678},
        {119, IDC_ACTION_DENY, 672}, {119, IDC_ACTION_RENAME, 673}, {119, IDC_ACTION_DELETE, 675},
        {119, IDC_ACTION_MOVE, 674}, {119, IDC_ACTION_DISINFECT, 676}, {119, IDC_ACTION_REPORT_ONLY, 671},
        {119, IDC_ACTION_ONLY_LOG, 677}, {119, IDC_ACTION_MACRO_NEW_TEXT, 680}, {119, IDC_ACTION_MACRO_ALL_TEXT, 681},
        {119, IDC_ACTION_STOP_MACROS, 590},
        {121, IDC_REPORT_FILE_FRAME, 657}, {121, IDC_REPORT_WHAT_FRAME, 661}, {121, IDC_REPORT_LOG_TO_FILE, 658},
        {121, IDC_REPORT_APPEND, 659}, {121, IDC_REPORT_BROWSE, 660}, {121, IDC_REPORT_INFECTION, 662},
        {121, IDC_REPORT_DISINFECTION, 663}, {121, IDC_REPORT_DELETE, 664}, {121, IDC_REPORT_MOVE_RENAME, 665},
        {121, IDC_REPORT_USER, 666}, {121, IDC_REPORT_DATE_TIME, 667}, {121, IDC_REPORT_SUMMARY, 668},
        {121, IDC_REPORT_SETTINGS, 669},
        {120, IDC_EXCL_HEADER, 656}, {120, IDC_EXCL_ADD, 654}, {120, IDC_EXCL_REMOVE, 655},
        {107, IDC_INFO_FILES_SCANNED_LABEL, 635}, {107, IDC_INFO_FILES_INFECTED_LABEL, 636},
        {107, IDC_INFO_FILES_SUSPICIOUS_LABEL, 638}, {107, IDC_INFO_BOOT_SCANNED_LABEL, 637},
        {107, IDC_INFO_BOOT_INFECTED_LABEL, 642}, {107, IDC_INFO_BOOT_SUSPICIOUS_LABEL, 643},
        {107, IDC_INFO_DISINFECTED_LABEL, 639}, {107, IDC_INFO_DELETED_LABEL, 641}, {107, IDC_INFO_RENAMED_LABEL, 640},
        {107, IDC_INFO_MOVED_LABEL, 644}, {107, IDC_INFO_LAST_FILE_FRAME, 633}, {107, IDC_INFO_STATS_FRAME, 647},
        {107, IDC_INFO_FILES_FRAME, 634}, {107, IDC_INFO_BOOT_FRAME, 645}, {107, IDC_INFO_ACTION_FRAME, 646},
        {107, IDC_INFO_CLEAR, 648},
        {108, IDC_ABOUT_NOTICE, 649}, {108, IDC_ABOUT_LANGUAGE_LABEL, 652},
        {118, LABEL_TITLE, 697}, {118, IDC_EXT_LABEL, 683}, {118, IDC_EXT_ADD, 684}, {118, IDOK, 685},
        {118, IDCANCEL, 686}, {118, IDC_EXT_REMOVE, 687}, {118, IDC_EXT_DEFAULT, 688},
        {132, LABEL_TITLE, 696}, {132, IDC_ADDEXCL_LABEL, 692}, {132, IDC_ADDEXCL_SUBFOLDERS, 693},
        {132, IDC_ADDEXCL_BROWSE, 691}, {132, IDCANCEL, 690},
    };
    CreateTestMainWindow();
    for (const Language &language : languages) {
        InstallLanguage(language.texts);
        for (const Dialog &d : dialogs) {
            HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(d.id), mainWindow, d.procedure, 0);
            ASSERT_NE(nullptr, dialog) << d.id;
            for (const Label &label : labels) {
                if (label.dialog != d.id)
                    continue;
                HWND control = label.control == LABEL_TITLE ? dialog : GetDlgItem(dialog, label.control);
                EXPECT_EQ(Shown(language.texts, label.text), WindowText(control))
                    << language.name << ", dialog " << d.id << ", control " << label.control;
            }
            DestroyWindow(dialog);
        }
    }
    DestroyTestMainWindow();
}

}   // namespace
