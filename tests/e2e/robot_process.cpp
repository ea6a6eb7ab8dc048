// The robot's program folders and processes: a fresh folder per scenario, Torvane.exe started in
// it, and every process it started ended after each test, whatever the test's outcome.
#include "tests/e2e/robot.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "vxd/scan/detect.h"

// Vista and later; the build targets an older Windows for the program itself.
extern "C" WINBASEAPI ULONGLONG WINAPI GetTickCount64(void);
extern "C" WINBASEAPI BOOL WINAPI QueryFullProcessImageNameA(HANDLE process, DWORD flags, LPSTR name,
                                                              PDWORD size);

static const char TEST_ROOT[] = "C:\\torvane-e2e";

static std::vector<TorvaneRun> startedRuns;

// ---- Program folders ------------------------------------------------------------------------

std::string BuildFolder(void)
{
    std::string unixPath = EnvironmentValue("TORVANE_BUILD");
    if (unixPath.empty())
        return "";
    while (unixPath.size() > 1 && unixPath.back() == '/')
        unixPath.pop_back();
    return UnixToWindowsPath(unixPath);
}

int ReadFileBytes(const std::string &path, std::string *bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    bytes->clear();
    char chunk[65536];
    DWORD got = 0;
    int ok = 1;
    for (;;) {
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
            ok = 0;
            break;
        }
        if (got == 0)
            break;
        bytes->append(chunk, got);
    }
    CloseHandle(file);
    return ok;
}

int WriteFileBytes(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    int ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
             && written == bytes.size();
    CloseHandle(file);
    return ok;
}

int ReadBuiltDriver(std::string *bytes)
{
    std::string build = BuildFolder();
    return !build.empty() && ReadFileBytes(build + "\\vxd\\Torvane.VXD", bytes);
}

// Deletes everything inside folder (not folder itself). 1 when all of it went.
static int EmptyFolder(const std::string &folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 1;
    int ok = 1;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string path = folder + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ok &= EmptyFolder(path);
            ok &= RemoveDirectoryA(path.c_str()) ? 1 : 0;
        } else {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ok &= DeleteFileA(path.c_str()) ? 1 : 0;
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return ok;
}

static std::string IniText(const FolderSetup &setup)
{
    std::vector<IniKey> keys = {{"Watch", "none"}, {"Journal", "journal.txt"}};
    for (const IniKey &key : setup.ini) {
        int replaced = 0;
        for (IniKey &existing : keys) {
            if (_stricmp(existing.name.c_str(), key.name.c_str()) == 0) {
                existing.value = key.value;
                replaced = 1;
            }
        }
        if (!replaced)
            keys.push_back(key);
    }
    std::string text = "[Driver]\r\n";
    for (const IniKey &key : keys)
        text += key.name + "=" + key.value + "\r\n";
    return text;
}

int PrepareFolder(const std::string &name, const FolderSetup &setup, std::string *folder)
{
    std::string build = BuildFolder();
    if (build.empty()) {
        std::fprintf(stderr, "robot: TORVANE_BUILD is not set\n");
        return 0;
    }
    std::string path = std::string(TEST_ROOT) + "\\" + name;
    CreateDirectoryA(TEST_ROOT, nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
    if (!EmptyFolder(path)) {
        std::fprintf(stderr, "robot: cannot empty %s\n", path.c_str());
        return 0;
    }
    if (!CopyFileA((build + "\\app\\Torvane.exe").c_str(), (path + "\\Torvane.exe").c_str(), FALSE)) {
        std::fprintf(stderr, "robot: cannot copy Torvane.exe (error %lu)\n", GetLastError());
        return 0;
    }
    if (setup.withDriver) {
        int copied = setup.ownDriverBytes
                         ? WriteFileBytes(path + "\\Torvane.VXD", setup.driverBytes)
                         : CopyFileA((build + "\\vxd\\Torvane.VXD").c_str(), (path + "\\Torvane.VXD").c_str(), FALSE);
        if (!copied) {
            std::fprintf(stderr, "robot: cannot place Torvane.VXD (error %lu)\n", GetLastError());
            return 0;
        }
    }
    if (!WriteFileBytes(path + "\\Torvane.ini", IniText(setup)))
        return 0;
    *folder = path;
    return 1;
}

std::string ScenarioName(void)
{
    const testing::TestInfo *info = testing::UnitTest::GetInstance()->current_test_info();
    if (info == nullptr)
        return "robot";
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char &c : name) {
        if (c == '/')
            c = '_';
    }
    return name;
}

std::string PrepareWatched(const std::string &suffix, const std::vector<IniKey> &ini)
{
    FolderSetup setup;
    setup.ini = ini;
    setup.ini.push_back({"Watch", "watched"});
    std::string folder;
    EXPECT_TRUE(PrepareFolder(ScenarioName() + suffix, setup, &folder));
    CreateDirectoryA((folder + "\\watched").c_str(), nullptr);
    EXPECT_TRUE(WriteDefaultSettings(folder));
    return folder;
}

std::string TestFileBytes(void)
{
    char text[TEST_STRING_LENGTH + 1];
    BuildTestString(text);
    return std::string(text) + "\r\n";
}

// ---- Processes --------------------------------------------------------------------------------

