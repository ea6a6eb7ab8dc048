// The property sheet frame: opening the sheet, and the protocol the four editing pages share.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "base/bounded.h"
#include "driver/status_block.h"
#include "driver/texts.h"

extern int sheetOpen;               // 1 while the sheet opens and runs; keeps a second one from opening
extern int languageSwitchPending;   // set by the About page; the next opening switches the language

// What the sheet takes from the program that opens it. Start-up hands it over once the main window
// exists; the sheet never reaches into the shell for more.
struct SheetHost {
    HINSTANCE module;                 // holds the templates of the pages and their dialogs
    HWND mainWindow;                  // the warnings are centred over it
    HICON icon;                       // the sheet's icon: icon 101, shared for the whole run
    int (*showTrayIcon)(int shown);   // the Scan page's apply: 1 adds the tray icon, 0 deletes it
};
extern SheetHost sheetHost;

// Opens the modal property sheet on the Scan options page, after carrying out a pending language
// switch; returns PropertySheetA's result when the sheet is closed. Callers test sheetOpen first.
int ShowPropertiesSheet(void);

// Saves the settings (SaveSettings) for a change the user made (an apply, the extensions dialog's
// Close, a language switch) or for start-up. A refused save is told with the program's own "Can not
// save the settings." under caption text 600 (as stored), once for all the saves one action makes:
// the message shows when the program next waits for messages, so that the pages one OK applies
// share it. The values stay in force in the StatusBlock whatever the registry did. Returns
// SaveSettings's result.
int SaveSettingsOrTell(void);

// Titles and the caption live in buffers of this size: at most 51 characters, longer ones are cut.
constexpr size_t SHEET_TEXT_SIZE = 52;

// Formats text 600, text 589 and "05" (all as stored) with format, which takes three %s, and
// converts the result to ANSI into buffer (always terminated, cut to fit). The sheet's caption uses
// "%s %s.%s", the About page's product line "%s %s.%s\n".
void FormatProductLine(char *buffer, size_t size, const char *format);

// ---- The page protocol of the editing pages (Scan options, Action, Report, Exclusions) --------

// One dirty flag per editing page: 1 while the page holds changes not yet applied. Process-wide,
// so they outlive the sheet; the Report page's also outlives a cancelled sheet, as only its own
// apply clears it.
extern int scanPageDirty;
extern int actionPageDirty;
extern int reportPageDirty;
extern int exclusionsPageDirty;

// What an editing page hands to the protocol: its dirty flag (process-wide, so it outlives the
// sheet), its labelling table, and its own steps.
struct EditingPage {
    int *dirty;                       // 1 while the page holds changes not yet applied
    const TextLabel *labels;          // the labelling pass, in order
    size_t labelCount;
    void (*fill)(HWND page);          // sets the controls from the StatusBlock
    void (*read)(HWND page);          // apply, step 1: controls into the StatusBlock (validates, acts)
    uint32_t changeCode;              // sent after the read; 0 for none (the report page)
    int keepsDirtyAtInit;             // 1: WM_INITDIALOG leaves the dirty flag alone (report page)
};

// WM_INITDIALOG: the labelling pass, the fill, then the dirty flag cleared (unless kept).
void InitEditingPage(HWND page, const EditingPage &editing);

// WM_COMMAND from one of the page's editing controls: the dirty flag set, PSM_CHANGED sent.
void MarkPageChanged(HWND page, const EditingPage &editing);

// WM_NOTIFY: PSN_SETACTIVE (PSM_CHANGED again when dirty), PSN_KILLACTIVE (PSM_UNCHANGED) and
// PSN_APPLY (read, PSM_UNCHANGED, flag cleared, change code, SaveSettingsOrTell). Sets the page's result
// (always accept, PSNRET_NOERROR) and returns TRUE for these three; FALSE for any other.
INT_PTR NotifyEditingPage(HWND page, const EditingPage &editing, const NMHDR *header);

// ---- Helpers for the controls of the pages -----------------------------------------------------

// The module a page's or dialog's template came from, which holds the templates of the dialogs it
// opens in turn.
inline HINSTANCE ModuleOf(HWND window)
{
    return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

// Row index of a list box into row (size bytes, always terminated). 1 when there is such a row and
// it fit; 0 with row "" when it did not: a row longer than the caller's rows is never cut.
int ReadListRow(HWND list, LRESULT index, char *row, size_t size);

// The whole text of an edit control into text (size bytes, always terminated): 1 when it fit; 0
// with text "" when it is longer (only another program can put more there than the edit's limit),
// so that a text is never taken cut.
int ReadWholeText(HWND page, int control, char *text, size_t size);
template <size_t N> inline int ReadWholeText(HWND page, int control, char (&text)[N])
{
    return ReadWholeText(page, control, text, N);
}

// An edit whose text an apply has taken holds no change any more: its modified mark is cleared, so
// that clicking into it does not mark the page changed again. (Setting its text clears it too.)
void MarkEditApplied(HWND page, int control);

// Shows a StatusBlock text field in a control; a field without its terminator shows cut to fit.
template <size_t N> inline void ShowFieldText(HWND page, int control, const char (&field)[N])
{
    char text[N];
    CopyBounded(text, field);
    SetDlgItemTextA(page, control, text);
}

// A check box: 1 when it is ticked, else 0; ticked when on is nonzero.
int IsTicked(HWND page, int control);
void ShowTicked(HWND page, int control, int on);

// A check box that shows a 32-bit StatusBlock flag; stored as 0 or 1, shown ticked when nonzero.
struct PageCheck {
    int control;
    uint32_t StatusBlock::*field;
};
void TickChecks(HWND page, const PageCheck *checks, size_t count);
void ReadChecks(HWND page, const PageCheck *checks, size_t count);

// A radio button that stands for one value of a StatusBlock number.
struct PageChoice {
    int control;
    uint32_t value;
};
// Ticks the button of value; a value no button stands for ticks none.
void TickChoice(HWND page, const PageChoice *choices, size_t count, uint32_t value);
// The value of the first ticked button in table order; with none ticked, the last entry's value.
uint32_t ReadChoice(HWND page, const PageChoice *choices, size_t count);

template <size_t N> inline void TickChecks(HWND page, const PageCheck (&checks)[N])
{
    TickChecks(page, checks, N);
}
template <size_t N> inline void ReadChecks(HWND page, const PageCheck (&checks)[N])
{
    ReadChecks(page, checks, N);
}
template <size_t N> inline void TickChoice(HWND page, const PageChoice (&choices)[N], uint32_t value)
{
    TickChoice(page, choices, N, value);
}
template <size_t N> inline uint32_t ReadChoice(HWND page, const PageChoice (&choices)[N])
{
    return ReadChoice(page, choices, N);
}
