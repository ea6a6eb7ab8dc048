// The tray icon and the virus alert as a user meets them on the Wine desktop: the icon in the
// taskbar's tray, its blink while a file is scanned, its menu, and the alert for the test file.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/e2e/robot.h"
#include "vxd/detect.h"

namespace {

// A program folder whose driver watches its subfolder "watched", with default settings.
std::string PrepareWatched(void)
{
    FolderSetup setup;
    setup.ini = {{"Watch", "watched"}};
    std::string folder;
    EXPECT_TRUE(PrepareFolder(ScenarioName(), setup, &folder));
    CreateDirectoryA((folder + "\\watched").c_str(), nullptr);
    EXPECT_TRUE(WriteDefaultSettings(folder));
    return folder;
}

// The taskbar draws the notification area's icons itself, right-aligned, the first one added in
// the rightmost square as high as the taskbar. Our icon is the only one on the test desktop.
struct Slot {
    HWND tray;
    RECT screen;     // the first icon's square on the screen
};

int FirstIconSlot(Slot *slot)
{
    slot->tray = FindWindowA("Shell_TrayWnd", nullptr);
    RECT rect;
    if (slot->tray == nullptr || !GetWindowRect(slot->tray, &rect))
        return 0;
    int side = rect.bottom - rect.top;
    slot->screen = {rect.right - side, rect.top, rect.right, rect.bottom};
    return 1;
}

// The pixels of the first icon's square.
std::vector<uint32_t> SlotPixels(void)
{
    Slot slot;
    std::vector<uint32_t> pixels;
    if (FirstIconSlot(&slot))
        CaptureScreen(slot.screen, &pixels);
    return pixels;
}

// 1 when the first square shows an icon: something else than the taskbar's colour in its corner.
int IconShown(void)
{
    std::vector<uint32_t> pixels = SlotPixels();
    for (uint32_t pixel : pixels)
        if (pixel != pixels[0])
            return 1;
    return 0;
}

int WaitIconShown(int shown, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        if (IconShown() == shown)
            return 1;
        Sleep(50);
    }
    return 0;
}

// A fingerprint of what the first square shows.
unsigned long long IconPicture(void)
{
    unsigned long long hash = 1469598103934665603ull;
    for (uint32_t pixel : SlotPixels())
        hash = (hash ^ pixel) * 1099511628211ull;
    return hash;
}

// Right-clicks the icon and waits for the tray menu of the process.
HWND OpenTrayMenu(DWORD processId)
{
    Slot slot;
    if (!FirstIconSlot(&slot))
        return nullptr;
    POINT centre = {(slot.screen.left + slot.screen.right) / 2, (slot.screen.top + slot.screen.bottom) / 2};
    ScreenToClient(slot.tray, &centre);
    PostToWindow(slot.tray, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(centre.x, centre.y));
    PostToWindow(slot.tray, WM_RBUTTONUP, 0, MAKELPARAM(centre.x, centre.y));
    return WaitForWindow(processId, "#32768", 5000);
}

// Picks a tray menu item with the keyboard: Down from nothing selects the first item, Up the last.
void ChooseFromMenu(HWND menu, WPARAM key)
{
    PostToWindow(menu, WM_KEYDOWN, key, 0);
    PostToWindow(menu, WM_KEYUP, key, 0xC0000000);
    PostToWindow(menu, WM_KEYDOWN, VK_RETURN, 0);
    PostToWindow(menu, WM_KEYUP, VK_RETURN, 0xC0000000);
}

std::vector<std::string> CodesSince(const std::string &folder, size_t from)
{
    std::vector<std::string> codes = JournalCodes(ReadJournal(folder));
    return std::vector<std::string>(codes.begin() + std::min(from, codes.size()), codes.end());
}

std::string LastLineStarting(const std::string &folder, const std::string &prefix)
{
    std::string found;
    for (const std::string &line : ReadJournal(folder))
        if (line.compare(0, prefix.size(), prefix) == 0)
            found = line;
    return found;
}

