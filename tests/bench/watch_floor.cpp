// The floor under the driver's own scan throughput: what a bare program does in the driver's
// place. It watches a folder as the driver's watch does (one overlapped ReadDirectoryChangesW on
// the whole tree, the same change filter, the next read asked for before a batch is handed over)
// and reads every file that arrives, whole, on the one thread; nothing is judged or remembered.
// The prepared files are moved in one by one, as scan_bench moves them in front of the driver.
// Usage: watch_floor [--outside] <staging folder> <watched folder>
#include <windows.h>

#include <cstdio>
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

static void ReadWhole(const std::wstring &path, std::vector<char> *buffer)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD got = 0;
    while (ReadFile(file, buffer->data(), READ_BYTES, &got, nullptr) && got > 0) {
    }
    CloseHandle(file);
}

static DWORD WINAPI WatchProc(void *)
{
    static DWORD notices[NOTIFY_BYTES / sizeof(DWORD)];
    static unsigned char batch[NOTIFY_BYTES];
    std::vector<char> buffer(READ_BYTES);
    std::unordered_set<std::wstring> seen;
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ReadDirectoryChangesW(directory, notices, NOTIFY_BYTES, TRUE, FILTER, nullptr, &overlapped, nullptr);
    while (!stop) {
        if (WaitForSingleObject(overlapped.hEvent, 100) != WAIT_OBJECT_0)
            continue;
        DWORD bytes = 0;
        GetOverlappedResult(directory, &overlapped, &bytes, FALSE);
        std::memcpy(batch, notices, bytes);
        ResetEvent(overlapped.hEvent);
        ReadDirectoryChangesW(directory, notices, NOTIFY_BYTES, TRUE, FILTER, nullptr, &overlapped, nullptr);
        for (DWORD offset = 0; bytes > 0;) {
            const FILE_NOTIFY_INFORMATION *info = reinterpret_cast<const FILE_NOTIFY_INFORMATION *>(batch + offset);
            if (info->Action == FILE_ACTION_ADDED || info->Action == FILE_ACTION_MODIFIED
                || info->Action == FILE_ACTION_RENAMED_NEW_NAME) {
                std::wstring path = folder + L"\\" + std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t));
                ReadWhole(path, &buffer);
                if (seen.insert(path).second)
                    InterlockedIncrement(&filesRead);
            }
            if (info->NextEntryOffset == 0)
                break;
            offset += info->NextEntryOffset;
        }
    }
    return 0;
}

int main(int argc, char **argv)
{
    int outside = TakeOutsideArgument(&argc, &argv);
    if (argc < 3)
        return 2;
    std::string staging = argv[1];
    std::string watched = argv[2];
    CreateDirectoryA(watched.c_str(), nullptr);
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, watched.c_str(), -1, wide, MAX_PATH);
    folder = wide;
    directory = CreateFileW(wide, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    std::vector<std::string> names;
    uint64_t bytes = ListFiles(staging, &names);
    if (directory == INVALID_HANDLE_VALUE || names.empty())
        return 1;
    HANDLE watcher = CreateThread(nullptr, 0, WatchProc, nullptr, 0, nullptr);
    Sleep(200);   // the first read is asked for

    Arrival arrival = {};
    if (!TimeArrival(names, staging, watched, outside, [] { return static_cast<size_t>(filesRead); }, &arrival))
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
