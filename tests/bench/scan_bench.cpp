// Scan throughput of the reference driver alone: the driver is loaded into this process as the
// front end loads it, watches an empty folder, and the prepared files are moved into it one by one,
// by this process or, with --outside, by the bench script's mover outside Wine (see TimeArrival).
// Measured from the first move until filesScanned counts every file.
// Usage: scan_bench [--outside] <staging folder> <watched folder> builtin|clamd [port]
//        scan_bench prepare <staging folder> <pattern file>: adds test files (plain and inside ZIP
//        archives) to the staging folder and writes the test string to the pattern file (for grep)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/status_block.h"
#include "tests/bench/bench_support.h"
#include "tests/bench/driver_in_process.h"
#include "tests/zip_builder.h"
#include "vxd/scan/detect.h"

static StatusBlock *block;          // the driver's, once connected

constexpr int TEST_FILES = 10;
constexpr int TEST_ARCHIVES = 5;

static int Prepare(const std::string &staging, const std::string &patternFile)
{
    char test[TEST_STRING_LENGTH + 1];
    BuildTestString(test);
    int ok = WriteFileBytes(patternFile, test);
    for (int i = 0; i < TEST_FILES; i++)
        ok &= WriteFileBytes(staging + "\\virus" + std::to_string(i) + ".com", std::string(test) + "\r\n");
    for (int i = 0; i < TEST_ARCHIVES; i++) {
        std::string readme(200000, 'r');
        ok &= WriteFileBytes(staging + "\\pack" + std::to_string(i) + ".zip",
                             BuildZip({{"docs/readme.txt", readme, 8, 0}, {"bin/t.com", test, 8, 0}}));
    }
    return ok ? 0 : 1;
}

int main(int argc, char **argv)
{
    if (argc == 4 && std::string(argv[1]) == "prepare")
        return Prepare(argv[2], argv[3]);
    int outside = TakeOutsideArgument(&argc, &argv);
    if (argc < 4)
        return 2;
    std::string staging = argv[1];
    std::string watched = argv[2];
    std::string engine = argv[3];
    CreateDirectoryA(watched.c_str(), nullptr);
    std::string ini = "[Driver]\r\nWatch=" + watched + "\r\n";
    if (engine == "clamd")
        ini += "Engine=clamd\r\nClamdPort=" + std::string(argc > 4 ? argv[4] : "3310") + "\r\n";
    DriverEntry entry = nullptr;
    if (!LoadDriver(watched + "-driver", ini, &entry, &block))
        return 1;
    ScanEverything(entry, block, ACTION_REPORT_ONLY);

    std::vector<std::string> names;
    uint64_t bytes = ListFiles(staging, &names);
    if (names.empty())
        return 1;

    Arrival arrival = {};
    if (!TimeArrival(names, staging, watched, outside, [] { return static_cast<size_t>(block->filesScanned); }, &arrival))
        return 1;
    double elapsed = arrival.elapsedMs;
    double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
    std::printf("RESULT scan_%s files=%zu scanned=%u infected=%u mb=%.1f ms=%.0f move_ms=%.0f mb_per_s=%.1f "
                "files_per_s=%.0f cpu_ms=%.0f\n",
                engine.c_str(), names.size(), static_cast<unsigned>(block->filesScanned),
                static_cast<unsigned>(block->filesInfected), mb, elapsed, arrival.moveMs,
                mb / (elapsed / 1000.0), static_cast<double>(names.size()) / (elapsed / 1000.0), arrival.processorMs);
    MoveFiles(names, watched, staging);   // back where they came from, for the next run
    entry(CTL_DISABLE, nullptr, 0, nullptr, 0, nullptr, nullptr);
    return block->filesScanned >= names.size() ? 0 : 1;
}
