// The bench programs' shared procedures: clock, bench folders, start to the message loop, closing,
// figures, and the alert's list read from outside.
#include "tests/bench/bench_support.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

// Vista and later; the build targets an older Windows for the program itself.
extern "C" WINBASEAPI BOOL WINAPI QueryFullProcessImageNameA(HANDLE process, DWORD flags, LPSTR name,
                                                              PDWORD size);
// Windows 8 and later, and Wine: the system clock to the 100 ns.
extern "C" WINBASEAPI void WINAPI GetSystemTimePreciseAsFileTime(LPFILETIME time);

static const char BENCH_ROOT[] = "C:\\torvane-e2e\\bench_";

double NowMs(void)
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double ProcessorMs(void)
{
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user))
        return 0;
    auto ms = [](const FILETIME &t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

// A bench that was itself ended early leaves its Torvane running, and a new start would only meet
// that "running instance". End it by its id, but only when it runs from a bench folder.
static int EndStrayBenchTorvane(void)
{
    HWND window = FindTopWindow(ROBOT_MAIN_CLASS, ROBOT_MAIN_TITLE);
    if (window == nullptr)
        return 1;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId);
    if (process == nullptr)
        return 0;
    char image[MAX_PATH] = "";
    DWORD size = sizeof image;
    int ours = QueryFullProcessImageNameA(process, 0, image, &size)
               && _strnicmp(image, BENCH_ROOT, sizeof BENCH_ROOT - 1) == 0;
    if (ours) {
        std::fprintf(stderr, "bench: ending stray %s (process %lu)\n", image, processId);
        TerminateProcess(process, 99);
        WaitForSingleObject(process, ROBOT_TIMEOUT_MS);
    } else {
        std::fprintf(stderr, "bench: another Torvane runs (%s); cannot measure\n", image);
    }
    CloseHandle(process);
    return ours;
}

int PrepareBench(const std::string &name, const std::string &watch, const std::string &subfolder,
                 std::string *folder, int journal)
{
    if (!EndStrayBenchTorvane())
        return 0;
    FolderSetup setup;
    setup.ini = {{"Watch", watch}};
    if (!journal)
        setup.ini.push_back({"Journal", ""});
    if (!PrepareFolder("bench_" + name, setup, folder))
        return 0;
    if (!subfolder.empty() && !CreateDirectoryA((*folder + "\\" + subfolder).c_str(), nullptr)) {
        std::fprintf(stderr, "bench: cannot make %s\\%s (error %lu)\n", folder->c_str(), subfolder.c_str(),
                     GetLastError());
        return 0;
    }
    if (!WriteDefaultSettings(*folder)) {
        std::fprintf(stderr, "bench: cannot write the default settings\n");
        return 0;
    }
    return 1;
}

double PingMs(HWND window, DWORD timeoutMs)
{
    double start = NowMs();
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result))
        return -1;
    return NowMs() - start;
}

int StartAndReachLoop(const std::string &folder, TorvaneRun *run, HWND *window, double *elapsedMs,
                      double *splashMs)
{
    double start = NowMs();
    if (!StartTorvane(folder, run))
        return 0;
    if (splashMs != nullptr) {
        // Looked for closely (the robot's waits poll every 20 ms); the splash stands 1.5 s.
        *splashMs = -1;
        while (NowMs() - start < ROBOT_TIMEOUT_MS && IsRunning(*run)) {
            if (!ProcessWindows(run->processId, 1).empty()) {
                *splashMs = NowMs() - start;
                break;
            }
            Sleep(1);
        }
    }
    *window = WaitForMainWindow(run->processId, ROBOT_TIMEOUT_MS);
    // The MainWindow exists from before the connect; a sent message is handled only once the
    // thread fetches messages, which a good start does first in its message loop.
    if (*window == nullptr || PingMs(*window, ROBOT_TIMEOUT_MS) < 0) {
        DWORD exitCode = 0;
        if (WaitExit(*run, 0, &exitCode))
            std::fprintf(stderr, "bench: Torvane ended with exit code %lu\n", exitCode);
        else
            std::fprintf(stderr, "bench: Torvane did not reach its message loop in %lu ms\n", ROBOT_TIMEOUT_MS);
        return 0;
    }
    *elapsedMs = NowMs() - start;
    // A message box runs a loop of its own and answers too: that is a failed start, not a loop.
    HWND box = WaitForMessageBox(run->processId, 0);
    if (box != nullptr) {
        MessageBoxView view;
        ReadMessageBox(box, &view);
        std::fprintf(stderr, "bench: Torvane shows \"%s\"\n", Visible(view.text).c_str());
        return 0;
    }
    return 1;
}

