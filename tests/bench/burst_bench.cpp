// A burst of detections: how long until every one is listed in the virus alert, newest on top,
// with the program still answering. First end to end (test files written into a watched folder as
// fast as possible, the driver finds them), then the front end alone (the detection messages
// posted straight to the MainWindow, the names placed in Torvane's own memory as the driver does),
// once all at once and once into an alert already on screen.
// Usage: burst_bench [count]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/protocol.h"
#include "tests/bench/bench_support.h"
#include "vxd/scan/detect.h"

constexpr double STALL_MS = 10000;       // no new row for this long: the rest are not coming
constexpr double LIMIT_MS = 180000;
constexpr size_t POSTED_NAME_SIZE = 64;
constexpr double JOURNAL_LOOK_MS = 50;
constexpr DWORD ROW_POLL_MS = 10;

// The list of Torvane's open alert, or nullptr while there is none.
static HWND AlertList(DWORD processId)
{
    HWND list = nullptr;
    return FindAlert(processId, &list) != nullptr ? list : nullptr;
}

struct RowWait {
    int rows;              // rows listed at the end
    double firstRowMs;     // from the start of the burst; -1 when none came
    double lastRowMs;      // when the last row that came was listed
    double allRowsMs;      // -1 when not all came
    int detects;           // DETECT lines in the driver's journal (when it was watched)
    double lastDetectMs;   // when the last of them was seen: the driver's part of the time
    double slowestAnswerMs;   // longest wait for the list's answer to a sent message meanwhile
};

// Polls the alert of processId until it lists count rows or stops growing. The alert counts once
// it is visible: a modal dialog shows itself only when its loop first finds the queue empty.
// When journalFolder is not empty, the driver's journal there is followed too.
static RowWait WaitForRows(DWORD processId, int count, double startMs, const std::string &journalFolder, HWND *list)
{
    RowWait wait = {0, -1, -1, -1, 0, -1, 0};
    double lastGrowth = NowMs();
    double lastJournalLook = 0;
    *list = nullptr;
    for (;;) {
        double now = NowMs();
        if (!journalFolder.empty() && now - lastJournalLook >= JOURNAL_LOOK_MS) {
            lastJournalLook = now;
            int detects = CountLines(ReadJournal(journalFolder), "DETECT ");
            if (detects > wait.detects) {
                wait.detects = detects;
                wait.lastDetectMs = now - startMs;
                lastGrowth = now;
            }
        }
        if (*list == nullptr || !IsWindow(*list))
            *list = AlertList(processId);
        int rows = 0;
        if (*list != nullptr) {
            // Sent messages are handled between the queued detections: the program answers meanwhile.
            double asked = NowMs();
            rows = ListViewCount(*list);
            double answer = rows >= 0 ? NowMs() - asked : 1000;
            if (answer > wait.slowestAnswerMs)
                wait.slowestAnswerMs = answer;
        }
        if (rows > wait.rows) {
            if (wait.rows == 0)
                wait.firstRowMs = now - startMs;
            wait.rows = rows;
            wait.lastRowMs = now - startMs;
            lastGrowth = now;
        }
        if (rows >= count) {
            wait.allRowsMs = now - startMs;
            return wait;
        }
        if (now - lastGrowth > STALL_MS || now - startMs > LIMIT_MS)
            return wait;
        Sleep(ROW_POLL_MS);
    }
}

// WaitForRows on a thread of its own, so that rows are watched for while the burst is still being
// made.
struct RowWatch {
    DWORD processId;
    std::string journalFolder;
    int count;
    double startMs;
    HWND list;
    RowWait wait;
};

static DWORD WINAPI RowWatchThread(void *parameter)
{
    RowWatch *watch = static_cast<RowWatch *>(parameter);
    watch->wait = WaitForRows(watch->processId, watch->count, watch->startMs, watch->journalFolder, &watch->list);
    return 0;
}

// Starts watching for rows from startMs on; 0 when no thread could be made.
static HANDLE StartRowWatch(RowWatch *watch, DWORD processId, int count, double startMs,
                            const std::string &journalFolder)
{
    watch->processId = processId;
    watch->journalFolder = journalFolder;
    watch->count = count;
    watch->startMs = startMs;
    watch->list = nullptr;
    watch->wait = {0, -1, -1, -1, 0, -1, 0};
    return CreateThread(nullptr, 0, RowWatchThread, watch, 0, nullptr);
}

// Waits for the watch to end and closes its thread.
static RowWait EndRowWatch(HANDLE thread, RowWatch *watch, HWND *list)
{
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    *list = watch->list;
    return watch->wait;
}

