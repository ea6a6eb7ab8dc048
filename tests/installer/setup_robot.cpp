// The installer suite's robot: looks at the installed Torvane from outside (its process, the folder
// it runs from, its driver, its tray icon), ends it as a user does, stands in for a Torvane that
// will not end, and takes the interactive installer through its pages.
//
// Usage: setup_robot running <program folder>  waits until one Torvane runs from there with its
//                                               driver and its tray icon; prints its process id
//        setup_robot none                      no Torvane.exe process runs
//        setup_robot exit                      Exit from the tray menu's command, posted to the
//                                               MainWindow; waits for exit code 0
//        setup_robot hold window|<file>        a window named as Torvane's MainWindow that ignores
//                                               Exit, or the file held open without sharing; prints
//                                               "ready" once it holds, then holds until ended
//        setup_robot install <setup.exe>       the interactive installer: Install, then Finish with
//                                               "Start Torvane now" as the last page offers it
// Exit code 0 when what was asked holds, 1 when not (what was seen is printed), 2 for bad usage.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/robot.h"

// Generous: a session start under Wine on a loaded machine, then the splash's 1.5 s.
static const DWORD START_TIMEOUT_MS = 60000;
// How long a stand-in holds at most, should the suite not end it.
static const DWORD HOLD_LIMIT_MS = 300000;
static const char RUN_CHECKBOX_TEXT[] = "Start Torvane now";

static std::vector<DWORD> TorvaneProcesses(void)
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, "Torvane.exe") == 0)
            ids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return ids;
}

// The full path of the module fileName loaded in processId; "" when it is not loaded.
static std::string ModulePath(DWORD processId, const char *fileName)
{
    std::string path;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE)
        return path;
    MODULEENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32First(snapshot, &entry); more; more = Module32Next(snapshot, &entry)) {
        if (_stricmp(entry.szModule, fileName) == 0) {
            path = entry.szExePath;
            break;
        }
    }
    CloseHandle(snapshot);
    return path;
}

// What the robot sees of the running Torvane.
struct Seen {
    std::vector<DWORD> processes;
    std::string program;     // the image of the only process
    std::string driver;      // its Torvane.VXD, "" when not loaded
    int mainWindow = 0;      // 1 when the MainWindow of that process exists
    int trayIcon = 0;
};

static Seen Look(void)
{
    Seen seen;
    seen.processes = TorvaneProcesses();
    if (seen.processes.size() != 1)
        return seen;
    DWORD id = seen.processes[0];
    seen.program = ModulePath(id, "Torvane.exe");
    seen.driver = ModulePath(id, "Torvane.VXD");
    HWND window = FindTopWindow(ROBOT_MAIN_CLASS, ROBOT_MAIN_TITLE);
    DWORD owner = 0;
    seen.mainWindow = window != nullptr && GetWindowThreadProcessId(window, &owner) && owner == id;
    seen.trayIcon = TrayIconShown();
    return seen;
}

// The driver is loaded as ".\Torvane.VXD", a name taken from the current directory alone: found in
// the program folder, it shows that Torvane was started there.
static int RunsFrom(const Seen &seen, const std::string &folder)
{
    return seen.processes.size() == 1 && _stricmp(seen.program.c_str(), (folder + "\\Torvane.exe").c_str()) == 0
           && _stricmp(seen.driver.c_str(), (folder + "\\Torvane.VXD").c_str()) == 0 && seen.mainWindow
           && seen.trayIcon;
}

static int Running(const std::string &folder)
{
    Seen seen;
    WaitUntil([&] { return RunsFrom(seen = Look(), folder); }, START_TIMEOUT_MS);
    if (RunsFrom(seen, folder)) {
        std::printf("%lu\n", seen.processes[0]);
        std::fprintf(stderr, "running: process %lu, %s with %s, tray icon shown\n", seen.processes[0],
                     seen.program.c_str(), seen.driver.c_str());
        return 0;
    }
    std::fprintf(stderr, "not running as installed: %zu Torvane process(es), program \"%s\", driver \"%s\", "
                 "main window %s, tray icon %s\n", seen.processes.size(), seen.program.c_str(),
                 seen.driver.c_str(), seen.mainWindow ? "found" : "missing", seen.trayIcon ? "shown" : "missing");
    return 1;
}

static int None(void)
{
    std::vector<DWORD> processes = TorvaneProcesses();
    for (DWORD id : processes)
        std::fprintf(stderr, "Torvane.exe runs as process %lu\n", id);
    return processes.empty() ? 0 : 1;
}

