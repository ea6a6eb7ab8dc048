// The tray icon, its blink and its menu.
#pragma once
#include <windows.h>

#include "app/blink.h"

#include <shellapi.h>

// The tray record in its first form: 88 bytes on the 32-bit build, whatever the SDK's latest is.
constexpr DWORD TRAY_RECORD_SIZE = NOTIFYICONDATAA_V1_SIZE;
constexpr size_t TRAY_TIP_SIZE = 64;   // at most 63 characters and the terminator

// Shell_NotifyIconA; tests put a recorder here, as nothing else can watch the calls.
extern BOOL(WINAPI *notifyIcon)(DWORD operation, PNOTIFYICONDATAA record);

// Fills the tray record (flags message, icon and tip; tip cut to 63 characters, "" when null) and
// hands it to the shell with operation. Returns the shell's result.
int SetTrayIcon(HWND window, UINT iconId, HICON icon, const char *tipText, DWORD operation, UINT callbackMessage);

// Deletes the icon; fills only size, window and id. Returns the shell's result.
int RemoveTrayIcon(HWND window, UINT iconId);

// Adds the tray icon exactly as start-up does: icon 1 of the MainWindow, enabledIcon, tip text 601
// as stored, callback WM_TRAY_NOTIFY. Adding an icon that is already shown changes nothing.
// Returns the shell's result.
int AddTrayIcon(void);

// Deletes tray icon 1 of the MainWindow. Returns the shell's result.
int DeleteTrayIcon(void);

// AddTrayIcon when shown is nonzero, else DeleteTrayIcon: what the Scan page's apply asks of the
// tray. Returns the shell's result.
int ShowTrayIcon(int shown);

// The number of the message "TaskbarCreated", which the shell broadcasts when its taskbar is made
// again (the Windows 98 shell after Explorer restarts, losing every icon); registered at the first
// call.
UINT TaskbarCreatedMessage(void);

// Adds the icon again as it was last shown (enabled, blink or disabled, with its tip) when showIcon
// is set; nothing otherwise. For a new taskbar, which knows no icon of ours.
void RestoreTrayIcon(void);

// The timer's blink step (WM_TIMER of the MainWindow).
void TrayTimerTick(void);

// Menu command 40001: flips enabled; with the icon shown also tells the driver and changes the icon.
void ToggleScanning(void);

// WM_SHOW_TRAY_MENU: builds the menu's texts and states and tracks it at the cursor.
void ShowTrayMenu(void);
