// The tray icon: adding, changing and removing it, its blink, the toggle and the tray menu.
#include "app/tray.h"

#include <cstddef>

#include "app/globals.h"
#include "base/bounded.h"
#include "driver/link.h"
#include "driver/texts.h"
#include "res/resource.h"
#include "sheet/sheet.h"

#ifdef _WIN64
static_assert(TRAY_RECORD_SIZE == 104, "first form of the tray record, 64-bit layout");
#else
static_assert(TRAY_RECORD_SIZE == 88, "first form of the tray record");
static_assert(offsetof(NOTIFYICONDATAA, hIcon) == 20 && offsetof(NOTIFYICONDATAA, szTip) == 24,
              "first form of the tray record");
#endif

BOOL(WINAPI *notifyIcon)(DWORD operation, PNOTIFYICONDATAA record) = Shell_NotifyIconA;

int blinkPhase = 1;
static TrayLook shownLook = LOOK_ENABLED;   // what the icon shows now, for a new taskbar

int SetTrayIcon(HWND window, UINT iconId, HICON icon, const char *tipText, DWORD operation, UINT callbackMessage)
{
    NOTIFYICONDATAA record = {};
    record.cbSize = TRAY_RECORD_SIZE;
    record.hWnd = window;
    record.uID = iconId;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = callbackMessage;
    record.hIcon = icon;
    static_assert(sizeof record.szTip >= TRAY_TIP_SIZE, "the first form's tip holds 64 bytes");
    CopyBounded(record.szTip, TRAY_TIP_SIZE, tipText);
    return notifyIcon(operation, &record);
}

int RemoveTrayIcon(HWND window, UINT iconId)
{
    NOTIFYICONDATAA record = {};
    record.cbSize = TRAY_RECORD_SIZE;
    record.hWnd = window;
    record.uID = iconId;
    return notifyIcon(NIM_DELETE, &record);
}

int AddTrayIcon(void)
{
    shownLook = LOOK_ENABLED;
    return SetTrayIcon(mainWindow, TRAY_ICON_ID, enabledIcon, StoredText(TEXT_TIP_ENABLED), NIM_ADD, WM_TRAY_NOTIFY);
}

int DeleteTrayIcon(void)
{
    return RemoveTrayIcon(mainWindow, TRAY_ICON_ID);
}

int ShowTrayIcon(int shown)
{
    return shown ? AddTrayIcon() : DeleteTrayIcon();
}

static void ShowLook(TrayLook look, DWORD operation = NIM_MODIFY)
{
    shownLook = look;
    switch (look) {
    case LOOK_ENABLED:
        SetTrayIcon(mainWindow, TRAY_ICON_ID, enabledIcon, StoredText(TEXT_TIP_ENABLED), operation, WM_TRAY_NOTIFY);
        break;
    case LOOK_BLINK:
        SetTrayIcon(mainWindow, TRAY_ICON_ID, blinkIcon, StoredText(TEXT_TIP_ENABLED), operation, WM_TRAY_NOTIFY);
        break;
    case LOOK_DISABLED:
        SetTrayIcon(mainWindow, TRAY_ICON_ID, disabledIcon, StoredText(TEXT_TIP_DISABLED), operation, WM_TRAY_NOTIFY);
        break;
    }
}

UINT TaskbarCreatedMessage(void)
{
    static UINT message;   // 0 until registered; the thread is the only one
    if (message == 0)
        message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

void RestoreTrayIcon(void)
{
    if (statusBlock->showIcon)
        ShowLook(shownLook, NIM_ADD);
}

void TrayTimerTick(void)
{
    TrayLook looks[2];
    int count = BlinkTick(statusBlock->enabled, statusBlock->showIcon, &statusBlock->blinkCount, &blinkPhase, looks);
    for (int i = 0; i < count; i++)
        ShowLook(looks[i]);
}

void ToggleScanning(void)
{
    statusBlock->enabled = statusBlock->enabled ? 0 : 1;
    if (!statusBlock->showIcon)
        return;
    sendControl(CTL_TOGGLE);
    if (statusBlock->enabled) {
        sendControl(CTL_ENABLE);
        ShowLook(LOOK_ENABLED);
    } else {
        ShowLook(LOOK_DISABLED);
        sendControl(CTL_DISABLE);
    }
}

// The states and text numbers of the tray menu for the given situation (computed before showing).
struct TrayMenuState {
    UINT toggleFlags;        // MF_ENABLED, or MF_GRAYED | MF_DISABLED
    UINT propertiesFlags;
    int toggleText;          // 699 while enabled, 698 while disabled
};

static TrayMenuState ComputeTrayMenuState(uint32_t enabled, uint32_t canDisable, int sheetIsOpen)
{
    TrayMenuState state;
    state.toggleFlags = canDisable ? MF_ENABLED : (MF_GRAYED | MF_DISABLED);
    state.propertiesFlags = (enabled && !sheetIsOpen) ? MF_ENABLED : (MF_GRAYED | MF_DISABLED);
    state.toggleText = enabled ? TEXT_MENU_DISABLE : TEXT_MENU_ENABLE;
    return state;
}

static void SetMenuText(HMENU popup, UINT command, int text)
{
    char label[256];
    ConvertText(text, label, sizeof label);
    ModifyMenuA(popup, command, MF_BYCOMMAND | MF_STRING, command, label);
}

void ShowTrayMenu(void)
{
    TrayMenuState state = ComputeTrayMenuState(statusBlock->enabled, statusBlock->canDisable, sheetOpen);
    HMENU menu = LoadMenuA(instance, MAKEINTRESOURCEA(IDM_TRAY));
    if (menu == nullptr)
        return;
    HMENU popup = GetSubMenu(menu, 0);
    SetMenuText(popup, IDM_TOGGLE, state.toggleText);
    SetMenuText(popup, IDM_PROPERTIES, TEXT_MENU_PROPERTIES);
    SetMenuText(popup, IDM_EXIT, TEXT_MENU_EXIT);
    // After the texts: rewriting an item resets its state.
    EnableMenuItem(popup, IDM_TOGGLE, MF_BYCOMMAND | state.toggleFlags);
    EnableMenuItem(popup, IDM_PROPERTIES, MF_BYCOMMAND | state.propertiesFlags);
    POINT cursor;
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(mainWindow);
    TrackPopupMenu(popup, 0, cursor.x, cursor.y, 0, mainWindow, nullptr);
    // A menu tracked for a notification-area icon does not close on the next click elsewhere
    // unless the owner's queue sees one more message after it.
    PostMessageA(mainWindow, WM_NULL, 0, 0);
    DestroyMenu(menu);
}
