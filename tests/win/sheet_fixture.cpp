// The recording stand-in for the sheet and the recorders the page tests share.
#include "tests/win/sheet_fixture.h"

#include <commctrl.h>

#include "app/globals.h"
#include "app/tray.h"
#include "driver/link.h"
#include "driver/protocol.h"
#include "sheet/logging.h"
#include "sheet/sheet.h"
#include "tests/win/test_support.h"

std::string record;
uint32_t refusedCode;

static LRESULT CALLBACK RecordingSheetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == PSM_CHANGED || message == PSM_UNCHANGED) {
        record += message == PSM_CHANGED ? "changed " : "unchanged ";
        if (GetParent(reinterpret_cast<HWND>(wParam)) != window || lParam != 0)
            record += "(not from its page) ";
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static int RecordCode(uint32_t code)
{
    switch (code) {
    case CTL_SCAN_OPTIONS_CHANGED: record += "scan-code "; break;
    case CTL_ACTION_OPTIONS_CHANGED: record += "action-code "; break;
    case CTL_LOG_START: record += "START "; break;
    case CTL_LOG_STOP: record += "STOP "; break;
    case CTL_EXCLUSIONS_CHANGED: record += "exclusions "; break;
    case CTL_CLEAR_STATISTICS: record += "clear "; break;
    default: record += "code:" + std::to_string(code) + " ";
    }
    return code != refusedCode;
}

static BOOL WINAPI RecordTray(DWORD operation, PNOTIFYICONDATAA)
{
    record += operation == NIM_ADD ? "icon-add " : operation == NIM_DELETE ? "icon-delete " : "icon-? ";
    return TRUE;
}

DWORD StoredNumber(const char *name)
{
    DWORD value = 0xDEAD, size = sizeof value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brannholt\\Torvane", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size);
        RegCloseKey(key);
    }
    return value;
}

LRESULT Notify(HWND page, UINT code, DLGPROC procedure)
{
    NMHDR header = {GetParent(page), 0, code};
    SetWindowLongPtrA(page, DWLP_MSGRESULT, 0x55);
    INT_PTR handled = procedure(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
    return handled ? GetWindowLongPtrA(page, DWLP_MSGRESULT) : -1;
}

void Command(HWND page, UINT control)
{
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, control)));
}

void Sheet::SetUp()
{
    before = TakeSnapshot();
    HKEY key;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brannholt\\Torvane", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    RegCloseKey(key);
    InstallTestDriver();
    CreateTestMainWindow();
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = RecordingSheetProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "TorvaneRecordingSheet";
    RegisterClassA(&windowClass);
    sheet = CreateWindowA("TorvaneRecordingSheet", "", WS_OVERLAPPED, 0, 0, 400, 300, nullptr, nullptr, instance,
                          nullptr);
    sendControl = RecordCode;
    notifyIcon = RecordTray;
    refusedCode = 0;
    record.clear();
    sheetOpen = 0;
    languageSwitchPending = 0;
    onlyLogLogging = 0, onlyLogToggled = 0;
}

void Sheet::TearDown()
{
    sendControl = SendControlToDevice;
    notifyIcon = Shell_NotifyIconA;
    DestroyWindow(sheet);
    DestroyTestMainWindow();
    RestoreSnapshot(before);
}

HWND Sheet::CreatePage(int templateId, DLGPROC procedure)
{
    return CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), sheet, procedure, 0);
}
