// Keeps one Torvane running for a while so that its CPU time can be read from outside (the bench
// script reads /proc): starts it, says READY once the message loop runs and start-up has settled,
// waits, checks it still answers, and closes it. The driver keeps a journal only when a subfolder
// is given (the script counts the driver's scans of the files written there); otherwise it runs as
// installed, without the journal's thread.
// Usage: hold_bench <name> <watch> <seconds> [subfolder]
//        hold_bench floor <seconds>
// The program folder is C:\torvane-e2e\bench_<name>; subfolder, if given, is made empty in it.
// "floor" is the idle floor, held in this process: what any program of Torvane's shape does while
// nothing happens (a hidden window, a tray icon and a 150 ms timer whose ticks find nothing to do),
// with READY once its icon is in the tray and PING 0 when its time is up.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/bench/bench_support.h"

constexpr DWORD SETTLE_MS = 2000;    // the driver's start-up work and the tray icon's first paint
constexpr UINT_PTR FLOOR_TICK = 5;   // Torvane's timer: id 5, 150 ms
constexpr UINT FLOOR_TICK_MS = 150;
constexpr UINT_PTR FLOOR_END = 6;
constexpr UINT FLOOR_TRAY = WM_APP;

static LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == FLOOR_END)
            DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static int HoldFloor(int seconds)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = FloorProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TorvaneBenchIdleFloor";
    if (!RegisterClassA(&windowClass))
        return 0;
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    if (window == nullptr)
        return 0;
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = window;
    icon.uID = 1;
    icon.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    icon.uCallbackMessage = FLOOR_TRAY;
    icon.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    std::snprintf(icon.szTip, sizeof icon.szTip, "idle floor");
    Shell_NotifyIconA(NIM_ADD, &icon);
    SetTimer(window, FLOOR_TICK, FLOOR_TICK_MS, nullptr);
    SetTimer(window, FLOOR_END, static_cast<UINT>(seconds) * 1000 + SETTLE_MS, nullptr);
    Sleep(SETTLE_MS);
    std::printf("READY 0\n");
    std::fflush(stdout);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    Shell_NotifyIconA(NIM_DELETE, &icon);
    std::printf("PING 0\nCLOSED 1\n");
    std::fflush(stdout);
    return 1;
}

int main(int argc, char **argv)
{
    if (argc == 3 && std::string(argv[1]) == "floor")
        return HoldFloor(std::atoi(argv[2])) ? 0 : 1;
    if (argc < 4) {
        std::fprintf(stderr, "usage: hold_bench <name> <watch> <seconds> [subfolder] | hold_bench floor <seconds>\n");
        return 2;
    }
    std::string name = argv[1];
    std::string watch = argv[2];
    int seconds = std::atoi(argv[3]);
    std::string subfolder = argc > 4 ? argv[4] : "";

    std::string folder;
    if (!PrepareBench(name, watch, subfolder, &folder, !subfolder.empty()))
        return 1;
    TorvaneRun run;
    HWND window = nullptr;
    double elapsed = 0;
    if (!StartAndReachLoop(folder, &run, &window, &elapsed)) {
        EndAllTorvane();
        return 1;
    }
    Sleep(SETTLE_MS);
    std::printf("READY %.0f\n", elapsed);
    std::fflush(stdout);

    Sleep(static_cast<DWORD>(seconds) * 1000);
    double ping = PingMs(window, 1000);
    std::printf("PING %.0f\n", ping);
    int closed = CloseTorvane(run, window);
    std::printf("CLOSED %d\n", closed);
    std::fflush(stdout);
    EndAllTorvane();
    return ping >= 0 && closed ? 0 : 1;
}