static int Exit(void)
{
    HWND window = FindTopWindow(ROBOT_MAIN_CLASS, ROBOT_MAIN_TITLE);
    DWORD id = 0;
    if (window == nullptr || !GetWindowThreadProcessId(window, &id)) {
        std::fprintf(stderr, "no Torvane MainWindow to end\n");
        return 1;
    }
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    DWORD exitCode = 99;
    int ended = process != nullptr && PostToWindow(window, WM_COMMAND, IDM_EXIT, 0)
                && WaitForSingleObject(process, ROBOT_TIMEOUT_MS) == WAIT_OBJECT_0
                && GetExitCodeProcess(process, &exitCode) && exitCode == 0;
    if (process != nullptr)
        CloseHandle(process);
    if (!ended)
        std::fprintf(stderr, "Torvane (process %lu) did not end with exit code 0 (%lu)\n", id, exitCode);
    return ended ? 0 : 1;
}

// A MainWindow that takes no command: Exit from an installer goes unanswered.
static LRESULT CALLBACK DeafWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND)
        return 0;
    if (message == WM_TIMER || message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static int HoldWindow(void)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DeafWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = ROBOT_MAIN_CLASS;
    if (!RegisterClassA(&windowClass))
        return 1;
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, ROBOT_MAIN_CLASS, ROBOT_MAIN_TITLE, WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    if (window == nullptr)
        return 1;
    SetTimer(window, 1, HOLD_LIMIT_MS, nullptr);
    std::printf("ready\n");
    std::fflush(stdout);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}

static int HoldFile(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot hold %s (error %lu)\n", path, GetLastError());
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    Sleep(HOLD_LIMIT_MS);   // the suite ends this process; the limit only keeps it from lingering
    CloseHandle(file);
    return 0;
}

// The "Start Torvane now" check box of the installer's window, once its last page shows it (then
// pictured as installer-last-page where TORVANE_SHOTS asks for pictures).
static HWND WaitForRunCheckbox(HWND wizard)
{
    HWND found = nullptr;
    int shown = WaitUntil([&] {
        for (HWND child : ChildWindows(wizard)) {
            std::string text = WindowText(child);
            text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
            if (IsWindowVisible(child) && _stricmp(WindowClass(child).c_str(), "Button") == 0
                && text == RUN_CHECKBOX_TEXT) {
                found = child;
                return 1;
            }
        }
        return 0;
    }, START_TIMEOUT_MS);
    if (shown)
        SaveScreenshot("installer-last-page");
    return found;
}

static int Install(const char *setup)
{
    std::string commandLine = std::string("\"") + setup + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(setup, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        std::fprintf(stderr, "cannot start %s (error %lu)\n", setup, GetLastError());
        return 1;
    }
    CloseHandle(info.hThread);
    int done = 0;
    HWND wizard = WaitForWindow(info.dwProcessId, "#32770", START_TIMEOUT_MS);
    if (wizard == nullptr || !PressButton(wizard, IDOK)) {   // Install, on the folder page
        std::fprintf(stderr, "no folder page with an Install button\n");
    } else if (HWND box = WaitForRunCheckbox(wizard); box == nullptr) {
        std::fprintf(stderr, "the last page offers no \"%s\"\n", RUN_CHECKBOX_TEXT);
    } else if (SendMessageA(box, BM_GETCHECK, 0, 0) != BST_CHECKED) {
        std::fprintf(stderr, "\"%s\" is offered unticked\n", RUN_CHECKBOX_TEXT);
    } else {
        DWORD exitCode = 99;
        done = PressButton(wizard, IDOK) && WaitForSingleObject(info.hProcess, ROBOT_TIMEOUT_MS) == WAIT_OBJECT_0
               && GetExitCodeProcess(info.hProcess, &exitCode) && exitCode == 0;
        if (!done)
            std::fprintf(stderr, "Finish did not end the installer with exit code 0 (%lu)\n", exitCode);
    }
    if (!done)
        TerminateProcess(info.hProcess, 99);
    CloseHandle(info.hProcess);
    return done ? 0 : 1;
}

int main(int argc, char **argv)
{
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "running" && argc == 3)
        return Running(argv[2]);
    if (command == "none" && argc == 2)
        return None();
    if (command == "exit" && argc == 2)
        return Exit();
    if (command == "hold" && argc == 3)
        return std::strcmp(argv[2], "window") == 0 ? HoldWindow() : HoldFile(argv[2]);
    if (command == "install" && argc == 3)
        return Install(argv[2]);
    std::fprintf(stderr, "usage: setup_robot running <folder> | none | exit | hold window|<file> | install <setup>\n");
    return 2;
}
