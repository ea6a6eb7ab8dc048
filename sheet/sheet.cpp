// The property sheet frame. Until the pages exist it opens a modal stand-in with the sheet's caption.
#include "sheet/sheet.h"

#include <windows.h>

#include <cstdio>

#include "driver/link.h"
#include "driver/texts.h"

int sheetOpen;
int languageSwitchPending;

int ShowPropertiesSheet(void)
{
    if (languageSwitchPending) {
        languageSwitchPending = 0;
        SelectLanguage(languageId);
    }
    char caption[52];
    char format[256];
    std::snprintf(format, sizeof format, "%s %s.%s", StoredText(TEXT_PRODUCT), StoredText(TEXT_VERSION), "05");
    OemToCharBuffA(format, caption, sizeof caption - 1);
    caption[sizeof caption - 1] = 0;
    sheetOpen = 1;
    int result = MessageBoxA(nullptr, "", caption, MB_OK);
    sheetOpen = 0;
    return result;
}
