// The in-process stand-in for the driver's shared records.
#include "tests/win/test_support.h"

#include <array>
#include <cstring>
#include <map>

#include "base/bounded.h"
#include "driver/address.h"
#include "driver/link.h"

static StatusBlock testBlock;
static char extensionsBuffer[EXTENSIONS_SIZE];
static char userExtensionsBuffer[USER_EXTENSIONS_SIZE];
static char inUseBuffer[IN_USE_SIZE];
static char exclusionsBuffer[EXCLUSIONS_SIZE];
static uint32_t testTable[TEST_TABLE_ENTRIES];
static char testTexts[TEST_TABLE_ENTRIES][256];
static const uint32_t testLanguageList[3] = {592, 593, 594};

void InstallTestDriver(void)
{
    std::memset(&testBlock, 0, sizeof testBlock);
    std::memset(extensionsBuffer, 0, sizeof extensionsBuffer);
    std::memset(userExtensionsBuffer, 0, sizeof userExtensionsBuffer);
    std::memset(inUseBuffer, 0, sizeof inUseBuffer);
    std::memset(exclusionsBuffer, 0, sizeof exclusionsBuffer);
    testBlock.extensions = Address32(extensionsBuffer);
    testBlock.userExtensions = Address32(userExtensionsBuffer);
    testBlock.inUse = Address32(inUseBuffer);
    testBlock.exclusions = Address32(exclusionsBuffer);
    for (uint32_t n = 0; n < TEST_TABLE_ENTRIES; n++) {
        std::string text = "T" + std::to_string(n);
        CopyBounded(testTexts[n], text.c_str());
        testTable[n] = Address32(testTexts[n]);
    }
    statusBlock = &testBlock;
    languageTable = testTable;
    languageCount = 3;
    languageList = testLanguageList;
    languageId = 0;
}

void SetTestText(int number, const std::string &text)
{
    CopyBounded(testTexts[number], text.c_str());
}

void SetTestTextAddress(int number, uint32_t address)
{
    testTable[number] = address;
}

char *TestBuffer(uint32_t StatusBlock::*field)
{
    return FromAddress32<char>(testBlock.*field);
}

#include "app/globals.h"
#include "app/tray.h"
#include "sheet/sheet.h"

static const std::vector<std::function<int()>> *runningSteps;
static size_t nextStep;

static void CALLBACK StepTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (runningSteps != nullptr && nextStep < runningSteps->size() && (*runningSteps)[nextStep]())
        nextStep++;
}

int RunSteps(const std::vector<std::function<int()>> &steps, int intervalMs, int timeoutMs)
{
    return RunStepsDuring(nullptr, steps, intervalMs, timeoutMs);
}

int RunStepsDuring(const std::function<void()> &call, const std::vector<std::function<int()>> &steps,
                   int intervalMs, int timeoutMs)
{
    runningSteps = &steps;
    nextStep = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, intervalMs, StepTimer);
    DWORD start = GetTickCount();
    if (call)
        call();
    MSG message;
    while (nextStep < steps.size() && GetTickCount() - start < static_cast<DWORD>(timeoutMs)) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    KillTimer(nullptr, timer);
    int all = nextStep >= steps.size();
    runningSteps = nullptr;
    return all;
}

HWND CreateTestMainWindow(void)
{
    static int registered;
    if (!registered) {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = MainWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "TorvaneTestMain";
        RegisterClassExA(&windowClass);
        registered = 1;
    }
    instance = GetModuleHandleA(nullptr);
    mainWindow = CreateWindowExA(WS_EX_TOOLWINDOW, "TorvaneTestMain", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                 nullptr, nullptr, instance, nullptr);
    sheetHost = {instance, mainWindow, enabledIcon, ShowTrayIcon};
    return mainWindow;
}

void DestroyTestMainWindow(void)
{
    DestroyWindow(mainWindow);
    mainWindow = nullptr;
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

struct DialogSearch {
    const std::function<int(HWND)> *test;
    HWND found;
};

static BOOL CALLBACK TestOwnDialog(HWND window, LPARAM data)
{
    DialogSearch *s = reinterpret_cast<DialogSearch *>(data);
    if (!IsWindowVisible(window) || !(*s->test)(window))
        return TRUE;
    s->found = window;
    return FALSE;
}

HWND FindOwnDialog(const std::function<int(HWND)> &test)
{
    DialogSearch search = {&test, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), TestOwnDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string WindowText(HWND window)
{
    char text[2048];
    GetWindowTextA(window, text, sizeof text);
    return text;
}

static BOOL CALLBACK FindOwnMessageBox(HWND window, LPARAM found)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && std::strcmp(className, "#32770") == 0
        && GetDlgItem(window, 0xFFFF) != nullptr) {
        *reinterpret_cast<HWND *>(found) = window;
        return FALSE;
    }
    return TRUE;
}

struct BoxCatch {
    CaughtBox caught;
    volatile LONG returned;
};

// A thread of its own (plain Win32: the Windows 98 build's compilers have no std::thread).
static DWORD WINAPI CatchBox(LPVOID data)
{
    BoxCatch *c = static_cast<BoxCatch *>(data);
    for (int waited = 0; waited < 15000 && !c->returned; waited += 20) {
        HWND box = nullptr;
        EnumWindows(FindOwnMessageBox, reinterpret_cast<LPARAM>(&box));
        if (box != nullptr) {
            c->caught.caption = WindowText(box);
            c->caught.text = WindowText(GetDlgItem(box, 0xFFFF));
            c->caught.found = 1;
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            return 0;
        }
        Sleep(20);
    }
    return 0;
}

CaughtBox CatchMessageBox(const std::function<void()> &call)
{
    BoxCatch c = {};
    HANDLE catcher = CreateThread(nullptr, 0, CatchBox, &c, 0, nullptr);
    call();
    InterlockedExchange(&c.returned, 1);
    if (catcher != nullptr) {
        WaitForSingleObject(catcher, INFINITE);
        CloseHandle(catcher);
    }
    return c.caught;
}

std::string BuiltFilePath(const char *relative)
{
    char build[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("TORVANE_BUILD", build, sizeof build);
    if (length == 0 || length >= sizeof build)
        return "";
    std::string path = std::string("Z:") + build + "/" + relative;
    for (char &c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

std::string BuiltDriverPath(void)
{
    return BuiltFilePath("vxd/Torvane.VXD");
}
