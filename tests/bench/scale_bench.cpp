// The reference driver under a burst larger than its scan queue: the bench script's mover, outside
// Wine, moves count small files into a few hundred folders of a watched folder at once, as an
// unpacker would, while this program writes a test file now and then into a second watched folder
// and times how soon the driver deals with it (renames it): a new arrival must not wait behind the
// burst. The driver is loaded into this process with a journal, which the script reads afterwards
// (every file scanned once, every test file dealt with, the overflows and their rescans).
// Usage: scale_bench <watched folder> <probe folder> <count> builtin|clamd [port]
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/status_block.h"
#include "tests/bench/bench_support.h"
#include "tests/bench/driver_in_process.h"
#include "vxd/scan/detect.h"

constexpr DWORD PROBE_EVERY_MS = 200;       // between one probe dealt with and the next
constexpr DWORD PROBE_LIMIT_MS = 10000;     // a probe not dealt with by then counts as missed
constexpr DWORD SETTLED_MS = 2000;          // the driver is idle once it used less than
constexpr double SETTLED_CPU_MS = 30;       // this much processor time in that long

static StatusBlock *block;                  // the driver's, once connected
static std::string probeFolder;
static volatile LONG probesWritten;
static volatile LONG burstDone;             // set once every file of the burst was scanned
static double moveBegun;                    // NowMs when the mover was let go
static std::vector<std::pair<double, double>> probes;   // when written (ms after moveBegun), ms to deal with

static double MegaBytes(SIZE_T bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// Writes one test file and waits until the driver renamed it away: the ms it took, or -1.
static double Probe(int number)
{
    char test[TEST_STRING_LENGTH + 1];
    BuildTestString(test);
    std::string path = probeFolder + "\\probe" + std::to_string(number) + ".com";
    double start = NowMs();
    InterlockedIncrement(&probesWritten);
    if (!WriteFileBytes(path, std::string(test) + "\r\n"))
        return -1;
    while (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        if (NowMs() - start > PROBE_LIMIT_MS)
            return -1;
        Sleep(1);
    }
    return NowMs() - start;
}

// Probes while the burst is being worked through, from its first file scanned on.
static DWORD WINAPI ProbeThreadProc(void *)
{
    while (block->filesScanned == 0 && !burstDone)
        Sleep(5);
    for (int number = 0; !burstDone; number++) {
        double written = NowMs() - moveBegun;
        probes.push_back({written, Probe(number)});
        Sleep(PROBE_EVERY_MS);
    }
    return 0;
}

static size_t BurstScanned(void)
{
    LONG written = probesWritten;   // read first: a probe written later only asks more
    return block->filesScanned >= static_cast<DWORD>(written) ? block->filesScanned - written : 0;
}

// Waits until the driver has had nothing to do for a while (its rescans done too): the ms from
// when the burst's files were all scanned.
static double WaitSettled(void)
{
    double start = NowMs();
    double before = ProcessorMs();
    for (;;) {
        Sleep(SETTLED_MS);
        double now = ProcessorMs();
        if (now - before < SETTLED_CPU_MS || NowMs() - start > 600000)
            return NowMs() - start - SETTLED_MS;
        before = now;
    }
}

static void PrintProbes(const char *engine)
{
    std::vector<double> dealt;
    int missed = 0, over = 0;
    for (const auto &probe : probes) {
        std::printf("PROBE %s at_ms=%.0f ms=%.0f\n", engine, probe.first, probe.second);
        if (probe.second < 0)
            missed++;
        else
            dealt.push_back(probe.second);
        over += probe.second < 0 || probe.second > 2000;
    }
    Spread spread = SpreadOf(dealt);
    std::printf("RESULT scale_probe_%s count=%zu missed=%d over_2s=%d median_ms=%.0f worst_ms=%.0f\n", engine,
                probes.size(), missed, over, spread.median, spread.max);
}

int main(int argc, char **argv)
{
    if (argc < 5)
        return 2;
    std::string watched = argv[1];
    probeFolder = argv[2];
    size_t count = std::strtoul(argv[3], nullptr, 10);
    std::string engine = argv[4];
    CreateDirectoryA(watched.c_str(), nullptr);
    CreateDirectoryA(probeFolder.c_str(), nullptr);
    std::string ini = "[Driver]\r\nWatch=" + watched + ";" + probeFolder + "\r\nJournal=journal.txt\r\n";
    if (engine == "clamd")
        ini += "Engine=clamd\r\nClamdPort=" + std::string(argc > 5 ? argv[5] : "3310") + "\r\n";
    DriverEntry entry = nullptr;
    if (!LoadDriver(watched + "-driver", ini, &entry, &block))
        return 1;
    ScanEverything(entry, block, ACTION_RENAME);
    PROCESS_MEMORY_COUNTERS before = {};
    before.cb = sizeof before;
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);

    moveBegun = NowMs();
    HANDLE prober = CreateThread(nullptr, 0, ProbeThreadProc, nullptr, 0, nullptr);
    Arrival arrival = {};
    int arrived = TimeOutsideArrival(count, watched, BurstScanned, &arrival);
    InterlockedExchange(&burstDone, 1);
    WaitForSingleObject(prober, PROBE_LIMIT_MS + PROBE_EVERY_MS + 1000);
    double processor = ProcessorMs();
    double settledMs = WaitSettled();
    PROCESS_MEMORY_COUNTERS after = {};
    after.cb = sizeof after;
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    std::printf("RESULT scale_%s files=%zu scanned=%u infected=%u ms=%.0f move_ms=%.0f files_per_s=%.0f cpu_ms=%.0f "
                "settled_ms=%.0f settled_cpu_ms=%.0f start_mb=%.1f peak_mb=%.1f private_mb=%.1f peak_private_mb=%.1f\n",
                engine.c_str(), count, static_cast<unsigned>(block->filesScanned), static_cast<unsigned>(block->filesInfected),
                arrival.elapsedMs, arrival.moveMs, static_cast<double>(count) / (arrival.elapsedMs / 1000.0),
                arrival.processorMs, settledMs, ProcessorMs() - processor + arrival.processorMs,
                MegaBytes(before.WorkingSetSize), MegaBytes(after.PeakWorkingSetSize), MegaBytes(before.PagefileUsage),
                MegaBytes(after.PeakPagefileUsage));
    PrintProbes(engine.c_str());
    entry(CTL_DISABLE, nullptr, 0, nullptr, 0, nullptr, nullptr);
    return arrived && BurstScanned() >= count ? 0 : 1;
}
