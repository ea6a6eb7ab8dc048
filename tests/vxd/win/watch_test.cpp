// The reference driver watching a folder: scans of files as they are written, under every name the
// file system holds and at any depth, the test file's detection and the message that carries its
// OEM name, exclusions, switching off, a message that cannot be posted, and a burst in one folder
// that keeps no other waiting.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/vxd/test_driver.h"


TEST(VxdWatch, ScansWrittenFilesAndReportsTheTestFile)
{
    TestDriver driver;
    ASSERT_TRUE(LoadTestDriver("watch", "Watch=watched\r\nJournal=watched\\journal.txt\r\nBlinkSteps=4\r\n", &driver));
    const std::string watched = driver.folder + "\\watched";
    ASSERT_TRUE(CreateDirectoryA(watched.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((watched + "\\skip").c_str(), nullptr));
    HWND collector = MakeCollector();
    ASSERT_NE(nullptr, collector);
    detections.clear();
    ASSERT_EQ(1, ConnectTestDriver(&driver, collector));
    StatusBlock *b = driver.block;
    // The report lies in the watched folder, named through the short form of the folder's name.
    const std::string report = watched + "\\report.txt";
    char shortFolder[MAX_PATH];
    ASSERT_NE(0u, GetShortPathNameA(watched.c_str(), shortFolder, MAX_PATH));
    ASSERT_NE(watched, shortFolder);
    std::strncpy(b->logFileName, (shortFolder + std::string("\\report.txt")).c_str(), sizeof b->logFileName - 1);
    b->logMask = 0x01;
    ASSERT_EQ(1, SendCode(driver, CTL_LOG_START));
    auto scanned = [&](const std::string &path) {
        return Contains(JournalLinesFrom(driver, "SCAN ", "watched\\journal.txt"), "SCAN " + path);
    };

    // An ordinary file: counted, named in lastFile, the icon told to blink. Before the front end
    // sends its settings every file is scanned (plain.txt is no program file).
    ASSERT_TRUE(WriteBytes(watched + "\\plain.txt", "hello"));
    EXPECT_TRUE(WaitUntil([&] { return b->filesScanned >= 1; })) << "the file written was not scanned";
    EXPECT_STREQ((watched + "\\plain.txt").c_str(), b->lastFile);
    EXPECT_EQ(4u, b->blinkCount);
    EXPECT_EQ(0u, b->filesInfected);
    // A second connect while the threads run takes the new connection and keeps the record.
    ASSERT_EQ(1, ConnectTestDriver(&driver, collector));
    EXPECT_LE(1u, b->filesScanned);
    EXPECT_STREQ((shortFolder + std::string("\\report.txt")).c_str(), b->logFileName);

    // The test file, in a subfolder, under a name beyond ASCII: one message with the OEM name.
    ASSERT_TRUE(CreateDirectoryA((watched + "\\sub").c_str(), nullptr));
    const std::wstring infected = Wide(watched) + L"\\sub\\t\u00e9st.com";
    ASSERT_TRUE(WriteWide(infected, TestFileBytes() + "\r\n"));
    ASSERT_TRUE(PumpUntil([] { return !detections.empty(); })) << "no detection message arrived";
    EXPECT_EQ(InCodePage(CP_OEMCP, infected), detections[0]);
    EXPECT_EQ(1u, b->filesInfected);
    const std::string infectedAnsi = InCodePage(CP_ACP, infected);
    EXPECT_TRUE(WaitUntil([&] { return Contains(ReadLines(report), "Infected: " + infectedAnsi); }))
        << "no report line for the detection";
    // And what is found is only reported: the file stays where it is, open to everyone.
    EXPECT_TRUE(Contains(JournalLinesFrom(driver, "ACTION ", "watched\\journal.txt"), "ACTION reported " + infectedAnsi));
    EXPECT_TRUE(CanOpen(infectedAnsi)) << "acted on before the settings came";

    // Not the test file: longer than 128 bytes; excluded folder. A marker written last is scanned
    // after them, so by then they were handled.
    ASSERT_TRUE(WriteBytes(watched + "\\long.com", TestFileBytes() + std::string(70, ' ')));
    std::string list = "[+" + watched + "\\skip]";
    std::strncpy(FromAddress32<char>(b->exclusions), list.c_str(), EXCLUSIONS_SIZE - 1);
    ASSERT_EQ(1, SendCode(driver, CTL_EXCLUSIONS_CHANGED));
    ASSERT_TRUE(WriteBytes(watched + "\\skip\\excluded.com", TestFileBytes()));
    ASSERT_TRUE(WriteBytes(watched + "\\marker.txt", "marker"));
    EXPECT_TRUE(WaitUntil([&] { return scanned(watched + "\\marker.txt"); }));
    EXPECT_TRUE(scanned(watched + "\\long.com"));
    EXPECT_FALSE(scanned(watched + "\\skip\\excluded.com")) << "an excluded file was scanned";
    PumpPending();
    EXPECT_EQ(1u, detections.size()) << "one detection, one message";
    EXPECT_EQ(1u, b->filesInfected);
    EXPECT_FALSE(Contains(JournalLinesFrom(driver, "SCAN ", "watched\\journal.txt"), "journal.txt"))
        << "the journal scanned itself";
    EXPECT_FALSE(scanned(report)) << "the report, named otherwise, scanned itself";

    // Switched off nothing is scanned; switched on again scanning goes on. Switched off for half a
    // second while a file comes (a step of the scenario, not a wait: the check depends only on the
    // journal's order). CTL_TOGGLE, as the front end sends it before CTL_ENABLE, marks in the
    // journal the end of the time switched off: a name taken only after it may be scanned.
    ASSERT_EQ(1, SendCode(driver, CTL_DISABLE));
    ASSERT_TRUE(WriteBytes(watched + "\\while-off.txt", "off"));
    Sleep(500);
    ASSERT_EQ(1, SendCode(driver, CTL_TOGGLE));
    ASSERT_EQ(1, SendCode(driver, CTL_ENABLE));
    ASSERT_TRUE(WriteBytes(watched + "\\while-on.txt", "on"));
    EXPECT_TRUE(WaitUntil([&] { return scanned(watched + "\\while-on.txt"); }));
    // Written before it, while-off.txt was taken by now: scanned or not, its line came first.
    for (const std::string &line : ReadLines(watched + "\\journal.txt")) {
        if (line.rfind("CTL_TOGGLE ", 0) == 0)
            break;
        EXPECT_NE("SCAN " + watched + "\\while-off.txt", line) << "scanned while disabled";
    }
    EXPECT_EQ(1, SendCode(driver, CTL_LOG_STOP));
    DestroyWindow(collector);
}

// WM_VIRUS_FOUND is posted again while the front end's queue is full, for 5 s, and then given up,
// while the scanning goes on. Wine's queues take any number of messages: a message the system will
// not post (one that carries a pointer, WM_SETTEXT) stands in for a queue that stays full, as every
// post of it fails while the window is there.
TEST(VxdWatch, AMessageThatCannotBePostedIsGivenUpAfterFiveSeconds)
{
    TestDriver driver;
    ASSERT_TRUE(LoadTestDriver("post", "Watch=watched\r\nJournal=journal.txt\r\n", &driver));
    const std::string watched = driver.folder + "\\watched";
    ASSERT_TRUE(CreateDirectoryA(watched.c_str(), nullptr));
    HWND collector = MakeCollector();
    ASSERT_EQ(1, ConnectTestDriver(&driver, collector, WM_SETTEXT));
    const std::string report = driver.folder + "\\report.txt";
    std::strncpy(driver.block->logFileName, report.c_str(), sizeof driver.block->logFileName - 1);
    driver.block->logMask = 0x01;
    ASSERT_EQ(1, SendCode(driver, CTL_LOG_START));
    ASSERT_TRUE(WriteBytes(watched + "\\t.com", TestFileBytes()));
    EXPECT_TRUE(WaitUntil([&] { return !JournalLinesFrom(driver, "POST failed ").empty(); }, 20000));
    EXPECT_EQ((std::vector<std::string>{"POST failed error=1159: the queue stayed full for 5000 ms"}),
              JournalLinesFrom(driver, "POST failed "));
    // Counted and reported before, and the next file is scanned.
    EXPECT_EQ(1u, driver.block->filesInfected);
    EXPECT_TRUE(Contains(ReadLines(report), "Infected: " + watched + "\\t.com"));
    ASSERT_TRUE(WriteBytes(watched + "\\next.txt", "next"));
    EXPECT_TRUE(WaitUntil([&] { return !JournalLinesFrom(driver, "SCAN " + watched + "\\next.txt").empty(); }));
    EXPECT_EQ(1, SendCode(driver, CTL_LOG_STOP));
    DestroyWindow(collector);
}

TEST(VxdWatch, ChangesLostToAnOverflowAreFoundByLookingAgain)
{
    // A notification buffer too small for even one change overflows on every write.
    TestDriver driver;
    ASSERT_TRUE(LoadTestDriver("overflow", "Watch=watched\r\nJournal=journal.txt\r\nNotifyBuffer=16\r\n", &driver));
    const std::string watched = driver.folder + "\\watched";
    ASSERT_TRUE(CreateDirectoryA(watched.c_str(), nullptr));
    HWND collector = MakeCollector();
    detections.clear();
    ASSERT_EQ(1, ConnectTestDriver(&driver, collector));
    auto moveIn = [&](const std::string &name, const std::string &bytes) {
        return MoveInWhole(driver.folder, watched, name, bytes);
    };
    const int files = 20;
    for (int i = 0; i < files; i++)
        ASSERT_TRUE(moveIn("file" + std::to_string(i) + ".txt", "plain"));
    ASSERT_TRUE(moveIn("test.com", TestFileBytes()));
    // A file moved in keeps its old time: only the memory of what was scanned tells it is new.
    const std::string old = driver.folder + "\\old.txt";
    ASSERT_TRUE(WriteBytes(old, "written long ago"));
    HANDLE file = CreateFileA(old.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME longAgo = {0, 0x01C00000};   // 2000
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &longAgo));
    CloseHandle(file);
    ASSERT_TRUE(MoveFileA(old.c_str(), (watched + "\\old.txt").c_str()));
    EXPECT_TRUE(WaitUntil([&] { return driver.block->filesScanned >= files + 2; }, 10000))
        << driver.block->filesScanned << " of " << files + 2 << " files scanned";
    ASSERT_TRUE(PumpUntil([] { return !detections.empty(); }));
    // Its notice overflows too: by the time the file written last is scanned, the walks before it
    // have counted what they would.
    ASSERT_TRUE(moveIn("last.txt", "last"));
    EXPECT_TRUE(WaitUntil([&] { return !JournalLinesFrom(driver, "SCAN " + watched + "\\last.txt").empty(); }, 10000));
    PumpPending();
    EXPECT_FALSE(JournalLinesFrom(driver, "WATCH " + watched + " overflow").empty()) << "no overflow happened";
    EXPECT_EQ(static_cast<uint32_t>(files + 3), driver.block->filesScanned) << "a file was scanned twice";
    EXPECT_EQ(1u, detections.size());
    DestroyWindow(collector);
}

