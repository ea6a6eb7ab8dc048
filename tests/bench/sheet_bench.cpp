// The property sheet: how long the tray's Properties command takes until the sheet is on screen
// and painted, beside the same for a sheet of the same six templates that a process of the bench's
// own opens on a posted message (the platform's floor); and a sheet held open for the bench script
// to read Torvane's CPU time from outside.
// Usage: sheet_bench open [runs]      RESULT sheet_open and sheet_floor (min/median/max ms)
//        sheet_bench hold <seconds> [page watch]
//                                     READY once the sheet shows its Scan options page (or the page
//                                     at that position, the driver watching the bench folder's
//                                     subfolder watch), then waits
//        sheet_bench floor <Torvane.exe>
//                                     the floor's process (started by "open")
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

// The floor: a modeless sheet of Torvane's six page templates, made by a process of the bench's own
// (this program as "sheet_bench floor <Torvane.exe>") on a posted message, as Torvane makes its own
// on the Properties command, and timed from here by the same looks. Looks taken in the process that
// paints, or in another thread of it, would not compare: the screen captures compete with Torvane's
// painting for the processor and the X server, and with a thread of the bench's own for its locks.
constexpr char FLOOR_CLASS[] = "TorvaneBenchFloor";
constexpr UINT FLOOR_OPEN = WM_APP;
constexpr UINT FLOOR_CLOSE = WM_APP + 1;

static HMODULE floorTemplates;
static HWND floorSheet;

static HWND OpenFloorSheet(HMODULE torvane)
{
    static const int templates[] = {106, 119, 121, 120, 107, 108};
    static const char *const titles[] = {"Scan Options", "Action", "Report", "Exclusions", "Information", "About"};
    PROPSHEETPAGEA pages[6] = {};
    for (int i = 0; i < 6; i++) {
        HRSRC found = FindResourceA(torvane, MAKEINTRESOURCEA(templates[i]), reinterpret_cast<LPCSTR>(RT_DIALOG));
        if (found == nullptr)
            return nullptr;
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
    return reinterpret_cast<HWND>(PropertySheetA(&header));
}

static LRESULT CALLBACK FloorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case FLOOR_OPEN:
        if (floorSheet == nullptr)
            floorSheet = OpenFloorSheet(floorTemplates);
        return 0;
    case FLOOR_CLOSE:
        if (floorSheet != nullptr)
            DestroyWindow(floorSheet);
        floorSheet = nullptr;
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The floor's process: a hidden window that opens and closes the sheet when told, until closed.
static int HostFloor(const char *torvane)
{
    floorTemplates = LoadLibraryExA(torvane, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    InitCommonControls();
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = FloorWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = FLOOR_CLASS;
    if (floorTemplates == nullptr || !RegisterClassA(&windowClass)
        || CreateWindowExA(0, FLOOR_CLASS, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance, nullptr)
               == nullptr)
        return 0;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 1;
}

struct FloorRun {
    PROCESS_INFORMATION process;
    HWND window;
};

static int StartFloor(const std::string &torvane, FloorRun *floor)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string line = "\"" + std::string(self) + "\" floor \"" + torvane + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(self, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &floor->process))
        return 0;
    floor->window = nullptr;
    return WaitUntil([floor] { return (floor->window = FindWindowA(FLOOR_CLASS, nullptr)) != nullptr; },
                     ROBOT_TIMEOUT_MS);
}

static void EndFloor(const FloorRun &floor)
{
    PostMessageA(floor.window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(floor.process.hProcess, ROBOT_TIMEOUT_MS) != WAIT_OBJECT_0)
        TerminateProcess(floor.process.hProcess, 1);
    CloseHandle(floor.process.hProcess);
    CloseHandle(floor.process.hThread);
}

// From the posted request until the floor's sheet is painted, then closed again.
static int TimeFloorSheet(const FloorRun &floor, Opening *opening)
{
    const DWORD id = floor.process.dwProcessId;
    double start = NowMs();
    if (!PostMessageA(floor.window, FLOOR_OPEN, 0, 0)
        || !TimeOpening(start, [id] { return FindSheet(id); }, [] { Sleep(1); }, opening))
        return 0;
    PostMessageA(floor.window, FLOOR_CLOSE, 0, 0);
    return WaitGone(id);
}

