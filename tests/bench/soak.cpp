// The soak: Torvane runs on the Wine desktop for minutes while test files and clean files are
// written into its watched folder at a steady rate (each round also a crafted archive that reaches
// the driver's bounds, and a test file that its writer holds locked for a while), and a user
// toggles scanning from the tray menu,
// opens the sheet, changes and applies settings on every editing page, switches the language,
// clears the statistics and closes the alert now and then. At the end it checks that no detection
// was lost (test files written = rows listed in the alerts = infection lines in the report =
// detections in the driver's journal), that the program answers within 100 ms, that its GDI and
// USER objects and its memory have not grown beyond a small bound since the first minute, that no
// message box came up, and that Exit ends it with code 0. Prints its figures; exit code 1 names
// what failed.
// Usage: soak [minutes]   (default 10)
#include <winternl.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/bench/bench_support.h"
#include "tests/zip_builder.h"

constexpr int TEST_FILES_PER_SECOND = 1;
constexpr int CLEAN_FILES_PER_SECOND = 4;
constexpr double WRITE_PHASE_MS = 15000;       // files written between two rounds of the user
constexpr double SETTLE_MS = 30000;            // for the driver and the alert to catch up
constexpr double ANSWER_LIMIT_MS = 100;
constexpr long GDI_GROWTH = 16;                // objects more than in the first minute, at most
constexpr long USER_GROWTH = 4;
constexpr double MEMORY_GROWTH_MB = 16;
constexpr double LOCKED_MS = 3000;             // a locked test file is held this long

static std::vector<std::string> failures;

static void Fail(const std::string &what)
{
    std::printf("SOAK FAILED: %s\n", what.c_str());
    std::fflush(stdout);
    failures.push_back(what);
    SaveScreenshot("soak-failure-" + std::to_string(failures.size()));   // when TORVANE_SHOTS names a folder
}

// ---- The files: a thread writes them at a steady rate --------------------------------------------

struct Writer {
    std::string folder;                 // the watched folder
    std::atomic<int> tests{1};          // 0: clean files only (scanning is off, or a count is due)
    std::atomic<int> stop{0};
    std::atomic<long> testsWritten{0};
    std::atomic<long> cleanWritten{0};
    std::atomic<int> roundBegun{0};     // the round's crafted archive and locked file are due
    long crafted = 0;                   // crafted archives written
};

// An archive that reaches the driver's bounds: an archive inside whose entries all share one local
// header, then archives inside that together inflate far beyond what one file may.
static std::string CraftedArchive(void)
{
    std::vector<ZipEntry> entries(200, {"z.com", "", 0, 0});
    entries[0] = {"zeros.com", std::string(33 << 20, '\0'), 8, 0};
    std::vector<size_t> central;
    std::string overlapping = BuildZip(entries, &central);
    const std::string bombFields = overlapping.substr(central[0] + 8, 20);
    for (size_t record : central) {
        overlapping.replace(record + 8, 20, bombFields);
        Patch32(&overlapping, record + 42, 0);
    }
    std::string inner = BuildZip({{"zeros.com", std::string(32 << 20, '\0'), 8, 0}});
    std::vector<ZipEntry> outer = {{"overlap.zip", overlapping, 0, 0}};
    for (int i = 0; i < 6; i++)
        outer.push_back({"inner" + std::to_string(i) + ".zip", inner, 0, 0});
    return BuildZip(outer);
}