TEST(VxdWatch, AFileWhoseNoticeWasLostAmongOthersIsFoundByALookAtItsFolder)
{
    // Wine now and then loses one notice of many without reporting an overflow; here every other
    // name the watch brings is passed over, in the watched folder and in one below it.
    TestDriver driver;
    ASSERT_TRUE(LoadTestDriver("lost", "Watch=watched\r\nJournal=journal.txt\r\nDropNotices=2\r\n", &driver));
    const std::string watched = driver.folder + "\\watched";
    ASSERT_TRUE(CreateDirectoryA(watched.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((watched + "\\below").c_str(), nullptr));
    HWND collector = MakeCollector();
    detections.clear();
    ASSERT_EQ(1, ConnectTestDriver(&driver, collector));
    const std::vector<std::string> names = {"a.com", "b.txt", "c.com", "d.txt", "below\\e.com", "below\\f.com"};
    for (const std::string &name : names)
        ASSERT_TRUE(MoveInWhole(driver.folder, watched, name, name.back() == 'm' ? TestFileBytes() : "plain"));
    EXPECT_TRUE(WaitUntil([&] { return driver.block->filesScanned >= names.size(); }, 10000))
        << driver.block->filesScanned << " of " << names.size() << " files scanned";
    ASSERT_TRUE(PumpUntil([&] { return detections.size() >= 4; }));
    PumpPending();
    for (const std::string &name : names)
        EXPECT_EQ(1u, JournalLinesFrom(driver, "SCAN " + watched + "\\" + name).size()) << name;
    EXPECT_EQ(static_cast<uint32_t>(names.size()), driver.block->filesScanned) << "a file was scanned twice";
    EXPECT_EQ(4u, detections.size());
    DestroyWindow(collector);
}

// Files written into one folder over and over by several threads, until length writes in all.
struct Burst {
    std::string folder;
    volatile LONG length;
    volatile LONG writes;
};

static DWORD WINAPI WriteBurst(void *parameter)
{
    Burst *b = static_cast<Burst *>(parameter);
    for (LONG n; (n = InterlockedIncrement(&b->writes)) <= b->length;)
        WriteBytes(b->folder + "\\f" + std::to_string(n % 64) + ".txt", "plain");
    return 0;
}

TEST(VxdWatch, ABurstOfChangesInOneFolderKeepsNoOtherFolderWaiting)
{
    // One folder changes without pause, as while an archive is unpacked into it; a test file that
    // arrives in the other is found while the burst goes on, not once it is over.
    TestDriver driver;
    ASSERT_TRUE(LoadTestDriver("fair", "Watch=busy;quiet\r\nJournal=journal.txt\r\n", &driver));
    const std::string busy = driver.folder + "\\busy", quiet = driver.folder + "\\quiet";
    ASSERT_TRUE(CreateDirectoryA(busy.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(quiet.c_str(), nullptr));
    HWND collector = MakeCollector();
    detections.clear();
    ASSERT_EQ(1, ConnectTestDriver(&driver, collector));
    Burst burst = {busy, LONG_MAX, 0};
    constexpr LONG BEFORE = 500, AFTER = 300;   // writes before the test file, and after it
    HANDLE writers[6];   // more writes than the watch could take one folder's notices of
    for (HANDLE &thread : writers)
        ASSERT_NE(nullptr, thread = CreateThread(nullptr, 0, WriteBurst, &burst, 0, nullptr));
    ASSERT_TRUE(WaitUntil([&] { return burst.writes >= BEFORE; }, 10000));
    ASSERT_TRUE(WriteBytes(quiet + "\\arrived.com", TestFileBytes()));
    InterlockedExchange(&burst.length, burst.writes + AFTER);
    EXPECT_TRUE(PumpUntil([&] { return !detections.empty() || burst.writes > burst.length; }, 20000));
    EXPECT_EQ(1u, detections.size()) << "the test file waited until the burst was over";
    InterlockedExchange(&burst.length, 0);
    WaitForMultipleObjects(6, writers, TRUE, INFINITE);
    for (HANDLE thread : writers)
        CloseHandle(thread);
    DestroyWindow(collector);
}

TEST(VxdWatch, AFolderRenamedAwayIsWatchedAgainWhenItComesBack)
{
    TestDriver driver;
    ASSERT_TRUE(LoadTestDriver("comeback", "Watch=watched\r\nJournal=journal.txt\r\n", &driver));
    const std::string watched = driver.folder + "\\watched";
    ASSERT_TRUE(CreateDirectoryA(watched.c_str(), nullptr));
    ASSERT_EQ(1, ConnectTestDriver(&driver));
    auto journalled = [&](const std::string &line) { return !JournalLinesFrom(driver, line).empty(); };
    // The driver notes what the new watch holds just now; while it lists the folder, the folder
    // cannot be renamed, as on Windows, so the user tries again.
    ASSERT_TRUE(WaitUntil([&] { return MoveFileA(watched.c_str(), (driver.folder + "\\away").c_str()) != 0; }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return journalled("WATCH " + watched + " gone"); }, 10000));
    // Made again: what is written before the watch finds it, and after, is scanned.
    ASSERT_TRUE(CreateDirectoryA(watched.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(watched + "\\early.txt", "early"));
    EXPECT_TRUE(WaitUntil([&] { return journalled("WATCH " + watched + " watched again"); }, 10000));
    ASSERT_TRUE(WriteBytes(watched + "\\later.txt", "later"));
    EXPECT_TRUE(WaitUntil([&] { return journalled("SCAN " + watched + "\\early.txt") && journalled("SCAN " + watched + "\\later.txt"); }));
}

TEST(VxdWatch, EveryNameTheFileSystemHoldsIsScanned)
{
    TestDriver driver;
    ASSERT_TRUE(LoadTestDriver("names", "Watch=watched\r\nJournal=journal.txt\r\n", &driver));
    const std::wstring watched = Wide(driver.folder) + L"\\watched";
    ASSERT_TRUE(CreateDirectoryW(watched.c_str(), nullptr));
    ASSERT_EQ(1, ConnectTestDriver(&driver));   // it only reports, until told otherwise
    std::wstring deep = watched;   // a path of more than 1,229 characters
    for (int level = 0; level < 5; level++)
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + (deep += L"\\" + std::wstring(200, L'n'))).c_str(), nullptr));
    const std::wstring unix = UnixForm(watched);
    struct Case {
        std::wstring name;       // below watched
        bool byUnix;             // written as a Linux program would (under Wine only)
    } cases[] = {
        {L"w.com.", false}, {L"b.com ", false}, {L"nul.com", false}, {L"con.com", false},
        {deep.substr(watched.size() + 1) + L"\\" + std::wstring(240, L'x') + L".com", false},
        {L"a?b.com", true}, {L"c*d.com", true}, {L"i<j>k|l\".com", true}, {L"UP.com", true}, {L"up.com", true},
        {L"d?r\\t.com", true},   // in a folder of such a name
    };
    ASSERT_TRUE(unix.empty() || CreateDirectoryW((unix + L"\\d?r").c_str(), nullptr));
    std::vector<std::string> expected;
    for (const Case &c : cases) {
        if (c.byUnix && unix.empty())
            continue;
        // Each its own version (blanks after the test file keep it one), so that none repeats another.
        const std::string bytes = TestFileBytes() + std::string(expected.size(), ' ');
        ASSERT_TRUE(WriteWide((c.byUnix ? unix : L"\\\\?\\" + watched) + L"\\" + c.name, bytes)) << c.name.size();
        expected.push_back("DETECT " + InCodePage(CP_ACP, watched + L"\\" + c.name));
    }
    // Found in any order: the walk when the watch begins may meet a file before its notice comes.
    auto found = [&](const std::string &line) { return Contains(JournalLinesFrom(driver, "DETECT "), line); };
    auto allFound = [&] {
        for (const std::string &line : expected) {
            if (!found(line))
                return false;
        }
        return true;
    };
    EXPECT_TRUE(WaitUntil(allFound, 10000));
    for (const std::string &line : expected)
        EXPECT_TRUE(found(line)) << line.substr(0, 120);
    // Tried again only while this test still wrote the file (the writer shares nothing).
    for (const std::string &line : JournalLinesFrom(driver, "RETRY "))
        EXPECT_NE(std::string::npos, line.find(" error=32; ")) << "tried again: " << line;
    EXPECT_TRUE(JournalLinesFrom(driver, "SKIP ").empty()) << "passed over: " << JournalLinesFrom(driver, "SKIP ")[0];
}

