// Program-wide state of the application shell, each created by start-up or the tray.
#pragma once
#include <windows.h>

#include "driver/protocol.h"   // WM_VIRUS_FOUND, posted by the driver

// Window messages of the MainWindow (WM_VIRUS_FOUND, 1027, is the driver's: driver/protocol.h).
enum : UINT {
    WM_TRAY_NOTIFY = 1025,       // tray icon mouse messages: wParam icon id, lParam mouse message
    WM_SHOW_TRAY_MENU = 1026,    // posted to ourselves before the tray menu opens
    WM_OPEN_PROPERTIES = 1028,   // posted by a second instance
};

constexpr UINT_PTR MAIN_TIMER_ID = 5;
constexpr UINT MAIN_TIMER_MS = 150;
constexpr UINT TRAY_ICON_ID = 1;
constexpr DWORD PROGRAM_DIR_SIZE = 260;

extern HINSTANCE instance;             // the module's instance, kept at entry
extern HWND mainWindow;                // the hidden MainWindow; owns the tray icon and timer 5
extern HICON enabledIcon;              // icon 101: scanning enabled, and one of the two blink icons
extern HICON blinkIcon;                // icon 117: the other blink icon
extern HICON disabledIcon;             // icon 137: scanning disabled
extern char programDir[PROGRAM_DIR_SIZE];   // current directory with one trailing backslash; its
                                             // address stays with the driver for the whole run
extern int blinkPhase;                 // which icon the next blink step shows; starts at 1

// Class name and title of the MainWindow, code page 1252; a second instance finds the first by them.
extern const char MAIN_CLASS_NAME[];
extern const char MAIN_WINDOW_TITLE[];

// Runs the whole start-up, the message loop and the end; returns the exit code (0, 2, 4 or 5).
int RunTorvane(HINSTANCE module);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SplashDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Builds the program directory from the current directory (see program_dir.h); 0 if it did not fit.
int BuildProgramDir(char *buffer, DWORD size);

// Fills userName from the platform, or with text 588 when the platform cannot tell it.
extern BOOL(WINAPI *getUserName)(LPSTR name, LPDWORD size);   // GetUserNameA; tests replace it
void FillUserName(char *userName, DWORD size);