static DWORD WINAPI WriterThread(void *parameter)
{
    Writer *w = static_cast<Writer *>(parameter);
    std::string test = TestFileBytes();
    std::string crafted = CraftedArchive();
    HANDLE locked = INVALID_HANDLE_VALUE;
    double lockedUntil = 0;
    double start = NowMs();
    for (long tick = 0; !w->stop; tick++) {
        if (locked != INVALID_HANDLE_VALUE && NowMs() >= lockedUntil) {
            CloseHandle(locked);
            locked = INVALID_HANDLE_VALUE;
        }
        if (w->roundBegun.exchange(0)) {
            if (WriteFileBytes(w->folder + "\\BOMB" + std::to_string(++w->crafted) + ".ZIP", crafted) && w->tests) {
                // Written while its writer holds it without sharing: read once let go.
                long n = w->testsWritten + 1;
                locked = CreateFileA((w->folder + "\\L" + std::to_string(n) + ".COM").c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
                DWORD written = 0;
                if (locked != INVALID_HANDLE_VALUE && WriteFile(locked, test.data(), static_cast<DWORD>(test.size()), &written, nullptr))
                    w->testsWritten = n;
                lockedUntil = NowMs() + LOCKED_MS;
            }
        } else if (w->tests && tick % (CLEAN_FILES_PER_SECOND + 1) == 0) {
            long n = w->testsWritten + 1;
            if (WriteFileBytes(w->folder + "\\T" + std::to_string(n) + ".COM", test))
                w->testsWritten = n;
        } else {
            long n = ++w->cleanWritten;
            WriteFileBytes(w->folder + "\\C" + std::to_string(n) + (n % 2 ? ".COM" : ".TXT"),
                           "clean file " + std::to_string(n) + "\r\n");
            DeleteFileA((w->folder + "\\C" + std::to_string(n - 40) + (n % 2 ? ".COM" : ".TXT")).c_str());
        }
        double due = start + (tick + 1) * 1000.0 / (TEST_FILES_PER_SECOND + CLEAN_FILES_PER_SECOND);
        double now = NowMs();
        if (due > now)
            Sleep(static_cast<DWORD>(due - now));
    }
    if (locked != INVALID_HANDLE_VALUE)
        CloseHandle(locked);
    return 0;
}

// ---- What the program holds: GDI and USER objects, memory ---------------------------------------

struct Holdings {
    double atMs;
    long gdi;
    long user;
    double privateMb;
    double workingSetMb;
};

// GDI objects in the process's handle table (the PEB points at it). Wine's GetGuiResources is a
// stub; the table is what both Windows and Wine keep.
static long CountGdiObjects(HANDLE process)
{
    struct Entry {
        uint64_t object;
        uint32_t owner;
        uint16_t unique;
        uint8_t type;
        uint8_t flags;
        uint64_t user;
    };
    static_assert(sizeof(Entry) == 24, "the 64-bit GDI handle entry");
    PROCESS_BASIC_INFORMATION info;
    ULONG got = 0;
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &info, sizeof info, &got) != 0)
        return -1;
    uint64_t table = 0;
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<char *>(info.PebBaseAddress) + 0xF8, &table, sizeof table, &read)
        || table == 0)
        return -1;
    std::vector<Entry> entries(0x10000);
    if (!ReadProcessMemory(process, reinterpret_cast<void *>(table), entries.data(), entries.size() * sizeof(Entry),
                           &read))
        return -1;
    long count = 0;
    for (const Entry &entry : entries)
        count += entry.type != 0;
    return count;
}

// USER objects: GetGuiResources where it works, else the process's windows at every level.
static long CountUserObjects(HANDLE process, DWORD processId)
{
    DWORD objects = GetGuiResources(process, GR_USEROBJECTS);
    if (objects != 0)
        return static_cast<long>(objects);
    long count = 0;
    for (HWND top : ProcessWindows(processId, 0))
        count += 1 + static_cast<long>(ChildWindows(top).size());
    return count;
}

static Holdings Sample(const TorvaneRun &run, double startMs)
{
    Holdings h = {NowMs() - startMs, CountGdiObjects(run.process), CountUserObjects(run.process, run.processId), -1, -1};
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(run.process, reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&memory), sizeof memory)) {
        // Wine leaves PrivateUsage 0 and counts the private bytes as PagefileUsage.
        SIZE_T privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
        h.privateMb = static_cast<double>(privateBytes) / (1 << 20);
        h.workingSetMb = static_cast<double>(memory.WorkingSetSize) / (1 << 20);
    }
    return h;
}

static void PrintHoldings(const char *label, const Holdings &h)
{
    std::printf("SOAK %s at %.0f s: GDI objects %ld, USER objects %ld, private memory %.1f MB, working set %.1f MB\n",
                label, h.atMs / 1000, h.gdi, h.user, h.privateMb, h.workingSetMb);
}

// ---- The soak --------------------------------------------------------------------------------

