// The reference driver loaded from a private copy and called as the front end calls it: connect,
// refusal, languages, the codes without buffers, the report file and the journal.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/vxd/test_driver.h"

namespace {

const std::string quietIni = "Watch=none\r\nJournal=journal.txt\r\n";

// The field "key=value" of a journal line; value ends at the next blank.
std::string Field(const std::string &line, const std::string &key)
{
    size_t at = line.find(" " + key + "=");
    if (at == std::string::npos)
        return "";
    size_t begin = at + key.size() + 2;
    size_t end = line.find(' ', begin);
    return line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

}  // namespace

TEST(VxdConnect, FillsAllFiveWordsAndTheRecord)
{
    TestDriver driver;
    ASSERT_TRUE(LoadTestDriver("connect", quietIni, &driver));
    EXPECT_EQ(0, SendCode(driver, CTL_ENABLE)) << "a code before the connect has no record to act on";

    std::memset(&driver.reply, 0xCD, sizeof driver.reply);
    ASSERT_EQ(1, ConnectTestDriver(&driver, reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234))));
    const ConnectReply &reply = driver.reply;
    ASSERT_NE(0u, reply.statusBlock);
    EXPECT_NE(0u, reply.languageTable);
    EXPECT_EQ(3u, reply.languageCount);
    ASSERT_NE(0xCDCDCDCDu, reply.languageList) << "the fifth word lies past the stated 16 bytes and must be filled";
    const uint32_t *list = FromAddress32<const uint32_t>(reply.languageList);
    EXPECT_EQ((std::vector<uint32_t>{592, 593, 594}), std::vector<uint32_t>(list, list + 3));

    const StatusBlock *b = driver.block;
    EXPECT_STREQ(testProgramDir, b->homeDir);
    EXPECT_EQ(0x1234u, b->notifyWindow);
    EXPECT_EQ(WM_VIRUS_FOUND, b->notifyMessage);
    EXPECT_NE(0, b->signDate[0]);
    EXPECT_NE(0u, b->versionInfo[0]);
    // The front end fills the buffers behind the address fields up to their full sizes.
    std::memset(FromAddress32<char>(b->extensions), 'x', EXTENSIONS_SIZE);
    std::memset(FromAddress32<char>(b->userExtensions), 'x', USER_EXTENSIONS_SIZE);
    std::memset(FromAddress32<char>(b->inUse), 'x', IN_USE_SIZE);
    std::memset(FromAddress32<char>(b->exclusions), 'x', EXCLUSIONS_SIZE);
    EXPECT_EQ(1, SendCode(driver, CTL_EXCLUSIONS_CHANGED)) << "an unterminated list is taken bounded";
    EXPECT_EQ(1, SendCode(driver, CTL_SCAN_OPTIONS_CHANGED));
    EXPECT_TRUE(JournalLinesFrom(driver, "EXTENSIONS ").empty()) << "a list in force without its end was taken";

    std::vector<std::string> codes = JournalLinesFrom(driver, "CTL_");
    ASSERT_EQ(4u, codes.size()) << "CTL_ENABLE before the connect, the connect and two codes";
    EXPECT_EQ("0", Field(codes[0], "result"));
    EXPECT_EQ("1", Field(codes[1], "result"));
    EXPECT_EQ(driver.folder + "\\", codes[1].substr(codes[1].find(" homeDir=") + 9));
}

TEST(VxdConnect, RefusalStillNamesRecordAndErrorText)
{
    struct Case {
        std::string ini;
        std::string errorText;
    } cases[] = {
        {"RefuseConnect=1\r\nErrorText=Licence expired for this test\r\n", "Licence expired for this test"},
        {"RefuseConnect=1\r\n", "Torvane.VXD refused the connection."},
    };
    for (const Case &c : cases) {
        TestDriver driver;
        ASSERT_TRUE(LoadTestDriver("refuse", quietIni + c.ini, &driver));
        std::memset(&driver.reply, 0, sizeof driver.reply);
        EXPECT_EQ(0, ConnectTestDriver(&driver)) << c.ini;
        ASSERT_NE(0u, driver.reply.statusBlock) << c.ini;
        ASSERT_NE(0u, driver.reply.errorText) << c.ini;
        EXPECT_EQ(c.errorText, FromAddress32<const char>(driver.reply.errorText));

        // The front end writes enabled = 0 before it shows the text; the status thread sees it.
        driver.block->enabled = 0;
        EXPECT_TRUE(WaitUntil([&] { return !JournalLinesFrom(driver, "STATUS enabled=0").empty(); }))
            << "no STATUS enabled=0 line for " << c.ini;
        std::vector<std::string> lines = ReadLines(driver.folder + "\\journal.txt");
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ("0", Field(lines[0], "result")) << lines[0];
        EXPECT_EQ(0u, lines[0].rfind("CTL_CONNECT ", 0)) << "the connect's line comes before any STATUS line";
    }
}

