// Keeps one Torvane running for a while so that its CPU time can be read from outside (the bench
// script reads /proc): starts it, says READY once the message loop runs and start-up has settled,
// waits, checks it still answers, and closes it.
// Usage: hold_bench <name> <watch> <seconds> [subfolder]
// The program folder is C:\torvane-e2e\bench_<name>; subfolder, if given, is made empty in it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/bench/bench_support.h"

constexpr DWORD SETTLE_MS = 2000;    // the driver's start-up work and the tray icon's first paint

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: hold_bench <name> <watch> <seconds> [subfolder]\n");
        return 2;
    }
    std::string name = argv[1];
    std::string watch = argv[2];
    int seconds = std::atoi(argv[3]);
    std::string subfolder = argc > 4 ? argv[4] : "";

    std::string folder;
    if (!PrepareBench(name, watch, subfolder, &folder))
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
