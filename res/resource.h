// Every number shared by torvane.rc and the code.
#pragma once

// Icons and bitmap
#define IDI_ENABLED          101    // tray icon while scanning is enabled; the program icon
#define IDI_BLINK            117    // second icon of the blink
#define IDI_DISABLED         137    // tray icon while scanning is disabled
#define IDB_SPLASH           112    // 400 x 200, 256 colours

// Tray menu
#define IDM_TRAY             102
#define IDM_TOGGLE           40001  // Enable / Disable
#define IDM_PROPERTIES       40002
#define IDM_EXIT             40003

// Splash
#define IDD_SPLASH           103

// Property sheet pages and their dialogs
#define IDD_SCAN_PAGE        106
#define IDD_INFO_PAGE        107
#define IDD_ABOUT_PAGE       108
#define IDD_EXTENSIONS       118
#define IDD_ACTION_PAGE      119
#define IDD_EXCLUSIONS_PAGE  120
#define IDD_REPORT_PAGE      121
#define IDD_FOLDER_PICKER    130
#define IDD_ADD_EXCLUSION    132
#define IDD_WARNING          133

// Virus alert
#define IDD_VIRUS_ALERT      134
#define IDC_ALERT_ICON       1137   // static icon 101
#define IDC_ALERT_TEXT       1142   // text 701 at run time