int StartTorvane(const std::string &folder, TorvaneRun *run)
{
    std::string exe = folder + "\\Torvane.exe";
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    run->startTick = GetTickCount64();
    // Wine answers ERROR_INTERNAL_ERROR when the host could not spawn the process at that moment
    // (seen once while another build forked hard): asked again, it starts. Any other error is the
    // program's and ends the start.
    int tries = 0;
    while (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                           &startup, &info)) {
        DWORD error = GetLastError();
        std::fprintf(stderr, "robot: cannot start %s (error %lu)\n", exe.c_str(), error);
        if (error != ERROR_INTERNAL_ERROR || ++tries == 3)
            return 0;
    }
    CloseHandle(info.hThread);
    run->process = info.hProcess;
    run->processId = info.dwProcessId;
    startedRuns.push_back(*run);
    return 1;
}

HWND StartNormally(const std::string &folder, TorvaneRun *run)
{
    if (!StartTorvane(folder, run)) {
        ADD_FAILURE() << "Torvane.exe did not start";
        return nullptr;
    }
    HWND mainWindow = WaitForMainWindow(run->processId, ROBOT_TIMEOUT_MS);
    // The MainWindow exists before the connect: the journal tells when start-up is through.
    if (mainWindow == nullptr || !WaitJournalLine(folder, "CTL_SELECT_LANGUAGE", ROBOT_TIMEOUT_MS)) {
        HWND box = WaitForMessageBox(run->processId, 0);
        MessageBoxView view;
        if (box != nullptr)
            ReadMessageBox(box, &view);
        ADD_FAILURE() << "start-up did not finish; message on screen: \"" << Visible(view.text) << "\"";
        return nullptr;
    }
    return mainWindow;
}

int EndNormally(const TorvaneRun &run)
{
    DWORD exitCode = 99;
    HWND mainWindow = WaitForMainWindow(run.processId, 0);
    if (mainWindow == nullptr || !PostToWindow(mainWindow, WM_CLOSE, 0, 0)
        || !WaitExit(run, ROBOT_TIMEOUT_MS, &exitCode) || exitCode != 0) {
        ADD_FAILURE() << "Torvane.exe did not end normally (exit code " << exitCode << ")";
        return 0;
    }
    return 1;
}

int WaitExit(const TorvaneRun &run, DWORD timeoutMs, DWORD *exitCode)
{
    if (run.process == nullptr || WaitForSingleObject(run.process, timeoutMs) != WAIT_OBJECT_0)
        return 0;
    return GetExitCodeProcess(run.process, exitCode) ? 1 : 0;
}

int IsRunning(const TorvaneRun &run)
{
    return run.process != nullptr && WaitForSingleObject(run.process, 0) == WAIT_TIMEOUT;
}

int ProcessEnded(DWORD processId)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == nullptr)
        return 1;
    int ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

ULONGLONG MsSinceStart(const TorvaneRun &run)
{
    return GetTickCount64() - run.startTick;
}

void EndAllTorvane(void)
{
    for (TorvaneRun &run : startedRuns) {
        if (IsRunning(run)) {
            std::fprintf(stderr, "robot: ending Torvane.exe (process %lu) left running\n", run.processId);
            TerminateProcess(run.process, 99);
            WaitForSingleObject(run.process, ROBOT_TIMEOUT_MS);
        }
        CloseHandle(run.process);
    }
    startedRuns.clear();
}

// Ends Torvane.exe processes that run from the robot's folders but were not started by this run
// of the tests (a run that was itself killed leaves them behind). Each is ended by its id.
static void EndStrayTorvane(void)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, "Torvane.exe") != 0)
            continue;
        HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                                     entry.th32ProcessID);
        if (process == nullptr)
            continue;
        char image[MAX_PATH] = "";
        DWORD size = sizeof image;
        if (QueryFullProcessImageNameA(process, 0, image, &size)
            && _strnicmp(image, TEST_ROOT, sizeof TEST_ROOT - 1) == 0) {
            std::fprintf(stderr, "robot: ending stray %s (process %lu)\n", image, entry.th32ProcessID);
            TerminateProcess(process, 99);
            WaitForSingleObject(process, ROBOT_TIMEOUT_MS);
        }
        CloseHandle(process);
    }
    CloseHandle(snapshot);
}

// Ends what a test left running, whatever the test's outcome, so the next test never meets a
// "running instance".
struct CleanupListener : testing::EmptyTestEventListener {
    void OnTestProgramStart(const testing::UnitTest &) override { EndStrayTorvane(); }
    void OnTestEnd(const testing::TestInfo &) override { EndAllTorvane(); }
    void OnTestProgramEnd(const testing::UnitTest &) override { EndAllTorvane(); }
};

static int RegisterCleanup(void)
{
    testing::UnitTest::GetInstance()->listeners().Append(new CleanupListener);
    return 1;
}
static const int cleanupRegistered = RegisterCleanup();

void *AllocateLowIn(HANDLE process, size_t count)
{
    // Asked for no address in particular, 64-bit Windows places memory above 4 GB: walk the other
    // process's address space from 256 MB up and take the first free stretch that is large enough.
    const uint64_t granularity = 0x10000;
    const uint64_t limit = 0x100000000ull;
    uint64_t address = 0x10000000;
    while (address + count <= limit) {
        MEMORY_BASIC_INFORMATION info;
        if (VirtualQueryEx(process, reinterpret_cast<void *>(address), &info, sizeof info) == 0)
            return nullptr;
        uint64_t regionEnd = reinterpret_cast<uint64_t>(info.BaseAddress) + info.RegionSize;
        if (info.State == MEM_FREE && regionEnd - address >= count) {
            void *p = VirtualAllocEx(process, reinterpret_cast<void *>(address), count, MEM_RESERVE | MEM_COMMIT,
                                     PAGE_READWRITE);
            if (p != nullptr)
                return p;
            address += granularity;
            continue;
        }
        address = (regionEnd + granularity - 1) & ~(granularity - 1);
    }
    return nullptr;
}
