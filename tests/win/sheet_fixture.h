// What the in-process tests of the sheet's pages share: a recording stand-in for the sheet, a
// recorder for the control codes the pages send and for the tray, and the registry kept as found.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "sheet/pages.h"
#include "tests/settings_snapshot.h"

// What reached the sheet, the driver and the tray, in order: "changed ", "unchanged ",
// "scan-code ", "action-code ", "exclusions ", "clear ", "START ", "STOP ", "icon-add ",
// "icon-delete ", ...
extern std::string record;

// The recorder refuses this code (0: none), as a driver refusing it would.
extern uint32_t refusedCode;

// A number stored under the settings key, 0xDEAD when missing.
DWORD StoredNumber(const char *name);

// The page's answer to a notification from its sheet: its result, or -1 when it left it alone.
LRESULT Notify(HWND page, UINT code, DLGPROC procedure = ScanPageProc);

// A command from control, as a control sends it (also for those that never would).
void Command(HWND page, UINT control);

class Sheet : public testing::Test {
protected:
    Snapshot before;
    HWND sheet = nullptr;   // the recording stand-in: the parent of the pages the tests create

    void SetUp() override;
    void TearDown() override;
    HWND CreatePage(int templateId, DLGPROC procedure);
    HWND CreateScanPage(void) { return CreatePage(106, ScanPageProc); }
};
