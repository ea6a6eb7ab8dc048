// Every page and dialog procedure of the property sheet, grouped by the file that defines them.
// What the pages share lives in the rooms that own it: the frame and page protocol (sheet.h), the
// logging in force (logging.h), the folder chooser (folder_picker.h).
#pragma once
#include <windows.h>

// --- scan_page.cpp: what, when and how to scan (template 106) ---
INT_PTR CALLBACK ScanPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// --- extensions_dialog.cpp: the program-file extensions (template 118), opened from the scan page ---
INT_PTR CALLBACK ExtensionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// --- action_page.cpp: what to do with an infected file (template 119) ---
INT_PTR CALLBACK ActionPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// --- warning_dialog.cpp: the warning (template 133), closed only by OK ---
// Opened modally over the action page; they differ only in the text shown: 695 ("Only log to
// report") and 591 (stopMacros).
INT_PTR CALLBACK OnlyLogWarningProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK StopMacrosWarningProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// --- report_page.cpp: the report file and what goes into it (template 121) ---
INT_PTR CALLBACK ReportPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// --- exclusions_page.cpp: paths the driver leaves alone (template 120) ---
INT_PTR CALLBACK ExclusionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Opened modally from the page with lParam the number of characters of the list's text as its rows
// stand. Ends with 0 (nothing to add), 1 (add, no subfolders) or 3 (add with subfolders); with 1 or
// 3 the page takes the accepted path (at most 259 characters) from the dialog.
INT_PTR CALLBACK AddExclusionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// --- information_page.cpp: live statistics (template 107) ---
INT_PTR CALLBACK InformationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// --- about_page.cpp: product information and the choice of language (template 108) ---
INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
