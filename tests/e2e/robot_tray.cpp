// The robot at the taskbar: Torvane's icon in the notification area, its look, and its menu.
#include "tests/e2e/robot.h"

int TrayIconSquare(HWND *tray, RECT *square)
{
    // The taskbar draws the icons itself, right-aligned, the first one added in the rightmost
    // square as high as the taskbar.
    *tray = FindWindowA("Shell_TrayWnd", nullptr);
    RECT rect;
    if (*tray == nullptr || !GetWindowRect(*tray, &rect))
        return 0;
    int side = rect.bottom - rect.top;
    *square = {rect.right - side, rect.top, rect.right, rect.bottom};
    return 1;
}

static std::vector<uint32_t> SquarePixels(void)
{
    HWND tray;
    RECT square;
    std::vector<uint32_t> pixels;
    if (TrayIconSquare(&tray, &square))
        CaptureScreen(square, &pixels);
    return pixels;
}

int TrayIconShown(void)
{
    std::vector<uint32_t> pixels = SquarePixels();
    for (uint32_t pixel : pixels) {
        if (pixel != pixels[0])
            return 1;
    }
    return 0;
}

unsigned long long TrayIconPicture(void)
{
    unsigned long long hash = 1469598103934665603ull;
    for (uint32_t pixel : SquarePixels())
        hash = (hash ^ pixel) * 1099511628211ull;
    return hash;
}

HWND OpenTrayMenu(DWORD processId)
{
    HWND tray;
    RECT square;
    // Start-up adds the icon a moment after it has told the driver the language.
    if (!WaitUntil(TrayIconShown, ROBOT_TIMEOUT_MS) || !TrayIconSquare(&tray, &square))
        return nullptr;
    POINT centre = {(square.left + square.right) / 2, (square.top + square.bottom) / 2};
    ScreenToClient(tray, &centre);
    PostToWindow(tray, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(centre.x, centre.y));
    PostToWindow(tray, WM_RBUTTONUP, 0, MAKELPARAM(centre.x, centre.y));
    return WaitForWindow(processId, "#32768", 5000);
}

void ChooseFromMenu(HWND menu, WPARAM key)
{
    PostToWindow(menu, WM_KEYDOWN, key, 0);
    PostToWindow(menu, WM_KEYUP, key, 0xC0000000);
    PostToWindow(menu, WM_KEYDOWN, VK_RETURN, 0);
    PostToWindow(menu, WM_KEYUP, VK_RETURN, 0xC0000000);
}