TEST(VxdConnect, ShortBuffersAreRefusedWithoutWritingPastThem)
{
    TestDriver driver;
    ASSERT_TRUE(LoadTestDriver("short", quietIni, &driver));
    ConnectRequest request = {Address32(testProgramDir), WM_VIRUS_FOUND, 0, 437, 0, 0};
    uint32_t words[6];

    std::memset(words, 0xCD, sizeof words);
    EXPECT_EQ(0, SendCode(driver, CTL_CONNECT, &request, 8, words, CONNECT_STATED_OUTPUT_SIZE)) << "request of 8 bytes";
    EXPECT_NE(0u, words[0]) << "the record is named on refusal";
    ASSERT_NE(0u, words[1]);
    EXPECT_STREQ("Torvane.VXD: the connect request is incomplete.", FromAddress32<const char>(words[1]));
    EXPECT_EQ(0xCDCDCDCDu, words[5]) << "written past the five words";

    std::memset(words, 0xCD, sizeof words);
    EXPECT_EQ(0, SendCode(driver, CTL_CONNECT, &request, sizeof request, words, 8)) << "reply room of 8 bytes";
    EXPECT_EQ(0xCDCDCDCDu, words[0]) << "a reply too small for the stated size is left alone";

    uint32_t id = 0;
    uint32_t table = 0;
    ASSERT_EQ(1, ConnectTestDriver(&driver));
    EXPECT_EQ(0, SendCode(driver, CTL_SELECT_LANGUAGE, &id, 2, &table, sizeof table)) << "id of 2 bytes";
    EXPECT_EQ(0, SendCode(driver, CTL_SELECT_LANGUAGE, &id, sizeof id, &table, 2)) << "room for 2 bytes";
    EXPECT_EQ(0, SendCode(driver, CTL_SELECT_LANGUAGE)) << "no buffers";
    EXPECT_EQ(0u, table);
}