struct Soak {
    std::string folder;
    TorvaneRun run;
    HWND main = nullptr;
    Writer writer;
    double startMs = 0;
    long rowsClosed = 0;           // rows of the alerts closed so far
    double slowestAnswerMs = 0;    // of the pings while nothing modal was being worked
    int round = 0;
    int excluded = 0;              // the extra exclusion is in the list
    int applied = 0;               // Apply presses that took
    std::string passedOver;        // pages that take no part in Apply yet
};

static int CountWith(const std::vector<std::string> &lines, const std::string &prefix)
{
    return CountLines(lines, prefix);
}

// Infection lines of the report, with or without date and user in front.
static long ReportInfections(const std::string &folder)
{
    std::string report;
    if (!ReadFileBytes(folder + "\\Torvane.REP", &report))
        return 0;
    long count = 0;
    size_t at = 0;
    while (at < report.size()) {
        size_t end = report.find('\n', at);
        std::string line = report.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (line.compare(0, 10, "Infected: ") == 0 || line.find("  Infected: ") != std::string::npos)
            count++;
        at = end == std::string::npos ? report.size() : end + 1;
    }
    return count;
}

static long AlertRows(const Soak &s, HWND *alert)
{
    HWND list = nullptr;
    *alert = FindAlert(s.run.processId, &list);
    return *alert != nullptr ? ListViewCount(list) : 0;
}

static void NoMessageBox(const Soak &s, const char *when)
{
    HWND box = WaitForMessageBox(s.run.processId, 0);
    if (box == nullptr)
        return;
    MessageBoxView view;
    ReadMessageBox(box, &view);
    Fail(std::string("a message box ") + when + ": \"" + Visible(view.text) + "\"");
    PressButton(box, IDOK);
    WaitClosed(box, 5000);
}

// Lets the writer run for ms, pinging the program every second.
static void WritePhase(Soak &s, double ms)
{
    double until = NowMs() + ms;
    while (NowMs() < until) {
        double answer = PingMs(s.main, 5000);
        if (answer < 0)
            Fail("the program did not answer within 5 s at " + std::to_string(static_cast<int>((NowMs() - s.startMs) / 1000)) + " s");
        s.slowestAnswerMs = std::max(s.slowestAnswerMs, answer);
        Sleep(1000);
    }
}

// Stops the test files and waits until every one written is detected and listed. 1 when so.
static int Settle(Soak &s)
{
    s.writer.tests = 0;
    Sleep(300);   // a write under way ends
    long written = s.writer.testsWritten;
    HWND alert = nullptr;
    long detected = 0, listed = 0;
    double until = NowMs() + SETTLE_MS;
    for (;;) {   // the journal grows long: looked at four times a second, not at the robot's pace
        detected = CountWith(ReadJournal(s.folder), "DETECT ");
        listed = s.rowsClosed + AlertRows(s, &alert);
        if ((detected >= written && listed >= written) || NowMs() > until)
            break;
        Sleep(250);
    }
    if (detected != written || listed != written)
        Fail("after " + std::to_string(written) + " test files the driver detected " + std::to_string(detected) +
             " and the alerts list " + std::to_string(listed));
    return detected == written && listed == written;
}

// Counts the alert's rows and closes it.
static void CloseAlert(Soak &s)
{
    HWND alert = nullptr;
    long rows = AlertRows(s, &alert);
    if (alert == nullptr)
        return;
    if (!PressButton(alert, IDOK) || !WaitClosed(alert, 5000)) {
        Fail("the alert did not close");
        return;
    }
    s.rowsClosed += rows;
}

// Disables scanning from the tray menu, writes clean files only for a while, enables it again.
static void ToggleScanning(Soak &s)
{
    for (const char *code : {"CTL_DISABLE", "CTL_ENABLE"}) {
        int before = CountWith(ReadJournal(s.folder), code);
        HWND menu = OpenTrayMenu(s.run.processId);
        if (menu == nullptr) {
            Fail(std::string("the tray menu did not open for ") + code);
            return;
        }
        ChooseFromMenu(menu, VK_DOWN);
        if (!WaitUntil([&] { return CountWith(ReadJournal(s.folder), code) > before; }, ROBOT_TIMEOUT_MS))
            Fail(std::string("the tray menu's toggle sent no ") + code);
        if (std::string(code) == "CTL_DISABLE")
            WritePhase(s, 3000);   // clean files only: nothing is scanned meanwhile
    }
}

