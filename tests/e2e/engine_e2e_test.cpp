// Torvane with Engine=clamd against real ClamAV daemons that tests/e2e/clamd_e2e.sh starts with a
// signature of their own: with two daemons, one shut down while files are written, every file
// that only a daemon knows is still caught; with one, the daemon's find reaches the alert and, by
// its signature's name, the report, and once it is shut down the built-in rule still catches the
// test file and the outage is journalled once. The scenarios run in this order: each shuts down a
// daemon of its own (the second, then the first).
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/robot.h"

namespace {

// Asks the daemon to shut down (its SHUTDOWN command) and waits until its port refuses.
int ShutDownDaemon(int port)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    auto connectTo = [port](SOCKET *s) {
        *s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<u_short>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int ok = connect(*s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        if (!ok)
            closesocket(*s);
        return ok;
    };
    SOCKET s;
    if (!connectTo(&s))
        return 0;
    static const char command[] = "zSHUTDOWN";
    send(s, command, sizeof command, 0);
    closesocket(s);
    return WaitUntil([&] {
        if (!connectTo(&s))
            return 1;
        closesocket(s);
        return 0;
    }, ROBOT_TIMEOUT_MS);
}

int ReportHas(const std::string &report, const std::string &text)
{
    std::string bytes;
    return ReadFileBytes(report, &bytes) && bytes.find(text) != std::string::npos;
}

}  // namespace

TEST(EngineE2e, TwoDaemonsCatchEveryFileWhileOneIsShutDown)
{
    const std::string first = EnvironmentValue("TORVANE_CLAMD_PORT");
    const std::string second = EnvironmentValue("TORVANE_CLAMD_PORT2");
    const std::string marker = EnvironmentValue("TORVANE_CLAMD_MARKER");
    // Without daemons nothing here can be told: a failure, never a pass.
    ASSERT_FALSE(second.empty()) << "no daemons: tests/e2e/clamd_e2e.sh runs this with daemons of its own";
    FolderSetup setup;
    // One daemon by its address, one by its name, and one whose name does not resolve.
    const std::string hosts = "127.0.0.1:" + first + ", nosuchhost.invalid, localhost:" + second;
    setup.ini = {{"Watch", "watched"}, {"Engine", "clamd"}, {"ClamdHost", hosts}, {"ClamdRetry", "600000"}};
    std::string folder;
    ASSERT_TRUE(PrepareFolder(ScenarioName(), setup, &folder));
    ASSERT_TRUE(CreateDirectoryA((folder + "\\watched").c_str(), nullptr));
    ASSERT_TRUE(WriteDefaultSettings(folder));
    TorvaneRun run;
    ASSERT_NE(nullptr, StartNormally(folder, &run));

    std::vector<std::string> written;
    HWND list = nullptr;
    for (int i = 0; i < 24; i++) {
        if (i == 12) {
            ASSERT_TRUE(ShutDownDaemon(std::stoi(second))) << "the daemon did not shut down";
        }
        written.push_back(folder + "\\watched\\SIGNED" + std::to_string(i) + ".EXE");
        ASSERT_TRUE(WriteFileBytes(written.back(), "MZ program " + std::to_string(i) + " carrying " + marker + "\r\n"));
        if (i == 0) {
            ASSERT_NE(nullptr, WaitForAlert(run.processId, ROBOT_TIMEOUT_MS, &list)) << "the daemons' find made no alert";
        }
    }
    EXPECT_TRUE(WaitUntil([&] { return ListViewRows(list).size() >= written.size(); }, ROBOT_TIMEOUT_MS));
    std::vector<std::string> rows = ListViewRows(list);
    std::sort(rows.begin(), rows.end());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, rows) << "a file went unscanned while a daemon answered";
    EXPECT_TRUE(WaitJournalLine(folder, "ENGINE clamd localhost:" + second + " fault", ROBOT_TIMEOUT_MS));
    EXPECT_TRUE(WaitJournalLine(folder, "ENGINE clamd nosuchhost.invalid:3310 fault: name does not resolve",
                                ROBOT_TIMEOUT_MS));
    for (const std::string &line : ReadJournal(folder)) {
        EXPECT_NE(0u, line.rfind("ENGINE clamd unavailable", 0)) << "the first daemon answered all along";
        EXPECT_NE(0u, line.rfind("ENGINE clamd localhost:" + second + " fault: name", 0)) << "localhost resolves";
    }
}

