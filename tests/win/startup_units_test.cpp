// Start-up pieces on real files and the real driver: the program directory, the trailer check,
// the device open's message and the connect reply.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/globals.h"
#include "driver/link.h"
#include "tests/win/test_support.h"

static const char UNITS_ROOT[] = "C:\\torvane-units";

// Restores the current directory when a test ends, however it ends.
struct CurrentDirectoryKeeper {
    char saved[MAX_PATH];
    CurrentDirectoryKeeper() { GetCurrentDirectoryA(sizeof saved, saved); }
    ~CurrentDirectoryKeeper() { SetCurrentDirectoryA(saved); }
};

// An empty folder C:\torvane-units\<name>; its path without a trailing backslash.
static std::string FreshFolder(const std::string &name)
{
    CreateDirectoryA(UNITS_ROOT, nullptr);
    std::string folder = std::string(UNITS_ROOT) + "\\" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((folder + "\\" + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return folder;
}

static int WriteBytes(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    int ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    CloseHandle(file);
    return ok;
}

static int ReadBytes(const std::string &path, std::string *bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    char chunk[65536];
    DWORD got = 0;
    bytes->clear();
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes->append(chunk, got);
    CloseHandle(file);
    return 1;
}

TEST(StartupUnits, CodePagesTheTestsRelyOn)
{
    EXPECT_EQ(437u, GetOEMCP());
    EXPECT_EQ(1252u, GetACP());
}

TEST(StartupUnits, ProgramDirIsCurrentDirectoryWithOneBackslash)
{
    CurrentDirectoryKeeper keeper;
    std::string av = FreshFolder("AV");
    struct Case {
        std::string directory;      // made current
        DWORD size;                 // buffer size handed over
        int result;
        std::string expected;
    } cases[] = {
        {"C:\\", 260, 1, "C:\\"},
        {av, 260, 1, av + "\\"},
        {av + "\\", 260, 1, av + "\\"},                                   // the platform drops it again
        {av, static_cast<DWORD>(av.size() + 2), 1, av + "\\"},             // backslash and terminator fit exactly
        {av, static_cast<DWORD>(av.size() + 1), 0, av},                    // no room for the backslash
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(SetCurrentDirectoryA(c.directory.c_str())) << c.directory;
        char buffer[PROGRAM_DIR_SIZE];
        std::memset(buffer, 'x', sizeof buffer);
        int result = BuildProgramDir(buffer, c.size);
        EXPECT_EQ(c.result, result) << c.directory << " in " << c.size << " bytes";
        EXPECT_EQ(c.expected, std::string(buffer)) << c.directory << " in " << c.size << " bytes";
    }
}

TEST(StartupUnits, DriverVersionReadsTheTrailerAsTextModeDeliversIt)
{
    CurrentDirectoryKeeper keeper;
    std::string folder = FreshFolder("trailer");
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    std::string built;
    ASSERT_TRUE(ReadBytes(BuiltDriverPath(), &built)) << BuiltDriverPath();
    const std::string body = "MZ\r\n\x1A\r\nany bytes before the trailer\r\n";
    struct Case {
        const char *name;
        std::string bytes;
        int expected;
    } cases[] = {
        {"built.vxd", built, 1},
        {"plain.vxd", body + "FW3050RV01", 1},
        {"only.vxd", "FW3050RV01", 1},                                    // exactly ten bytes
        {"anytail.vxd", body + std::string("FW3050\0\xff\x7f\x01", 10), 1},
        {"lower.vxd", body + "fw3050RV01", 0},
        {"other.vxd", body + "FW3051RV01", 0},
        {"moved.vxd", body + "FW3050RV01!", 0},                           // mark one byte too early
        {"nine.vxd", "FW3050RV0", 0},                                     // fewer than ten bytes
        {"empty.vxd", "", 0},
        {"crlf.vxd", body + "FW3050R\r\n1", 0},                           // text mode delivers nine
        {"crlfend.vxd", body + "FW3050RV\r\n", 0},
        {"eof.vxd", body + "FW3050R\x1A" "01", 0},                        // 0x1A ends the data
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(WriteBytes(c.name, c.bytes)) << c.name;
        EXPECT_EQ(c.expected, CheckDriverVersion(c.name)) << c.name;
    }
    EXPECT_EQ(0, CheckDriverVersion("missing.vxd"));
    EXPECT_EQ(0, CheckDriverVersion("Torvane.VXD")) << "no driver in this folder";
}

// In a child process, where no driver of another test is loaded: Windows 98 mode's device open
// loads the file as a module by its name and would find that one. Prints what the open showed.
static void OpenWithoutDriver(void)
{
    std::string folder = FreshFolder("nodriver");
    SetCurrentDirectoryA(folder.c_str());
    int opened = -1;
    CaughtBox box = CatchMessageBox([&opened] { opened = OpenDriver("Torvane.VXD"); });
    std::string text = box.text;
    if (!text.empty() && text.back() == '\n')
        text.back() = '~';
    std::fprintf(stderr, "opened=%d box=%d caption=%s text=%s\n", opened, box.found, box.caption.c_str(), text.c_str());
    std::exit(0);
}

TEST(StartupUnits, OpenDriverReportsAMissingFileWithItsErrorPlus100)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    // Windows NT: the file is loaded as a DLL and its absence is error 2. In a Windows 95/98 mode
    // Wine reports the open of the device name, which names no file: error 2 all the same.
    EXPECT_EXIT(OpenWithoutDriver(), testing::ExitedWithCode(0),
                "opened=0 box=1 caption=Torvane text=Cannot load Torvane.VXD. .error=66.~");
}

// Copies the built driver into a fresh folder with a Torvane.ini of its own, makes the folder
// current, then checks, opens and connects as start-up does. Runs in a child process (see the
// tests below), so the loaded driver never meets the other tests; ends that process with 0 when
// every check held and 1 otherwise, having printed what it found.
static void ConnectInFolder(const std::string &name, const std::string &ini, int expectAccepted,
                            const std::string &expectedError)
{
    std::string folder = FreshFolder(name);
    int ok = CopyFileA(BuiltDriverPath().c_str(), (folder + "\\Torvane.VXD").c_str(), FALSE)
             && WriteBytes(folder + "\\Torvane.ini", "[Driver]\r\nWatch=none\r\nJournal=journal.txt\r\n" + ini)
             && SetCurrentDirectoryA(folder.c_str());
    if (!ok) {
        std::fprintf(stderr, "cannot prepare %s\n", folder.c_str());
        std::exit(1);
    }
    BuildProgramDir(programDir, sizeof programDir);
    if (!CheckDriverVersion("Torvane.VXD") || !OpenDriver("Torvane.VXD")) {
        std::fprintf(stderr, "the built driver was not loaded\n");
        std::exit(1);
    }
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    int accepted = -1;
    CaughtBox box = CatchMessageBox([&] { accepted = ConnectDriver(programDir, window); });
    if (expectAccepted) {
        ok = accepted == 1 && !box.found && statusBlock != nullptr && languageTable != nullptr && languageCount == 3
             && languageList != nullptr && std::string(statusBlock->homeDir) == folder + "\\";
        std::fprintf(stderr, "accepted=%d message=%d statusBlock=%p languageCount=%u languageList=%p homeDir=%s\n",
                     accepted, box.found, static_cast<void *>(statusBlock), languageCount,
                     static_cast<const void *>(languageList), statusBlock ? statusBlock->homeDir : "-");
        if (ok && languageList != nullptr) {
            for (uint32_t i = 0; i < languageCount; i++)
                std::fprintf(stderr, "language %u: text %u\n", i, languageList[i]);
        }
    } else {
        // A driver that names no record on refusal leaves nothing to write enabled through.
        int withoutRecord = ini.find("RefuseWithoutRecord=1") != std::string::npos;
        ok = accepted == 0 && box.found && box.text == expectedError && box.caption == "Torvane"
             && (withoutRecord ? statusBlock == nullptr : statusBlock != nullptr && statusBlock->enabled == 0);
        std::fprintf(stderr, "accepted=%d message=%d \"%s\" caption \"%s\" statusBlock=%p enabled=%u\n", accepted,
                     box.found, box.text.c_str(), box.caption.c_str(), static_cast<void *>(statusBlock),
                     statusBlock ? statusBlock->enabled : 99u);
    }
    std::fflush(stderr);
    std::exit(ok ? 0 : 1);
}

TEST(StartupUnits, ConnectTakesTheReplysFifthWord)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(ConnectInFolder("connect", "", 1, ""), testing::ExitedWithCode(0), "languageCount=3");
}

TEST(StartupUnits, RefusedConnectDisablesThenShowsTheDriversText)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(ConnectInFolder("refused", "RefuseConnect=1\r\nErrorText=No licence here\r\n", 0, "No licence here"),
                testing::ExitedWithCode(0), "enabled=0");
}

TEST(StartupUnits, RefusalWithoutARecordStillShowsTheText)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(ConnectInFolder("norecord", "RefuseConnect=1\r\nRefuseWithoutRecord=1\r\nErrorText=Nothing shared\r\n", 0,
                                "Nothing shared"),
                testing::ExitedWithCode(0), "statusBlock=0+ enabled=99");
}