TEST(VxdLanguages, TablesAreOemAndSelectionFollowsTheConfiguration)
{
    struct Case {
        std::string ini;
        uint32_t count;
        const char *startName;   // text 592 of the table handed out at connect
        std::vector<int> accepted;   // for ids 0 to 3
    } cases[] = {
        {"", 3, "English", {1, 1, 1, 0}},
        {"StartLanguage=2\r\n", 3, "Anglais", {1, 1, 1, 0}},
        {"Languages=2\r\nStartLanguage=1\r\n", 2, "Englisch", {1, 1, 0, 0}},
        {"Languages=1\r\n", 1, "English", {1, 0, 0, 0}},
        {"Languages=7\r\nStartLanguage=5\r\n", 3, "English", {1, 1, 1, 0}},   // out of range: defaults
        {"RefuseLanguage=1\r\n", 3, "English", {0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        TestDriver driver;
        ASSERT_TRUE(LoadTestDriver("language", quietIni + c.ini, &driver));
        ASSERT_EQ(1, ConnectTestDriver(&driver)) << c.ini;
        EXPECT_EQ(c.count, driver.reply.languageCount) << c.ini;
        EXPECT_STREQ(c.startName, TableText(driver.reply.languageTable, 592)) << c.ini;
        for (uint32_t id = 0; id < 4; id++) {
            uint32_t table = 0xCDCDCDCDu;
            uint32_t input = id;
            DWORD returned = 0;
            int result = SendCode(driver, CTL_SELECT_LANGUAGE, &input, sizeof input, &table, sizeof table, &returned);
            EXPECT_EQ(c.accepted[id], result) << c.ini << " id " << id;
            if (result)
                EXPECT_STREQ(TableText(driver.reply.languageTable, 600), TableText(table, 600));
            else
                EXPECT_EQ(0xCDCDCDCDu, table) << "a refusal leaves the caller's word alone";
        }
        std::vector<std::string> selects = JournalLinesFrom(driver, "CTL_SELECT_LANGUAGE ");
        ASSERT_EQ(4u, selects.size()) << c.ini;
        EXPECT_EQ("3", Field(selects[3], "language"));
    }
}

TEST(VxdLanguages, EveryTextIsPresentAndInCodePage437)
{
    TestDriver driver;
    ASSERT_TRUE(LoadTestDriver("texts", quietIni, &driver));
    ASSERT_EQ(1, ConnectTestDriver(&driver));
    uint32_t tables[3];
    for (uint32_t id = 0; id < 3; id++) {
        uint32_t input = id;
        ASSERT_EQ(1, SendCode(driver, CTL_SELECT_LANGUAGE, &input, sizeof input, &tables[id], sizeof tables[id]));
    }
    for (uint32_t table : tables) {
        for (int number = 0; number < static_cast<int>(LANGUAGE_TABLE_ENTRIES); number++)
            ASSERT_NE(nullptr, TableText(table, number)) << "text " << number;
        for (int number = FIRST_TEXT; number <= static_cast<int>(LAST_TEXT); number++)
            EXPECT_NE(0, TableText(table, number)[0]) << "text " << number;
    }
    // Names with letters beyond ASCII, as code page 437 encodes them.
    EXPECT_STREQ("Franz\x94sisch", TableText(tables[1], 594));
    EXPECT_STREQ("Fran\x87" "ais", TableText(tables[2], 594));
    EXPECT_TRUE(JournalLinesFrom(driver, "TEXT ").empty()) << "a text did not convert: " << JournalLinesFrom(driver, "TEXT ")[0];
}

TEST(VxdControl, CodesWithoutBuffersAndUnknownCodes)
{
    TestDriver driver;
    ASSERT_TRUE(LoadTestDriver("codes", quietIni, &driver));
    ASSERT_EQ(1, ConnectTestDriver(&driver));
    StatusBlock *b = driver.block;
    volatile uint32_t *counters[] = {&b->filesScanned, &b->filesInfected, &b->filesSuspicious, &b->bootScanned,
                                     &b->bootInfected, &b->bootSuspicious, &b->disinfectedCount, &b->deletedCount,
                                     &b->renamedCount, &b->movedCount};
    for (size_t i = 0; i < sizeof counters / sizeof counters[0]; i++)
        *counters[i] = static_cast<uint32_t>(i + 1);
    b->versionInfo[7] = 77;

    struct Case {
        uint32_t code;
        int expected;
        const char *name;
    } cases[] = {
        {CTL_CLEAR_STATISTICS, 1, "CTL_CLEAR_STATISTICS"},
        {CTL_SCAN_OPTIONS_CHANGED, 1, "CTL_SCAN_OPTIONS_CHANGED"},
        {CTL_ACTION_OPTIONS_CHANGED, 1, "CTL_ACTION_OPTIONS_CHANGED"},
        {CTL_EXCLUSIONS_CHANGED, 1, "CTL_EXCLUSIONS_CHANGED"},
        {CTL_TOGGLE, 1, "CTL_TOGGLE"},
        {CTL_DISABLE, 1, "CTL_DISABLE"},
        {CTL_ENABLE, 1, "CTL_ENABLE"},
        {CTL_LOG_STOP, 1, "CTL_LOG_STOP"},     // stopping what never started
        {CTL_LOG_START, 0, "CTL_LOG_START"},   // no report file named
        {ControlCode(5), 0, "CODE_0x220017"},
        {0x12345678, 0, "CODE_0x12345678"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, SendCode(driver, c.code)) << c.name;
    for (size_t i = 0; i < sizeof counters / sizeof counters[0]; i++)
        EXPECT_EQ(0u, *counters[i]) << "counter " << i;
    EXPECT_EQ(77u, b->versionInfo[7]) << "clearing touches only the ten counters";

    std::vector<std::string> lines = ReadLines(driver.folder + "\\journal.txt");
    std::vector<std::string> codes;
    for (const std::string &line : lines) {
        if (line.rfind("CTL_", 0) == 0 || line.rfind("CODE_", 0) == 0)
            codes.push_back(line);
    }
    ASSERT_EQ(1 + sizeof cases / sizeof cases[0], codes.size());
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        const std::string &line = codes[i + 1];
        EXPECT_EQ(cases[i].name, line.substr(0, line.find(' '))) << line;
        EXPECT_EQ(std::to_string(cases[i].expected), Field(line, "result")) << line;
    }
    EXPECT_EQ("0", Field(codes[1], "filesScanned")) << "fields are read after the code was handled";
}

TEST(VxdReport, StartAppendStopAndRefusals)
{
    TestDriver driver;
    ASSERT_TRUE(LoadTestDriver("report", quietIni, &driver));
    ASSERT_EQ(1, ConnectTestDriver(&driver));
    StatusBlock *b = driver.block;
    std::string report = driver.folder + "\\report.txt";
    std::strncpy(b->logFileName, report.c_str(), sizeof b->logFileName - 1);
    b->logMask = 0xC0;   // the opening line belongs to the settings entry, the closing to the summary

    auto headers = [&] {
        int count = 0;
        for (const std::string &line : ReadLines(report))
            count += line.rfind("Torvane.VXD report started", 0) == 0;
        return count;
    };
    b->append = 0;
    EXPECT_EQ(1, SendCode(driver, CTL_LOG_START));
    EXPECT_EQ(1, SendCode(driver, CTL_LOG_STOP));
    EXPECT_EQ(1, SendCode(driver, CTL_LOG_STOP)) << "a second stop";
    b->append = 1;
    EXPECT_EQ(1, SendCode(driver, CTL_LOG_START));
    EXPECT_EQ(1, SendCode(driver, CTL_LOG_STOP));
    EXPECT_EQ(2, headers()) << "appended";
    // Started anew; a start with a file that cannot be opened fails, and the report running goes on.
    b->append = 0;
    EXPECT_EQ(1, SendCode(driver, CTL_LOG_START));
    std::string missing = driver.folder + "\\no such folder\\report.txt";
    std::strncpy(b->logFileName, missing.c_str(), sizeof b->logFileName - 1);
    EXPECT_EQ(0, SendCode(driver, CTL_LOG_START)) << "a file that cannot be opened";
    HANDLE writer = CreateFileA(report.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer) << "the running report was let go: others can write it";
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    EXPECT_EQ(1, SendCode(driver, CTL_LOG_STOP));
    EXPECT_EQ(1, headers()) << "started anew";
    std::vector<std::string> lines = ReadLines(report);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("Torvane.VXD report stopped", lines.back()) << "the running report did not end with its closing line";
    // A report whose every write fails, the full disk that Linux offers: each lost line is
    // journalled and counted.
    std::strncpy(b->logFileName, "Z:\\dev\\full", sizeof b->logFileName - 1);
    EXPECT_EQ(1, SendCode(driver, CTL_LOG_START));
    EXPECT_EQ(1, SendCode(driver, CTL_LOG_STOP));
    std::vector<std::string> lost = JournalLinesFrom(driver, "REPORT line not written error=112 ");
    ASSERT_EQ(4u, lost.size()) << "the opening, the settings, the summary and the closing line";
    EXPECT_NE(std::string::npos, lost[3].find("unwritten=4")) << lost[3];

    TestDriver refusing;
    ASSERT_TRUE(LoadTestDriver("report", quietIni + "RefuseLogStart=1\r\nRefuseLogStop=1\r\n", &refusing));
    ASSERT_EQ(1, ConnectTestDriver(&refusing));
    std::strncpy(refusing.block->logFileName, report.c_str(), sizeof refusing.block->logFileName - 1);
    EXPECT_EQ(0, SendCode(refusing, CTL_LOG_START));
    EXPECT_EQ(0, SendCode(refusing, CTL_LOG_STOP));
}
