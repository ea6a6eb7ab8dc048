// The reference driver with Engine=clamd against a stand-in daemon in this process: verdicts and
// signature names taken over, and a daemon that answers nonsense, answers late or is gone leaves
// the built-in rule scanning, with one journal line per outage; while the daemon holds the scan
// thread, the control codes return and the names wait in a queue that, full, is made up by a walk.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/vxd/test_driver.h"
#include "tests/zip_builder.h"

namespace {

// What the stand-in daemon does with the next stream, in sessions (IDSESSION) as the daemon keeps
// them: each answer numbered after its command. LIMIT: answers after the stream's first bytes and
// closes, as the daemon does with a stream beyond its size limit; an answer without its NUL is the
// last one of its session too; SILENT: never answers, until the driver hangs up; GONE: closes
// without answering, the daemon shutting down; MARKED: finds a stream that holds MARK as it stands,
// and answers OK to any other; HELD: answers OK once daemonLetGo is set.
enum DaemonMode { ANSWER, SILENT, LIMIT, GONE, MARKED, HELD };
const char MARK[] = "marked by the stand-in daemon";
volatile LONG daemonMode = ANSWER;
std::string daemonReply;           // sent in ANSWER mode; set before files are written
volatile LONG streamsSeen;         // since the daemon started
SOCKET listener = INVALID_SOCKET;
HANDLE daemonLetGo;                // manual reset: set, HELD answers

// Takes count bytes into out from what came (got) and, while it is short, from s.
int Take(SOCKET s, std::string *got, size_t count, std::string *out)
{
    char buffer[4096];
    while (got->size() < count) {
        int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0)
            return 0;
        got->append(buffer, static_cast<size_t>(n));
    }
    *out = got->substr(0, count);
    got->erase(0, count);
    return 1;
}

// Reads one INSTREAM command and its chunks up to the empty one (their bytes into *stream); in
// LIMIT mode only the first chunk's header. 1 when the stream was what it should be.
int ReadStream(SOCKET s, std::string *got, std::string *stream)
{
    stream->clear();
    std::string part;
    if (!Take(s, got, 10, &part) || part != std::string("zINSTREAM", 10))
        return 0;
    for (;;) {
        if (!Take(s, got, 4, &part))
            return 0;
        size_t length = (static_cast<size_t>(static_cast<unsigned char>(part[0])) << 24)
                        | (static_cast<size_t>(static_cast<unsigned char>(part[1])) << 16)
                        | (static_cast<size_t>(static_cast<unsigned char>(part[2])) << 8)
                        | static_cast<unsigned char>(part[3]);
        if (length == 0 || daemonMode == LIMIT)
            return 1;
        if (!Take(s, got, length, &part))
            return 0;
        stream->append(part);
    }
}

// One session: a silent one must not hold up the next.
DWORD WINAPI ConnectionProc(void *parameter)
{
    SOCKET s = static_cast<SOCKET>(reinterpret_cast<uintptr_t>(parameter));
    std::string got, part, stream;
    int open = Take(s, &got, 11, &part) && part == std::string("zIDSESSION", 11);
    for (int id = 1; open && ReadStream(s, &got, &stream); id++) {
        LONG mode = daemonMode;
        if (mode == GONE)
            break;
        InterlockedIncrement(&streamsSeen);
        if (mode == SILENT) {
            char byte;
            while (recv(s, &byte, 1, 0) > 0) {
            }
            break;
        }
        if (mode == HELD)
            WaitForSingleObject(daemonLetGo, INFINITE);
        std::string reply = std::to_string(id) + ": " + (mode == HELD ? std::string("stream: OK\0", 11) : daemonReply);
        if (mode == MARKED)
            reply = std::to_string(id) + (stream.find(MARK) != std::string::npos ? ": stream: Fake.Mark FOUND" : ": stream: OK") + '\0';
        send(s, reply.data(), static_cast<int>(reply.size()), 0);
        open = (mode == ANSWER || mode == MARKED || mode == HELD) && reply.back() == '\0';
    }
    closesocket(s);
    return 0;
}

DWORD WINAPI DaemonProc(void *)
{
    for (;;) {
        SOCKET s = accept(listener, nullptr, nullptr);
        if (s == INVALID_SOCKET)
            return 0;
        CloseHandle(CreateThread(nullptr, 0, ConnectionProc, reinterpret_cast<void *>(static_cast<uintptr_t>(s)), 0, nullptr));
    }
}

