// Start-up as a user meets it: the messages of a missing, wrong or refusing driver, the second
// instance, the hidden MainWindow and what the driver is told at a normal start.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/robot.h"
#include "vxd/texts/language_texts.h"

constexpr ULONGLONG SPLASH_MIN_MS = 1400;     // the splash stands 1.5 s before anything else shows

// A fresh program folder for the running test (plus suffix) and default settings pointing into it.
static std::string Prepare(const FolderSetup &setup, const std::string &suffix = "")
{
    std::string folder;
    EXPECT_TRUE(PrepareFolder(ScenarioName() + suffix, setup, &folder)) << "program folder";
    EXPECT_TRUE(WriteDefaultSettings(folder)) << "registry settings";
    return folder;
}

// Starts Torvane.exe in folder, expects the splash and then a start-up message box with caption
// "Torvane", text expectedText, one OK button and the stop icon. Returns the box (nullptr on failure).
static HWND ExpectStartMessage(const std::string &folder, const std::string &expectedText, TorvaneRun *run)
{
    if (!StartTorvane(folder, run)) {
        ADD_FAILURE() << "Torvane.exe did not start";
        return nullptr;
    }
    int splashSeen = 0;
    ULONGLONG boxMs = 0;
    HWND box = WaitForMessageBoxAfterSplash(*run, ROBOT_TIMEOUT_MS, &splashSeen, &boxMs);
    if (box == nullptr) {
        ADD_FAILURE() << "no message box within " << ROBOT_TIMEOUT_MS << " ms";
        return nullptr;
    }
    SaveScreenshot(ScenarioName());
    EXPECT_TRUE(splashSeen) << "the splash was not seen before the message";
    EXPECT_GE(boxMs, SPLASH_MIN_MS) << "the message came before the splash could have ended";

    MessageBoxView view = ExpectStopMessage(box, "Torvane", expectedText);
    std::printf("  message box after %llu ms: caption \"%s\", text \"%s\" (raw), expected \"%s\"\n", boxMs,
                Visible(view.caption).c_str(), Visible(view.text).c_str(), Visible(expectedText).c_str());
    return box;
}

// Presses OK on box and expects the process to end with expectedExit.
static void PressOkAndExpectExit(HWND box, const TorvaneRun &run, DWORD expectedExit)
{
    ASSERT_TRUE(PressButton(box, IDOK));
    DWORD exitCode = 0;
    ASSERT_TRUE(WaitExit(run, ROBOT_TIMEOUT_MS, &exitCode)) << "still running after OK";
    EXPECT_EQ(expectedExit, exitCode);
}

// What start-up shows for a driver file that the loader refuses: its error number plus 100, which
// the robot learns by asking the same loader. As Windows 95/98, Wine's device open tries the file
// as a VxD and, when that fails, reports the open of the device name itself, which names no file.
static std::string CannotLoadText(const std::string &path)
{
    DWORD error = ERROR_FILE_NOT_FOUND;
    if (!TorvaneRunsAsWindows9x()) {
        HMODULE module = LoadLibraryA(path.c_str());
        error = GetLastError();
        if (module != nullptr)
            FreeLibrary(module);
    }
    char text[MAX_PATH + 64];
    std::snprintf(text, sizeof text, "Cannot load Torvane.VXD. (error=%lx)\n", static_cast<unsigned long>(error + 100));
    return text;
}

