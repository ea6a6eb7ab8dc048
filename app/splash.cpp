// The splash screen: bitmap 112 in the middle of the desktop for 1.5 seconds.
#include "app/globals.h"
#include "res/resource.h"

constexpr UINT_PTR SPLASH_TIMER_ID = 1;
constexpr UINT SPLASH_MS = 1500;
constexpr int SPLASH_WIDTH = 400;
constexpr int SPLASH_HEIGHT = 200;

static void OnInit(HWND dialog)
{
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    MoveWindow(dialog, desktop.right / 2 - SPLASH_WIDTH / 2, desktop.bottom / 2 - SPLASH_HEIGHT / 2,
               SPLASH_WIDTH, SPLASH_HEIGHT, FALSE);
    SetTimer(dialog, SPLASH_TIMER_ID, SPLASH_MS, nullptr);
}

static void OnPaint(HWND dialog)
{
    HBITMAP bitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_SPLASH));
    HDC windowDc = GetDC(dialog);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HGDIOBJ previous = SelectObject(memoryDc, bitmap);
    SetMapMode(memoryDc, GetMapMode(windowDc));
    BitBlt(windowDc, 0, 0, SPLASH_WIDTH, SPLASH_HEIGHT, memoryDc, 0, 0, SRCCOPY);
    ReleaseDC(dialog, windowDc);
    SelectObject(memoryDc, previous);   // a bitmap still selected into a context cannot be deleted
    DeleteDC(memoryDc);
    DeleteObject(bitmap);
}

INT_PTR CALLBACK SplashDialogProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog);
        return TRUE;
    case WM_ERASEBKGND:
        return TRUE;      // the bitmap covers the whole dialog; erasing would only flicker over it
    case WM_PAINT:
        OnPaint(dialog);
        return FALSE;     // the default processing validates the window
    case WM_TIMER:
        KillTimer(dialog, SPLASH_TIMER_ID);
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}