TEST(TrayOnDesktop, IconBlinksOnScansAndItsMenuTogglesAndExits)
{
    std::string folder = PrepareWatched();
    ASSERT_TRUE(WaitIconShown(0, 5000)) << "an icon of an earlier run is still in the tray";
    TorvaneRun run;
    ASSERT_TRUE(StartTorvane(folder, &run));
    ASSERT_NE(nullptr, WaitForMainWindow(run.processId, ROBOT_TIMEOUT_MS));
    ASSERT_TRUE(WaitIconShown(1, ROBOT_TIMEOUT_MS)) << "no icon in the taskbar's tray";
    SaveScreenshot("tray");
    Sleep(500);
    unsigned long long enabledLook = IconPicture();

    // A file written into the watched folder is scanned: the icon blinks and settles on its look.
    ASSERT_TRUE(WriteFileBytes(folder + "\\watched\\letter.doc", "Dear scanner,\r\n"));
    std::set<unsigned long long> looks;
    for (int i = 0; i < 100; i++) {
        looks.insert(IconPicture());
        Sleep(20);
    }
    EXPECT_GE(looks.size(), 2u) << "the icon did not change while the file was scanned";
    EXPECT_TRUE(WaitJournalLine(folder, "SCAN ", 5000)) << "the driver scanned nothing";
    Sleep(300);
    EXPECT_EQ(enabledLook, IconPicture()) << "the blink did not end on the enabled icon";

    // Disable from the menu: the driver hears the toggle, then the disable; the icon changes.
    size_t before = JournalCodes(ReadJournal(folder)).size();
    HWND menu = OpenTrayMenu(run.processId);
    ASSERT_NE(nullptr, menu) << "the tray menu did not open";
    SaveScreenshot("tray-menu");
    ChooseFromMenu(menu, VK_DOWN);
    ASSERT_TRUE(WaitJournalLine(folder, "CTL_DISABLE", 5000));
    EXPECT_EQ((std::vector<std::string>{"CTL_TOGGLE", "CTL_DISABLE"}), CodesSince(folder, before));
    std::string toggle = LastLineStarting(folder, "CTL_TOGGLE");
    EXPECT_EQ("0", JournalField(toggle, "enabled")) << toggle;
    EXPECT_NE("0", JournalField(toggle, "filesScanned")) << "filesScanned did not grow: " << toggle;
    Sleep(400);
    unsigned long long disabledLook = IconPicture();
    EXPECT_NE(enabledLook, disabledLook) << "the disabled icon looks like the enabled one";

    // Enable again: toggle, then enable.
    before = JournalCodes(ReadJournal(folder)).size();
    menu = OpenTrayMenu(run.processId);
    ASSERT_NE(nullptr, menu);
    ChooseFromMenu(menu, VK_DOWN);
    ASSERT_TRUE(WaitJournalLine(folder, "CTL_ENABLE", 5000));
    EXPECT_EQ((std::vector<std::string>{"CTL_TOGGLE", "CTL_ENABLE"}), CodesSince(folder, before));
    Sleep(400);
    EXPECT_EQ(enabledLook, IconPicture());

    // Exit ends the program with 0 and takes the icon away.
    menu = OpenTrayMenu(run.processId);
    ASSERT_NE(nullptr, menu);
    ChooseFromMenu(menu, VK_UP);
    DWORD exitCode = 99;
    ASSERT_TRUE(WaitExit(run, ROBOT_TIMEOUT_MS, &exitCode)) << "Exit did not end the program";
    EXPECT_EQ(0u, exitCode);
    EXPECT_TRUE(WaitIconShown(0, 5000)) << "the icon stayed in the tray";
}

// The alert of a process: a visible dialog holding a list view.
HWND FindAlert(DWORD processId, HWND *list)
{
    for (HWND window : ProcessWindows(processId, 1)) {
        HWND found = FindWindowExA(window, nullptr, "SysListView32", nullptr);
        if (found != nullptr) {
            *list = found;
            return window;
        }
    }
    return nullptr;
}

HWND WaitForAlert(DWORD processId, HWND *list, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        HWND alert = FindAlert(processId, list);
        if (alert != nullptr)
            return alert;
        Sleep(50);
    }
    return nullptr;
}