TEST(StartupE2e, UnusableDriverFileShowsWhyAndEnds4)
{
    std::string driver;
    ASSERT_TRUE(ReadBuiltDriver(&driver));
    ASSERT_GT(driver.size(), 10u);
    ASSERT_EQ("FW3050", driver.substr(driver.size() - 10, 6)) << "the build's driver lacks its trailer";
    std::string body = driver.substr(0, driver.size() - 10);

    struct Case {
        const char *name;
        int withDriver;
        std::string bytes;      // the driver file's bytes when withDriver
        int trailerRight;       // 1: the trailer passes, the loader refuses the file
    } cases[] = {
        {"NoDriver", 0, "", 0},
        {"LowerCase", 1, body + "fw3050RV01", 0},
        {"CrLf", 1, body + "FW3050R\r\n1", 0},       // text mode delivers nine bytes
        {"Short", 1, "FW3050RV0", 0},
        {"NotADriver", 1, "MZ and nothing a loader wants\r\nFW3050RV01", 1},
        {"TrailerOnly", 1, "FW3050RV01", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FolderSetup setup;
        setup.withDriver = c.withDriver;
        setup.ownDriverBytes = 1;
        setup.driverBytes = c.bytes;
        std::string folder = Prepare(setup, std::string("_") + c.name);
        std::string expected = c.trailerRight ? CannotLoadText(folder + "\\Torvane.VXD") : "Torvane.VXD version mismatch\n";
        TorvaneRun run;
        HWND box = ExpectStartMessage(folder, expected, &run);
        if (box != nullptr)
            PressOkAndExpectExit(box, run, 4);
        EXPECT_TRUE(ReadJournal(folder).empty()) << "the driver was loaded although its file was rejected";
        EndAllTorvane();
    }
}

TEST(StartupE2e, RefusedConnectShowsDriverTextAfterDisablingAndEnds5)
{
    FolderSetup setup;
    setup.ini = {{"RefuseConnect", "1"}, {"ErrorText", "Licence expired for this test"}};
    std::string folder = Prepare(setup);
    TorvaneRun run;
    HWND box = ExpectStartMessage(folder, "Licence expired for this test", &run);
    ASSERT_NE(nullptr, box);
    // The front end writes enabled = 0 before it shows the message; the driver's status thread
    // reports the change while the message is still on screen.
    std::string line;
    EXPECT_TRUE(WaitJournalLine(folder, "STATUS enabled=0", ROBOT_TIMEOUT_MS, &line))
        << "journal:\n" << ::testing::PrintToString(ReadJournal(folder));
    EXPECT_TRUE(IsWindow(box)) << "the message went before enabled = 0 was seen";
    std::vector<std::string> codes = JournalCodes(ReadJournal(folder));
    EXPECT_EQ(std::vector<std::string>{"CTL_CONNECT"}, codes) << "nothing but the connect may reach a refusing driver";
    PressOkAndExpectExit(box, run, 5);
}

TEST(StartupE2e, RefusedLoggingAndNoIconLeaveAQuietProgramRunning)
{
    FolderSetup setup;
    setup.ini = {{"RefuseLogStart", "1"}};
    std::string folder = Prepare(setup);
    ASSERT_TRUE(SetSettingNumber("LogToFile", 1));
    ASSERT_TRUE(SetSettingNumber("Icon", 0));
    ASSERT_TRUE(WaitUntil([] { return !TrayIconShown(); }, ROBOT_TIMEOUT_MS))
        << "an icon of an earlier run is still in the tray";

    // Text 609 under text 600, both as stored; after OK the program runs on.
    TorvaneRun run;
    ASSERT_TRUE(StartTorvane(folder, &run));
    HWND box = WaitForMessageBox(run.processId, ROBOT_TIMEOUT_MS);
    ASSERT_NE(nullptr, box) << "no message for the refused logging";
    ExpectStopMessage(box, englishTexts[600 - DRIVER_FIRST_TEXT], englishTexts[609 - DRIVER_FIRST_TEXT]);
    EXPECT_EQ("0", JournalField(LastJournalLine(folder, "CTL_LOG_START"), "result"));
    ASSERT_TRUE(PressButton(box, IDOK));
    EXPECT_TRUE(WaitClosed(box, ROBOT_TIMEOUT_MS));
    HWND main = WaitForMainWindow(run.processId, 0);
    ASSERT_NE(nullptr, main) << "the program ended after the message";
    // Answered past the message, start-up has added its icon, if it does, and the taskbar has it.
    EXPECT_TRUE(Answers(main, ROBOT_TIMEOUT_MS));
    EXPECT_EQ(0, TrayIconCount()) << "an icon although showIcon is 0";

    // A toggle that does arrive only flips enabled: the driver sees the change, and no code.
    size_t codes = JournalCodes(ReadJournal(folder)).size();
    ASSERT_TRUE(PostToWindow(main, WM_COMMAND, IDM_TOGGLE, 0));
    EXPECT_TRUE(WaitJournalLine(folder, "STATUS enabled=0", ROBOT_TIMEOUT_MS)) << "the toggle did not flip enabled";
    EXPECT_TRUE(Answers(main, ROBOT_TIMEOUT_MS));   // answered after the toggle's handling has ended
    EXPECT_EQ(codes, JournalCodes(ReadJournal(folder)).size()) << testing::PrintToString(ReadJournal(folder));

    // The taskbar drops the icons of a destroyed window itself, so whether the end asks for a
    // deletion cannot be seen from here; the tray stays empty to the end.
    ASSERT_TRUE(PostToWindow(main, WM_CLOSE, 0, 0));
    DWORD exitCode = 99;
    ASSERT_TRUE(WaitExit(run, ROBOT_TIMEOUT_MS, &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(0, TrayIconCount());
}

TEST(StartupE2e, SecondInstanceAsksFirstToOpenPropertiesAndEnds0)
{
    std::string folder = Prepare(FolderSetup());
    TorvaneRun first;
    ASSERT_NE(nullptr, StartNormally(folder, &first));

    TorvaneRun second;
    ASSERT_TRUE(StartTorvane(folder, &second));
    // Until it ends, the second process must not show anything: no splash, no window at all.
    int windowsSeen = 0;
    DWORD exitCode = 99;
    WaitUntil([&] {
        for (HWND window : ProcessWindows(second.processId, 0)) {
            windowsSeen++;
            ADD_FAILURE() << "the second instance made a window: class \"" << Visible(WindowClass(window))
                          << "\", title \"" << Visible(WindowText(window)) << "\"";
        }
        return !IsRunning(second);
    }, ROBOT_TIMEOUT_MS);
    ULONGLONG secondMs = MsSinceStart(second);
    ASSERT_TRUE(WaitExit(second, 0, &exitCode)) << "the second instance still runs";
    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(0, windowsSeen);
    std::printf("  second instance ended after %llu ms\n", secondMs);

    // The first opens its properties: for now the sheet's stand-in, later the sheet itself, both
    // captioned with texts 600, 589 and the minor version.
    HWND sheet = WaitForWindow(first.processId, "#32770", ROBOT_TIMEOUT_MS);
    ASSERT_NE(nullptr, sheet) << "the first instance opened nothing";
    SaveScreenshot(ScenarioName());
    EXPECT_EQ("Torvane 1.05", WindowText(sheet));
    EXPECT_TRUE(IsRunning(first));
    EXPECT_EQ(1u, ProcessWindows(first.processId, 1).size()) << "one window of the first on screen";
    ASSERT_TRUE(CloseDialog(sheet));

    HWND mainWindow = FindTopWindow(ROBOT_MAIN_CLASS, ROBOT_MAIN_TITLE);
    ASSERT_NE(nullptr, mainWindow);
    ASSERT_TRUE(PostToWindow(mainWindow, WM_CLOSE, 0, 0));
    ASSERT_TRUE(WaitExit(first, ROBOT_TIMEOUT_MS, &exitCode)) << "the first did not end after its sheet closed";
    EXPECT_EQ(0u, exitCode);
}

TEST(StartupE2e, NormalStartLeavesHiddenToolWindowThatEnds0OnClose)
{
    std::string folder = Prepare(FolderSetup());
    TorvaneRun run;
    HWND mainWindow = StartNormally(folder, &run);
    ASSERT_NE(nullptr, mainWindow);
    SaveScreenshot(ScenarioName());

    EXPECT_EQ(std::string(ROBOT_MAIN_CLASS), WindowClass(mainWindow)) << Visible(WindowClass(mainWindow));
    EXPECT_EQ(std::string(ROBOT_MAIN_TITLE), WindowText(mainWindow)) << Visible(WindowText(mainWindow));
    EXPECT_FALSE(IsWindowVisible(mainWindow));
    LONG_PTR extended = GetWindowLongPtrA(mainWindow, GWL_EXSTYLE);
    EXPECT_TRUE(extended & WS_EX_TOOLWINDOW) << "extended style " << std::hex << extended;
    EXPECT_TRUE(ProcessWindows(run.processId, 1).empty()) << "a normal start shows no window";

    ASSERT_TRUE(PostToWindow(mainWindow, WM_CLOSE, 0, 0));
    DWORD exitCode = 99;
    ASSERT_TRUE(WaitExit(run, ROBOT_TIMEOUT_MS, &exitCode)) << "WM_CLOSE did not end the program";
    EXPECT_EQ(0u, exitCode);
}

TEST(StartupE2e, NormalStartConnectsWithProgramDirAndPushesSettingsInOrder)
{
    std::string folder = Prepare(FolderSetup());
    TorvaneRun run;
    HWND mainWindow = StartNormally(folder, &run);
    ASSERT_NE(nullptr, mainWindow);

    std::vector<std::string> journal = ReadJournal(folder);
    std::vector<std::string> expectedCodes = {"CTL_CONNECT", "CTL_SCAN_OPTIONS_CHANGED", "CTL_ACTION_OPTIONS_CHANGED",
                                              "CTL_EXCLUSIONS_CHANGED", "CTL_SELECT_LANGUAGE"};
    EXPECT_EQ(expectedCodes, JournalCodes(journal)) << ::testing::PrintToString(journal);
    std::string connect;
    for (const std::string &line : journal) {
        if (line.compare(0, 12, "CTL_CONNECT ") == 0) {
            connect = line;
            break;
        }
    }
    EXPECT_EQ("1", JournalField(connect, "result")) << connect;
    EXPECT_EQ(folder + "\\", JournalField(connect, "homeDir")) << connect;
    for (const std::string &line : journal) {
        if (line.compare(0, 4, "CTL_") == 0) {
            EXPECT_EQ("1", JournalField(line, "result")) << line;
        }
    }
    // The start saves the settings at once, so the zero seal has been replaced by the real one.
    DWORD seal = 0;
    EXPECT_TRUE(ReadSettingNumber("Torvane", &seal));
    EXPECT_NE(0u, seal) << "the seal was not rewritten at start";

    ASSERT_TRUE(PostToWindow(mainWindow, WM_CLOSE, 0, 0));
    DWORD exitCode = 99;
    ASSERT_TRUE(WaitExit(run, ROBOT_TIMEOUT_MS, &exitCode));
    EXPECT_EQ(0u, exitCode);
}
