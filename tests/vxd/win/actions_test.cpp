// The reference driver doing what the settings say: what it scans, what it does with an infected
// file and its counters, the report lines each logMask bit selects, and ZIP archives.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/vxd/test_driver.h"
#include "tests/zip_builder.h"

namespace {

// A driver watching folder\watched, connected to a collector window, its report in folder\report.txt.
struct WatchedDriver {
    TestDriver driver;
    std::string watched;
    std::string report;
    HWND collector = nullptr;
    StatusBlock *b = nullptr;
};

// Files named in existing are in the watched folder before the watch begins; more: the ini's
// further lines.
int StartWatchedDriver(const char *tag, WatchedDriver *w, const std::vector<std::string> &existing = {},
                       const std::string &more = "")
{
    if (!LoadTestDriver(tag, "Watch=watched\r\nJournal=journal.txt\r\n" + more, &w->driver))
        return 0;
    w->watched = w->driver.folder + "\\watched";
    w->report = w->driver.folder + "\\report.txt";
    w->collector = MakeCollector();
    detections.clear();
    if (!CreateDirectoryA(w->watched.c_str(), nullptr))
        return 0;
    for (const std::string &name : existing) {
        if (!WriteBytes(w->watched + "\\" + name, "there before"))
            return 0;
    }
    if (!ConnectTestDriver(&w->driver, w->collector))
        return 0;
    w->b = w->driver.block;
    std::strncpy(w->b->logFileName, w->report.c_str(), sizeof w->b->logFileName - 1);
    return 1;
}

void SetAction(WatchedDriver *w, uint32_t action, const std::string &moveDir = "", uint32_t onlyLog = 0)
{
    w->b->action = action;
    w->b->onlyLog = onlyLog;
    std::strncpy(w->b->moveDir, moveDir.c_str(), sizeof w->b->moveDir - 1);
    SendCode(w->driver, CTL_ACTION_OPTIONS_CHANGED);
}

// Writes a new marker file and waits until the driver scanned it: every file written before was
// handled by then.
bool Settle(WatchedDriver *w, const char *extension = "com")
{
    static int serial;
    std::string marker = w->watched + "\\marker" + std::to_string(++serial) + "." + extension;
    if (!WriteBytes(marker, "marker"))
        return false;
    return PumpUntil([&] { return Contains(JournalLinesFrom(w->driver, "SCAN "), "SCAN " + marker); });
}

// A file of size bytes: head at its start, tail at its end and a hole between them. 1 when written.
int WriteSparse(const std::string &path, const std::string &head, const std::string &tail, uint64_t size)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size - tail.size());
    int done = WriteFile(file, head.data(), static_cast<DWORD>(head.size()), &written, nullptr)
               && SetFilePointerEx(file, at, nullptr, FILE_BEGIN)
               && WriteFile(file, tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr);
    CloseHandle(file);
    return done;
}

}  // namespace