// The AddExclusionDialog of the process, once it is open.
static HWND WaitForAddExclusion(const Soak &s)
{
    HWND found = nullptr;
    WaitUntil([&] {
        for (HWND w : ProcessWindows(s.run.processId, 1)) {
            if (GetDlgItem(w, IDC_ADDEXCL_PATH) != nullptr)
                found = w;
        }
        return found != nullptr;
    }, ROBOT_TIMEOUT_MS);
    return found;
}

// One round of the user in the sheet: something changed and applied on every editing page, the
// statistics cleared, the next language chosen, OK.
static void SheetRound(Soak &s)
{
    static const SheetOpening openings[] = {SHEET_BY_MENU, SHEET_BY_DOUBLE_CLICK, SHEET_BY_MESSAGE};
    static const int actions[] = {IDC_ACTION_MOVE, IDC_ACTION_DELETE, IDC_ACTION_REPORT_ONLY, IDC_ACTION_RENAME};
    int r = s.round;
    HWND sheet = OpenSheet(s.run, openings[r % 3]);
    if (sheet == nullptr) {
        Fail("the sheet did not open");
        return;
    }
    // Every page below changes something each round, so Apply is there to press. A page whose
    // controls are not there, or that marks no change in the first round (a stand-in still being
    // built), is passed over from then on and named at the end.
    auto apply = [&](const char *page, int worked) {
        if (s.passedOver.find(page) != std::string::npos)
            return;
        if (!worked || !WaitUntil([&] { return ApplyEnabled(sheet) == 1; }, 2000)) {
            if (r == 0)
                s.passedOver += std::string(s.passedOver.empty() ? "" : ", ") + page;
            else
                Fail(std::string("the ") + page + " page did not mark the sheet changed");
            return;
        }
        if (!PressSheetButton(sheet, SHEET_APPLY))
            Fail(std::string("Apply on the ") + page + " page did not take");
        else
            s.applied++;
    };
    // Scan: program files or all files (the test files are .COM, in the list), archives on or off.
    HWND page = SelectPage(sheet, SHEET_SCAN_PAGE);
    apply("scan", SetTicked(page, r % 2 ? IDC_SCAN_ALL_FILES : IDC_SCAN_PROGRAM_FILES, 1)
                      & SetTicked(page, IDC_SCAN_ARCHIVES, r % 2));
    // Action: the actions that leave nothing held open, the only-log box on and off.
    page = SelectPage(sheet, SHEET_ACTION_PAGE);
    int onlyLog = 1;
    if (r % 3 == 2) {
        // Ticking only-log warns first; the warning closes by its OK alone.
        HWND warning = nullptr;
        onlyLog = PressButton(page, IDC_ACTION_ONLY_LOG)
                  && (warning = WaitForDialogWith(s.run.processId, {IDC_WARNING_TEXT}, ROBOT_TIMEOUT_MS)) != nullptr
                  && PressButton(warning, IDOK) && WaitClosed(warning, ROBOT_TIMEOUT_MS);
        if (!onlyLog)
            Fail("the only-log warning did not come or did not close");
    } else {
        onlyLog = SetTicked(page, IDC_ACTION_ONLY_LOG, 0);
    }
    apply("action", SetTicked(page, actions[r % 4], 1) & onlyLog);
    // Report: date and user name before each line; infections always reported, appended. While
    // only-log is on, the page locks what it logs: a user changes nothing there then.
    page = SelectPage(sheet, SHEET_REPORT_PAGE);
    if (r % 3 != 2)
        apply("report", SetTicked(page, IDC_REPORT_DATE_TIME, r % 2) & SetTicked(page, IDC_REPORT_USER, r % 3 == 0));
    // Exclusions: a folder elsewhere added, and removed the next round.
    page = SelectPage(sheet, SHEET_EXCLUSIONS_PAGE);
    int worked = ControlEnabled(page, IDC_EXCL_ADD) == 1;
    if (worked && !s.excluded) {
        PressButton(page, IDC_EXCL_ADD);
        HWND dialog = WaitForAddExclusion(s);
        if (dialog != nullptr && TypeText(dialog, IDC_ADDEXCL_PATH, s.folder + "\\elsewhere")
            && SetTicked(dialog, IDC_ADDEXCL_SUBFOLDERS, 1) && PressButton(dialog, IDOK) && WaitClosed(dialog, 5000))
            s.excluded = 1;
        else
            Fail("the add exclusion dialog did not add");
    } else if (worked) {
        std::vector<std::string> rows = ControlRows(page, IDC_EXCL_LIST);
        if (rows.empty() || !SelectRow(page, IDC_EXCL_LIST, static_cast<int>(rows.size()) - 1))
            Fail("no exclusion row to remove");
        PressButton(page, IDC_EXCL_REMOVE);
        s.excluded = 0;
    }
    apply("exclusions", worked);
    // Information: the statistics cleared. About: the next language, in force from the next opening.
    page = SelectPage(sheet, SHEET_INFORMATION_PAGE);
    PressButton(page, IDC_INFO_CLEAR);
    page = SelectPage(sheet, SHEET_ABOUT_PAGE);
    int languages = static_cast<int>(ControlRows(page, IDC_ABOUT_LANGUAGE).size());
    if (languages > 1)
        SelectRow(page, IDC_ABOUT_LANGUAGE, (SelectedRow(page, IDC_ABOUT_LANGUAGE) + 1) % languages);
    if (!PressSheetButton(sheet, IDOK))
        Fail("OK did not close the sheet");
}