int CloseTorvane(const TorvaneRun &run, HWND window)
{
    if (!PostToWindow(window, WM_CLOSE, 0, 0))
        return 0;
    DWORD exitCode = 99;
    if (!WaitExit(run, ROBOT_TIMEOUT_MS, &exitCode)) {
        std::fprintf(stderr, "bench: Torvane still runs after WM_CLOSE\n");
        return 0;
    }
    if (exitCode != 0)
        std::fprintf(stderr, "bench: Torvane ended with exit code %lu after WM_CLOSE\n", exitCode);
    return exitCode == 0;
}

Spread SpreadOf(std::vector<double> values)
{
    Spread spread = {0, 0, 0};
    if (values.empty())
        return spread;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    spread.min = values.front();
    spread.max = values.back();
    spread.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return spread;
}

int CountLines(const std::vector<std::string> &lines, const std::string &prefix)
{
    int count = 0;
    for (const std::string &line : lines) {
        if (line.compare(0, prefix.size(), prefix) == 0)
            count++;
    }
    return count;
}

uint64_t ListFiles(const std::string &folder, std::vector<std::string> *names)
{
    uint64_t bytes = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            names->push_back(found.cFileName);
            bytes += (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return bytes;
}

void MoveFiles(const std::vector<std::string> &names, const std::string &from, const std::string &to)
{
    for (const std::string &name : names)
        MoveFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str());
}

// Milliseconds since 1970 on the system clock, which programs outside Wine read too.
static double EpochMs(void)
{
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<double>(ticks - 116444736000000000ull) / 10000.0;   // 100 ns since 1601
}

// Moves the files in, or lets the outside mover do it (see TimeArrival). *startMs: when the first
// move began (EpochMs), or -1 until TakeMoverClock knows it.
static void MoveIn(const std::vector<std::string> &names, const std::string &from, const std::string &to,
                   int outside, double *startMs, double *moveMs)
{
    *startMs = -1;
    *moveMs = 0;
    if (outside) {
        DeleteFileA((to + ".clock").c_str());
        HANDLE ready = CreateFileA((to + ".ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (ready != INVALID_HANDLE_VALUE)
            CloseHandle(ready);
        return;
    }
    *startMs = EpochMs();
    MoveFiles(names, from, to);
    *moveMs = EpochMs() - *startMs;
}

// The outside mover's times, once it is done (waited for up to 10 s). 1 when read.
static int TakeMoverClock(const std::string &to, double *startMs, double *moveMs)
{
    double waitStart = NowMs();
    do {
        char text[64] = "";
        HANDLE file = CreateFileA((to + ".clock").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD got = 0;
            ReadFile(file, text, sizeof text - 1, &got, nullptr);
            CloseHandle(file);
            text[got] = 0;
        }
        unsigned long long first = 0, last = 0;
        if (std::sscanf(text, "%llu %llu", &first, &last) == 2) {
            *startMs = static_cast<double>(first) / 1000.0;
            *moveMs = static_cast<double>(last - first) / 1000.0;
            return 1;
        }
        Sleep(10);
    } while (NowMs() - waitStart < 10000);
    std::fprintf(stderr, "bench: no mover's clock in %s.clock\n", to.c_str());
    return 0;
}

int TakeOutsideArgument(int *argc, char ***argv)
{
    if (*argc < 2 || std::strcmp((*argv)[1], "--outside") != 0)
        return 0;
    (*argv)[1] = (*argv)[0];
    --*argc;
    ++*argv;
    return 1;
}

// Moves names in (or lets the outside mover do it) and waits until taken() counts count of them.
static int TimeTaken(size_t count, const std::vector<std::string> &names, const std::string &from,
                     const std::string &to, int outside, size_t (*taken)(void), Arrival *arrival)
{
    double processor = ProcessorMs();
    double begun = EpochMs();
    double start = 0;
    MoveIn(names, from, to, outside, &start, &arrival->moveMs);
    while (taken() < count && EpochMs() - begun < 600000)
        Sleep(5);
    double done = EpochMs();
    arrival->processorMs = ProcessorMs() - processor;
    if (outside && !TakeMoverClock(to, &start, &arrival->moveMs))
        return 0;
    arrival->elapsedMs = done - start;
    return 1;
}

int TimeArrival(const std::vector<std::string> &names, const std::string &from, const std::string &to, int outside,
                size_t (*taken)(void), Arrival *arrival)
{
    return TimeTaken(names.size(), names, from, to, outside, taken, arrival);
}

int TimeOutsideArrival(size_t count, const std::string &to, size_t (*taken)(void), Arrival *arrival)
{
    return TimeTaken(count, {}, "", to, 1, taken, arrival);
}
