// The virus alert: the dialog that lists infected files as the driver reports them.
#pragma once
#include <windows.h>

// 1 from the moment the alert is requested until OK is pressed. The alert's own record of it:
// StatusBlock's alertOpen tells the driver the same and is written with it, never read back.
extern int alertDialogOpen;

constexpr size_t ALERT_NAME_SIZE = 1024;   // conversion buffer: names are cut at 1023 characters

// WM_VIRUS_FOUND of mainWindow: lParam holds the 32-bit address of the OEM file name. Returns when
// handled, which for the first detection is after the alert has been closed with OK. Any program
// can post this message: an address that is 0, does not fit 32 bits or cannot be read up to the
// name's terminator (or its first 1024 bytes) is ignored.
void HandleVirusFound(HWND mainWindow, LPARAM lParam);

// The dialog procedure; WM_INITDIALOG's lParam is the OEM name of the detection that opened it.
INT_PTR CALLBACK VirusAlertDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Adds name (OEM, read up to its terminator or 1024 bytes) as the first row of list and widens
// the column to fit it; the column never narrows.
void AddAlertRow(HWND list, const char *name);
