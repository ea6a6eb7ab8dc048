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

// Scan options page (106)
#define IDC_SCAN_WHAT_FRAME      1104   // group box: what to scan
#define IDC_SCAN_PROGRAM_FILES   1017   // radio, no text: scanType 1 (1072 is its caption)
#define IDC_SCAN_ONLY_MACROS     1095   // radio: scanType 3
#define IDC_SCAN_ALL_FILES       1018   // radio: scanType 2
#define IDC_SCAN_ARCHIVES        1000   // check box: inside ZIP and ARJ archives
#define IDC_SCAN_FLOPPY_BOOT     1001   // check box: floppy boot sectors
#define IDC_SCAN_COMPRESSED      1015   // check box: inside compressed files
#define IDC_SCAN_HEURISTICS      1014   // check box: heuristics
#define IDC_SCAN_ON_FRAME        1105   // group box: scan files on
#define IDC_SCAN_ON_OPEN         1066   // radio: scanOn 1
#define IDC_SCAN_ON_CREATE       1067   // radio: scanOn 2
#define IDC_SCAN_ON_BOTH         1068   // radio: scanOn 3
#define IDC_SCAN_GENERAL_FRAME   1106   // group box: general
#define IDC_SCAN_ON_SHUTDOWN     1069   // check box: scan floppies on shutdown
#define IDC_SCAN_CAN_DISABLE     1070   // check box: scanning can be disabled
#define IDC_SCAN_SHOW_ICON       1071   // check box: icon on the taskbar
#define IDC_SCAN_PROGRAMS        1072   // push button: opens the extensions dialog

// Extensions dialog (118); its Close button is IDOK, Cancel is IDCANCEL
#define IDC_EXT_LABEL            1133   // static: extension to add
#define IDC_EXT_EDIT             1025   // edit, capitals: the extension to add
#define IDC_EXT_ADD              1022   // default push button
#define IDC_EXT_REMOVE           1023
#define IDC_EXT_DEFAULT          1026
#define IDC_EXT_LIST             1021   // sorted list box, one row per entry

// Action page (119)
#define IDC_ACTION_FRAME         1123   // group box: if a virus is found
#define IDC_ACTION_REPORT_ONLY   1045   // radio: action 6
#define IDC_ACTION_DENY          1046   // radio: action 1
#define IDC_ACTION_RENAME        1047   // radio: action 2
#define IDC_ACTION_MOVE          1051   // radio: action 3
#define IDC_ACTION_DELETE        1052   // radio: action 4
#define IDC_ACTION_DISINFECT     1053   // radio: action 5
#define IDC_ACTION_ONLY_LOG      1074   // check box: only log to report
#define IDC_ACTION_MOVE_FRAME    1127   // group box: move infected files to
#define IDC_ACTION_MOVE_DIR      1073   // edit: moveDir
#define IDC_ACTION_BROWSE        1075   // push button "...": PickFolder mode 1
#define IDC_ACTION_MACRO_FRAME   1124   // group box: macro virus disinfection
#define IDC_ACTION_MACRO_NEW     1102   // check box, no text: macroSpecial value 1
#define IDC_ACTION_MACRO_NEW_TEXT 1125  // static: caption of 1102
#define IDC_ACTION_MACRO_ALL     1103   // check box, no text: macroSpecial value 2
#define IDC_ACTION_MACRO_ALL_TEXT 1126  // static: caption of 1103
#define IDC_ACTION_STOP_MACROS   1145   // check box: stopMacros, below Only log

// Report page (121)
#define IDC_REPORT_FILE_FRAME    1128   // group box: log file
#define IDC_REPORT_LOG_TO_FILE   1002   // check box: logToFile
#define IDC_REPORT_FILE_NAME     1003   // edit: logFileName
#define IDC_REPORT_APPEND        1008   // check box: append
#define IDC_REPORT_BROWSE        1054   // push button: BrowseLogFile
#define IDC_REPORT_WHAT_FRAME    1129   // group box: what to log
#define IDC_REPORT_INFECTION     1050   // logMask 0x01
#define IDC_REPORT_DISINFECTION  1059   // logMask 0x02
#define IDC_REPORT_DELETE        1060   // logMask 0x04
#define IDC_REPORT_MOVE_RENAME   1061   // logMask 0x08
#define IDC_REPORT_USER          1062   // logMask 0x10
#define IDC_REPORT_DATE_TIME     1063   // logMask 0x20
#define IDC_REPORT_SETTINGS      1064   // logMask 0x40
#define IDC_REPORT_SUMMARY       1065   // logMask 0x80