// Listens on a free loopback port; its number, or 0.
int StartDaemon(void)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || listen(listener, 8) != 0
        || getsockname(listener, reinterpret_cast<sockaddr *>(&address), &size) != 0)
        return 0;
    streamsSeen = 0;
    CloseHandle(CreateThread(nullptr, 0, DaemonProc, nullptr, 0, nullptr));
    return ntohs(address.sin_port);
}

// A stand-in daemon, and a copy of the driver that sends it what arrives in its folder "watched"
// (more: the ini's further lines), connected to a fresh collector. The daemon's port, or 0.
int StartEngineDriver(const char *tag, const std::string &more, TestDriver *driver, std::string *watched,
                      HWND *collector)
{
    int port = StartDaemon();
    if (port == 0 || !LoadTestDriver(tag, "Watch=watched\r\nJournal=journal.txt\r\nEngine=clamd\r\nClamdPort=" +
                                              std::to_string(port) + "\r\n" + more, driver))
        return 0;
    *watched = driver->folder + "\\watched";
    if (!CreateDirectoryA(watched->c_str(), nullptr))
        return 0;
    *collector = MakeCollector();
    detections.clear();
    return ConnectTestDriver(driver, *collector) ? port : 0;
}

struct GuardedCall {
    std::function<int()> call;
    volatile LONG result;
};

DWORD WINAPI GuardedCallProc(void *parameter)
{
    GuardedCall *c = static_cast<GuardedCall *>(parameter);
    InterlockedExchange(&c->result, c->call());
    return 0;
}

// Calls call on a thread of its own: its result, or -1 when it has not returned within 30 s (a
// guard against a hang, never a measure).
int CallGuarded(std::function<int()> call)
{
    GuardedCall *c = new GuardedCall{std::move(call), -1};   // left to a call that does not return
    HANDLE thread = CreateThread(nullptr, 0, GuardedCallProc, c, 0, nullptr);
    if (thread == nullptr || WaitForSingleObject(thread, 30000) != WAIT_OBJECT_0)
        return -1;
    CloseHandle(thread);
    int result = c->result;
    delete c;
    return result;
}

}  // namespace

TEST(VxdEngine, VerdictsFromTheDaemonAndTheBuiltInRuleThroughItsOutages)
{
    TestDriver driver;
    std::string watched;
    HWND collector = nullptr;
    int port = StartEngineDriver("engine", "ClamdTimeout=300\r\nClamdRetry=0\r\n", &driver, &watched, &collector);
    ASSERT_NE(0, port);
    const std::string report = driver.folder + "\\report.txt";
    std::strncpy(driver.block->logFileName, report.c_str(), sizeof driver.block->logFileName - 1);
    driver.block->logMask = 0x01;
    ASSERT_EQ(1, SendCode(driver, CTL_LOG_START));

    struct Case {
        const char *what;
        LONG mode;
        std::string reply;
        bool daemonGone;
        const char *file;        // a harmless file, then "t-<file>" holding the test file
        const char *threat;      // the daemon's name for the harmless file; nullptr: not found
        size_t outages;          // "unavailable" lines so far
        size_t size = 0;         // more bytes of the harmless file
        std::vector<const char *> madeUp = {};   // checked by the rule alone meanwhile, sent now
    } cases[] = {
        {"a signature", ANSWER, std::string("stream: Fake.Sig.UNOFFICIAL FOUND\0", 34), false, "sig.com",
         "Fake.Sig.UNOFFICIAL", 0},
        {"clean", ANSWER, std::string("stream: OK\0", 11), false, "clean.com", nullptr, 0},
        {"the daemon's own size limit", ANSWER, "INSTREAM size limit exceeded. ERROR", false, "big.com", nullptr, 0},
        {"the size limit, answered before the stream ends", LIMIT,
         std::string("INSTREAM size limit exceeded. ERROR\0", 36), false, "huge.com", nullptr, 0, 16 << 20},
        {"nonsense", ANSWER, "HTTP/1.0 200 OK\r\n\r\n", false, "nonsense.com", nullptr, 1},
        {"silence in the same outage", SILENT, "", false, "silent.com", nullptr, 1},
        {"answers again", ANSWER, std::string("stream: Fake.Sig.UNOFFICIAL FOUND\0", 34), false, "again.com",
         "Fake.Sig.UNOFFICIAL", 1, 0, {"nonsense.com", "silent.com"}},
        {"gone", GONE, "", true, "gone.com", nullptr, 2},
    };
    for (const Case &c : cases) {
        daemonReply = c.reply;
        InterlockedExchange(&daemonMode, c.mode);
        if (c.daemonGone)
            closesocket(listener);
        const std::string path = watched + "\\" + c.file;
        const std::string testPath = watched + "\\t-" + c.file;
        // Made outside and moved in whole: one version to send. Written in place, it may be read
        // while still empty, and then again once written, as any file that changes.
        const std::string made = driver.folder + "\\" + c.file;
        std::string harmless = std::string("harmless ") + c.file + std::string(c.size, 'h');
        ASSERT_TRUE(WriteBytes(made, harmless)) << c.what;
        ASSERT_TRUE(MoveFileA(made.c_str(), path.c_str())) << c.what;
        ASSERT_TRUE(WriteBytes(testPath, TestFileBytes())) << c.what;
        // The built-in rule catches the test file whatever the daemon does.
        ASSERT_TRUE(PumpUntil([&] { return Contains(detections, testPath); })) << c.what;
        EXPECT_EQ(c.threat != nullptr, Contains(detections, path)) << c.what;
        if (c.threat != nullptr) {
            EXPECT_TRUE(Contains(ReadLines(report), "Infected: " + path + " (" + c.threat + ")")) << c.what;
        }
        EXPECT_EQ(c.outages, JournalLinesFrom(driver, "ENGINE clamd unavailable").size()) << c.what;
        // What only the rule looked at while no daemon answered goes to the daemon once it does
        // (and this stand-in finds a signature in anything now).
        for (const char *file : c.madeUp)
            EXPECT_TRUE(PumpUntil([&] { return Contains(detections, watched + "\\" + file); })) << c.what << file;
        if (!c.madeUp.empty()) {
            EXPECT_TRUE(PumpUntil([&] { return !JournalLinesFrom(driver, "ENGINE clamd made up " + std::to_string(c.madeUp.size()) + " files").empty(); }))
                << c.what;
        }
    }
    const std::string daemon = "ENGINE clamd 127.0.0.1:" + std::to_string(port);
    EXPECT_EQ(2u, JournalLinesFrom(driver, daemon + " fault").size()) << "one line per outage of the daemon";
    EXPECT_EQ(1u, JournalLinesFrom(driver, daemon + " answers again").size());
    EXPECT_EQ(2u, JournalLinesFrom(driver, "ENGINE clamd could not scan").size());
    EXPECT_EQ(9, streamsSeen) << "every harmless file went to the daemon while it listened, two of them again";
    EXPECT_EQ(1, SendCode(driver, CTL_LOG_STOP));
    DestroyWindow(collector);
}