TEST(VxdActions, EachActionOnARealFileAndItsCounter)
{
    WatchedDriver w;
    ASSERT_TRUE(StartWatchedDriver("actions", &w));
    const std::string quarantine = w.driver.folder + "\\quarantine";
    ASSERT_TRUE(CreateDirectoryA(quarantine.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(w.watched + "\\taken.Vom", "in the way of the first rename"));
    ASSERT_TRUE(WriteBytes(quarantine + "\\clash.com", "in the way of the second move"));
    // Another volume: a move there copies, and is a move only once the original is gone.
    const std::string elsewhere = "Z:\\dev\\shm\\torvane-vxd-" + std::to_string(GetTickCount());
    ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), nullptr));
    w.b->logMask = 0xFF;
    ASSERT_EQ(1, SendCode(w.driver, CTL_LOG_START));

    struct Case {
        const char *name;
        uint32_t action;
        std::string moveDir;
        uint32_t onlyLog;
        std::string remains;     // the file afterwards, relative to the driver's folder unless full; "" none
        bool openable;           // whether others can open what remains
        const char *reportLine;
        const char *detail = "";   // what the report line goes on with
        bool readOnly = false;
    } cases[] = {
        {"deny.com", 1, "", 0, "watched\\deny.com", false, "Access denied: "},
        {"renamed.exe", 2, "", 0, "watched\\renamed.Vxe", true, "Renamed: "},
        {"taken.com", 2, "", 0, "watched\\taken_1.Vom", true, "Renamed: "},
        {"moved.com", 3, quarantine, 0, "quarantine\\moved.com", true, "Moved: "},
        {"clash.com", 3, quarantine + "\\", 0, "quarantine\\clash_1.com", true, "Moved: "},
        {"across.com", 3, elsewhere, 0, elsewhere + "\\across.com", true, "Moved: "},
        {"nul.com", 3, elsewhere, 0, elsewhere + "\\nul.com", true, "Moved: "},   // a file, not the device
        {"readonly.com", 3, elsewhere, 0, "watched\\readonly.com", false, "Not moved: ", " (copied to ", true},
        {"nofolder.com", 3, w.driver.folder + "\\gone", 0, "watched\\nofolder.com", false, "Not moved: "},
        {"deleted.com", 4, "", 0, "", false, "Deleted: "},
        {"disinfect.com", 5, "", 0, "watched\\disinfect.com", false, "Not disinfected: "},
        {"reported.com", 6, "", 0, "watched\\reported.com", true, "Infected: "},
        {"onlylog.com", 4, "", 1, "watched\\onlylog.com", true, "Only logged: "},
    };
    size_t expectedDetections = 0;
    const std::string exact = "\\\\?\\";   // names as they are: "nul.com" is no device
    for (const Case &c : cases) {
        SetAction(&w, c.action, c.moveDir, c.onlyLog);
        const std::string path = w.watched + "\\" + c.name;
        // A read-only file is made outside and moved in whole.
        const std::string made = c.readOnly ? w.driver.folder + "\\" + c.name : path;
        ASSERT_TRUE(WriteBytes(exact + made, TestFileBytes())) << c.name;
        if (c.readOnly) {
            ASSERT_TRUE(SetFileAttributesA(made.c_str(), FILE_ATTRIBUTE_READONLY));
            ASSERT_TRUE(MoveFileA(made.c_str(), path.c_str()));
        }
        ASSERT_TRUE(PumpUntil([&] { return detections.size() > expectedDetections; })) << "no detection of " << c.name;
        EXPECT_EQ(path, detections[expectedDetections++]) << "the alert names the file as it was found";
        if (!c.remains.empty()) {
            std::string remains = c.remains.find(':') != std::string::npos ? c.remains : w.driver.folder + "\\" + c.remains;
            EXPECT_TRUE(FileExists(exact + remains)) << c.name << ": " << remains << " is missing";
            EXPECT_EQ(c.openable, CanOpen(exact + remains)) << c.name;
            if (remains != path) {
                EXPECT_FALSE(FileExists(exact + path)) << c.name << " is still there";
            }
        } else {
            EXPECT_FALSE(FileExists(exact + path)) << c.name << " is still there";
        }
        EXPECT_TRUE(WaitUntil([&] { return Contains(ReadLines(w.report), c.reportLine + path + c.detail); }))
            << "no \"" << c.reportLine << path << c.detail << "\" in the report";
    }
    EXPECT_FALSE(FileExists(elsewhere + "\\readonly_1.com")) << "one copy, not one per try";
    for (const char *copy : {"across.com", "readonly.com", "nul.com"})
        DeleteFileA((exact + elsewhere + "\\" + copy).c_str());
    EXPECT_TRUE(RemoveDirectoryA(elsewhere.c_str())) << "more copies than the three";
    ASSERT_TRUE(Settle(&w));
    PumpPending();
    EXPECT_EQ(expectedDetections, detections.size()) << "a renamed or moved file was acted on again";
    const StatusBlock *b = w.b;
    EXPECT_EQ(expectedDetections, b->filesInfected);
    EXPECT_EQ(2u, b->renamedCount);
    EXPECT_EQ(4u, b->movedCount) << "a copy whose original stays is no move";
    EXPECT_EQ(1u, b->deletedCount);
    EXPECT_EQ(0u, b->disinfectedCount) << "the test file cannot be disinfected";
    EXPECT_EQ(0u, b->filesSuspicious);
    EXPECT_EQ(0u, b->bootScanned);
    // A name longer than the shared fields: found and named in full, lastFile cut within its bytes,
    // the report's line names the file and where it went in full.
    SetAction(&w, 3, quarantine);
    std::wstring longPath = Wide(w.watched);
    for (int level = 0; level < 3; level++) {
        longPath += L"\\" + std::wstring(200, static_cast<wchar_t>(L'n' + level));
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + longPath).c_str(), nullptr));
    }
    longPath += L"\\" + std::wstring(240, L'x') + L".com";
    ASSERT_TRUE(WriteWide(L"\\\\?\\" + longPath, TestFileBytes()));
    ASSERT_TRUE(PumpUntil([&] { return detections.size() > expectedDetections; })) << "no detection of the long name";
    EXPECT_EQ(InCodePage(CP_OEMCP, longPath), detections.back());
    EXPECT_LT(strnlen(b->lastFile, sizeof b->lastFile), static_cast<size_t>(LAST_FILE_TEXT_SIZE));
    const std::string movedLine = "Moved: " + InCodePage(CP_ACP, longPath) + " to " + quarantine + "\\" + std::string(240, 'x') + ".com";
    EXPECT_TRUE(WaitUntil([&] { return Contains(ReadLines(w.report), movedLine); })) << "the line of the move was cut";
    EXPECT_EQ(1, SendCode(w.driver, CTL_LOG_STOP));
    EXPECT_TRUE(Contains(ReadLines(w.report), "Summary: ")) << "logMask 0x80 asks for the summary";
    EXPECT_EQ(1, SendCode(w.driver, CTL_CLEAR_STATISTICS));
    EXPECT_EQ(0u, b->movedCount + b->renamedCount + b->deletedCount + b->filesInfected + b->filesScanned);
    DestroyWindow(w.collector);
}

