// The property sheet frame: opening the sheet and the state the pages share.
#pragma once

extern int sheetOpen;               // 1 while the sheet runs; keeps a second one from opening
extern int languageSwitchPending;   // set by the About page; the next opening switches the language

// Opens the modal property sheet; returns when it is closed. Callers test sheetOpen first.
int ShowPropertiesSheet(void);
