// The virus alert: the dialog that lists infected files as the driver reports them.
#pragma once
#include <windows.h>

extern int alertDialogOpen;      // 1 from the moment the alert is requested until OK is pressed
extern const char *alertText;    // OEM file name of the latest detection (the driver's text)
extern HWND alertList;           // the list view of the open alert
extern int alertColumnWidth;     // present width of the list's only column, in pixels

// WM_VIRUS_FOUND: lParam holds the 32-bit address of the OEM file name. Returns when handled,
// which for the first detection is after the alert has been closed.
void HandleVirusFound(LPARAM lParam);
