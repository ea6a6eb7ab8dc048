// The virus alert: the dialog that lists infected files as the driver reports them.
#pragma once
#include <windows.h>

extern int alertDialogOpen;      // 1 from the moment the alert is requested until OK is pressed
extern const char *alertText;    // OEM file name of the latest detection (the driver's text)
extern HWND alertList;           // the list view of the open alert
extern int alertColumnWidth;     // present width of the list's only column, in pixels

constexpr size_t ALERT_NAME_SIZE = 1024;   // conversion buffer: names are cut at 1023 characters

// WM_VIRUS_FOUND: lParam holds the 32-bit address of the OEM file name. Returns when handled,
// which for the first detection is after the alert has been closed with OK.
void HandleVirusFound(LPARAM lParam);

INT_PTR CALLBACK VirusAlertDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Adds the text at alertText as the first row of list and widens the column to fit it; the column
// never narrows.
void AddAlertRow(HWND list);