TEST(EngineE2e, ClamdNamesItsSignatureThenTheBuiltInRuleCarriesOn)
{
    const std::string port = EnvironmentValue("TORVANE_CLAMD_PORT");
    const std::string marker = EnvironmentValue("TORVANE_CLAMD_MARKER");
    const std::string signature = EnvironmentValue("TORVANE_CLAMD_SIGNATURE");
    ASSERT_FALSE(port.empty()) << "no daemon: tests/e2e/clamd_e2e.sh runs this with a daemon of its own";
    FolderSetup setup;
    setup.ini = {{"Watch", "watched"}, {"Engine", "clamd"}, {"ClamdPort", port}, {"ClamdRetry", "600000"}};
    std::string folder;
    ASSERT_TRUE(PrepareFolder(ScenarioName(), setup, &folder));
    ASSERT_TRUE(CreateDirectoryA((folder + "\\watched").c_str(), nullptr));
    ASSERT_TRUE(WriteDefaultSettings(folder));
    ASSERT_TRUE(SetSettingNumber("LogToFile", 1));   // Log is 0xFF: every kind of line
    const std::string report = folder + "\\Torvane.REP";
    TorvaneRun run;
    ASSERT_NE(nullptr, StartNormally(folder, &run));

    // A file that only the daemon knows: listed, and named by its signature in the report.
    const std::string signed_ = folder + "\\watched\\SIGNED.EXE";
    ASSERT_TRUE(WriteFileBytes(signed_, "MZ a program carrying " + marker + " inside\r\n"));
    HWND list = nullptr;
    ASSERT_NE(nullptr, WaitForAlert(run.processId, ROBOT_TIMEOUT_MS, &list)) << "the daemon's find made no alert";
    EXPECT_TRUE(WaitUntil([&] { return ListViewRows(list) == std::vector<std::string>{signed_}; }, ROBOT_TIMEOUT_MS));
    EXPECT_TRUE(WaitUntil([&] { return ReportHas(report, "Infected: " + signed_ + " (" + signature + ")"); },
                          ROBOT_TIMEOUT_MS))
        << "no report line with the signature's name";

    // The daemon goes away: a clean file finds it gone, the test file is still caught.
    ASSERT_TRUE(ShutDownDaemon(std::stoi(port))) << "the daemon did not shut down";
    ASSERT_TRUE(WriteFileBytes(folder + "\\watched\\CLEAN.COM", "MZ nothing to see\r\n"));
    ASSERT_TRUE(WaitJournalLine(folder, "ENGINE clamd unavailable", ROBOT_TIMEOUT_MS));
    const std::string test = folder + "\\watched\\AFTER.COM";
    ASSERT_TRUE(WriteFileBytes(test, TestFileBytes()));
    EXPECT_TRUE(WaitUntil([&] { return ListViewRows(list).size() == 2; }, ROBOT_TIMEOUT_MS));
    EXPECT_EQ((std::vector<std::string>{test, signed_}), ListViewRows(list));
    EXPECT_TRUE(WaitUntil([&] { return ReportHas(report, "Infected: " + test + " (anti-virus test file)"); },
                          ROBOT_TIMEOUT_MS));
    int outages = 0;
    for (const std::string &line : ReadJournal(folder))
        outages += line.rfind("ENGINE clamd unavailable", 0) == 0;
    EXPECT_EQ(1, outages) << "one journal line per outage";
}