// Exclusions page (120)
#define IDC_EXCL_LIST            1021   // list box, not sorted: one row per entry
#define IDC_EXCL_ADD             1076   // push button: opens the add exclusion dialog
#define IDC_EXCL_REMOVE          1055
#define IDC_EXCL_HEADER          1130   // static: column heading

// Add exclusion dialog (132); OK is IDOK, Cancel IDCANCEL
#define IDC_ADDEXCL_LABEL        1132   // static: path
#define IDC_ADDEXCL_PATH         1038   // edit: the path
#define IDC_ADDEXCL_BROWSE       1088   // push button: PickFolder mode 2
#define IDC_ADDEXCL_SUBFOLDERS   1091   // check box: include subfolders

// Information page (107): value fields, their labels, frames
#define IDC_INFO_FILES_SCANNED       1077
#define IDC_INFO_FILES_INFECTED      1078
#define IDC_INFO_FILES_SUSPICIOUS    1079
#define IDC_INFO_BOOT_SCANNED        1080
#define IDC_INFO_BOOT_INFECTED       1081
#define IDC_INFO_BOOT_SUSPICIOUS     1082
#define IDC_INFO_DISINFECTED         1083
#define IDC_INFO_DELETED             1013
#define IDC_INFO_RENAMED             1012
#define IDC_INFO_MOVED               1084
#define IDC_INFO_FILES_SCANNED_LABEL     1111
#define IDC_INFO_FILES_INFECTED_LABEL    1112
#define IDC_INFO_FILES_SUSPICIOUS_LABEL  1113
#define IDC_INFO_BOOT_SCANNED_LABEL      1114
#define IDC_INFO_BOOT_INFECTED_LABEL     1115
#define IDC_INFO_BOOT_SUSPICIOUS_LABEL   1120
#define IDC_INFO_DISINFECTED_LABEL       1116
#define IDC_INFO_DELETED_LABEL           1118
#define IDC_INFO_RENAMED_LABEL           1117
#define IDC_INFO_MOVED_LABEL             1119
#define IDC_INFO_LAST_FILE_FRAME     1107   // group box: last file scanned
#define IDC_INFO_LAST_FILE           1006   // static: the last file scanned, shortened
#define IDC_INFO_STATS_FRAME         1108   // group box: statistics
#define IDC_INFO_FILES_FRAME         1109   // group box: files
#define IDC_INFO_BOOT_FRAME          1001   // group box: boot sectors
#define IDC_INFO_ACTION_FRAME        1110   // group box: action
#define IDC_INFO_CLEAR               1094   // push button: CTL_CLEAR_STATISTICS

// About page (108)
#define IDC_ABOUT_ICON           1037   // static icon 101
#define IDC_ABOUT_PRODUCT        1121   // the product line
#define IDC_ABOUT_NOTICE         1122   // text 649
#define IDC_ABOUT_SIGN_DATE      1039   // virus signature date line
#define IDC_ABOUT_MACRO_DATE     1040   // macro signature date line
#define IDC_ABOUT_LANGUAGE_LABEL 1141   // text 652
#define IDC_ABOUT_LANGUAGE       1140   // drop-down list: one item per language
#define IDC_ABOUT_VERSION        1138   // the version text

// Folder chooser (130): the standard ids of the old-style file dialog
#define IDC_PICK_NAME_LABEL      1090   // hidden; "&Folders:" carries the same id
#define IDC_PICK_NAME            1152   // hidden file-name edit
#define IDC_PICK_FILES           1120   // hidden file list
#define IDC_PICK_FOLDERS         1121   // folder list
#define IDC_PICK_TYPE_LABEL      1089   // hidden
#define IDC_PICK_TYPES           1136   // hidden file-type combo box
#define IDC_PICK_DRIVE_LABEL     1091
#define IDC_PICK_DRIVES          1137   // drive combo box
#define IDC_PICK_CURRENT         1088   // static: the current folder

// Warning dialog (133); OK is IDOK
#define IDC_WARNING_TEXT         1131

// Virus alert
#define IDD_VIRUS_ALERT      134
#define IDC_ALERT_ICON       1137   // static icon 101
#define IDC_ALERT_TEXT       1142   // text 701 at run time
