// The floor under the driver's own scan throughput: what a bare program does in the driver's
// place. It watches a folder as the driver's watch does (one overlapped ReadDirectoryChangesW on
// the whole tree, the same change filter, the next read asked for before a batch is handed over)
// and reads every file that arrives, whole, on the one thread; nothing is judged, and only the names
// read are remembered. What it cannot do without, it does as the driver does: a folder that arrives
// and a lost batch of changes (an overflow) are made up by walking that folder, or the watched one,
// and reading every file there not read yet.
// The prepared files are moved in one by one, as scan_bench moves them in front of the driver; with
// --scale, the bench script's mover outside Wine brings count files into folders of its own.
// Usage: watch_floor [--outside] <staging folder> <watched folder>
//        watch_floor --scale <count> <watched folder>
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "tests/bench/bench_support.h"

constexpr DWORD NOTIFY_BYTES = 64 * 1024;
constexpr DWORD FILTER = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE
                         | FILE_NOTIFY_CHANGE_SIZE;
constexpr DWORD READ_BYTES = 1u << 20;

static HANDLE directory;
static std::wstring folder;
static volatile LONG filesRead;         // distinct names read whole
static volatile LONG stop;

static std::unordered_set<std::wstring> seen;   // the watch thread's: every name read

// Reads the file at path whole; 0 when it did not open (*error: why).
static int ReadWhole(const std::wstring &path, std::vector<char> *buffer, DWORD *error)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return 0;
    }
    DWORD got = 0;
    while (ReadFile(file, buffer->data(), READ_BYTES, &got, nullptr) && got > 0) {
    }
    CloseHandle(file);
    return 1;
}

static void Count(const std::wstring &path)
{
    if (seen.insert(path).second)
        InterlockedIncrement(&filesRead);
}

// Reads every file below folder not read yet.
static void WalkUnseen(const std::wstring &folder, std::vector<char> *buffer)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring path = folder + L"\\" + found.cFileName;
        DWORD error = 0;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (seen.count(path) == 0 && ReadWhole(path, buffer, &error))
                Count(path);
        } else if (lstrcmpW(found.cFileName, L".") != 0 && lstrcmpW(found.cFileName, L"..") != 0) {
            WalkUnseen(path, buffer);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// A name a notice brought: a file is read, a folder that arrived walked.
static void Arrived(const std::wstring &path, std::vector<char> *buffer)
{
    DWORD error = 0;
    if (ReadWhole(path, buffer, &error)) {
        Count(path);
        return;
    }
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        WalkUnseen(path, buffer);
}

static DWORD WINAPI WatchProc(void *)
{
    static DWORD notices[NOTIFY_BYTES / sizeof(DWORD)];
    static unsigned char batch[NOTIFY_BYTES];
    std::vector<char> buffer(READ_BYTES);
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ReadDirectoryChangesW(directory, notices, NOTIFY_BYTES, TRUE, FILTER, nullptr, &overlapped, nullptr);
    while (!stop) {
        if (WaitForSingleObject(overlapped.hEvent, 100) != WAIT_OBJECT_0)
            continue;
        DWORD bytes = 0;
        if (!GetOverlappedResult(directory, &overlapped, &bytes, FALSE))
            bytes = 0;   // more changes than the buffer held
        std::memcpy(batch, notices, bytes);
        ResetEvent(overlapped.hEvent);
        ReadDirectoryChangesW(directory, notices, NOTIFY_BYTES, TRUE, FILTER, nullptr, &overlapped, nullptr);
        if (bytes == 0)
            WalkUnseen(folder, &buffer);
        for (DWORD offset = 0; bytes > 0;) {
            const FILE_NOTIFY_INFORMATION *info = reinterpret_cast<const FILE_NOTIFY_INFORMATION *>(batch + offset);
            if (info->Action == FILE_ACTION_ADDED || info->Action == FILE_ACTION_MODIFIED
                || info->Action == FILE_ACTION_RENAMED_NEW_NAME) {
                Arrived(folder + L"\\" + std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t)), &buffer);
            }
            if (info->NextEntryOffset == 0)
                break;
            offset += info->NextEntryOffset;
        }
    }
    return 0;
}

// Opens the watched folder (made if need be) and starts watching it; 0 when it cannot be watched.
static int StartWatching(const std::string &watched, HANDLE *watcher)
{
    CreateDirectoryA(watched.c_str(), nullptr);
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, watched.c_str(), -1, wide, MAX_PATH);
    folder = wide;
    directory = CreateFileW(wide, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (directory == INVALID_HANDLE_VALUE)
        return 0;
    *watcher = CreateThread(nullptr, 0, WatchProc, nullptr, 0, nullptr);
    Sleep(200);   // the first read is asked for
    return 1;
}

static size_t FilesRead(void)
{
    return static_cast<size_t>(filesRead);
}

// count files brought by the outside mover into folders of the watched one.
static int Scale(size_t count, const std::string &watched)
{
    HANDLE watcher = nullptr;
    if (!StartWatching(watched, &watcher))
        return 1;
    PROCESS_MEMORY_COUNTERS before = {}, after = {};
    before.cb = after.cb = sizeof before;
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    Arrival arrival = {};
    int arrived = TimeOutsideArrival(count, watched, FilesRead, &arrival);
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    std::printf("RESULT floor_scale files=%zu read=%ld ms=%.0f move_ms=%.0f files_per_s=%.0f cpu_ms=%.0f start_mb=%.1f "
                "peak_mb=%.1f peak_private_mb=%.1f\n",
                count, static_cast<long>(filesRead), arrival.elapsedMs, arrival.moveMs,
                static_cast<double>(count) / (arrival.elapsedMs / 1000.0), arrival.processorMs,
                static_cast<double>(before.WorkingSetSize) / 1048576.0, static_cast<double>(after.PeakWorkingSetSize) / 1048576.0,
                static_cast<double>(after.PeakPagefileUsage) / 1048576.0);
    InterlockedExchange(&stop, 1);
    WaitForSingleObject(watcher, 5000);
    return arrived && FilesRead() >= count ? 0 : 1;
}

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--scale") == 0)
        return Scale(std::strtoul(argv[2], nullptr, 10), argv[3]);
    int outside = TakeOutsideArgument(&argc, &argv);
    if (argc < 3)
        return 2;
    std::string staging = argv[1];
    std::string watched = argv[2];
    std::vector<std::string> names;
    uint64_t bytes = ListFiles(staging, &names);
    HANDLE watcher = nullptr;
    if (names.empty() || !StartWatching(watched, &watcher))
        return 1;

    Arrival arrival = {};
    if (!TimeArrival(names, staging, watched, outside, FilesRead, &arrival))
        return 1;
    double elapsed = arrival.elapsedMs;
    double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
    std::printf("RESULT floor_watch files=%zu read=%ld mb=%.1f ms=%.0f move_ms=%.0f mb_per_s=%.1f files_per_s=%.0f cpu_ms=%.0f\n",
                names.size(), static_cast<long>(filesRead), mb, elapsed, arrival.moveMs,
                mb / (elapsed / 1000.0), static_cast<double>(names.size()) / (elapsed / 1000.0), arrival.processorMs);
    InterlockedExchange(&stop, 1);
    WaitForSingleObject(watcher, 5000);
    MoveFiles(names, watched, staging);   // back where they came from, for the next run
    return filesRead >= static_cast<LONG>(names.size()) ? 0 : 1;
}