TEST(VxdActions, WhatAnotherProgramHoldsIsReadAndActedOnOnceLetGo)
{
    WatchedDriver w;
    ASSERT_TRUE(StartWatchedDriver("held", &w));
    w.b->logMask = 0xFF;
    ASSERT_EQ(1, SendCode(w.driver, CTL_LOG_START));
    SetAction(&w, 2);
    enum LetGo { CLOSED, REPLACED, DELETED };
    struct Case {
        const char *name;
        DWORD share;             // the writer's, who holds the file a while
        const char *waitFor;     // the journal line, before the file's name, that says it is waiting
        LetGo letGo;             // closed; replaced by a clean file while the action waits; deleted on closing
        const char *remains;     // in watched afterwards; nullptr: nothing
        std::string line;        // then in the report, or in the journal when it starts with "SKIP "
    } cases[] = {
        {"locked.com", 0, "RETRY ", CLOSED, "locked.Vom", "Renamed: "},
        {"held.com", FILE_SHARE_READ, "ACTION ", CLOSED, "held.Vom", "Renamed: "},
        {"swapped.com", FILE_SHARE_READ | FILE_SHARE_DELETE, "ACTION ", REPLACED, "swapped.com", "Not renamed: "},
        {"gone.com", 0, "RETRY ", DELETED, nullptr, "SKIP "},
    };
    for (const Case &c : cases) {
        const std::string path = w.watched + "\\" + c.name;
        const int deleted = c.letGo == DELETED;
        HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE | (deleted ? DELETE : 0), c.share, nullptr, CREATE_ALWAYS,
                                    deleted ? FILE_FLAG_DELETE_ON_CLOSE : 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, writer) << c.name;
        const std::string test = TestFileBytes();
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(writer, test.data(), static_cast<DWORD>(test.size()), &written, nullptr));
        EXPECT_TRUE(PumpUntil([&] { return Contains(JournalLinesFrom(w.driver, c.waitFor), path); })) << c.name;
        if (c.letGo == REPLACED) {
            // The infected file goes away under its holder, and a clean one takes its name.
            const std::string clean = w.driver.folder + "\\clean.com";
            ASSERT_TRUE(WriteBytes(clean, "clean now"));
            ASSERT_TRUE(MoveFileA(path.c_str(), (w.driver.folder + "\\away.com").c_str()));
            ASSERT_TRUE(MoveFileA(clean.c_str(), path.c_str()));
        } else if (c.letGo == CLOSED) {
            // Held past the driver's next try, a second after its first (a step of the scenario,
            // not a wait: what follows waits for its own line however long it takes).
            Sleep(1500);
        }
        CloseHandle(writer);
        const std::string line = c.line + path;
        EXPECT_TRUE(PumpUntil([&] { return Contains(c.line == "SKIP " ? JournalLinesFrom(w.driver, c.line) : ReadLines(w.report), line); }, 15000))
            << c.name << ": no \"" << line << "\"";
        if (c.remains != nullptr) {
            EXPECT_TRUE(FileExists(w.watched + "\\" + c.remains)) << c.name;
        }
    }
    EXPECT_EQ("clean now", ReadBytes(w.watched + "\\swapped.com")) << "the clean file was touched";
    EXPECT_TRUE(Contains(ReadLines(w.report), "Not renamed: " + w.watched + "\\swapped.com (it changed after it was scanned)"));
    EXPECT_EQ((std::vector<std::string>{"SKIP " + w.watched + "\\gone.com gone"}), JournalLinesFrom(w.driver, "SKIP "));
    EXPECT_EQ(3u, w.b->filesInfected) << ::testing::PrintToString(JournalLinesFrom(w.driver, "DETECT "));
    EXPECT_EQ(2u, w.b->renamedCount);
    DestroyWindow(w.collector);
}

