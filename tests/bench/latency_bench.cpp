// How long a detection takes from the file's write to its row in the virus alert, end to end:
// Torvane.exe with the default settings watches a folder; test files are written one at a time
// and the alert's rows are counted from outside.
// Usage: latency_bench [count]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/bench/bench_support.h"

constexpr double ROW_LIMIT_MS = 10000;

int main(int argc, char **argv)
{
    int count = argc > 1 ? std::atoi(argv[1]) : 100;
    std::string folder;
    if (count < 1 || !PrepareBench("latency", "incoming", "incoming", &folder))
        return 1;
    TorvaneRun run;
    HWND window = StartNormally(folder, &run);   // returns once the driver watches
    if (window == nullptr)
        return 1;
    const std::string test = TestFileBytes();
    std::vector<double> latencies;
    HWND list = nullptr;
    for (int i = 0; i < count; i++) {
        char path[MAX_PATH];
        std::snprintf(path, sizeof path, "%s\\incoming\\late%03d.com", folder.c_str(), i);
        double written = NowMs();
        if (!WriteFileBytes(path, test))
            return 1;
        int rows = -1;
        while (NowMs() - written < ROW_LIMIT_MS) {
            if (list == nullptr || !IsWindow(list))
                FindAlert(run.processId, &list);
            rows = list != nullptr ? ListViewCount(list) : 0;
            if (rows > i)
                break;
            Sleep(1);
        }
        if (rows <= i) {
            std::fprintf(stderr, "latency: no row for %s within %.0f ms\n", path, ROW_LIMIT_MS);
            return 1;
        }
        latencies.push_back(NowMs() - written);
    }
    Spread spread = SpreadOf(latencies);
    std::printf("RESULT latency count=%d median_ms=%.1f worst_ms=%.1f best_ms=%.1f\n", count, spread.median, spread.max,
                spread.min);
    CloseTorvane(run, window);
    return 0;
}
