// The test robot's procedures: folders, registry, processes, windows, journal and screenshots.
#include "tests/e2e/robot.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Vista and later; the build targets an older Windows for the program itself.
extern "C" WINBASEAPI ULONGLONG WINAPI GetTickCount64(void);
extern "C" WINBASEAPI BOOL WINAPI QueryFullProcessImageNameA(HANDLE process, DWORD flags, LPSTR name,
                                                              PDWORD size);

const char ROBOT_MAIN_CLASS[] = "\x6D\xE9\x6E\x6D\x38\x38\x37\x37\xF0\xE6\x77";
const char ROBOT_MAIN_TITLE[] = "\xDE\xE6\x51\x31\x32\x33\x64\x43\x5B\x5D";
static_assert(sizeof ROBOT_MAIN_CLASS == 12 && sizeof ROBOT_MAIN_TITLE == 11, "11 and 10 bytes");

static const char TEST_ROOT[] = "C:\\torvane-e2e";
static const char SETTINGS_PARENT[] = "SOFTWARE\\Brannholt";
static const char SETTINGS_KEY[] = "SOFTWARE\\Brannholt\\Torvane";
static const char DEFAULT_EXTENSIONS[] = "COM,EXE,DLL,SYS,DRV,OVL,BIN,VXD,386,SCR,CPL,OCX,DOC,DOT,XLS,XLT";
constexpr DWORD POLL_MS = 20;

static std::vector<TorvaneRun> startedRuns;

// ---- Small helpers ----------------------------------------------------------------------------

std::string UnixToWindowsPath(const std::string &unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char &c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

std::string Visible(const std::string &text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else
            out += static_cast<char>(c);
    }
    return out;
}

static std::string EnvironmentValue(const char *name)
{
    char value[1024];
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    if (length == 0 || length >= sizeof value)
        return "";
    return std::string(value, length);
}

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

// ---- Settings ---------------------------------------------------------------------------------

static HKEY OpenSettings(int create)
{
    HKEY key = nullptr;
    LONG status = create ? RegCreateKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr)
                         : RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY, 0, KEY_ALL_ACCESS, &key);
    return status == ERROR_SUCCESS ? key : nullptr;
}

