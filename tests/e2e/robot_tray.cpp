// The robot at the taskbar: Torvane's icon in the notification area, its look, and its menu.
#include "tests/e2e/robot.h"

#include <shellapi.h>

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

// The pixels of the place-th square from the right (0: the first icon's), and its width.
static std::vector<uint32_t> SquarePixels(int place = 0, int *width = nullptr)
{
    HWND tray;
    RECT square;
    std::vector<uint32_t> pixels;
    if (TrayIconSquare(&tray, &square)) {
        OffsetRect(&square, -place * (square.right - square.left), 0);
        CaptureScreen(square, &pixels);
        if (width != nullptr)
            *width = square.right - square.left;
    }
    return pixels;
}

// 1 when the place-th square shows icon, drawn whole.
static int SquareShows(int place, HICON icon)
{
    int width = 0;
    std::vector<uint32_t> pixels = SquarePixels(place, &width);
    // As the message box's icons: a painted icon matches its twin almost exactly.
    uint64_t allowed = static_cast<uint64_t>(GetSystemMetrics(SM_CXSMICON)) * GetSystemMetrics(SM_CYSMICON) * 3 * 2;
    return SmallIconDistance(pixels, width, icon) <= allowed;
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

int TrayIconLook(const std::string &program)
{
    static const int looks[] = {IDI_ENABLED, IDI_BLINK, IDI_DISABLED};
    static HICON icons[3];
    static std::string loaded;
    std::string path = program.empty() ? BuildFolder() + "\\app\\Torvane.exe" : program;
    if (path != loaded) {
        // As Torvane loads them: LoadIconA, at the system's icon size.
        HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        for (int i = 0; i < 3; i++)
            icons[i] = module != nullptr ? LoadIconA(module, MAKEINTRESOURCEA(looks[i])) : nullptr;
        loaded = path;
    }
    for (int i = 0; i < 3; i++) {
        if (icons[i] != nullptr && SquareShows(0, icons[i]))
            return looks[i];
    }
    return 0;
}

NOTIFYICONDATAA RobotTrayIcon(HWND owner, UINT id, HICON icon)
{
    NOTIFYICONDATAA record = {};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = owner;
    record.uID = id;
    record.uFlags = NIF_ICON;
    record.hIcon = icon;
    return record;
}

int TrayIconCount(void)
{
    HWND owner = CreateWindowExA(0, "STATIC", "robot", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    NOTIFYICONDATAA record = RobotTrayIcon(owner, 1, LoadIconA(nullptr, IDI_QUESTION));
    auto placeShown = [&] {
        for (int p = 0; p < 4; p++) {
            if (SquareShows(p, record.hIcon))
                return p;
        }
        return -1;
    };
    int place = -1;
    // Not where an earlier count left it, before it is added again. The taskbar takes an icon
    // within the call: one added before stands right of the robot's.
    if (owner != nullptr && WaitUntil([&] { return placeShown() < 0; }, ROBOT_TIMEOUT_MS)
        && Shell_NotifyIconA(NIM_ADD, &record)) {
        WaitUntil([&] { return (place = placeShown()) >= 0; }, ROBOT_TIMEOUT_MS);
        Shell_NotifyIconA(NIM_DELETE, &record);
    }
    if (owner != nullptr)
        DestroyWindow(owner);
    return place;
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
    return WaitForWindow(processId, "#32768", ROBOT_TIMEOUT_MS);
}

int CloseMenu(HWND menu)
{
    PostToWindow(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    PostToWindow(menu, WM_KEYUP, VK_ESCAPE, 0xC0000000);
    return WaitUntil([&] { return !IsWindow(menu) || !IsWindowVisible(menu); }, ROBOT_TIMEOUT_MS);
}

void ChooseFromMenu(HWND menu, WPARAM key)
{
    PostToWindow(menu, WM_KEYDOWN, key, 0);
    PostToWindow(menu, WM_KEYUP, key, 0xC0000000);
    PostToWindow(menu, WM_KEYDOWN, VK_RETURN, 0);
    PostToWindow(menu, WM_KEYUP, VK_RETURN, 0xC0000000);
}