// Archives with Engine=clamd: the archive goes to the daemon whole and each member by itself, and
// what the daemon finds is named by the archive or by the member, and acted on through the archive.
TEST(VxdEngine, ArchivesGoToTheDaemonWholeAndMemberByMember)
{
    TestDriver driver;
    std::string watched;
    HWND collector = nullptr;
    ASSERT_NE(0, StartEngineDriver("engine_zip", "ClamdTimeout=2000\r\n", &driver, &watched, &collector));
    driver.block->scanType = 2;   // every file, and every member
    driver.block->archives = 1;
    ASSERT_EQ(1, SendCode(driver, CTL_SCAN_OPTIONS_CHANGED));
    driver.block->action = 2;     // rename: the action must find the very archive scanned
    ASSERT_EQ(1, SendCode(driver, CTL_ACTION_OPTIONS_CHANGED));
    InterlockedExchange(&daemonMode, MARKED);

    const std::string text(3000, 't');
    struct Case {
        const char *file;
        std::string zip;
        const char *found;   // after the archive's name; "" for the archive itself
    } cases[] = {
        // Deflated, the mark is in no stream but the member's own.
        {"member.zip", BuildZip({{"a.txt", text, 8, 0}, {"b/m.dat", text + MARK, 8, 0}, {"c.txt", text, 8, 0}}),
         "|b/m.dat"},
        {"inner.zip", BuildZip({{"in.zip", BuildZip({{"x.dat", text + MARK, 8, 0}}), 8, 0}}), "|in.zip|x.dat"},
        // Stored, the mark is in the archive's own stream, which comes first.
        {"whole.zip", BuildZip({{"a.txt", text, 8, 0}, {"s.dat", text + MARK, 0, 0}}), ""},
        {"clean.zip", BuildZip({{"a.txt", text, 8, 0}, {"b.txt", text, 8, 0}}), nullptr},
    };
    for (const Case &c : cases) {
        const std::string path = watched + "\\" + c.file;
        const std::string made = driver.folder + "\\" + c.file;   // moved in whole, as above
        ASSERT_TRUE(WriteBytes(made, c.zip)) << c.file;
        ASSERT_TRUE(MoveFileA(made.c_str(), path.c_str())) << c.file;
        if (c.found == nullptr)
            continue;
        ASSERT_TRUE(PumpUntil([&] { return Contains(detections, path + c.found); })) << c.file;
        EXPECT_TRUE(WaitUntil([&] { return FileExists(path.substr(0, path.size() - 3) + "Vip"); }))
            << c.file << ": the archive itself is renamed";
    }
    const std::string clean = watched + "\\clean.zip";
    EXPECT_TRUE(WaitUntil([&] { return Contains(JournalLinesFrom(driver, "SCAN "), clean); }));
    EXPECT_EQ(3u, detections.size()) << "one detection per marked archive, none for the clean one";
    DestroyWindow(collector);
}