int SetSettingNumber(const char *name, DWORD value)
{
    HKEY key = OpenSettings(1);
    if (key == nullptr)
        return 0;
    LONG status = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

int SetSettingText(const char *name, const std::string &value)
{
    HKEY key = OpenSettings(1);
    if (key == nullptr)
        return 0;
    LONG status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                                 static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

int DeleteSetting(const char *name)
{
    HKEY key = OpenSettings(0);
    if (key == nullptr)
        return 0;
    LONG status = RegDeleteValueA(key, name);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

int DeleteSettingsKey(void)
{
    HKEY parent = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_PARENT, 0, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS)
        return 1;
    LONG status = RegDeleteKeyA(parent, "Torvane");
    RegCloseKey(parent);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

int ReadSettingNumber(const char *name, DWORD *value)
{
    HKEY key = OpenSettings(0);
    if (key == nullptr)
        return 0;
    DWORD size = sizeof *value;
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && size == sizeof *value;
}

int ReadSettingText(const char *name, std::string *value)
{
    HKEY key = OpenSettings(0);
    if (key == nullptr)
        return 0;
    char buffer[16384];
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return 0;
    buffer[size] = 0;
    *value = buffer;     // up to the first terminator
    return 1;
}

int WriteDefaultSettings(const std::string &folder)
{
    struct Number {
        const char *name;
        DWORD value;
    };
    static const Number numbers[] = {
        {"Torvane", 0}, {"Language", 0}, {"Action", 1}, {"OnlyLog", 0}, {"MacroSpecial", 0},
        {"StopMacros", 0}, {"Type", 1}, {"CompressedExe", 1}, {"Archives", 1}, {"FloppyBoot", 1},
        {"Heuristics", 1}, {"ScanOn", 3}, {"OnShutdown", 1}, {"Disable", 1}, {"Icon", 1},
        {"LogToFile", 0}, {"Append", 1}, {"Log", 0xFF}, {"Ext", 0},
    };
    if (!DeleteSettingsKey())
        return 0;
    int ok = 1;
    for (const Number &n : numbers)
        ok &= SetSettingNumber(n.name, n.value);
    ok &= SetSettingText("LogFileName", folder + "\\Torvane.REP");
    ok &= SetSettingText("MoveDir", folder + "\\Infected");
    ok &= SetSettingText("Exclusions", "");
    ok &= SetSettingText("Extensions", DEFAULT_EXTENSIONS);
    ok &= SetSettingText("UserExtensions", "");
    ok &= SetSettingText("InUse", DEFAULT_EXTENSIONS);
    return ok;
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
    if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &info)) {
        std::fprintf(stderr, "robot: cannot start %s (error %lu)\n", exe.c_str(), GetLastError());
        return 0;
    }
    CloseHandle(info.hThread);
    run->process = info.hProcess;
    run->processId = info.dwProcessId;
    startedRuns.push_back(*run);
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

// ---- Windows ----------------------------------------------------------------------------------

std::string WindowText(HWND window)
{
    char text[4096];
    int length = GetWindowTextA(window, text, sizeof text);
    return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

std::string WindowClass(HWND window)
{
    char name[256];
    int length = GetClassNameA(window, name, sizeof name);
    return std::string(name, length > 0 ? static_cast<size_t>(length) : 0);
}

HWND FindTopWindow(const char *className, const char *title)
{
    return FindWindowA(className, title);
}

struct WindowSearch {
    DWORD processId;
    int visibleOnly;
    std::vector<HWND> found;
};

static BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter)
{
    WindowSearch *search = reinterpret_cast<WindowSearch *>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && (!search->visibleOnly || IsWindowVisible(window)))
        search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> ProcessWindows(DWORD processId, int visibleOnly)
{
    WindowSearch search = {processId, visibleOnly, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

static int ProcessEnded(DWORD processId)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == nullptr)
        return 1;
    int ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

HWND WaitForMainWindow(DWORD processId, DWORD timeoutMs)
{
    ULONGLONG until = GetTickCount64() + timeoutMs;
    do {
        HWND window = FindTopWindow(ROBOT_MAIN_CLASS, ROBOT_MAIN_TITLE);
        DWORD owner = 0;
        if (window != nullptr && GetWindowThreadProcessId(window, &owner) && owner == processId)
            return window;
        if (ProcessEnded(processId))
            return nullptr;
        Sleep(POLL_MS);
    } while (GetTickCount64() < until);
    return nullptr;
}

HWND WaitForWindow(DWORD processId, const char *className, DWORD timeoutMs)
{
    ULONGLONG until = GetTickCount64() + timeoutMs;
    do {
        for (HWND window : ProcessWindows(processId, 1)) {
            if (className == nullptr || WindowClass(window) == className)
                return window;
        }
        if (ProcessEnded(processId))
            return nullptr;
        Sleep(POLL_MS);
    } while (GetTickCount64() < until);
    return nullptr;
}

int IsMessageBox(HWND box)
{
    return WindowClass(box) == "#32770" && GetDlgItem(box, 0xFFFF) != nullptr;
}

HWND WaitForMessageBoxAfterSplash(const TorvaneRun &run, DWORD timeoutMs, int *splashSeen, ULONGLONG *boxMs)
{
    ULONGLONG until = GetTickCount64() + timeoutMs;
    int splash = 0;
    HWND box = nullptr;
    do {
        for (HWND window : ProcessWindows(run.processId, 1)) {
            if (IsMessageBox(window))
                box = window;
            else
                splash = 1;
        }
        if (box != nullptr || ProcessEnded(run.processId))
            break;
        Sleep(POLL_MS);
    } while (GetTickCount64() < until);
    if (splashSeen != nullptr)
        *splashSeen = splash;
    if (boxMs != nullptr)
        *boxMs = MsSinceStart(run);
    return box;
}

HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs)
{
    ULONGLONG until = GetTickCount64() + timeoutMs;
    do {
        for (HWND window : ProcessWindows(processId, 1)) {
            if (IsMessageBox(window))
                return window;
        }
        if (ProcessEnded(processId))
            return nullptr;
        Sleep(POLL_MS);
    } while (GetTickCount64() < until);
    return nullptr;
}

struct ChildList {
    std::vector<HWND> children;
};

static BOOL CALLBACK CollectChild(HWND window, LPARAM parameter)
{
    reinterpret_cast<ChildList *>(parameter)->children.push_back(window);
    return TRUE;
}

static std::vector<HWND> Children(HWND parent)
{
    ChildList list;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&list));
    return list.children;
}

static int StopIconOnce(HWND box, int *again);

int ReadMessageBox(HWND box, MessageBoxView *view)
{
    if (!IsWindow(box))
        return 0;
    view->caption = WindowText(box);
    HWND text = GetDlgItem(box, 0xFFFF);
    view->text = text != nullptr ? WindowText(text) : "";
    view->buttonIds.clear();
    view->buttonTexts.clear();
    for (HWND child : Children(box)) {
        if (_stricmp(WindowClass(child).c_str(), "Button") == 0 && IsWindowVisible(child)) {
            view->buttonIds.push_back(GetDlgCtrlID(child));
            view->buttonTexts.push_back(WindowText(child));
        }
    }
    // A box seen at once may not be painted yet: look again for a moment before giving up.
    int again = 0;
    view->stopIcon = StopIconOnce(box, &again);
    for (int attempt = 0; attempt < 150 && again && IsWindow(box); attempt++) {
        Sleep(POLL_MS);
        view->stopIcon = StopIconOnce(box, &again);
    }
    return text != nullptr;
}

