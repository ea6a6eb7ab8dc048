// Every page and dialog procedure of the property sheet, and the state pages share with the rest
// of the program, grouped by the file that defines them.
#pragma once
#include <windows.h>

// --- scan_page.cpp: what, when and how to scan (template 106) ---
INT_PTR CALLBACK ScanPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
extern int scanPageDirty;    // 1 while the page holds changes not yet applied; outlives the sheet

// --- extensions_dialog.cpp: the program-file extensions (template 118), opened from the scan page ---
INT_PTR CALLBACK ExtensionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
extern int extensionsChanged;   // set by Add, Remove and Default; Close writes inUse only when set

// --- action_page.cpp: what to do with an infected file (template 119) ---
INT_PTR CALLBACK ActionPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
extern int actionPageDirty;  // 1 while the page holds changes not yet applied; outlives the sheet
// Enables or disables the two macro options and their texts (1125, 1126, 1102, 1103, in this order).
void SetMacroOptionsEnabled(HWND page, int enable);
// 1 when the current directory can be changed into path; the current directory is always restored.
int IsUsableFolder(const char *path);

// --- warning_dialog.cpp: the warning (template 133), closed only by OK ---
// Opened modally over the action page; they differ only in the text shown: 695 ("Only log to
// report") and 591 (stopMacros).
INT_PTR CALLBACK OnlyLogWarningProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK StopMacrosWarningProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// --- report_page.cpp: the report file and what goes into it (template 121) ---
INT_PTR CALLBACK ReportPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
extern int reportPageDirty;  // survives the sheet, and a cancelled sheet: only the page's apply clears it
// Enables or disables the eleven controls that depend on "Log to file".
void SetLogControlsEnabled(HWND page, int enable);
// The open-file dialog writing straight into logFileName; 1 when a file was chosen.
int BrowseLogFile(HWND page);

// --- exclusions_page.cpp: paths the driver leaves alone (template 120) ---
INT_PTR CALLBACK ExclusionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
extern int exclusionsPageDirty;   // 1 while the page holds changes not yet applied; outlives the sheet
// Opened modally from the page with lParam the number of characters of the list's text as its rows
// stand. Ends with 0 (nothing to add), 1 (add, no subfolders) or 3 (add with subfolders); with 1 or
// 3 the page takes the accepted path (at most 259 characters) from the dialog.
INT_PTR CALLBACK AddExclusionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// --- information_page.cpp: live statistics (template 107) ---
INT_PTR CALLBACK InformationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// --- about_page.cpp: product information and the choice of language (template 108) ---
INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