// Rows of list that differ from expected (row 0 first); every row is read from Torvane's memory.
static int CountMismatches(HANDLE process, HWND list, const std::vector<std::string> &expected, std::string *first)
{
    int mismatches = 0;
    for (size_t i = 0; i < expected.size(); i++) {
        std::string text;
        if (!ListViewText(process, list, static_cast<int>(i), &text) || _stricmp(text.c_str(), expected[i].c_str()) != 0) {
            if (mismatches++ == 0 && first != nullptr)
                *first = "row " + std::to_string(i) + " \"" + text + "\", expected \"" + expected[i] + "\"";
        }
    }
    return mismatches;
}

// Presses OK on the alert and closes Torvane.
static int EndRun(const TorvaneRun &run, HWND window, HWND list)
{
    if (list != nullptr && IsWindow(list)) {
        PressButton(GetParent(list), IDOK);
        WaitUntil([&] { return AlertList(run.processId) == nullptr; }, 5000);
    }
    int closed = CloseTorvane(run, window);
    EndAllTorvane();
    return closed;
}

static int EndToEnd(int count)
{
    std::string folder;
    if (!PrepareBench("burst", "incoming", "incoming", &folder))
        return 0;
    TorvaneRun run;
    HWND window = nullptr;
    double elapsed = 0;
    if (!StartAndReachLoop(folder, &run, &window, &elapsed)) {
        EndAllTorvane();
        return 0;
    }
    char testString[TEST_STRING_LENGTH + 1];
    BuildTestString(testString);

    double start = NowMs();
    RowWatch watch;
    HANDLE watcher = StartRowWatch(&watch, run.processId, count, start, folder);
    int written = 0;
    for (int i = 0; i < count; i++) {
        char path[MAX_PATH];
        std::snprintf(path, sizeof path, "%s\\incoming\\burst%04d.com", folder.c_str(), i);
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        DWORD done = 0;
        if (WriteFile(file, testString, TEST_STRING_LENGTH, &done, nullptr) && done == TEST_STRING_LENGTH)
            written++;
        CloseHandle(file);
    }
    double writeMs = NowMs() - start;
    HWND list = nullptr;
    RowWait wait = watcher != nullptr ? EndRowWatch(watcher, &watch, &list)
                                       : WaitForRows(run.processId, count, start, folder, &list);
    double ping = PingMs(window, 1000);

    // The journal tells the order in which the driver found the files: the newest must be on top.
    std::vector<std::string> lines = ReadJournal(folder);
    std::vector<std::string> expected;
    int scans = 0;
    for (const std::string &line : lines) {
        if (line.find("\\incoming\\burst") == std::string::npos)
            continue;
        if (line.compare(0, 7, "DETECT ") == 0)
            expected.insert(expected.begin(), line.substr(7));
        else if (line.compare(0, 5, "SCAN ") == 0)
            scans++;
    }
    int overflows = 0;
    for (const std::string &line : lines) {
        if (line.compare(0, 6, "WATCH ") == 0 && line.find(" overflow") != std::string::npos)
            overflows++;
    }
    int postFailures = CountLines(lines, "POST failed");
    std::string firstMismatch;
    int mismatches = -1;
    std::string top;
    if (list != nullptr && wait.rows == static_cast<int>(expected.size())) {
        mismatches = CountMismatches(run.process, list, expected, &firstMismatch);
        ListViewText(run.process, list, 0, &top);
    }
    std::printf("burst end to end: %d of %d test files written in %.0f ms\n", written, count, writeMs);
    std::printf("burst end to end: first row after %.0f ms, %d rows listed (the last after %.0f ms), all %d after "
                "%.0f ms\n", wait.firstRowMs, wait.rows, wait.lastRowMs, count, wait.allRowsMs);
    std::printf("burst end to end: the driver's last DETECT line seen after %.0f ms\n", wait.lastDetectMs);
    std::printf("burst end to end: journal %d SCAN and %d DETECT lines of the burst, %d watch overflows, "
                "%d failed posts\n", scans, static_cast<int>(expected.size()), overflows, postFailures);
    if (mismatches == 0)
        std::printf("burst end to end: rows in the journal's order, newest on top (\"%s\")\n", top.c_str());
    else if (mismatches > 0)
        std::printf("burst end to end: %d rows out of the journal's order; first: %s\n", mismatches,
                    firstMismatch.c_str());
    else
        std::printf("burst end to end: rows (%d) and DETECT lines (%d) differ in number; order not checked\n",
                    wait.rows, static_cast<int>(expected.size()));
    std::printf("burst end to end: during the burst the list answered within %.0f ms; afterwards the MainWindow "
                "answered WM_NULL in %.0f ms (-1: not within 1000 ms)\n", wait.slowestAnswerMs, ping);
    std::printf("RESULT burst_e2e files=%d write_ms=%.0f rows=%d first_row_ms=%.0f last_row_ms=%.0f all_rows_ms=%.0f "
                "last_detect_ms=%.0f detect=%d scan=%d overflow=%d order=%s ping_ms=%.0f slowest_answer_ms=%.0f\n",
                count, writeMs, wait.rows, wait.firstRowMs, wait.lastRowMs, wait.allRowsMs, wait.lastDetectMs,
                static_cast<int>(expected.size()), scans, overflows, mismatches == 0 ? "newest-on-top" : "WRONG", ping, wait.slowestAnswerMs);
    std::fflush(stdout);
    return EndRun(run, window, list) && mismatches == 0 && wait.rows == count && ping >= 0;
}

