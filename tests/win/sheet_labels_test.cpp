// Every label of the sheet's pages and dialogs, in every language the reference driver speaks, fits
// the rectangle its template gives it: no text is cut off, none runs under its neighbour.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/globals.h"
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

// How far the text of control reaches past its room, in pixels (0 when it fits), measured with the
// control's own font: a check box or radio button loses its box, a frame its indents, a push
// button its edges; a static text wraps and must fit in height too.
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
    UINT format = DT_CALCRECT | DT_SINGLELINE;
    int lost = 0;
    if (lstrcmpiA(className, "Button") == 0) {
        LONG kind = style & BS_TYPEMASK;
        lost = kind == BS_GROUPBOX ? 16 : (kind == BS_AUTOCHECKBOX || kind == BS_AUTORADIOBUTTON) ? 17 : 6;
    } else if (lstrcmpiA(className, "Static") == 0 && (style & SS_TYPEMASK) == SS_LEFT) {
        format = DT_CALCRECT | DT_WORDBREAK;
    } else {
        return {0, 0};
    }
    if (text[0] == 0)
        return {0, 0};
    HDC dc = GetDC(control);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT needed = {0, 0, room.right - lost, 0};
    DrawTextA(dc, text, -1, &needed, format);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    Overflow overflow = {needed.right - (room.right - lost), 0};
    // The second macro option's text is two lines in a rectangle of 15 dialog units, which clips
    // the last line's descenders by 2 pixels in every language, as in the template's own text.
    if (format & DT_WORDBREAK)
        overflow.height = needed.bottom - room.bottom - 2;
    return {overflow.width > 0 ? overflow.width : 0, overflow.height > 0 ? overflow.height : 0};
}

TEST(SheetLabels, EveryLabelFitsInEveryLanguage)
{
    struct Language {
        const char *name;
        const char *const *texts;
    } languages[] = {{"English", englishTexts}, {"German", germanTexts}, {"French", frenchTexts}};
    struct Dialog {
        int id;
        DLGPROC procedure;
    } dialogs[] = {{106, ScanPageProc},        {119, ActionPageProc},      {121, ReportPageProc},
                   {120, ExclusionsPageProc},  {107, InformationPageProc}, {108, AboutPageProc},
                   {118, ExtensionsDialogProc}, {132, AddExclusionDialogProc}};
    CreateTestMainWindow();
    for (const Language &language : languages) {
        InstallLanguage(language.texts);
        for (const Dialog &d : dialogs) {
            HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(d.id), mainWindow, d.procedure, 0);
            ASSERT_NE(nullptr, dialog) << d.id;
            for (HWND control = GetWindow(dialog, GW_CHILD); control != nullptr; control = GetWindow(control, GW_HWNDNEXT)) {
                Overflow overflow = Overrun(control);
                EXPECT_TRUE(overflow.width == 0 && overflow.height == 0)
                    << language.name << ", dialog " << d.id << ", control " << GetDlgCtrlID(control) << ": \""
                    << WindowText(control) << "\" is " << overflow.width << " px too wide, " << overflow.height
                    << " px too high";
            }
            DestroyWindow(dialog);
        }
    }
    DestroyTestMainWindow();
}

}   // namespace