// Times runs openings of Torvane's sheet (after one more that meets cold caches), each followed by
// one of the floor's, and prints the figures.
static int TimeOpenings(const TorvaneRun &run, HWND window, const FloorRun &floor, int runs)
{
    std::vector<double> shown, painted, floorShown, floorPainted;
    for (int i = -1; i < runs; i++) {
        Opening opening, floorOpening;
        double start = NowMs();
        if (!PostToWindow(window, WM_COMMAND, PROPERTIES_COMMAND, 0)
            || !TimeOpening(start, [&run] { return FindSheet(run.processId); }, [] { Sleep(1); }, &opening)) {
            std::fprintf(stderr, "bench: no sheet after the Properties command\n");
            return 0;
        }
        PostToWindow(FindSheet(run.processId), WM_COMMAND, IDCANCEL, 0);
        if (!WaitGone(run.processId) || !TimeFloorSheet(floor, &floorOpening)) {
            std::fprintf(stderr, "bench: the sheet did not close, or the floor's sheet did not open\n");
            return 0;
        }
        std::printf("sheet: opening %d: shown after %.0f ms, painted after %.0f ms; floor %.0f / %.0f ms\n", i + 1,
                    opening.shownMs, opening.paintedMs, floorOpening.shownMs, floorOpening.paintedMs);
        std::fflush(stdout);
        if (i < 0)
            continue;
        shown.push_back(opening.shownMs);
        painted.push_back(opening.paintedMs);
        floorShown.push_back(floorOpening.shownMs);
        floorPainted.push_back(floorOpening.paintedMs);
    }
    Spread a = SpreadOf(shown), b = SpreadOf(painted), c = SpreadOf(floorShown), d = SpreadOf(floorPainted);
    std::printf("RESULT sheet_open runs=%d shown_median=%.0f min=%.0f median=%.0f max=%.0f\n", runs, a.median, b.min,
                b.median, b.max);
    std::printf("RESULT sheet_floor runs=%d shown_median=%.0f min=%.0f median=%.0f max=%.0f\n", runs, c.median, d.min,
                d.median, d.max);
    return 1;
}

static int OpenTimes(int runs)
{
    std::string folder;
    TorvaneRun run;
    HWND window = nullptr;
    double elapsed = 0;
    FloorRun floor;
    if (!PrepareBench("sheet", "none", "", &folder, 0) || !StartAndReachLoop(folder, &run, &window, &elapsed))
        return 0;
    if (!StartFloor(folder + "\\Torvane.exe", &floor)) {
        std::fprintf(stderr, "bench: the floor's process did not start\n");
        return 0;
    }
    int ok = TimeOpenings(run, window, floor, runs);
    EndFloor(floor);
    return ok && CloseTorvane(run, window);
}

// The bench folder is bench_sheet_hold, or bench_sheet_hold_p<page> when a folder is watched.
static int Hold(int seconds, int page, const std::string &watch)
{
    std::string folder;
    TorvaneRun run;
    HWND window = nullptr;
    double elapsed = 0;
    Opening opening;
    const std::string name = watch.empty() ? "sheet_hold" : "sheet_hold_p" + std::to_string(page);
    if (!PrepareBench(name, watch.empty() ? "none" : watch, watch, &folder, !watch.empty())
        || !StartAndReachLoop(folder, &run, &window, &elapsed))
        return 0;
    double start = NowMs();
    if (!PostToWindow(window, WM_COMMAND, PROPERTIES_COMMAND, 0)
        || !TimeOpening(start, [&run] { return FindSheet(run.processId); }, [] { Sleep(1); }, &opening))
        return 0;
    if (SelectPage(FindSheet(run.processId), page) == nullptr) {
        std::fprintf(stderr, "bench: the sheet did not show page %d\n", page);
        return 0;
    }
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
    if (mode == "floor" && argc > 2)
        return HostFloor(argv[2]) ? 0 : 1;
    if (mode == "open")
        ok = OpenTimes(number > 0 ? number : 10);
    else if (mode == "hold" && number > 0)
        ok = Hold(number, argc > 4 ? std::atoi(argv[3]) : 0, argc > 4 ? argv[4] : "");
    else
        std::fprintf(stderr, "usage: sheet_bench open [runs] | sheet_bench hold <seconds> [page watch]\n");
    EndAllTorvane();
    return ok ? 0 : 1;
}
