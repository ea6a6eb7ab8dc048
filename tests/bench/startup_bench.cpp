// Start-up time: from just before the process is created until the MainWindow answers a sent
// message (the message loop runs), less the splash's 1.5 s; several starts, min/median/max. Beside
// it, the time until the splash shows (the cost of creating the process and loading the program).
// Usage: startup_bench <label> <watch> [runs]   e.g. startup_bench none none 10
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/bench/bench_support.h"

constexpr DWORD PAUSE_MS = 1000;     // between starts, for the last one's end to settle in the server

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_bench <label> <watch> [runs]\n");
        return 2;
    }
    std::string label = argv[1];
    std::string watch = argv[2];
    int runs = argc > 3 ? std::atoi(argv[3]) : 10;
    if (runs < 1)
        runs = 1;

    std::vector<double> figures;
    std::vector<double> splashes;
    // One start more than counted: the first one meets cold caches.
    for (int i = -1; i < runs; i++) {
        std::string folder;
        if (!PrepareBench("startup_" + label, watch, "", &folder))
            return 1;
        TorvaneRun run;
        HWND window = nullptr;
        double elapsed = 0;
        double splash = 0;
        if (!StartAndReachLoop(folder, &run, &window, &elapsed, &splash)) {
            EndAllTorvane();
            return 1;
        }
        int closed = CloseTorvane(run, window);
        EndAllTorvane();
        if (!closed)
            return 1;
        Sleep(PAUSE_MS);
        if (i < 0) {
            std::printf("startup %s: warm-up start %.0f ms (not counted)\n", label.c_str(), elapsed - SPLASH_MS);
            continue;
        }
        std::printf("startup %s: start %d: splash after %.0f ms, loop after %.0f ms: %.0f ms beside the splash\n",
                    label.c_str(), i + 1, splash, elapsed, elapsed - SPLASH_MS);
        std::fflush(stdout);
        figures.push_back(elapsed - SPLASH_MS);
        splashes.push_back(splash);
    }
    Spread spread = SpreadOf(figures);
    Spread splashSpread = SpreadOf(splashes);
    std::printf("RESULT startup_%s runs=%d min=%.0f median=%.0f max=%.0f splash_median=%.0f\n", label.c_str(), runs,
                spread.min, spread.median, spread.max, splashSpread.median);
    return 0;
}