TEST(VxdActions, ScanTypeScanOnAndExclusionsChooseTheFiles)
{
    WatchedDriver w;
    ASSERT_TRUE(StartWatchedDriver("choose", &w, {"old.com"}));
    ASSERT_TRUE(CreateDirectoryA((w.watched + "\\TEMP").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((w.watched + "\\TEMPLATES").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((w.watched + "\\TEMP\\SUB").c_str(), nullptr));
    const char fullWidthTemp[] = "\xEF\xBC\xB4\xEF\xBC\xA5\xEF\xBC\xAD\xEF\xBC\xB0";   // in ANSI "TEMP", by best fit
    ASSERT_TRUE(CreateDirectoryW((Wide(w.watched) + L"\\" + Wide(fullWidthTemp, CP_UTF8)).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((Wide(w.watched) + L"\\\u00e9t\u00e9").c_str(), nullptr));
    ASSERT_TRUE(Settle(&w));
    StatusBlock *b = w.b;
    auto setScan = [&](uint32_t scanType, uint32_t scanOn, const char *inUse) {
        b->scanType = scanType;
        b->scanOn = scanOn;
        std::strncpy(FromAddress32<char>(b->inUse), inUse, IN_USE_SIZE - 1);
        SendCode(w.driver, CTL_SCAN_OPTIONS_CHANGED);
    };
    std::string exclusions = "[" + w.watched + "\\temp\\*.*][" + w.watched + "\\\xC9T\xC9]";
    std::strncpy(FromAddress32<char>(b->exclusions), exclusions.c_str(), EXCLUSIONS_SIZE - 1);
    ASSERT_EQ(1, SendCode(w.driver, CTL_EXCLUSIONS_CHANGED));

    struct Case {
        uint32_t scanType;
        uint32_t scanOn;
        const char *inUse;      // nullptr: the list in force changes in place, no code sent
        std::string file;       // UTF-8, written relative to watched; "old.com" is rewritten in place
        bool scanned;
    } cases[] = {
        {1, 3, "COM,EXE", "a.com", true},
        {1, 3, "COM,EXE", "a.txt", false},
        {1, 3, "COM,EXE", "dot.com. ", true},   // the name as Windows writes it, and its short name
        {1, 3, nullptr, "b.txt", true},         // now "COM,TXT"
        {3, 3, "COM", "letter.doc", true},
        {3, 3, "COM", "c.com", false},
        {2, 3, "COM", "notes", true},
        {2, 1, "COM", "copied.txt", true},      // a new name: what a copy makes
        {2, 1, "COM", "old.com", false},        // rewritten in place: neither open, copy nor run
        {2, 2, "COM", "old.com", true},
        {2, 3, "COM", "TEMP\\x.com", false},    // excluded, by the folder picker's "\*.*"
        {2, 3, "COM", "TEMP\\SUB\\y.com", true},   // no "+": the subfolder is not
        {2, 3, "COM", "TEMPLATES\\z.com", true},   // a folder that merely starts alike
        {2, 3, "COM", fullWidthTemp + std::string("\\look-alike.com"), true},   // excluded only by a lossy name
        {2, 3, "COM", "\xC3\xA9t\xC3\xA9\\x.com", false},   // the entry's ÉTÉ, without regard to case
    };
    int serial = 0;
    for (const Case &c : cases) {
        if (c.inUse == nullptr)
            std::strncpy(FromAddress32<char>(b->inUse), "COM,TXT", IN_USE_SIZE - 1);
        else
            setScan(c.scanType, c.scanOn, c.inUse);
        const std::wstring wide = Wide(w.watched) + L"\\" + Wide(c.file, CP_UTF8);
        const std::string path = InCodePage(CP_ACP, wide);   // as the journal names it
        auto scans = [&] {
            size_t count = 0;
            for (const std::string &line : JournalLinesFrom(w.driver, "SCAN "))
                count += line == "SCAN " + path;
            return count;
        };
        size_t before = scans();
        int exact = c.file.back() == '.' || c.file.back() == ' ';   // only the long form keeps them
        ASSERT_TRUE(WriteWide((exact ? L"\\\\?\\" : L"") + wide, "content " + std::to_string(++serial)));
        ASSERT_TRUE(Settle(&w, c.scanType == 3 ? "doc" : "com")) << c.file;
        EXPECT_EQ(c.scanned, scans() > before) << c.file;
    }
    EXPECT_TRUE(Contains(JournalLinesFrom(w.driver, "EXCLUSIONS "), "entries=2 ignored=0"));
    // Under "open, copy, run" a file is read once its writer is done with it, however long that takes.
    setScan(2, 1, "COM");
    const std::string filling = w.watched + "\\filling.com";
    HANDLE writer = CreateFileA(filling.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(writer, "filled", 6, &written, nullptr));
    ASSERT_TRUE(Settle(&w));
    EXPECT_FALSE(Contains(JournalLinesFrom(w.driver, "SCAN "), filling)) << "read while its writer was at it";
    CloseHandle(writer);
    EXPECT_TRUE(PumpUntil([&] { return Contains(JournalLinesFrom(w.driver, "SCAN "), filling); }, 10000));
    setScan(2, 3, "COM");
    // A folder moved in brings its files along, all the way down, though the watch names only the
    // folder.
    std::string deep = w.driver.folder + "\\outside";
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(deep + "\\inner.com", "inner"));
    for (int level = 0; level < 38; level++)
        ASSERT_TRUE(CreateDirectoryA((deep += "\\d").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(deep + "\\deepest.com", "deepest"));
    ASSERT_TRUE(MoveFileA((w.driver.folder + "\\outside").c_str(), (w.watched + "\\moved-in").c_str()));
    EXPECT_TRUE(PumpUntil([&] { return Contains(JournalLinesFrom(w.driver, "SCAN "), "moved-in\\inner.com"); }));
    EXPECT_TRUE(PumpUntil([&] { return Contains(JournalLinesFrom(w.driver, "SCAN "), "\\d\\deepest.com"); }));
    // The notice of a move can come while the mover still holds the folder: it is listed once let
    // go, however long that takes.
    const std::string held = w.driver.folder + "\\held";
    ASSERT_TRUE(CreateDirectoryA(held.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(held + "\\inner.com", "held"));
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    ASSERT_TRUE(MoveFileA(held.c_str(), (w.watched + "\\held-in").c_str()));
    EXPECT_TRUE(PumpUntil([&] { return Contains(JournalLinesFrom(w.driver, "RETRY "), "held-in held; listed again in 1 s"); }));
    CloseHandle(holder);
    EXPECT_TRUE(PumpUntil([&] { return Contains(JournalLinesFrom(w.driver, "SCAN "), "held-in\\inner.com"); }, 10000));
    DestroyWindow(w.collector);
}

TEST(VxdReport, EachMaskBitAndAppend)
{
    WatchedDriver w;
    ASSERT_TRUE(StartWatchedDriver("mask", &w));
    std::strncpy(w.b->userName, "TESTER", sizeof w.b->userName - 1);
    // What each kind of line starts with, and the bit that selects it.
    const std::pair<const char *, uint32_t> kinds[] = {{"Infected: ", 0x01}, {"Not disinfected: ", 0x02},
                                                       {"Deleted: ", 0x04}, {"Renamed: ", 0x08},
                                                       {"Settings: scan all files", 0x40}, {"Summary: ", 0x80}};
    int serial = 0;
    for (uint32_t mask : {0x00u, 0x01u, 0x02u, 0x04u, 0x08u, 0x40u, 0x80u, 0x31u}) {
        w.b->logMask = mask;
        w.b->append = 0;
        ASSERT_EQ(1, SendCode(w.driver, CTL_LOG_START));
        for (uint32_t action : {2u, 4u, 5u}) {
            SetAction(&w, action);
            size_t before = detections.size();
            ASSERT_TRUE(WriteBytes(w.watched + "\\m" + std::to_string(++serial) + ".com", TestFileBytes()));
            ASSERT_TRUE(PumpUntil([&] { return detections.size() > before; }));
        }
        ASSERT_TRUE(Settle(&w));
        ASSERT_EQ(1, SendCode(w.driver, CTL_LOG_STOP));
        std::vector<std::string> lines = ReadLines(w.report);
        for (const auto &kind : kinds)
            EXPECT_EQ((mask & kind.second) != 0, Contains(lines, kind.first)) << std::hex << mask << " " << kind.first;
        EXPECT_EQ(mask == 0, lines.empty()) << std::hex << mask;
        // User and date/time (0x10, 0x20) open each line: "YYYY-MM-DD hh:mm:ss  TESTER  Infected: ...".
        EXPECT_EQ(mask == 0x31, !lines.empty() && lines[0][4] == '-' && lines[0].find("  TESTER  Infected: ") == 19)
            << std::hex << mask << " " << (lines.empty() ? "" : lines[0]);
    }
    // Append keeps what was there; starting afresh does not.
    w.b->logMask = 0x40;
    for (uint32_t append : {0u, 1u, 1u}) {
        w.b->append = append;
        ASSERT_EQ(1, SendCode(w.driver, CTL_LOG_START));
        ASSERT_EQ(1, SendCode(w.driver, CTL_LOG_STOP));
    }
    int starts = 0;
    for (const std::string &line : ReadLines(w.report))
        starts += line.find("report started") != std::string::npos;
    EXPECT_EQ(3, starts) << "one start afresh, then two appended";
    w.b->append = 0;
    ASSERT_EQ(1, SendCode(w.driver, CTL_LOG_START));
    ASSERT_EQ(1, SendCode(w.driver, CTL_LOG_STOP));
    EXPECT_EQ(2u, ReadLines(w.report).size()) << "started afresh: one opening and one settings line";
    DestroyWindow(w.collector);
}

TEST(VxdArchive, DetectionsInsideZipFilesNameTheMember)
{
    WatchedDriver w;
    ASSERT_TRUE(StartWatchedDriver("archive", &w));
    StatusBlock *b = w.b;
    b->scanType = 1;   // members are chosen by the scan type like files
    std::strncpy(FromAddress32<char>(b->inUse), "COM,EXE", IN_USE_SIZE - 1);
    b->archives = 1;
    ASSERT_EQ(1, SendCode(w.driver, CTL_SCAN_OPTIONS_CHANGED));
    SetAction(&w, 2);
    w.b->logMask = 0x09;
    ASSERT_EQ(1, SendCode(w.driver, CTL_LOG_START));
    const std::string test = TestFileBytes();
    std::string inner = BuildZip({{"t.com", test, 8, 0}});
    // Two thousand entries on the one local header of a member that inflates beyond its limit: read
    // one by one, they would keep the scan busy for minutes.
    std::vector<ZipEntry> entries(2000, {"z.com", "", 0, 0});
    entries[0] = {"zeros.com", std::string(33 << 20, '\0'), 8, 0};
    std::vector<size_t> central;
    std::string overlapping = BuildZip(entries, &central);
    const std::string bombFields = overlapping.substr(central[0] + 8, 20);   // method, CRC, sizes
    for (size_t record : central) {
        overlapping.replace(record + 8, 20, bombFields);
        Patch32(&overlapping, record + 42, 0);
    }

    const std::string longName = "|" + std::string(300, 'd') + "/t.com";   // judged whole
    struct Case {
        const char *file;
        std::string zip;
        uint32_t archives;
        const char *found;       // after the archive's name; nullptr: nothing found
    } cases[] = {
        {"pack.zip", BuildZip({{"docs/readme.txt", test, 0, 0}, {"sub/t.com", test, 8, 0}}), 1, "|sub/t.com"},
        {"outer.zip", BuildZip({{"notes.txt", "plain", 8, 0}, {"inner.zip", inner, 8, 0}}), 1, "|inner.zip|t.com"},
        {"off.zip", BuildZip({{"t.com", test, 8, 0}}), 0, nullptr},
        {"text.zip", BuildZip({{"t.txt", test, 8, 0}}), 1, nullptr},   // not a program file
        {"bomb.zip", BuildZip({{"zeros.com", std::string(33 << 20, '\0'), 8, 0}, {"t.exe", test, 0, 0}}), 1, "|t.exe"},
        {"cut.zip", BuildZip({{"t.com", test, 8, 0}}).substr(0, 60), 1, nullptr},
        {"overlap.zip", overlapping, 1, nullptr},
        // A self-extracting archive: a program in front, chosen by the scan type as a program.
        {"setup.exe", "MZ" + std::string(3000, 'p') + BuildZip({{"a.txt", "a", 8, 0}, {"t.com. ", test, 8, 0}}), 1,
         "|t.com. "},
        {"long.zip", BuildZip({{longName.substr(1), test, 8, 0}}), 1, longName.c_str()},
    };
    size_t expected = 0;
    for (const Case &c : cases) {
        b->archives = c.archives;
        ASSERT_EQ(1, SendCode(w.driver, CTL_SCAN_OPTIONS_CHANGED));
        // Made outside and moved in whole: written in place, it may be read while still empty, a
        // clean file of its own.
        const std::string path = w.watched + "\\" + c.file;
        const std::string made = w.driver.folder + "\\" + c.file;
        ASSERT_TRUE(WriteBytes(made, c.zip)) << c.file;
        ASSERT_TRUE(MoveFileA(made.c_str(), path.c_str())) << c.file;
        ASSERT_TRUE(Settle(&w)) << c.file;
        if (c.found != nullptr)
            PumpUntil([&] { return detections.size() > expected; });
        PumpPending();
        if (c.found == nullptr) {
            EXPECT_EQ(expected, detections.size()) << c.file << " gave a detection";
            continue;
        }
        ASSERT_EQ(++expected, detections.size()) << c.file;
        EXPECT_EQ(path + c.found, detections.back());
        std::string renamed = path.substr(0, path.size() - 3) + "V" + path.substr(path.size() - 2);
        EXPECT_TRUE(FileExists(renamed)) << "the archive is what the action takes";
        EXPECT_TRUE(WaitUntil([&] { return Contains(ReadLines(w.report), "Infected: " + path + c.found + " (anti-virus test file)"); }));
        EXPECT_TRUE(Contains(ReadLines(w.report), "Renamed: " + path + c.found + " to " + renamed));
    }
    // Archives over 64 MB are not opened, though they hold the test file: one that begins as an
    // archive, and one found by its end record. Made outside too, with a hole in the middle.
    const std::string tested = BuildZip({{"t.com", test, 8, 0}});
    for (const std::pair<const char *, std::string> &large : {std::make_pair("huge.zip", tested),
                                                              std::make_pair("huge.exe", "MZ" + std::string(3000, 'p'))}) {
        const std::string path = w.watched + "\\" + large.first;
        const std::string made = w.driver.folder + "\\" + large.first;
        ASSERT_TRUE(WriteSparse(made, large.second, tested, (64u << 20) + 1)) << large.first;
        ASSERT_TRUE(MoveFileA(made.c_str(), path.c_str()));
        ASSERT_TRUE(Settle(&w)) << large.first;
        PumpPending();
        EXPECT_EQ(expected, detections.size()) << large.first << " was opened";
        EXPECT_TRUE(Contains(JournalLinesFrom(w.driver, "ARCHIVE "), path + " skipped: larger than 67108864 bytes"));
        EXPECT_FALSE(Contains(JournalLinesFrom(w.driver, "SCAN "), path)) << "an archive not read is no clean file";
    }
    EXPECT_TRUE(Contains(JournalLinesFrom(w.driver, "ARCHIVE "), "cut.zip skipped: no central directory"));
    EXPECT_FALSE(Contains(JournalLinesFrom(w.driver, "SCAN "), "cut.zip")) << "an archive not read is no clean file";
    EXPECT_TRUE(Contains(JournalLinesFrom(w.driver, "ARCHIVE "), "overlap.zip skipped: entries share their data"));
    EXPECT_EQ(1, SendCode(w.driver, CTL_LOG_STOP));
    DestroyWindow(w.collector);
}

// A version found infected is caught every time it appears again, however it comes back; what is
// found is counted once per appearance, not once per notice; a held file is held by identity, not
// by name; and neither the journal nor the report can be written by another program meanwhile.
TEST(VxdActions, OnceInfectedAlwaysCaught)
{
    WatchedDriver w;
    ASSERT_TRUE(StartWatchedDriver("always", &w));
    w.b->logMask = 0x01;
    ASSERT_EQ(1, SendCode(w.driver, CTL_LOG_START));
    const std::string quarantine = w.driver.folder + "\\quarantine";
    const std::string away = w.driver.folder + "\\away";
    ASSERT_TRUE(CreateDirectoryA(quarantine.c_str(), nullptr));
    const std::string testFile = TestFileBytes();
    std::string sameSize(testFile.size(), 'c');
    auto path = [&](const std::string &name) { return w.watched + "\\" + name; };
    auto moveBack = [&](const std::string &from, const std::string &to) { return MoveFileA(from.c_str(), path(to).c_str()) != 0; };
    struct Case {
        const char *what;
        uint32_t action;
        const char *name;
        std::function<bool()> again;     // brings the same version back
    } cases[] = {
        {"deleted, then saved again", 4, "again.com", [&] { return WriteBytes(path("again.com"), testFile) != 0; }},
        {"renamed, then renamed back", 2, "back.com", [&] { return moveBack(path("back.Vom"), "back.com"); }},
        {"moved, then moved back out of the quarantine", 3, "out.com", [&] { return moveBack(quarantine + "\\out.com", "out.com"); }},
        {"copied under another name", 6, "copy.com", [&] { return CopyFileA(path("copy.com").c_str(), path("copy2.exe").c_str(), TRUE) != 0; }},
        {"its folder moved away, a clean file in it swapped with its size and time kept, and moved back", 6,
         "box\\swap.com", [&] {
             std::string inside = away + "\\swap.com";
             WIN32_FILE_ATTRIBUTE_DATA clean;
             HANDLE file = INVALID_HANDLE_VALUE;
             bool done = MoveFileA(path("box").c_str(), away.c_str())
                         && GetFileAttributesExA(inside.c_str(), GetFileExInfoStandard, &clean) && WriteBytes(inside, testFile)
                         && (file = CreateFileA(inside.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr)) != INVALID_HANDLE_VALUE
                         && SetFileTime(file, nullptr, nullptr, &clean.ftLastWriteTime);
             CloseHandle(file);
             return done && Settle(&w) && MoveFileA(away.c_str(), path("box").c_str());   // its notices, if any, pass first
         }},
        {"held, its folder renamed away and made again with a new file of its name", 1, "held\\h.com",
         [&] { return MoveFileA(path("held").c_str(), away.c_str()) && CreateDirectoryA(path("held").c_str(), nullptr)
                      && WriteBytes(path("held\\h.com"), testFile); }},
    };
    size_t found = 0;
    for (const Case &c : cases) {
        SetAction(&w, c.action, quarantine);
        std::string first = path(c.name);
        if (first.find("box\\") != std::string::npos) {
            // Clean, written long ago and judged so: its time alone vouches for it.
            const std::string made = w.driver.folder + "\\swap.com";
            FILETIME old = {0, 0x01C00000};
            HANDLE file = INVALID_HANDLE_VALUE;
            ASSERT_TRUE(CreateDirectoryA(path("box").c_str(), nullptr));
            ASSERT_TRUE(WriteBytes(made, sameSize));
            ASSERT_NE(INVALID_HANDLE_VALUE, file = CreateFileA(made.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &old));
            CloseHandle(file);
            ASSERT_TRUE(MoveFileA(made.c_str(), first.c_str()));
            ASSERT_TRUE(Settle(&w));
        } else {
            if (first.find("held\\") != std::string::npos) {
                ASSERT_TRUE(CreateDirectoryA(path("held").c_str(), nullptr));
            }
            ASSERT_TRUE(WriteBytes(first, testFile)) << c.what;
            ASSERT_TRUE(PumpUntil([&] { return detections.size() > found; })) << c.what;
            found = detections.size();
            ASSERT_TRUE(Settle(&w));
            EXPECT_EQ(found, detections.size()) << c.what << ": its further notices are one appearance";
        }
        ASSERT_TRUE(c.again()) << c.what;
        EXPECT_TRUE(PumpUntil([&] { return detections.size() > found; })) << c.what << ": not caught again";
        found = detections.size();
        RemoveDirectoryA(away.c_str());
    }
    EXPECT_FALSE(CanOpen(path("held\\h.com"))) << "the new file is held too";
    // Others read the journal and the report, but cannot write them.
    for (const std::string &file : {w.driver.folder + "\\journal.txt", w.report}) {
        EXPECT_TRUE(CanOpen(file)) << file;
        HANDLE writer = CreateFileA(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(INVALID_HANDLE_VALUE, writer) << file << " can be written by another program";
        CloseHandle(writer);
    }
    EXPECT_EQ(1, SendCode(w.driver, CTL_LOG_STOP));
    DestroyWindow(w.collector);
}

// Reads put off wait in a bounded table; one that finds no room has its watched folder walked again
// later, and is read then: no room delays a file, never gives it up. Files held to deny access are
// bounded too: one more is not held, and the report says so.
TEST(VxdActions, NoFileFallsOutOfAFullTable)
{
    WatchedDriver w;
    ASSERT_TRUE(StartWatchedDriver("full", &w, {}, "PutOffRoom=1\r\nHeldRoom=1\r\n"));
    w.b->logMask = 0x01;
    ASSERT_EQ(1, SendCode(w.driver, CTL_LOG_START));
    SetAction(&w, 4);
    std::vector<HANDLE> writers;
    for (const char *name : {"first.com", "second.com"}) {
        const std::string path = w.watched + "\\" + name;
        HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, writer) << name;
        const std::string test = TestFileBytes();
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(writer, test.data(), static_cast<DWORD>(test.size()), &written, nullptr));
        EXPECT_TRUE(PumpUntil([&] { return Contains(JournalLinesFrom(w.driver, "RETRY "), path); })) << name;
        writers.push_back(writer);
    }
    EXPECT_TRUE(Contains(JournalLinesFrom(w.driver, "RETRY "), "no room to wait alone"));
    for (HANDLE writer : writers)
        CloseHandle(writer);
    EXPECT_TRUE(PumpUntil([&] { return detections.size() == 2; }, 15000)) << detections.size() << " of 2 caught";
    EXPECT_EQ(2u, w.b->deletedCount);

    SetAction(&w, 1);
    const std::string denied = w.watched + "\\denied.com";
    const std::string notDenied = w.watched + "\\not-denied.com";
    struct Held {
        std::string path;
        std::string line;        // in the report
        bool openable;
    } rows[] = {
        {denied, "Access denied: " + denied, false},
        {notDenied, "Access not denied: " + notDenied + " (error 4)", true},   // beyond the table's room
    };
    for (const Held &row : rows) {
        ASSERT_TRUE(WriteBytes(row.path, TestFileBytes()));
        EXPECT_TRUE(PumpUntil([&] { return Contains(ReadLines(w.report), row.line); })) << "no \"" << row.line << "\"";
        EXPECT_EQ(row.openable, CanOpen(row.path)) << row.path;
    }
    EXPECT_TRUE(Contains(JournalLinesFrom(w.driver, "ACTION "), "ACTION " + notDenied + " not denied error=4"));
    EXPECT_EQ(1, SendCode(w.driver, CTL_LOG_STOP));
    DestroyWindow(w.collector);
}