// The control codes only copy settings under a short lock: none waits for the scan thread, which
// waits here for a verdict the daemon holds back. Meanwhile the names that come wait in the queue;
// those that find it full are not given up, as their watched folder is walked once the scan thread
// goes on.
TEST(VxdEngine, WhileTheDaemonHoldsTheScanThreadCodesReturnAndAFullQueueIsMadeUp)
{
    TestDriver driver;
    std::string watched;
    HWND collector = nullptr;
    daemonLetGo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    InterlockedExchange(&daemonMode, HELD);
    // Held for as long as the test takes: the driver would take the file back after ClamdTimeout.
    ASSERT_NE(0, StartEngineDriver("held", "ClamdTimeout=600000\r\nQueueRoom=4\r\n", &driver, &watched, &collector));
    const std::string held = watched + "\\held.txt";
    ASSERT_TRUE(WriteBytes(driver.folder + "\\held.txt", "held by the daemon"));
    ASSERT_TRUE(MoveFileA((driver.folder + "\\held.txt").c_str(), held.c_str()));
    ASSERT_TRUE(WaitUntil([] { return streamsSeen > 0; })) << "the daemon got no file";
    auto scanned = [&](const std::string &path) { return Contains(JournalLinesFrom(driver, "SCAN "), "SCAN " + path); };

    const std::string report = driver.folder + "\\report.txt";
    std::strncpy(driver.block->logFileName, report.c_str(), sizeof driver.block->logFileName - 1);
    uint32_t language = 1;
    uint32_t table = 0;
    struct Code {
        uint32_t code;
        void *in = nullptr;
        DWORD inSize = 0;
        void *out = nullptr;
        DWORD outSize = 0;
    } codes[] = {
        {CTL_DISABLE}, {CTL_TOGGLE}, {CTL_ENABLE}, {CTL_SCAN_OPTIONS_CHANGED}, {CTL_ACTION_OPTIONS_CHANGED},
        {CTL_EXCLUSIONS_CHANGED}, {CTL_CLEAR_STATISTICS}, {CTL_LOG_START}, {CTL_LOG_STOP},
        {CTL_SELECT_LANGUAGE, &language, sizeof language, &table, sizeof table},
    };
    for (const Code &c : codes) {
        ASSERT_EQ(1, CallGuarded([&] { return SendCode(driver, c.code, c.in, c.inSize, c.out, c.outSize); }))
            << std::hex << c.code;
    }
    ASSERT_EQ(1, CallGuarded([&] { return ConnectTestDriver(&driver, collector); })) << "a second connect";
    EXPECT_FALSE(scanned(held)) << "the codes returned only once the scan thread had gone on";

    // Ten more names than the queue's four: the first drop is journalled, and the folder rescanned.
    std::vector<std::string> files;
    for (int i = 0; i < 14; i++) {
        files.push_back(watched + "\\q" + std::to_string(i) + ".txt");
        ASSERT_TRUE(WriteBytes(files.back(), "waiting " + std::to_string(i)));
    }
    EXPECT_TRUE(WaitUntil([&] { return !JournalLinesFrom(driver, "QUEUE full: " + watched + " is rescanned").empty(); }))
        << "the queue of four did not fill";
    EXPECT_FALSE(scanned(held));
    SetEvent(daemonLetGo);
    auto allScanned = [&] {
        for (const std::string &file : files) {
            if (!scanned(file))
                return false;
        }
        return true;
    };
    EXPECT_TRUE(WaitUntil(allScanned, 15000));
    for (const std::string &file : files)
        EXPECT_TRUE(scanned(file)) << file << " fell out of the full queue";
    EXPECT_TRUE(scanned(held));
    DestroyWindow(collector);
}
