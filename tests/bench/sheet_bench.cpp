// The property sheet: how long the tray's Properties command takes until the sheet is on screen
// and painted, beside the same for a sheet of the same six templates that this program opens in
// its own process (the platform's floor); and a sheet held open for the bench script to read
// Torvane's CPU time from outside.
// Usage: sheet_bench open [runs]      RESULT sheet_open and sheet_floor (min/median/max ms)
//        sheet_bench hold <seconds>   READY once the sheet shows its Scan options page, then waits
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/bench/bench_support.h"

constexpr WPARAM PROPERTIES_COMMAND = 40002;   // the tray menu's Properties item
constexpr double STILL_MS = 500;               // a picture unchanged this long counts as painted

// The visible sheet of processId: a dialog holding a tab control.
static HWND FindSheet(DWORD processId)
{
    for (HWND window : ProcessWindows(processId, 1)) {
        if (WindowClass(window) == "#32770" && FindWindowExA(window, nullptr, WC_TABCONTROLA, nullptr) != nullptr)
            return window;
    }
    return nullptr;
}

static unsigned long long Picture(HWND window)
{
    RECT rect;
    std::vector<uint32_t> pixels;
    if (!GetWindowRect(window, &rect) || !CaptureScreen(rect, &pixels))
        return 0;
    unsigned long long hash = 1469598103934665603ull;
    for (uint32_t pixel : pixels)
        hash = (hash ^ pixel) * 1099511628211ull;
    return hash;
}

// Times, from start, until sheet() names a window and until the screen shows that window as it
// finally stays (the first picture equal to the one that then held for STILL_MS). pump runs
// between looks (the floor's sheet lives in this thread). 0 when no sheet came within the limit.
struct Opening {
    double shownMs;
    double paintedMs;
};
template <class Find, class Pump> static int TimeOpening(double start, Find sheet, Pump pump, Opening *opening)
{
    HWND window = nullptr;
    while (window == nullptr) {
        pump();
        window = sheet();
        if (NowMs() - start > ROBOT_TIMEOUT_MS)
            return 0;
    }
    opening->shownMs = NowMs() - start;
    std::vector<std::pair<double, unsigned long long>> frames;
    while (frames.empty() || NowMs() - frames.back().first < STILL_MS || frames.back().second == 0) {
        pump();
        unsigned long long picture = Picture(window);
        if (frames.empty() || frames.back().second != picture)
            frames.push_back({NowMs(), picture});
        if (NowMs() - start > ROBOT_TIMEOUT_MS)
            return 0;
    }
    opening->paintedMs = frames.back().first - start;
    return 1;
}

static int WaitGone(DWORD processId)
{
    for (DWORD waited = 0; waited < ROBOT_TIMEOUT_MS; waited += 20) {
        if (FindSheet(processId) == nullptr)
            return 1;
        Sleep(20);
    }
    return 0;
}

static INT_PTR CALLBACK EmptyPageProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// The floor: a modeless sheet of Torvane's six page templates, made in this process.
static int TimeFloorSheet(HMODULE torvane, Opening *opening)
{
    static const int templates[] = {106, 119, 121, 120, 107, 108};
    static const char *const titles[] = {"Scan Options", "Action", "Report", "Exclusions", "Information", "About"};
    PROPSHEETPAGEA pages[6] = {};
    for (int i = 0; i < 6; i++) {
        HRSRC found = FindResourceA(torvane, MAKEINTRESOURCEA(templates[i]), reinterpret_cast<LPCSTR>(RT_DIALOG));
        if (found == nullptr)
            return 0;
        pages[i].dwSize = sizeof pages[i];
        pages[i].dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
        pages[i].pResource = static_cast<LPCDLGTEMPLATEA>(LockResource(LoadResource(torvane, found)));
        pages[i].pszTitle = titles[i];
        pages[i].pfnDlgProc = EmptyPageProc;
    }
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_MODELESS | PSH_HASHELP;
    header.pszCaption = "Torvane 1.05";
    header.nPages = 6;
    header.ppsp = pages;
    double start = NowMs();
    HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&header));
    auto pump = [] {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    };
    int ok = sheet != nullptr && TimeOpening(start, [sheet] { return IsWindowVisible(sheet) ? sheet : nullptr; }, pump,
                                             opening);
    DestroyWindow(sheet);
    pump();
    return ok;
}

