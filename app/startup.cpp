// Start-up in its fixed order, the message loop and the end of the program.
#include "app/globals.h"

#include <commctrl.h>
#include <direct.h>

#include "app/program_dir.h"
#include "app/tray.h"
#include "base/bounded.h"
#include "driver/link.h"
#include "driver/texts.h"
#include "res/resource.h"
#include "settings/store.h"
#include "sheet/logging.h"
#include "sheet/sheet.h"

HINSTANCE instance;
HWND mainWindow;
HICON enabledIcon;
HICON blinkIcon;
HICON disabledIcon;
char programDir[PROGRAM_DIR_SIZE];

// "ménm8877ðæw" and "ÞæQ123dC[]" in code page 1252, spelled as bytes so no editor or compiler
// setting can change them.
const char MAIN_CLASS_NAME[] = "\x6D\xE9\x6E\x6D\x38\x38\x37\x37\xF0\xE6\x77";
const char MAIN_WINDOW_TITLE[] = "\xDE\xE6\x51\x31\x32\x33\x64\x43\x5B\x5D";
static_assert(sizeof MAIN_CLASS_NAME == 12 && sizeof MAIN_WINDOW_TITLE == 11, "names fixed for other instances");

static const char DRIVER_FILE[] = "Torvane.VXD";

BOOL(WINAPI *getUserName)(LPSTR name, LPDWORD size) = GetUserNameA;

int BuildProgramDir(char *buffer, DWORD size)
{
    if (_getcwd(buffer, static_cast<int>(size)) == nullptr) {
        buffer[0] = 0;
        return 0;
    }
    return EndWithBackslash(buffer, size);
}

void FillUserName(char *userName, DWORD size)
{
    DWORD length = size;
    // A name of size characters or more makes the platform call fail; the fallback is the
    // driver's text, copied as stored.
    if (!getUserName(userName, &length))
        CopyBounded(userName, size, StoredText(TEXT_USER_FALLBACK));
}

static void RegisterMainClass(void)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = enabledIcon;
    windowClass.hIconSm = enabledIcon;
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));   // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = MAIN_CLASS_NAME;
    RegisterClassExA(&windowClass);
}

static void PrepareStatusBlock(void)
{
    statusBlock->notifyMessage = WM_VIRUS_FOUND;
    statusBlock->enabled = 1;
    statusBlock->alertOpen = 0;
    statusBlock->notifyWindow = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(mainWindow));
    FillUserName(statusBlock->userName, sizeof statusBlock->userName);
}

// Steps after a successful connect up to the tray icon. Returns 0 when the settings failed.
static int Configure(void)
{
    if (!LoadSettings()) {
        statusBlock->onShutdown = 0;
        statusBlock->floppyBoot = 0;
        char message[100];
        ConvertText(TEXT_SETTINGS_FAILED, message, sizeof message);
        ShowStop(message, StoredText(TEXT_PRODUCT));
        return 0;
    }
    // The stored seal is rewritten at every successful start. A refusal does not stop the program:
    // the settings just loaded are in force; the user is told that changes will not be kept.
    SaveSettingsOrTell();
    sendControl(CTL_SCAN_OPTIONS_CHANGED);
    sendControl(CTL_ACTION_OPTIONS_CHANGED);
    sendControl(CTL_EXCLUSIONS_CHANGED);
    SelectLanguage(languageId);
    StartLoggingFromSettings();
    if (statusBlock->showIcon)
        AddTrayIcon();
    return 1;
}

static void RunMessageLoop(void)
{
    MSG message;
    // No translation and no dialog routing here: the modal dialogs run loops of their own.
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
}

int RunTorvane(HINSTANCE module)
{
    InitCommonControls();
    instance = module;
    HWND running = FindWindowA(MAIN_CLASS_NAME, MAIN_WINDOW_TITLE);
    if (running != nullptr) {
        PostMessageA(running, WM_OPEN_PROPERTIES, 0, 0);
        return 0;
    }
    enabledIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_ENABLED));
    blinkIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_BLINK));
    disabledIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_DISABLED));
    RegisterMainClass();
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SPLASH), nullptr, SplashDialogProc, 0);

    BuildProgramDir(programDir, sizeof programDir);
    if (!CheckDriverVersion(DRIVER_FILE)) {
        ShowStop("Torvane.VXD version mismatch\n", "Torvane");
        return 4;
    }
    if (!OpenDriver(DRIVER_FILE))
        return 4;
    mainWindow = CreateWindowExA(WS_EX_TOOLWINDOW, MAIN_CLASS_NAME, MAIN_WINDOW_TITLE, WS_OVERLAPPEDWINDOW,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                 instance, nullptr);
    sheetHost = {instance, mainWindow, enabledIcon, ShowTrayIcon};
    if (!ConnectDriver(programDir, mainWindow))
        return 5;
    PrepareStatusBlock();
    if (!Configure())
        return 2;

    SetTimer(mainWindow, MAIN_TIMER_ID, MAIN_TIMER_MS, nullptr);
    RunMessageLoop();
    KillTimer(mainWindow, MAIN_TIMER_ID);
    if (statusBlock->showIcon)
        DeleteTrayIcon();
    return 0;
}
