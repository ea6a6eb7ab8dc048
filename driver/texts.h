// Texts by number from the driver's LanguageTable, and the labelling pass every dialog uses.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

// Text numbers the code names; dialogs label their controls from tables of plain numbers.
enum TextNumber {
    TEXT_USER_FALLBACK = 588,      // user name when the platform cannot tell it (copied as stored)
    TEXT_VERSION = 589,            // version before the point
    TEXT_PRODUCT = 600,            // product name; caption of every message box once the table exists
    TEXT_TIP_ENABLED = 601,        // tray tip, as stored
    TEXT_TIP_DISABLED = 602,       // tray tip, as stored
    TEXT_MENU_PROPERTIES = 603,
    TEXT_MENU_EXIT = 604,
    TEXT_SETTINGS_FAILED = 605,
    TEXT_ALERT_TITLE = 608,
    TEXT_LOG_START_FAILED = 609,   // as stored
    TEXT_LOG_STOP_FAILED = 610,    // as stored
    TEXT_MENU_ENABLE = 698,        // first tray item while scanning is disabled
    TEXT_MENU_DISABLE = 699,       // first tray item while scanning is enabled
    TEXT_VERSION_INFO = 700,
    TEXT_ALERT_MESSAGE = 701,
};

// The OEM text as stored in the table in force; "" when there is no table or no such text.
// The text belongs to the driver: never write to it or free it.
const char *StoredText(int number);

// Converts text number from OEM to ANSI into buffer (size bytes, always terminated).
// Returns 1 when the whole text fit, 0 when it was cut.
int ConvertText(int number, char *buffer, size_t size);

// Converts the name of language (its position in languageList) into name (size bytes, always
// terminated). The driver chooses the names' numbers and vouches for them, also past the 702 texts
// every table holds, but a table that does not reach that far is no reason to read astray: the
// table's entry and the name are checked readable first, and a name that cannot be read is "".
// Returns 1 when the whole name fit.
int ConvertLanguageName(uint32_t language, char *name, size_t size);

// One label of a dialog: the text number and the control that receives it, or LABEL_TITLE for the
// dialog's own title.
struct TextLabel {
    int text;
    int control;
};
constexpr int LABEL_TITLE = -1;
constexpr size_t LABEL_BUFFER_SIZE = 2048;

// Sets every label in the given order through one working buffer obtained for the pass.
// Returns 0 when the buffer could not be had (the template texts then stay).
int LabelDialog(HWND dialog, const TextLabel *labels, size_t count);

template <size_t N> inline int LabelDialog(HWND dialog, const TextLabel (&labels)[N])
{
    return LabelDialog(dialog, labels, N);
}
