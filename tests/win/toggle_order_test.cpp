// The order in which a toggle tells the driver and changes the icon, read against the reference
// driver's journal. Runs in a child process: the driver, once loaded, stays in its process.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/globals.h"
#include "app/tray.h"
#include "driver/link.h"
#include "tests/win/test_support.h"
#include "tests/vxd/test_driver.h"

namespace {

std::string journalPath;
std::string sequence;      // control codes and icon changes, in the order they happened
size_t codesSeen;

// Appends the control codes the journal gained since the last look.
void CatchUpWithJournal(void)
{
    std::vector<std::string> codes = JournalLinesFrom(TestDriver{journalPath, nullptr, {}, nullptr}, "CTL_");
    for (; codesSeen < codes.size(); codesSeen++)
        sequence += codes[codesSeen].substr(0, codes[codesSeen].find(' ')) + " ";
}

BOOL WINAPI RecordIcon(DWORD, PNOTIFYICONDATAA record)
{
    CatchUpWithJournal();
    sequence += record->hIcon == disabledIcon ? "icon:disabled " : record->hIcon == enabledIcon ? "icon:enabled " : "icon:? ";
    return TRUE;
}

void ToggleTwiceAgainstTheDriver(void)
{
    TestDriver driver;
    if (!LoadTestDriver("toggle", "Watch=none\r\nJournal=journal.txt\r\n", &driver)
        || !SetCurrentDirectoryA(driver.folder.c_str()) || !OpenDriver("Torvane.VXD")) {
        std::fprintf(stderr, "the driver was not loaded\n");
        std::exit(1);
    }
    journalPath = driver.folder;
    BuildProgramDir(programDir, sizeof programDir);
    if (!ConnectDriver(programDir, CreateTestMainWindow())) {
        std::fprintf(stderr, "the driver refused the connect\n");
        std::exit(1);
    }
    enabledIcon = reinterpret_cast<HICON>(0x101);
    disabledIcon = reinterpret_cast<HICON>(0x137);
    notifyIcon = RecordIcon;
    statusBlock->showIcon = 1;
    statusBlock->enabled = 1;
    CatchUpWithJournal();
    sequence.clear();
    ToggleScanning();
    ToggleScanning();
    CatchUpWithJournal();
    std::fprintf(stderr, "sequence: %s\n", sequence.c_str());
    std::fflush(stderr);
    std::exit(sequence == "CTL_TOGGLE icon:disabled CTL_DISABLE CTL_TOGGLE CTL_ENABLE icon:enabled " ? 0 : 1);
}

TEST(ToggleOrder, DisableChangesTheIconBeforeTheDriverEnableAfter)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(ToggleTwiceAgainstTheDriver(), testing::ExitedWithCode(0), "sequence: ");
}

}   // namespace
