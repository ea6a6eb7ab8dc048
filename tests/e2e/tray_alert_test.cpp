// The tray icon and the virus alert as a user meets them on the Wine desktop: the icon in the
// taskbar's tray, its blink while a file is scanned, its menu, and the alert for the test file.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/protocol.h"
#include "tests/e2e/robot.h"

namespace {

std::vector<std::string> CodesSince(const std::string &folder, size_t from)
{
    std::vector<std::string> codes = JournalCodes(ReadJournal(folder));
    return std::vector<std::string>(codes.begin() + std::min(from, codes.size()), codes.end());
}

// 1 when the tray icon shows look (IDI_ENABLED, IDI_BLINK or IDI_DISABLED) within ROBOT_TIMEOUT_MS.
int WaitForLook(int look)
{
    return WaitUntil([&] { return TrayIconLook() == look; }, ROBOT_TIMEOUT_MS);
}

TEST(TrayOnDesktop, IconBlinksOnScansAndItsMenuTogglesAndExits)
{
    std::string folder = PrepareWatched();
    ASSERT_TRUE(WaitUntil([] { return !TrayIconShown(); }, ROBOT_TIMEOUT_MS))
        << "an icon of an earlier run is still in the tray";
    TorvaneRun run;
    ASSERT_NE(nullptr, StartNormally(folder, &run));
    ASSERT_TRUE(WaitForLook(IDI_ENABLED)) << "no enabled icon in the taskbar's tray: " << TrayIconLook();
    SaveScreenshot("tray");

    // Files written into the watched folder are scanned: the icon blinks, and ends on its look. One
    // file after the other is scanned until the blink is seen, so that a slow look cannot miss it.
    int written = 0;
    std::string letter;
    EXPECT_TRUE(WaitUntil([&] {
        if (written == 0 || WaitJournalLine(folder, "SCAN " + letter, 0)) {
            letter = folder + "\\watched\\letter" + std::to_string(++written) + ".doc";
            WriteFileBytes(letter, "Dear scanner,\r\n");
        }
        return TrayIconLook() == IDI_BLINK;
    }, ROBOT_TIMEOUT_MS)) << "the icon did not blink while " << written << " files were scanned";
    EXPECT_TRUE(WaitJournalLine(folder, "SCAN " + letter, ROBOT_TIMEOUT_MS)) << "the driver scanned nothing";
    EXPECT_TRUE(WaitForLook(IDI_ENABLED)) << "the blink did not end on the enabled icon";

    // Disable from the menu: the driver hears the toggle, then the disable; the icon changes.
    size_t before = JournalCodes(ReadJournal(folder)).size();
    HWND menu = OpenTrayMenu(run.processId);
    ASSERT_NE(nullptr, menu) << "the tray menu did not open";
    SaveScreenshot("tray-menu");
    ChooseFromMenu(menu, VK_DOWN);
    ASSERT_TRUE(WaitJournalLine(folder, "CTL_DISABLE", ROBOT_TIMEOUT_MS));
    EXPECT_EQ((std::vector<std::string>{"CTL_TOGGLE", "CTL_DISABLE"}), CodesSince(folder, before));
    std::string toggle = LastJournalLine(folder, "CTL_TOGGLE");
    EXPECT_EQ("0", JournalField(toggle, "enabled")) << toggle;
    EXPECT_NE("0", JournalField(toggle, "filesScanned")) << "filesScanned did not grow: " << toggle;
    EXPECT_TRUE(WaitForLook(IDI_DISABLED)) << "the icon did not turn to the disabled one";

    // Enable again: toggle, then enable.
    before = JournalCodes(ReadJournal(folder)).size();
    menu = OpenTrayMenu(run.processId);
    ASSERT_NE(nullptr, menu);
    ChooseFromMenu(menu, VK_DOWN);
    ASSERT_TRUE(WaitJournalLine(folder, "CTL_ENABLE", ROBOT_TIMEOUT_MS));
    EXPECT_EQ((std::vector<std::string>{"CTL_TOGGLE", "CTL_ENABLE"}), CodesSince(folder, before));
    EXPECT_TRUE(WaitForLook(IDI_ENABLED)) << "the icon did not turn to the enabled one";

    // Exit ends the program with 0 and takes the icon away.
    menu = OpenTrayMenu(run.processId);
    ASSERT_NE(nullptr, menu);
    ChooseFromMenu(menu, VK_UP);
    DWORD exitCode = 99;
    ASSERT_TRUE(WaitExit(run, ROBOT_TIMEOUT_MS, &exitCode)) << "Exit did not end the program";
    EXPECT_EQ(0u, exitCode);
    EXPECT_TRUE(WaitUntil([] { return !TrayIconShown(); }, ROBOT_TIMEOUT_MS)) << "the icon stayed in the tray";
}

// 1 once list shows at least count rows; 0 after timeoutMs.
int WaitForRows(HWND list, int count, DWORD timeoutMs)
{
    return WaitUntil([&] { return ListViewCount(list) >= count; }, timeoutMs);
}

TEST(AlertOnDesktop, TestFilesAreListedNewestFirstUntilOk)
{
    std::string folder = PrepareWatched();
    TorvaneRun run;
    HWND main = StartNormally(folder, &run);
    ASSERT_NE(nullptr, main);

    std::string first = folder + "\\watched\\SAMPLE1.COM";
    std::string second = folder + "\\watched\\SAMPLE2.COM";
    ASSERT_TRUE(WriteFileBytes(first, TestFileBytes()));
    HWND list = nullptr;
    HWND alert = WaitForAlert(run.processId, ROBOT_TIMEOUT_MS, &list);
    ASSERT_NE(nullptr, alert) << "no alert for the test file; journal:\n" << testing::PrintToString(ReadJournal(folder));
    ASSERT_TRUE(WaitForRows(list, 1, ROBOT_TIMEOUT_MS));
    EXPECT_EQ(std::vector<std::string>{first}, ListViewRows(list));
    EXPECT_FALSE(WindowText(alert).empty());
    EXPECT_FALSE(WindowText(GetDlgItem(alert, IDC_ALERT_TEXT)).empty());

    ASSERT_TRUE(WriteFileBytes(second, TestFileBytes()));
    ASSERT_TRUE(WaitForRows(list, 2, ROBOT_TIMEOUT_MS)) << "the second detection added no row";
    EXPECT_EQ((std::vector<std::string>{second, first}), ListViewRows(list));
    // A harmless file is scanned but not listed: the detection scanned after it comes next.
    ASSERT_TRUE(WriteFileBytes(folder + "\\watched\\CLEAN.COM", "MZ just a file\r\n"));
    EXPECT_TRUE(WaitJournalLine(folder, "SCAN " + folder + "\\watched\\CLEAN.COM", ROBOT_TIMEOUT_MS));
    std::string third = folder + "\\watched\\SAMPLE3.COM";
    ASSERT_TRUE(WriteFileBytes(third, TestFileBytes()));
    ASSERT_TRUE(WaitForRows(list, 3, ROBOT_TIMEOUT_MS)) << "the third detection added no row";
    EXPECT_EQ((std::vector<std::string>{third, second, first}), ListViewRows(list));
    SaveScreenshot("virus-alert");

    // The program stays responsive while the alert is up, and only OK closes the alert.
    EXPECT_TRUE(Answers(main, ROBOT_TIMEOUT_MS));
    PostToWindow(alert, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(PostedHandled(alert, IDOK));
    EXPECT_TRUE(IsWindowVisible(alert)) << "Esc closed the alert";
    ASSERT_TRUE(PressButton(alert, IDOK));
    EXPECT_TRUE(WaitClosed(alert, ROBOT_TIMEOUT_MS)) << "OK did not close the alert";

    // The next detection opens a fresh alert with only the new file.
    std::string fourth = folder + "\\watched\\SAMPLE4.COM";
    ASSERT_TRUE(WriteFileBytes(fourth, TestFileBytes()));
    alert = WaitForAlert(run.processId, ROBOT_TIMEOUT_MS, &list);
    ASSERT_NE(nullptr, alert);
    ASSERT_TRUE(WaitForRows(list, 1, ROBOT_TIMEOUT_MS));
    EXPECT_EQ(std::vector<std::string>{fourth}, ListViewRows(list));
    PressButton(alert, IDOK);
    PostToWindow(main, WM_CLOSE, 0, 0);
    DWORD exitCode = 99;
    EXPECT_TRUE(WaitExit(run, ROBOT_TIMEOUT_MS, &exitCode));
    EXPECT_EQ(0u, exitCode);
}

TEST(AlertOnDesktop, DetectionWithTheSheetOpenComesOnTopAndNoSecondSheetOpens)
{
    std::string folder = PrepareWatched();
    TorvaneRun run;
    HWND main = StartNormally(folder, &run);
    ASSERT_NE(nullptr, main);
    ASSERT_TRUE(WaitUntil(TrayIconShown, ROBOT_TIMEOUT_MS));
    HWND sheet = OpenSheet(run, SHEET_BY_DOUBLE_CLICK);
    ASSERT_NE(nullptr, sheet) << "a double-click on the icon opened no sheet";

    std::string infected = folder + "\\watched\\SAMPLE.COM";
    ASSERT_TRUE(WriteFileBytes(infected, TestFileBytes()));
    HWND list = nullptr;
    HWND alert = WaitForAlert(run.processId, ROBOT_TIMEOUT_MS, &list);
    ASSERT_NE(nullptr, alert) << "no alert while the sheet is open";
    ASSERT_TRUE(WaitForRows(list, 1, ROBOT_TIMEOUT_MS));
    EXPECT_EQ(std::vector<std::string>{infected}, ListViewRows(list));
    SaveScreenshot(ScenarioName());
    EXPECT_TRUE(GetWindowLongA(alert, GWL_EXSTYLE) & WS_EX_TOPMOST) << "the alert does not stay above other windows";
    std::vector<HWND> onScreen = ProcessWindows(run.processId, 1);
    EXPECT_LT(std::find(onScreen.begin(), onScreen.end(), alert) - onScreen.begin(),
              std::find(onScreen.begin(), onScreen.end(), sheet) - onScreen.begin())
        << "the alert is not above the sheet";

    // Every way of asking for the sheet, while one is open, opens no second one.
    for (SheetOpening how : {SHEET_BY_MESSAGE, SHEET_BY_DOUBLE_CLICK, SHEET_BY_MENU}) {
        EXPECT_TRUE(AskForSheetAndWait(run, how)) << how;
        EXPECT_EQ(1u, OpenSheets(run.processId).size()) << how;
    }
    EXPECT_TRUE(IsWindow(sheet));
    ASSERT_TRUE(PressButton(alert, IDOK));
    EXPECT_TRUE(WaitClosed(alert, ROBOT_TIMEOUT_MS));
    EXPECT_TRUE(PressSheetButton(sheet, IDCANCEL));

    // With the sheet closed the menu's Properties opens it again.
    sheet = OpenSheet(run, SHEET_BY_MENU);
    ASSERT_NE(nullptr, sheet) << "Properties in the tray menu opened no sheet";
    EXPECT_TRUE(PressSheetButton(sheet, IDCANCEL));
    PostToWindow(main, WM_CLOSE, 0, 0);
    DWORD exitCode = 99;
    EXPECT_TRUE(WaitExit(run, ROBOT_TIMEOUT_MS, &exitCode));
    EXPECT_EQ(0u, exitCode);
}

// 1 when a name at address in process can be read to its end as the alert reads it: up to a
// terminator, or 1024 bytes without one, all in committed readable memory; *name receives it.
int NameReadable(HANDLE process, uint64_t address, std::string *name = nullptr)
{
    std::string read;
    constexpr DWORD READABLE = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ
                               | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    const uint64_t limit = address + 1024;
    for (uint64_t at = address; at < limit;) {
        MEMORY_BASIC_INFORMATION region;
        int described = VirtualQueryEx(process, reinterpret_cast<void *>(at), &region, sizeof region) != 0;
        if (described && region.State == MEM_COMMIT && (region.Protect & PAGE_GUARD))
            return 0;
        uint64_t end;
        // As Windows 95/98 Torvane tries the read itself: also where no query describes the memory
        // (a driver's lies there) and in the low megabyte, which Wine keeps out of reach until
        // the first touch there makes it readable, as those systems have it.
        int lowMegabyte = described && at < 0x110000 && region.State == MEM_COMMIT && region.Protect == PAGE_NOACCESS;
        if (TorvaneRunsAsWindows9x() && (!described || lowMegabyte)) {
            end = std::min((at | 0xFFF) + 1, limit);
        } else if (!described || region.State != MEM_COMMIT || (region.Protect & PAGE_NOACCESS)
                   || !(region.Protect & READABLE)) {
            return 0;
        } else {
            end = std::min(reinterpret_cast<uint64_t>(region.BaseAddress) + region.RegionSize, limit);
        }
        std::string bytes(static_cast<size_t>(end - at), '\0');
        if (!ReadProcessMemory(process, reinterpret_cast<void *>(at), &bytes[0], bytes.size(), nullptr))
            return 0;
        read += bytes.substr(0, bytes.find('\0'));
        if (name != nullptr)
            *name = read.substr(0, 1023);
        if (bytes.find('\0') != std::string::npos)
            return 1;
        at = end;
    }
    return 1;
}

// Rows that names at addresses, unreadable at first, give now: Torvane's heap, its stacks and the
// driver's buffers grow meanwhile into memory that was free or reserved, and zeros are a name.
std::vector<std::string> RowsReadableNow(HANDLE process, const std::vector<uint64_t> &addresses)
{
    std::vector<std::string> rows;
    for (uint64_t address : addresses) {
        std::string name;
        if (!NameReadable(process, address, &name))
            continue;
        std::vector<char> row(name.size() + 1);
        OemToCharBuffA(name.c_str(), row.data(), static_cast<DWORD>(row.size()));
        rows.push_back(row.data());
    }
    return rows;
}

// Addresses below 4 GB that no name should be read at: 0 and small numbers, the start, middle and
// end of free and reserved stretches, the last bytes of readable regions that run into memory
// that cannot be read, and addresses above 2 GB. Some may happen to be readable after all.
std::vector<uint64_t> BogusAddresses(HANDLE process)
{
    std::vector<uint64_t> addresses;
    for (uint64_t a = 0; a < 32; a++)
        addresses.push_back(a);
    for (uint64_t a = 0x100; a <= 0x10000; a += 0x400)
        addresses.push_back(a);
    for (uint64_t a = 0x80000000u; a <= 0xFFFFFFFFu; a += 0x2000000)
        addresses.push_back(a);
    addresses.push_back(0xFFFFFFFFu);
    int previousReadable = 0;
    uint64_t previousEnd = 0;
    for (uint64_t at = 0x10000; at < 0x100000000ull && addresses.size() < 400;) {
        MEMORY_BASIC_INFORMATION region;
        if (!VirtualQueryEx(process, reinterpret_cast<void *>(at), &region, sizeof region))
            break;
        uint64_t base = reinterpret_cast<uint64_t>(region.BaseAddress);
        int readable = region.State == MEM_COMMIT && !(region.Protect & (PAGE_GUARD | PAGE_NOACCESS));
        if (!readable) {
            addresses.insert(addresses.end(), {base, base + region.RegionSize / 2, base + region.RegionSize - 1});
            if (previousReadable && previousEnd == base)
                addresses.insert(addresses.end(), {base - 1, base - 2, base - 16, base - 1000});
        }
        previousReadable = readable;
        previousEnd = at = base + region.RegionSize;
    }
    return addresses;
}

TEST(AlertOnDesktop, BogusAddressesAreIgnoredAndARealDetectionIsListedAfterThem)
{
    std::string folder = PrepareWatched();
    TorvaneRun run;
    HWND main = StartNormally(folder, &run);
    ASSERT_NE(nullptr, main);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                                 FALSE, run.processId);
    ASSERT_NE(nullptr, process);
    // A readable page of nothing but 'X' before a reserved one: its last bytes hold no terminator.
    char *page = static_cast<char *>(AllocateLowIn(process, 0x10000));
    ASSERT_NE(nullptr, page);
    ASSERT_TRUE(VirtualFreeEx(process, page + 0x1000, 0xF000, MEM_DECOMMIT));
    ASSERT_TRUE(WriteProcessMemory(process, page, std::string(0x1000, 'X').data(), 0x1000, nullptr));

    std::vector<uint64_t> readable, unreadable;
    for (uint64_t address : BogusAddresses(process))
        (NameReadable(process, address) ? readable : unreadable).push_back(address);
    std::printf("  %zu addresses that cannot be read, %zu that happen to be readable\n", unreadable.size(),
                readable.size());
    // As Windows 95/98 the low megabyte and most memory above 2 GB can be read.
    EXPECT_GE(unreadable.size(), TorvaneRunsAsWindows9x() ? 100u : 200u);
    const uint64_t tail = reinterpret_cast<uint64_t>(page) + 0x1000;
    for (uint64_t address : {tail - 1, tail - 16, tail - 1023})
        EXPECT_FALSE(NameReadable(process, address)) << std::hex << address;
    for (uint64_t address : unreadable)
        PostToWindow(main, WM_VIRUS_FOUND, 0, static_cast<LPARAM>(address));
    for (uint64_t address : {tail - 1, tail - 16, tail - 1023})
        PostToWindow(main, WM_VIRUS_FOUND, 0, static_cast<LPARAM>(address));

    // The driver's message comes after all of them: the alert it opens lists its file alone.
    std::string infected = folder + "\\watched\\SAMPLE.COM";
    ASSERT_TRUE(WriteFileBytes(infected, TestFileBytes()));
    HWND list = nullptr;
    HWND alert = WaitForAlert(run.processId, ROBOT_TIMEOUT_MS, &list);
    ASSERT_NE(nullptr, alert) << "no alert for the real detection; running: " << IsRunning(run);
    // Every bogus message came before it: once its row is listed, they have all been handled.
    std::vector<std::string> rows;
    ASSERT_TRUE(WaitUntil([&] {
        rows = ListViewRows(list);
        return std::find(rows.begin(), rows.end(), infected) != rows.end();
    }, ROBOT_TIMEOUT_MS)) << "the real detection was not listed";
    std::vector<std::string> late = RowsReadableNow(process, unreadable);
    EXPECT_EQ(infected, rows.front());
    for (size_t i = 1; i < rows.size(); i++)
        EXPECT_NE(late.end(), std::find(late.begin(), late.end(), rows[i])) << "a row from unreadable memory: " << rows[i];

    // Readable by chance: perhaps a row of whatever is there, never a crash.
    for (uint64_t address : readable)
        PostToWindow(main, WM_VIRUS_FOUND, 0, static_cast<LPARAM>(address));
    // The last one has no terminator in reach but 1024 readable bytes: it is listed, cut to 1023.
    PostToWindow(main, WM_VIRUS_FOUND, 0, static_cast<LPARAM>(reinterpret_cast<uint64_t>(page)));
    EXPECT_TRUE(WaitUntil([&] { return ListViewRows(list).front() == std::string(1023, 'X'); }, ROBOT_TIMEOUT_MS));
    rows = ListViewRows(list);
    EXPECT_NE(rows.end(), std::find(rows.begin(), rows.end(), infected));
    EXPECT_TRUE(Answers(main, ROBOT_TIMEOUT_MS));
    EXPECT_TRUE(IsRunning(run));
    CloseHandle(process);
    PressButton(alert, IDOK);
    PostToWindow(main, WM_CLOSE, 0, 0);
    DWORD exitCode = 99;
    EXPECT_TRUE(WaitExit(run, ROBOT_TIMEOUT_MS, &exitCode));
    EXPECT_EQ(0u, exitCode);
}

}   // namespace