// The rows of a list view in another process: the text buffer must live in that process.
std::vector<std::string> ListRows(HWND list, DWORD processId)
{
    std::vector<std::string> rows;
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process == nullptr)
        return rows;
    const SIZE_T textSize = 2048;
    char *remote = static_cast<char *>(
        VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + textSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; remote != nullptr && i < count; i++) {
        LVITEMA item = {};
        item.iSubItem = 0;
        item.pszText = remote + sizeof(LVITEMA);
        item.cchTextMax = textSize;
        WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
        SendMessageA(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(remote));
        char text[2048] = "";
        ReadProcessMemory(process, remote + sizeof(LVITEMA), text, sizeof text - 1, nullptr);
        rows.push_back(text);
    }
    if (remote != nullptr)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return rows;
}

int WaitForRows(HWND list, size_t count, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        if (static_cast<size_t>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) >= count)
            return 1;
        Sleep(50);
    }
    return 0;
}

std::string TestFileBytes(void)
{
    char text[TEST_STRING_LENGTH + 1];
    BuildTestString(text);
    return std::string(text) + "\r\n";
}

TEST(AlertOnDesktop, TestFilesAreListedNewestFirstUntilOk)
{
    std::string folder = PrepareWatched();
    TorvaneRun run;
    ASSERT_TRUE(StartTorvane(folder, &run));
    HWND main = WaitForMainWindow(run.processId, ROBOT_TIMEOUT_MS);
    ASSERT_NE(nullptr, main);
    // The window exists before the driver is connected; its folders are watched from then on.
    ASSERT_TRUE(WaitJournalLine(folder, "CTL_SELECT_LANGUAGE", ROBOT_TIMEOUT_MS));

    std::string first = folder + "\\watched\\SAMPLE1.COM";
    std::string second = folder + "\\watched\\SAMPLE2.COM";
    ASSERT_TRUE(WriteFileBytes(first, TestFileBytes()));
    HWND list = nullptr;
    HWND alert = WaitForAlert(run.processId, &list, ROBOT_TIMEOUT_MS);
    ASSERT_NE(nullptr, alert) << "no alert for the test file";
    ASSERT_TRUE(WaitForRows(list, 1, 5000));
    EXPECT_EQ(std::vector<std::string>{first}, ListRows(list, run.processId));
    EXPECT_FALSE(WindowText(alert).empty());
    EXPECT_FALSE(WindowText(GetDlgItem(alert, 1142)).empty());

    ASSERT_TRUE(WriteFileBytes(second, TestFileBytes()));
    ASSERT_TRUE(WaitForRows(list, 2, ROBOT_TIMEOUT_MS)) << "the second detection added no row";
    EXPECT_EQ((std::vector<std::string>{second, first}), ListRows(list, run.processId));
    // A harmless file is scanned but not listed.
    ASSERT_TRUE(WriteFileBytes(folder + "\\watched\\CLEAN.COM", "MZ just a file\r\n"));
    EXPECT_TRUE(WaitJournalLine(folder, "SCAN " + folder + "\\watched\\CLEAN.COM", 5000));
    Sleep(300);
    EXPECT_EQ(2u, ListRows(list, run.processId).size());
    SaveScreenshot("virus-alert");

    // The program stays responsive while the alert is up, and only OK closes the alert.
    DWORD_PTR answer = 0;
    EXPECT_NE(0, SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer));
    PostToWindow(alert, WM_COMMAND, IDCANCEL, 0);
    Sleep(300);
    EXPECT_TRUE(IsWindowVisible(alert)) << "Esc closed the alert";
    ASSERT_TRUE(PressButton(alert, IDOK));
    for (int i = 0; i < 100 && IsWindow(alert); i++)
        Sleep(50);
    EXPECT_FALSE(IsWindow(alert)) << "OK did not close the alert";

    // The next detection opens a fresh alert with only the new file.
    std::string third = folder + "\\watched\\SAMPLE3.COM";
    ASSERT_TRUE(WriteFileBytes(third, TestFileBytes()));
    alert = WaitForAlert(run.processId, &list, ROBOT_TIMEOUT_MS);
    ASSERT_NE(nullptr, alert);
    ASSERT_TRUE(WaitForRows(list, 1, 5000));
    EXPECT_EQ(std::vector<std::string>{third}, ListRows(list, run.processId));
    PressButton(alert, IDOK);
    PostToWindow(main, WM_CLOSE, 0, 0);
    DWORD exitCode = 99;
    EXPECT_TRUE(WaitExit(run, ROBOT_TIMEOUT_MS, &exitCode));
    EXPECT_EQ(0u, exitCode);
}

}   // namespace