static int Minutes(int argc, char **argv)
{
    int minutes = argc > 1 ? std::atoi(argv[1]) : 10;
    return minutes > 0 ? minutes : 10;
}

int main(int argc, char **argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    int minutes = Minutes(argc, argv);
    Soak s;
    if (!PrepareBench("soak", "incoming", "incoming", &s.folder)
        || !CreateDirectoryA((s.folder + "\\Infected").c_str(), nullptr) || !SetSettingNumber("Action", 2)
        || !SetSettingNumber("LogToFile", 1) || !SetSettingNumber("Append", 1) || !SetSettingNumber("Log", 0xFF)) {
        std::printf("SOAK FAILED: cannot prepare the soak folder\n");
        return 1;
    }
    double elapsed = 0;
    if (!StartAndReachLoop(s.folder, &s.run, &s.main, &elapsed)) {
        std::printf("SOAK FAILED: Torvane did not start\n");
        return 1;
    }
    WaitJournalLine(s.folder, "CTL_SELECT_LANGUAGE", ROBOT_TIMEOUT_MS);
    std::printf("SOAK started: %d minutes, %d test and %d clean files a second into %s\\incoming\n", minutes,
                TEST_FILES_PER_SECOND, CLEAN_FILES_PER_SECOND, s.folder.c_str());
    s.writer.folder = s.folder + "\\incoming";
    s.startMs = NowMs();
    HANDLE writer = CreateThread(nullptr, 0, WriterThread, &s.writer, 0, nullptr);

    std::vector<Holdings> samples;
    double endMs = s.startMs + minutes * 60000.0;
    while (NowMs() < endMs) {
        s.writer.roundBegun = 1;
        WritePhase(s, WRITE_PHASE_MS);
        SheetRound(s);
        WritePhase(s, WRITE_PHASE_MS);
        Settle(s);
        NoMessageBox(s, "during the soak");
        // The alert is closed two rounds in three; the holdings are counted with nothing modal open.
        if (s.round % 3 != 1) {
            CloseAlert(s);
            samples.push_back(Sample(s.run, s.startMs));
        }
        ToggleScanning(s);
        s.writer.tests = 1;
        s.round++;
        std::printf("SOAK round %d at %.0f s: %ld test files, %ld clean files written\n", s.round,
                    (NowMs() - s.startMs) / 1000, static_cast<long>(s.writer.testsWritten),
                    static_cast<long>(s.writer.cleanWritten));
    }
    Settle(s);
    s.writer.stop = 1;
    WaitForSingleObject(writer, 5000);
    CloseHandle(writer);
    CloseAlert(s);
    NoMessageBox(s, "at the end");
    samples.push_back(Sample(s.run, s.startMs));

    // The counts: nothing lost on the way from a file written to its row and its report line.
    long written = s.writer.testsWritten;
    long detected = CountWith(ReadJournal(s.folder), "DETECT ");
    long reported = ReportInfections(s.folder);
    std::vector<std::string> journal = ReadJournal(s.folder);
    std::printf("SOAK detections: test files written %ld, rows listed in the alerts %ld, infection lines in the report %ld, "
                "journal detections %ld; clean files written %ld; %d rounds, %d applies\n",
                written, s.rowsClosed, reported, detected, static_cast<long>(s.writer.cleanWritten), s.round, s.applied);
    long refused = 0;
    for (const std::string &line : journal)
        refused += line.compare(0, 8, "ARCHIVE ") == 0 && line.find(".ZIP skipped: ") != std::string::npos;
    std::printf("SOAK bounds: %ld crafted archives written, %ld archive readings cut short, %d reads put off\n",
                s.writer.crafted, refused, CountWith(journal, "RETRY "));
    if (!s.passedOver.empty())
        std::printf("SOAK note: pages that marked no change and were passed over: %s\n", s.passedOver.c_str());
    if (s.rowsClosed != written)
        Fail("the alerts listed " + std::to_string(s.rowsClosed) + " of " + std::to_string(written) + " detections");
    if (reported != written)
        Fail("the report holds " + std::to_string(reported) + " of " + std::to_string(written) + " detections");
    if (detected != written)
        Fail("the driver detected " + std::to_string(detected) + " of " + std::to_string(written) + " test files");

    // Still answering, promptly.
    std::vector<double> answers;
    for (int i = 0; i < 5; i++) {
        answers.push_back(PingMs(s.main, 5000));
        Sleep(100);
    }
    double answer = SpreadOf(answers).median;
    std::printf("SOAK answers: median of 5 at the end %.1f ms, slowest during the soak %.1f ms\n", answer,
                s.slowestAnswerMs);
    if (answer < 0 || answer > ANSWER_LIMIT_MS)
        Fail("the program answers in " + std::to_string(answer) + " ms at the end");

    // Holdings at the end against the most of the first minute.
    Holdings first = samples.front();
    for (const Holdings &h : samples) {
        if (h.atMs > 60000 && &h != &samples.front())
            break;
        first.gdi = std::max(first.gdi, h.gdi);
        first.user = std::max(first.user, h.user);
        first.privateMb = std::max(first.privateMb, h.privateMb);
        first.workingSetMb = std::max(first.workingSetMb, h.workingSetMb);
    }
    const Holdings &last = samples.back();
    PrintHoldings("first minute (most)", first);
    PrintHoldings("end", last);
    if (last.gdi < 0 || last.gdi > first.gdi + GDI_GROWTH)
        Fail("GDI objects grew from " + std::to_string(first.gdi) + " to " + std::to_string(last.gdi));
    if (last.user > first.user + USER_GROWTH)
        Fail("USER objects grew from " + std::to_string(first.user) + " to " + std::to_string(last.user));
    if (last.privateMb > first.privateMb + MEMORY_GROWTH_MB)
        Fail("private memory grew from " + std::to_string(first.privateMb) + " to " + std::to_string(last.privateMb) + " MB");

    // Exit from the tray menu ends the program with 0.
    HWND menu = OpenTrayMenu(s.run.processId);
    DWORD exitCode = 99;
    if (menu == nullptr)
        Fail("the tray menu did not open for Exit");
    else
        ChooseFromMenu(menu, VK_UP);
    if (!WaitExit(s.run, ROBOT_TIMEOUT_MS, &exitCode))
        Fail("Exit did not end the program");
    else if (exitCode != 0)
        Fail("Exit ended the program with code " + std::to_string(exitCode));
    std::printf("SOAK exit code %lu\n", exitCode);
    EndAllTorvane();
    std::printf("SOAK %s\n", failures.empty() ? "PASSED" : "FAILED");
    return failures.empty() ? 0 : 1;
}