TEST(VxdWatch, DeepTreesAreWatchedWhole)
{
    // Walks of one entry a step: the walk that begins with the watch goes on in many steps.
    TestDriver driver;
    ASSERT_TRUE(LoadTestDriver("deep", "Watch=watched\r\nJournal=journal.txt\r\nWalkStep=1\r\n", &driver));
    std::string deep = driver.folder + "\\watched";
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));
    for (int level = 1; level <= 38; level++) {
        ASSERT_TRUE(WriteBytes(deep + "\\beside.txt", "listed with the folder below"));
        ASSERT_TRUE(CreateDirectoryA((deep += "\\d" + std::to_string(level)).c_str(), nullptr));
    }
    ASSERT_EQ(1, ConnectTestDriver(&driver));
    // Once its first version was scanned, the folder was walked; the second comes only by a notice.
    const std::string file = deep + "\\deep.com";
    auto scans = [&] {
        size_t count = 0;
        for (const std::string &line : JournalLinesFrom(driver, "SCAN "))
            count += line == "SCAN " + file;
        return count;
    };
    for (size_t version = 1; version <= 2; version++) {
        ASSERT_TRUE(WriteBytes(file, "version " + std::to_string(version)));
        EXPECT_TRUE(WaitUntil([&] { return scans() >= version; }, 10000)) << "version " << version;
    }
}

TEST(VxdWatch, WithoutWatchKeyDriveCIsWatched)
{
    TestDriver driver;
    ASSERT_TRUE(LoadTestDriver("default", "Journal=journal.txt\r\n", &driver));
    ASSERT_EQ(1, ConnectTestDriver(&driver));
    // Deep below C:\ in a folder that existed before the watch began (what changed there just
    // before, the driver itself among it, may be scanned too).
    ASSERT_TRUE(WriteBytes(driver.folder + "\\seen.txt", "seen"));
    EXPECT_TRUE(WaitUntil([&] { return Contains(JournalLinesFrom(driver, "SCAN "), "SCAN " + driver.folder + "\\seen.txt"); }));
    // The rest of this run's files are none of this driver's business.
    EXPECT_EQ(1, SendCode(driver, CTL_DISABLE));
}
