// The robot's eyes on the screen: pixels of a rectangle, screenshots, and telling a message box's
// icon by comparing what the screen shows with the system icons drawn here.
#include "tests/e2e/robot.h"

#include <cstdio>

// A 32-bit bitmap of width x height whose rows run from the top; *bits receives its pixels.
static HBITMAP TopDownSection(HDC dc, int width, int height, void **bits)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

// Paints width x height pixels into a memory bitmap with paint and returns them as 0x00RRGGBB
// words (empty when no bitmap could be made).
static std::vector<uint32_t> PaintPixels(int width, int height, const std::function<int(HDC, uint32_t *)> &paint)
{
    std::vector<uint32_t> pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void *bits = nullptr;
    HBITMAP section = TopDownSection(screen, width, height, &bits);
    if (section != nullptr) {
        HGDIOBJ previous = SelectObject(memory, section);
        uint32_t *words = static_cast<uint32_t *>(bits);
        int ok = paint(memory, words);
        GdiFlush();
        if (ok) {
            pixels.assign(words, words + static_cast<size_t>(width) * height);
            for (uint32_t &p : pixels)
                p &= 0xFFFFFF;
        }
        SelectObject(memory, previous);
        DeleteObject(section);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

int CaptureScreen(const RECT &rect, std::vector<uint32_t> *pixels)
{
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return 0;
    HDC screen = GetDC(nullptr);
    *pixels = PaintPixels(width, height, [&](HDC memory, uint32_t *) {
        return BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) ? 1 : 0;
    });
    ReleaseDC(nullptr, screen);
    return !pixels->empty();
}

// The icon drawn as a static of width x height would show it on a background of colour.
static std::vector<uint32_t> RenderIcon(HICON icon, int width, int height, uint32_t background)
{
    return PaintPixels(width, height, [&](HDC memory, uint32_t *words) {
        for (int i = 0; i < width * height; i++)
            words[i] = background;
        DrawIconEx(memory, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
        return 1;
    });
}

static uint64_t PixelDistance(const std::vector<uint32_t> &a, const std::vector<uint32_t> &b)
{
    if (a.size() != b.size())
        return UINT64_MAX;
    uint64_t sum = 0;
    for (size_t i = 0; i < a.size(); i++) {
        for (int shift = 0; shift < 24; shift += 8) {
            int x = static_cast<int>((a[i] >> shift) & 0xFF);
            int y = static_cast<int>((b[i] >> shift) & 0xFF);
            sum += static_cast<uint64_t>(x > y ? x - y : y - x);
        }
    }
    return sum;
}

uint64_t SmallIconDistance(const std::vector<uint32_t> &pixels, int width, HICON icon)
{
    int side = GetSystemMetrics(SM_CXSMICON);
    int height = width > 0 ? static_cast<int>(pixels.size()) / width : 0;
    if (pixels.empty() || width < side || height < side)
        return UINT64_MAX;
    std::vector<uint32_t> drawn = PaintPixels(side, side, [&](HDC memory, uint32_t *words) {
        for (int i = 0; i < side * side; i++)
            words[i] = pixels[0];
        return DrawIconEx(memory, 0, 0, icon, side, side, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE) ? 1 : 0;
    });
    if (drawn.empty())
        return UINT64_MAX;
    uint64_t best = UINT64_MAX;
    for (int top = 0; top + side <= height; top++) {
        for (int left = 0; left + side <= width; left++) {
            std::vector<uint32_t> placed;
            for (int y = 0; y < side; y++) {
                const uint32_t *row = &pixels[static_cast<size_t>(top + y) * width + left];
                placed.insert(placed.end(), row, row + side);
            }
            uint64_t distance = PixelDistance(placed, drawn);
            best = distance < best ? distance : best;
        }
    }
    return best;
}

// The static icon control of a message box: id 20 where the platform uses it, else the first
// static with the SS_ICON style.
static HWND IconControl(HWND box)
{
    HWND icon = GetDlgItem(box, MESSAGE_BOX_ICON_ID);
    if (icon != nullptr && (GetWindowLongA(icon, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        return icon;
    for (HWND child : ChildWindows(box)) {
        if (_stricmp(WindowClass(child).c_str(), "Static") == 0
            && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            return child;
    }
    return nullptr;
}

// One look at the icon of box; *again is set to 1 when another look later may tell (the icon
// control is there but what the screen shows is no icon yet).
static int StopIconOnce(HWND box, int *again)
{
    *again = 0;
    HWND control = IconControl(box);
    if (control == nullptr || !IsWindowVisible(control))
        return -1;
    // The icon handle belongs to the other process and cannot be examined from here; compare what
    // the screen shows with the four system message icons drawn here instead.
    RECT rect;
    GetWindowRect(control, &rect);
    int size = GetSystemMetrics(SM_CXICON);
    if (rect.right - rect.left < size || rect.bottom - rect.top < size)
        return -1;
    *again = 1;
    rect.right = rect.left + size;
    rect.bottom = rect.top + size;
    std::vector<uint32_t> shown;
    if (!CaptureScreen(rect, &shown))
        return -1;
    uint32_t background = shown[0];   // icon corners are transparent
    static const LPCSTR candidates[] = {IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION, IDI_ASTERISK};
    uint64_t best = UINT64_MAX;
    uint64_t second = UINT64_MAX;
    size_t bestIndex = 0;
    for (size_t i = 0; i < sizeof candidates / sizeof candidates[0]; i++) {
        HICON icon = LoadIconA(nullptr, candidates[i]);
        uint64_t distance = PixelDistance(shown, RenderIcon(icon, size, size, background));
        if (distance < best) {
            second = best;
            best = distance;
            bestIndex = i;
        } else if (distance < second) {
            second = distance;
        }
    }
    if (EnvironmentValue("ROBOT_DEBUG") == "1")
        std::fprintf(stderr, "robot: icon %zu nearest, distance %llu, next %llu\n", bestIndex,
                     static_cast<unsigned long long>(best), static_cast<unsigned long long>(second));
    // A painted icon matches its twin almost exactly. Anything else (not painted yet, half painted,
    // covered) cannot be told, and must not be taken for the nearest icon.
    uint64_t pixels = static_cast<uint64_t>(size) * size;
    if (best > pixels * 3 * 2 || second < best * 4 + pixels)
        return -1;
    *again = 0;
    return bestIndex == 0 ? 1 : 0;
}

int CheckStopIcon(HWND box)
{
    // A box seen at once may not be painted yet: look again until it is, or the bound has passed.
    int icon = -1;
    WaitUntil([&] {
        int again = 0;
        icon = StopIconOnce(box, &again);
        return !again || !IsWindow(box);
    }, ROBOT_TIMEOUT_MS);
    return icon;
}

int SaveScreenshot(const std::string &name, DWORD settleMs)
{
    std::string shots = EnvironmentValue("TORVANE_SHOTS");
    if (shots.empty())
        return 0;
    Sleep(settleMs);
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    std::vector<uint32_t> pixels;
    if (!CaptureScreen(screen, &pixels))
        return 0;
    int width = screen.right;
    int height = screen.bottom;
    size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;    // bottom-up rows
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(stride * height);
    file.bfType = 0x4D42;        // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    std::string bytes(reinterpret_cast<const char *>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char *>(&header), sizeof header);
    std::string row(stride, '\0');
    for (int y = height - 1; y >= 0; y--) {
        for (int x = 0; x < width; x++) {
            uint32_t p = pixels[static_cast<size_t>(y) * width + x];
            row[x * 3] = static_cast<char>(p & 0xFF);
            row[x * 3 + 1] = static_cast<char>((p >> 8) & 0xFF);
            row[x * 3 + 2] = static_cast<char>((p >> 16) & 0xFF);
        }
        bytes += row;
    }
    std::string folder = UnixToWindowsPath(shots);
    CreateDirectoryA(folder.c_str(), nullptr);
    return WriteFileBytes(folder + "\\" + name + ".bmp", bytes);
}