// A 32-bit bitmap of width x height whose rows run from the top; *bits receives its pixels.
static HBITMAP TopDownSection(HDC dc, int width, int height, void **bits)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

int CaptureScreen(const RECT &rect, std::vector<uint32_t> *pixels)
{
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return 0;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void *bits = nullptr;
    HBITMAP section = TopDownSection(screen, width, height, &bits);
    int ok = 0;
    if (section != nullptr) {
        HGDIOBJ previous = SelectObject(memory, section);
        ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) ? 1 : 0;
        GdiFlush();
        if (ok) {
            const uint32_t *words = static_cast<const uint32_t *>(bits);
            pixels->assign(words, words + static_cast<size_t>(width) * height);
            for (uint32_t &p : *pixels)
                p &= 0xFFFFFF;
        }
        SelectObject(memory, previous);
        DeleteObject(section);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

// The icon drawn as a static of width x height would show it on a background of colour.
static std::vector<uint32_t> RenderIcon(HICON icon, int width, int height, uint32_t background)
{
    std::vector<uint32_t> pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void *bits = nullptr;
    HBITMAP section = TopDownSection(screen, width, height, &bits);
    if (section != nullptr) {
        HGDIOBJ previous = SelectObject(memory, section);
        uint32_t *words = static_cast<uint32_t *>(bits);
        for (int i = 0; i < width * height; i++)
            words[i] = background;
        DrawIconEx(memory, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
        GdiFlush();
        pixels.assign(words, words + static_cast<size_t>(width) * height);
        for (uint32_t &p : pixels)
            p &= 0xFFFFFF;
        SelectObject(memory, previous);
        DeleteObject(section);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

static uint64_t PixelDistance(const std::vector<uint32_t> &a, const std::vector<uint32_t> &b)
{
    if (a.size() != b.size())
        return UINT64_MAX;
    uint64_t sum = 0;
    for (size_t i = 0; i < a.size(); i++) {
        for (int shift = 0; shift < 24; shift += 8) {
            int x = static_cast<int>((a[i] >> shift) & 0xFF);
            int y = static_cast<int>((b[i] >> shift) & 0xFF);
            sum += static_cast<uint64_t>(x > y ? x - y : y - x);
        }
    }
    return sum;
}

// The static icon control of a message box: id 20 where the platform uses it, else the first
// static with the SS_ICON style.
static HWND IconControl(HWND box)
{
    HWND icon = GetDlgItem(box, 20);
    if (icon != nullptr && (GetWindowLongA(icon, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        return icon;
    for (HWND child : Children(box)) {
        if (_stricmp(WindowClass(child).c_str(), "Static") == 0
            && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            return child;
    }
    return nullptr;
}

// CheckStopIcon's work; *again is set to 1 when another look later may tell (the icon control
// is there but what the screen shows is no icon yet).
static int StopIconOnce(HWND box, int *again)
{
    *again = 0;
    HWND control = IconControl(box);
    if (control == nullptr || !IsWindowVisible(control))
        return -1;
    // The icon handle belongs to the other process and cannot be examined from here; compare what
    // the screen shows with the four system message icons drawn here instead.
    RECT rect;
    GetWindowRect(control, &rect);
    int size = GetSystemMetrics(SM_CXICON);
    if (rect.right - rect.left < size || rect.bottom - rect.top < size)
        return -1;
    *again = 1;
    rect.right = rect.left + size;
    rect.bottom = rect.top + size;
    std::vector<uint32_t> shown;
    if (!CaptureScreen(rect, &shown))
        return -1;
    uint32_t background = shown[0];   // icon corners are transparent
    static const LPCSTR candidates[] = {IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION, IDI_ASTERISK};
    uint64_t best = UINT64_MAX;
    uint64_t second = UINT64_MAX;
    size_t bestIndex = 0;
    for (size_t i = 0; i < sizeof candidates / sizeof candidates[0]; i++) {
        HICON icon = LoadIconA(nullptr, candidates[i]);
        uint64_t distance = PixelDistance(shown, RenderIcon(icon, size, size, background));
        if (distance < best) {
            second = best;
            best = distance;
            bestIndex = i;
        } else if (distance < second) {
            second = distance;
        }
    }
    if (EnvironmentValue("ROBOT_DEBUG") == "1")
        std::fprintf(stderr, "robot: icon %zu nearest, distance %llu, next %llu\n", bestIndex,
                     static_cast<unsigned long long>(best), static_cast<unsigned long long>(second));
    // A painted icon matches its twin almost exactly. Anything else (not painted yet, half painted,
    // covered) cannot be told, and must not be taken for the nearest icon.
    uint64_t pixels = static_cast<uint64_t>(size) * size;
    if (best > pixels * 3 * 2 || second < best * 4 + pixels)
        return -1;
    *again = 0;
    return bestIndex == 0 ? 1 : 0;
}

int CheckStopIcon(HWND box)
{
    int again = 0;
    return StopIconOnce(box, &again);
}

int PressButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) ? 1 : 0;
}

int CloseDialog(HWND dialog)
{
    return PressButton(dialog, GetDlgItem(dialog, IDOK) != nullptr ? IDOK : IDCANCEL);
}

static DWORD WINAPI ShowOwnMessageBox(LPVOID text)
{
    MessageBoxA(nullptr, static_cast<const std::string *>(text)->c_str(), "robot", MB_OK);
    return 0;
}

std::string PlatformShownText(const std::string &text)
{
    std::string copy = text;
    HANDLE thread = CreateThread(nullptr, 0, ShowOwnMessageBox, &copy, 0, nullptr);
    if (thread == nullptr)
        return text;
    std::string shown = text;
    HWND box = WaitForMessageBox(GetCurrentProcessId(), ROBOT_TIMEOUT_MS);
    if (box != nullptr) {
        shown = WindowText(GetDlgItem(box, 0xFFFF));
        PressButton(box, IDOK);
    }
    WaitForSingleObject(thread, ROBOT_TIMEOUT_MS);
    CloseHandle(thread);
    return shown;
}

int PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return PostMessageA(window, message, wParam, lParam) ? 1 : 0;
}

// ---- The driver's journal ---------------------------------------------------------------------

std::vector<std::string> ReadJournal(const std::string &folder, const char *name)
{
    std::vector<std::string> lines;
    std::string bytes;
    if (!ReadFileBytes(folder + "\\" + name, &bytes))
        return lines;
    size_t start = 0;
    for (size_t newline = bytes.find('\n'); newline != std::string::npos; newline = bytes.find('\n', start)) {
        std::string line = bytes.substr(start, newline - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = newline + 1;
    }
    return lines;
}

int WaitJournalLine(const std::string &folder, const std::string &prefix, DWORD timeoutMs, std::string *line,
                    const char *name)
{
    ULONGLONG until = GetTickCount64() + timeoutMs;
    do {
        for (const std::string &l : ReadJournal(folder, name)) {
            if (l.compare(0, prefix.size(), prefix) == 0) {
                if (line != nullptr)
                    *line = l;
                return 1;
            }
        }
        Sleep(POLL_MS);
    } while (GetTickCount64() < until);
    return 0;
}

std::string JournalField(const std::string &line, const std::string &key)
{
    std::string needle = key + "=";
    size_t at = 0;
    while ((at = line.find(needle, at)) != std::string::npos) {
        if (at == 0 || line[at - 1] == ' ') {
            size_t begin = at + needle.size();
            size_t end = line.find(' ', begin);
            return line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        }
        at += needle.size();
    }
    return "";
}

std::vector<std::string> JournalCodes(const std::vector<std::string> &lines)
{
    std::vector<std::string> codes;
    for (const std::string &line : lines) {
        if (line.compare(0, 4, "CTL_") == 0)
            codes.push_back(line.substr(0, line.find(' ')));
    }
    return codes;
}

// ---- Screenshots ------------------------------------------------------------------------------

int SaveScreenshot(const std::string &name)
{
    std::string shots = EnvironmentValue("TORVANE_SHOTS");
    if (shots.empty())
        return 0;
    Sleep(300);    // let a window that has just appeared finish painting
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    std::vector<uint32_t> pixels;
    if (!CaptureScreen(screen, &pixels))
        return 0;
    int width = screen.right;
    int height = screen.bottom;
    size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;    // bottom-up rows
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(stride * height);
    file.bfType = 0x4D42;        // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    std::string bytes(reinterpret_cast<const char *>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char *>(&header), sizeof header);
    std::string row(stride, '\0');
    for (int y = height - 1; y >= 0; y--) {
        for (int x = 0; x < width; x++) {
            uint32_t p = pixels[static_cast<size_t>(y) * width + x];
            row[x * 3] = static_cast<char>(p & 0xFF);
            row[x * 3 + 1] = static_cast<char>((p >> 8) & 0xFF);
            row[x * 3 + 2] = static_cast<char>((p >> 16) & 0xFF);
        }
        bytes += row;
    }
    std::string folder = UnixToWindowsPath(shots);
    CreateDirectoryA(folder.c_str(), nullptr);
    return WriteFileBytes(folder + "\\" + name + ".bmp", bytes);
}
