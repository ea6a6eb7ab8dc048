// MainWindowProc: the hidden window's timer, tray, menu, driver and second-instance messages.
#include "alert/alert.h"
#include "app/globals.h"
#include "app/tray.h"
#include "driver/link.h"
#include "res/resource.h"
#include "sheet/sheet.h"

static LRESULT HandleMenuCommand(WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case IDM_TOGGLE:
        ToggleScanning();
        return 0;
    case IDM_PROPERTIES:
        if (!sheetOpen)
            ShowPropertiesSheet();
        return 0;
    case IDM_EXIT:
        SendMessageA(mainWindow, WM_CLOSE, 0, 0);
        return 0;
    }
    return DefWindowProcA(mainWindow, WM_COMMAND, wParam, lParam);
}

static void HandleTrayNotify(WPARAM iconId, LPARAM mouseMessage)
{
    switch (mouseMessage) {
    case WM_LBUTTONDBLCLK:
        if (!sheetOpen && statusBlock->enabled && iconId == TRAY_ICON_ID)
            ShowPropertiesSheet();
        break;
    case WM_RBUTTONDOWN:
        // The menu opens when this message comes back, outside the shell's notification call.
        if (iconId == TRAY_ICON_ID)
            PostMessageA(mainWindow, WM_SHOW_TRAY_MENU, 0, 0);
        break;
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // A registered message has no fixed number for the switch below.
    if (message == TaskbarCreatedMessage() && message != 0) {
        RestoreTrayIcon();
        return 0;
    }
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_COMMAND:
        return HandleMenuCommand(wParam, lParam);
    case WM_TIMER:
        TrayTimerTick();
        return 0;
    case WM_TRAY_NOTIFY:
        HandleTrayNotify(wParam, lParam);
        return 0;
    case WM_SHOW_TRAY_MENU:
        ShowTrayMenu();
        return 0;
    case WM_VIRUS_FOUND:
        HandleVirusFound(window, lParam);
        return 0;
    case WM_OPEN_PROPERTIES:
        if (!sheetOpen)
            ShowPropertiesSheet();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