static int OpenTimes(int runs)
{
    std::string folder;
    TorvaneRun run;
    HWND window = nullptr;
    double elapsed = 0;
    if (!PrepareBench("sheet", "none", "", &folder) || !StartAndReachLoop(folder, &run, &window, &elapsed))
        return 0;
    HMODULE torvane = LoadLibraryExA((folder + "\\Torvane.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    InitCommonControls();
    std::vector<double> shown, painted, floorShown, floorPainted;
    // One opening more than counted: the first one meets cold caches.
    for (int i = -1; i < runs; i++) {
        Opening opening, floor;
        double start = NowMs();
        if (!PostToWindow(window, WM_COMMAND, PROPERTIES_COMMAND, 0)
            || !TimeOpening(start, [&run] { return FindSheet(run.processId); }, [] { Sleep(1); }, &opening)) {
            std::fprintf(stderr, "bench: no sheet after the Properties command\n");
            return 0;
        }
        PostToWindow(FindSheet(run.processId), WM_COMMAND, IDCANCEL, 0);
        if (!WaitGone(run.processId) || !TimeFloorSheet(torvane, &floor)) {
            std::fprintf(stderr, "bench: the sheet did not close, or the floor's sheet did not open\n");
            return 0;
        }
        std::printf("sheet: opening %d: shown after %.0f ms, painted after %.0f ms; floor %.0f / %.0f ms\n", i + 1,
                    opening.shownMs, opening.paintedMs, floor.shownMs, floor.paintedMs);
        std::fflush(stdout);
        if (i < 0)
            continue;
        shown.push_back(opening.shownMs);
        painted.push_back(opening.paintedMs);
        floorShown.push_back(floor.shownMs);
        floorPainted.push_back(floor.paintedMs);
    }
    Spread a = SpreadOf(shown), b = SpreadOf(painted), c = SpreadOf(floorShown), d = SpreadOf(floorPainted);
    std::printf("RESULT sheet_open runs=%d shown_median=%.0f min=%.0f median=%.0f max=%.0f\n", runs, a.median, b.min,
                b.median, b.max);
    std::printf("RESULT sheet_floor runs=%d shown_median=%.0f min=%.0f median=%.0f max=%.0f\n", runs, c.median, d.min,
                d.median, d.max);
    return CloseTorvane(run, window);
}

static int Hold(int seconds)
{
    std::string folder;
    TorvaneRun run;
    HWND window = nullptr;
    double elapsed = 0;
    Opening opening;
    if (!PrepareBench("sheet_hold", "none", "", &folder) || !StartAndReachLoop(folder, &run, &window, &elapsed))
        return 0;
    double start = NowMs();
    if (!PostToWindow(window, WM_COMMAND, PROPERTIES_COMMAND, 0)
        || !TimeOpening(start, [&run] { return FindSheet(run.processId); }, [] { Sleep(1); }, &opening))
        return 0;
    std::printf("READY %.0f\n", opening.paintedMs);
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(seconds) * 1000);
    std::printf("PING %.0f\n", PingMs(window, 1000));
    PostToWindow(FindSheet(run.processId), WM_COMMAND, IDCANCEL, 0);
    int closed = WaitGone(run.processId) && CloseTorvane(run, window);
    std::printf("CLOSED %d\n", closed);
    return closed;
}

int main(int argc, char **argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    int number = argc > 2 ? std::atoi(argv[2]) : 0;
    int ok = 0;
    if (mode == "open")
        ok = OpenTimes(number > 0 ? number : 10);
    else if (mode == "hold" && number > 0)
        ok = Hold(number);
    else
        std::fprintf(stderr, "usage: sheet_bench open [runs] | sheet_bench hold <seconds>\n");
    EndAllTorvane();
    return ok ? 0 : 1;
}