// intoOpenAlert 0: all messages at once (the alert shows only once they are handled); 1: the first
// message alone, and the others once its alert is on screen, so every row goes into a visible list.
static int Posted(int count, int intoOpenAlert)
{
    const char *label = intoOpenAlert ? "posted into an open alert" : "posted";
    std::string folder;
    if (!PrepareBench("burst_posted", "none", "", &folder))
        return 0;
    TorvaneRun run;
    HWND window = nullptr;
    double elapsed = 0;
    if (!StartAndReachLoop(folder, &run, &window, &elapsed)) {
        EndAllTorvane();
        return 0;
    }
    // The message carries a 32-bit address in Torvane's process, where the driver would keep the
    // name: put every name there first, below 4 GB, and leave it for the rest of the run.
    std::vector<char> names(static_cast<size_t>(count) * POSTED_NAME_SIZE, 0);
    std::vector<std::string> expected;
    for (int i = 0; i < count; i++) {
        char *name = &names[static_cast<size_t>(i) * POSTED_NAME_SIZE];
        std::snprintf(name, POSTED_NAME_SIZE, "C:\\BENCH\\POSTED\\FILE%04d.COM", i);
        expected.insert(expected.begin(), name);
    }
    char *remote = static_cast<char *>(AllocateLowIn(run.process, names.size()));
    if (remote == nullptr || !WriteProcessMemory(run.process, remote, names.data(), names.size(), nullptr)) {
        std::fprintf(stderr, "bench: no memory below 4 GB in Torvane's process\n");
        EndAllTorvane();
        return 0;
    }
    uint32_t base = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(remote));
    int posted = 0;
    if (intoOpenAlert) {
        posted += PostToWindow(window, WM_VIRUS_FOUND, 0, static_cast<LPARAM>(base));
        HWND open = nullptr;
        WaitUntil([&] { return (open = AlertList(run.processId)) != nullptr; }, ROBOT_TIMEOUT_MS);
        if (open == nullptr || ListViewCount(open) != 1) {
            std::fprintf(stderr, "bench: no alert with one row after the first message\n");
            EndAllTorvane();
            return 0;
        }
    }

    double start = NowMs();
    RowWatch watch;
    HANDLE watcher = StartRowWatch(&watch, run.processId, count, start, "");
    for (int i = posted; i < count; i++) {
        LPARAM address = static_cast<LPARAM>(base + static_cast<uint32_t>(i * POSTED_NAME_SIZE));
        posted += PostToWindow(window, WM_VIRUS_FOUND, 0, address);
    }
    double postMs = NowMs() - start;
    HWND list = nullptr;
    RowWait wait = watcher != nullptr ? EndRowWatch(watcher, &watch, &list)
                                       : WaitForRows(run.processId, count, start, "", &list);
    double ping = PingMs(window, 1000);
    std::string firstMismatch;
    int mismatches = wait.rows == count ? CountMismatches(run.process, list, expected, &firstMismatch) : -1;

    std::printf("burst %s: %d of %d messages posted, the timed ones in %.0f ms\n", label, posted, count, postMs);
    std::printf("burst %s: alert seen with rows after %.0f ms, %d rows listed, all %d after %.0f ms\n", label,
                wait.firstRowMs, wait.rows, count, wait.allRowsMs);
    if (mismatches > 0)
        std::printf("burst %s: %d rows out of order; first: %s\n", label, mismatches, firstMismatch.c_str());
    std::printf("burst %s: during the burst the list answered within %.0f ms; afterwards the MainWindow answered "
                "WM_NULL in %.0f ms\n", label, wait.slowestAnswerMs, ping);
    std::printf("RESULT %s messages=%d post_ms=%.0f rows=%d first_row_ms=%.0f all_rows_ms=%.0f order=%s "
                "ping_ms=%.0f slowest_answer_ms=%.0f\n",
                intoOpenAlert ? "burst_posted_open" : "burst_posted", count, postMs, wait.rows, wait.firstRowMs,
                wait.allRowsMs, mismatches == 0 ? "newest-on-top" : "WRONG", ping, wait.slowestAnswerMs);
    std::fflush(stdout);
    return EndRun(run, window, list) && mismatches == 0 && ping >= 0;
}

int main(int argc, char **argv)
{
    int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    if (count < 1 || count > 9999)
        count = 1000;
    int ok = EndToEnd(count);
    ok &= Posted(count, 0);
    ok &= Posted(count, 1);
    return ok ? 0 : 1;
}
