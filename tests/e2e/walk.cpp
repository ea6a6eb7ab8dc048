// A user's first run, walked by the robot: Torvane, installed in its program folder, is started as
// its Start-menu entry starts it, and the program's main job is taken step by step with a picture
// of each, numbered in the order taken: the start, the tray icon and its menu, a clean letter
// saved into the Downloads folder (the icon blinks), the anti-virus test file saved there (the
// alert lists it, and a console shows what the action left of it), and the Information page with
// the counters that followed. Exit from the tray menu ends it; its exit code must be 0. The last
// line printed sums it up.
//
// With TORVANE_CLAMD_MARKER set (the driver asks a ClamAV daemon that knows those bytes), a sample
// carrying them is saved beside the test file: only the daemon can find it.
// With --docs the pictures of docs/ are taken on the way: the sheet's pages and dialogs in English,
// then in German; nothing is applied, and the language is switched back before Exit.
//
// Usage: walk [--docs] <program folder>   pictures into TORVANE_SHOTS (a Unix folder), docs/ below
//        walk --test-file                 saves the test file (and the sample) into Downloads
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/robot.h"

static const char CLEAN_NAME[] = "letter.doc";     // DOC is a program file: scanned as installed
static const char TEST_NAME[] = "av-test";         // .com
static const char SAMPLE_NAME[] = "engine-sample"; // .exe

struct Walk {
    std::string program;        // the program folder
    std::string downloads;      // the user's Downloads folder, where the files are saved
    std::string marker;         // bytes only the ClamAV daemon knows; "" without the daemon
    int docs = 0;               // 1: the pictures of docs/ as well
    int pictures = 0;           // steps pictured so far
    TorvaneRun run;
    int failures = 0;
};

static void Fail(Walk &w, const std::string &what)
{
    std::printf("walk: FAILED: %s\n", what.c_str());
    w.failures++;
}

static std::string Lower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

static std::string Joined(const std::vector<std::string> &items)
{
    std::string text;
    for (const std::string &item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

// A picture of a step of the walk, numbered; with --docs also kept as docs\<docsName>.
static void Picture(Walk &w, const char *step, const char *docsName, DWORD settleMs = 300)
{
    std::string name = std::to_string(++w.pictures) + "-" + step;
    if (SaveScreenshot(name, settleMs) && w.docs && docsName != nullptr) {
        std::string shots = UnixToWindowsPath(EnvironmentValue("TORVANE_SHOTS"));
        CopyFileA((shots + "\\" + name + ".bmp").c_str(), (shots + "\\docs\\" + docsName + ".bmp").c_str(), FALSE);
    }
}

static void DocsPicture(const char *name)
{
    SaveScreenshot(std::string("docs\\") + name);
}

// ---- The Downloads folder and the files saved there -------------------------------------------

static std::string DownloadsFolder(void)
{
    std::string profile = EnvironmentValue("USERPROFILE");
    if (profile.empty())
        return "";
    std::string folder = profile + "\\Downloads";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

static int Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The first name of stem (stem, stem-2, stem-3 ...) with extension that is not taken in folder.
static std::string FreeName(const std::string &folder, const std::string &stem, const std::string &extension)
{
    std::string name = stem + extension;
    for (int n = 2; Exists(folder + "\\" + name) && n < 1000; n++)
        name = stem + "-" + std::to_string(n) + extension;
    return name;
}

static std::string SampleBytes(const std::string &marker)
{
    return "MZ a program carrying " + marker + " inside\r\n";
}

// The files an earlier walk or --test-file saved go first, so that the console lists only this
// walk's.
static void RemoveEarlierFiles(const std::string &folder)
{
    for (const std::string &pattern : {std::string(CLEAN_NAME), std::string(TEST_NAME) + "*.com",
                                       std::string(SAMPLE_NAME) + "*.exe"}) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            continue;
        do
            DeleteFileA((folder + "\\" + found.cFileName).c_str());
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
}

// What the action left of a detected file, as a program that tries to read it finds it.
static std::string Fate(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return "stays in Downloads, untouched";
    }
    DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION)
        return "stays in Downloads, and no program can open it";
    if (error == ERROR_FILE_NOT_FOUND)
        return "is gone from Downloads";
    return "cannot be read (error " + std::to_string(error) + ")";
}

// ---- A console window, as a user opens one to look at a folder --------------------------------

struct Console {
    HANDLE process = nullptr;   // cmd.exe
    DWORD processId = 0;
    HWND window = nullptr;      // the console's window, which its host owns
};

// The text the console of processId shows, its rows one after the other up to the cursor's row;
// *window receives the console's window. "" when it cannot be read.
static std::string ConsoleScreen(DWORD processId, HWND *window)
{
    // A process has one console at a time; the walk's own output goes to the Unix side all along.
    FreeConsole();
    if (!AttachConsole(processId))
        return "";
    *window = GetConsoleWindow();
    std::string text;
    HANDLE output = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (output != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(output, &info)) {
        DWORD count = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwCursorPosition.Y + 1);
        DWORD got = 0;
        text.resize(count);
        if (!ReadConsoleOutputCharacterA(output, &text[0], count, COORD{0, 0}, &got))
            got = 0;
        text.resize(got);
    }
    if (output != INVALID_HANDLE_VALUE)
        CloseHandle(output);
    FreeConsole();
    return text;
}

// Opens a console window in folder whose cmd.exe runs command, and waits until the command is
// through (the prompt shows again). 1 when so; the console stays open until CloseConsole.
static int OpenConsole(const std::string &folder, const std::string &command, Console *console)
{
    std::string line = "cmd.exe /k \"" + command + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, folder.c_str(),
                        &startup, &info))
        return 0;
    CloseHandle(info.hThread);
    console->process = info.hProcess;
    console->processId = info.dwProcessId;
    std::string prompt = Lower(folder + ">");
    return WaitUntil([&] {
        return Lower(ConsoleScreen(console->processId, &console->window)).find(prompt) != std::string::npos
               && console->window != nullptr && IsWindowVisible(console->window);
    }, ROBOT_TIMEOUT_MS);
}

static void CloseConsole(Console *console)
{
    if (console->process == nullptr)
        return;
    TerminateProcess(console->process, 0);     // its host closes the window when cmd.exe has gone
    WaitForSingleObject(console->process, ROBOT_TIMEOUT_MS);
    CloseHandle(console->process);
    if (console->window != nullptr)
        WaitClosed(console->window, ROBOT_TIMEOUT_MS);
    *console = Console();
}

// ---- The steps ----------------------------------------------------------------------------------

// Starts Torvane from its program folder and waits for its tray icon. 1 when it is up.
static int Start(Walk &w)
{
    if (FindTopWindow(ROBOT_MAIN_CLASS, ROBOT_MAIN_TITLE) != nullptr) {
        Fail(w, "a Torvane runs already");
        return 0;
    }
    if (!StartTorvane(w.program, &w.run)) {
        Fail(w, "Torvane.exe did not start from " + w.program);
        return 0;
    }
    // The splash stands 1.5 s while the driver is loaded.
    if (WaitForWindow(w.run.processId, nullptr, ROBOT_TIMEOUT_MS) != nullptr)
        Picture(w, "start", "splash");
    if (WaitForMainWindow(w.run.processId, ROBOT_TIMEOUT_MS) == nullptr || !WaitUntil(TrayIconShown, ROBOT_TIMEOUT_MS)) {
        MessageBoxView view;
        HWND box = WaitForMessageBox(w.run.processId, 0);
        if (box != nullptr)
            ReadMessageBox(box, &view);
        Fail(w, "Torvane did not come up in the tray; on screen: \"" + Visible(view.text) + "\"");
        return 0;
    }
    return 1;
}

static POINT TrayIconCentre(void)
{
    HWND tray;
    RECT square = {};
    TrayIconSquare(&tray, &square);
    return POINT{(square.left + square.right) / 2, (square.top + square.bottom) / 2};
}

// Opens the tray menu with the mouse on the icon, as a user's right-click does; nullptr when none came.
static HWND TrayMenu(Walk &w)
{
    POINT icon = TrayIconCentre();
    SetCursorPos(icon.x, icon.y);      // the menu opens where the mouse is
    return OpenTrayMenu(w.run.processId);
}

static void ShowTrayMenu(Walk &w)
{
    HWND menu = TrayMenu(w);
    if (menu == nullptr) {
        Fail(w, "the tray menu did not open");
        return;
    }
    Picture(w, "tray-menu", "tray-menu");
    PostToWindow(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    PostToWindow(menu, WM_KEYUP, VK_ESCAPE, 0xC0000000);
    if (!WaitClosed(menu, ROBOT_TIMEOUT_MS))
        Fail(w, "Escape did not close the tray menu");
    // Away from the icon, so that no tooltip covers it.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 3);
}

// A letter saved from a console: scanned, found clean, and the icon blinks.
static void SaveCleanFile(Walk &w)
{
    // The icons as the installed program has them; the taskbar repaints the icon where the menu was.
    const std::string program = w.program + "\\Torvane.exe";
    if (!WaitUntil([&] { return TrayIconLook(program) == IDI_ENABLED; }, ROBOT_TIMEOUT_MS))
        Fail(w, "the tray icon does not show scanning enabled");
    Console console;
    std::string command = std::string("echo Dear Torvane, this letter is clean.>") + CLEAN_NAME + " & dir /b";
    if (!OpenConsole(w.downloads, command, &console))
        Fail(w, "the console did not save " + std::string(CLEAN_NAME));
    else if (!WaitUntil([&] { return TrayIconLook(program) == IDI_BLINK; }, ROBOT_TIMEOUT_MS))
        Fail(w, "the tray icon did not blink for " + std::string(CLEAN_NAME));
    else
        Picture(w, "clean-file", nullptr, 0);
    WaitUntil([&] { return TrayIconLook(program) == IDI_ENABLED; }, ROBOT_TIMEOUT_MS);
    CloseConsole(&console);
}

// The test file (and the daemon's sample) saved: the alert lists them, and a console shows what
// the action left of the test file. *detections receives the alert's rows, *fate the test file's.
static void SaveTestFile(Walk &w, std::vector<std::string> *detections, std::string *fate)
{
    std::string test = w.downloads + "\\" + TEST_NAME + ".com";
    std::string sample = w.downloads + "\\" + SAMPLE_NAME + ".exe";
    size_t expected = w.marker.empty() ? 1 : 2;
    if (!WriteFileBytes(test, TestFileBytes()) || (expected == 2 && !WriteFileBytes(sample, SampleBytes(w.marker)))) {
        Fail(w, "cannot save the test file into " + w.downloads);
        return;
    }
    HWND list = nullptr;
    HWND alert = WaitForAlert(w.run.processId, ROBOT_TIMEOUT_MS, &list);
    if (alert == nullptr || !WaitUntil([&] { return ListViewRows(list).size() >= expected; }, ROBOT_TIMEOUT_MS)) {
        Fail(w, "the alert did not list the detection" + std::string(expected == 2 ? "s" : ""));
        if (alert == nullptr)
            return;
    }
    *detections = ListViewRows(list);
    std::string rows = Lower(Joined(*detections));
    if (rows.find(Lower(test)) == std::string::npos || (expected == 2 && rows.find(Lower(sample)) == std::string::npos))
        Fail(w, "the alert lists " + Joined(*detections));
    Console console;
    if (!OpenConsole(w.downloads, std::string("dir /b & type ") + TEST_NAME + ".com", &console))
        Fail(w, "the console did not look at the test file");
    // Wine paints the console over the alert, although the alert stays topmost: the user clicks
    // the alert to the front.
    SetForegroundWindow(alert);
    Picture(w, "test-file", "virus-alert");
    *fate = Fate(test);
    CloseConsole(&console);
    if (!PressButton(alert, IDOK) || !WaitClosed(alert, ROBOT_TIMEOUT_MS))
        Fail(w, "OK did not close the alert");
}

static std::string WithoutMnemonic(std::string text)
{
    std::string plain;
    for (char c : text) {
        if (c != '&')
            plain += c;
    }
    return plain;
}

// The action in force as the Action page shows it: the ticked choice, or Only log to report when
// that box is ticked.
static std::string ShownAction(HWND sheet)
{
    static const int choices[] = {IDC_ACTION_ONLY_LOG, IDC_ACTION_DENY,    IDC_ACTION_RENAME,     IDC_ACTION_MOVE,
                                  IDC_ACTION_DELETE,   IDC_ACTION_DISINFECT, IDC_ACTION_REPORT_ONLY};
    HWND page = SelectPage(sheet, SHEET_ACTION_PAGE);
    for (int id : choices) {
        if (IsTicked(page, id) == 1)
            return WithoutMnemonic(ControlText(page, id));
    }
    return "none shown";
}

// Adds rows to the Exclusions page through its add dialog, with a picture of the first one typed,
// and (when chooserPicture is given) of the folder chooser its Browse opens first.
static void AddExclusions(Walk &w, HWND page, const char *picture, const char *chooserPicture)
{
    static const struct {
        const char *path;
        int subfolders;
    } rows[] = {{"C:\\TEMP", 1}, {"C:\\DATA\\OLD", 0}};
    for (const auto &row : rows) {
        PressButton(page, IDC_EXCL_ADD);
        HWND dialog = WaitForDialogWith(w.run.processId, {IDC_ADDEXCL_PATH, IDC_ADDEXCL_LABEL}, ROBOT_TIMEOUT_MS);
        if (dialog != nullptr && row.subfolders && chooserPicture != nullptr) {
            PressButton(dialog, IDC_ADDEXCL_BROWSE);
            HWND chooser = WaitForFileDialog(w.run.processId, ROBOT_TIMEOUT_MS);
            DocsPicture(chooserPicture);
            if (chooser == nullptr || !AnswerFileDialog(chooser, "", 0))
                Fail(w, "the folder chooser did not come and go");
        }
        if (dialog == nullptr || !TypeText(dialog, IDC_ADDEXCL_PATH, row.path)
            || !SetTicked(dialog, IDC_ADDEXCL_SUBFOLDERS, row.subfolders)) {
            Fail(w, std::string("the add dialog did not take ") + row.path);
            return;
        }
        if (row.subfolders)
            DocsPicture(picture);
        PressButton(dialog, IDOK);
        WaitClosed(dialog, ROBOT_TIMEOUT_MS);
    }
}

// The sheet in English, for docs/: every page, the extensions dialog, the only-log warning, the add
// dialog and its folder chooser; the next language chosen on the way out, nothing applied.
static void EnglishPages(Walk &w, HWND sheet)
{
    HWND page = SelectPage(sheet, SHEET_SCAN_PAGE);
    DocsPicture("scan-options");
    PressButton(page, IDC_SCAN_PROGRAMS);
    HWND dialog = WaitForDialogWith(w.run.processId, {IDC_EXT_LIST, IDC_EXT_EDIT}, ROBOT_TIMEOUT_MS);
    DocsPicture("extensions");
    if (dialog == nullptr || !PressButton(dialog, IDCANCEL) || !WaitClosed(dialog, ROBOT_TIMEOUT_MS))
        Fail(w, "the extensions dialog did not come and go");

    page = SelectPage(sheet, SHEET_ACTION_PAGE);
    DocsPicture("action-page");
    PressButton(page, IDC_ACTION_ONLY_LOG);
    HWND warning = WaitForDialogWith(w.run.processId, {IDC_WARNING_TEXT}, ROBOT_TIMEOUT_MS);
    DocsPicture("warning-en");
    if (warning == nullptr || !PressButton(warning, IDOK) || !WaitClosed(warning, ROBOT_TIMEOUT_MS))
        Fail(w, "the only-log warning did not come and go");
    SetTicked(page, IDC_ACTION_ONLY_LOG, 0);   // stops the report that ticking it started

    page = SelectPage(sheet, SHEET_REPORT_PAGE);
    SetTicked(page, IDC_REPORT_LOG_TO_FILE, 1);
    DocsPicture("report-page");
    SetTicked(page, IDC_REPORT_LOG_TO_FILE, 0);

    AddExclusions(w, SelectPage(sheet, SHEET_EXCLUSIONS_PAGE), "add-exclusion-en", "folder-chooser");
    DocsPicture("exclusions-en");
    page = SelectPage(sheet, SHEET_ABOUT_PAGE);
    DocsPicture("about-en");
    SelectRow(page, IDC_ABOUT_LANGUAGE, 1);
    if (!PressSheetButton(sheet, IDCANCEL))
        Fail(w, "Cancel did not close the sheet");
}

// The sheet in German (the language chosen switches at the next opening), for docs/; English
// chosen again and switched to at one more opening, so that the stored choice is as before.
static void GermanPages(Walk &w)
{
    HWND sheet = OpenSheet(w.run, SHEET_BY_DOUBLE_CLICK);
    if (sheet == nullptr) {
        Fail(w, "the sheet did not open again");
        return;
    }
    AddExclusions(w, SelectPage(sheet, SHEET_EXCLUSIONS_PAGE), "add-exclusion-de", nullptr);
    DocsPicture("exclusions-de");
    SelectPage(sheet, SHEET_INFORMATION_PAGE);
    DocsPicture("information-de");
    HWND page = SelectPage(sheet, SHEET_ABOUT_PAGE);
    DocsPicture("about-de");
    SelectRow(page, IDC_ABOUT_LANGUAGE, 0);
    PressSheetButton(sheet, IDCANCEL);
    sheet = OpenSheet(w.run, SHEET_BY_DOUBLE_CLICK);
    if (sheet == nullptr || !PressSheetButton(sheet, IDCANCEL))
        Fail(w, "the sheet did not open in English again");
}

// What a user reads in the sheet after the detection.
struct Shown {
    std::string scanned;     // the Information page's counters
    std::string infected;
    std::string action;      // the Action page's choice
};

// Opens the sheet from the tray icon on its Information page once the counters show the
// detections; with --docs, the sheet's other pictures follow.
static void ShowInformation(Walk &w, size_t detections, Shown *shown)
{
    HWND sheet = OpenSheet(w.run, SHEET_BY_DOUBLE_CLICK);
    HWND page = sheet != nullptr ? SelectPage(sheet, SHEET_INFORMATION_PAGE) : nullptr;
    if (page == nullptr) {
        Fail(w, "a double-click on the tray icon opened no sheet");
        return;
    }
    if (!WaitUntil([&] { return ControlText(page, IDC_INFO_FILES_INFECTED) == std::to_string(detections); },
                   ROBOT_TIMEOUT_MS))
        Fail(w, "the Information page shows " + ControlText(page, IDC_INFO_FILES_INFECTED) + " infected");
    Picture(w, "information", "information-en");
    shown->scanned = ControlText(page, IDC_INFO_FILES_SCANNED);
    shown->infected = ControlText(page, IDC_INFO_FILES_INFECTED);
    shown->action = ShownAction(sheet);
    if (w.docs) {
        EnglishPages(w, sheet);
        GermanPages(w);
    } else if (!PressSheetButton(sheet, IDCANCEL)) {
        Fail(w, "Cancel did not close the sheet");
    }
}

// Exit from the tray menu; returns the exit code (99 when the program did not end).
static DWORD ExitFromMenu(Walk &w)
{
    DWORD exitCode = 99;
    HWND menu = TrayMenu(w);
    if (menu == nullptr)
        Fail(w, "the tray menu did not open for Exit");
    else
        ChooseFromMenu(menu, VK_UP);
    if (!WaitExit(w.run, ROBOT_TIMEOUT_MS, &exitCode))
        Fail(w, "Exit did not end Torvane");
    else if (exitCode != 0)
        Fail(w, "Torvane ended with exit code " + std::to_string(exitCode));
    EndAllTorvane();
    return exitCode;
}

static std::string NameOf(const std::string &path)
{
    return path.substr(path.find_last_of('\\') + 1);
}

// The one line a user reads at the end.
static std::string Summary(const Walk &w, const Shown &c, const std::vector<std::string> &detections,
                           const std::string &fate, DWORD exitCode)
{
    std::vector<std::string> names;
    for (const std::string &row : detections) {
        names.push_back(NameOf(row));
        if (!w.marker.empty() && names.back().compare(0, sizeof SAMPLE_NAME - 1, SAMPLE_NAME) == 0)
            names.back() += " by the ClamAV daemon";
    }
    return c.scanned + " files scanned, " + c.infected + (c.infected == "1" ? " detection" : " detections") + " ("
           + Joined(names) + "), action \"" + c.action + "\": " + TEST_NAME + ".com " + fate
           + "; Torvane ended with exit code " + std::to_string(exitCode);
}

// --test-file: the test file (and the sample) saved under free names, for a Torvane that runs.
static int SaveTestFilesOnly(const Walk &w)
{
    std::string test = w.downloads + "\\" + FreeName(w.downloads, TEST_NAME, ".com");
    if (!WriteFileBytes(test, TestFileBytes())) {
        std::printf("walk: cannot save %s\n", test.c_str());
        return 1;
    }
    std::printf("walk: saved the anti-virus test file as %s\n", test.c_str());
    if (!w.marker.empty()) {
        std::string sample = w.downloads + "\\" + FreeName(w.downloads, SAMPLE_NAME, ".exe");
        if (!WriteFileBytes(sample, SampleBytes(w.marker)))
            return 1;
        std::printf("walk: saved a sample only the ClamAV daemon knows as %s\n", sample.c_str());
    }
    return 0;
}

int main(int argc, char **argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    Walk w;
    w.marker = EnvironmentValue("TORVANE_CLAMD_MARKER");
    w.downloads = DownloadsFolder();
    if (w.downloads.empty()) {
        std::printf("walk: no user profile (USERPROFILE) for a Downloads folder\n");
        return 1;
    }
    if (argc == 2 && std::strcmp(argv[1], "--test-file") == 0)
        return SaveTestFilesOnly(w);
    int at = 1;
    if (argc > at && std::strcmp(argv[at], "--docs") == 0) {
        w.docs = 1;
        at++;
    }
    if (argc != at + 1) {
        std::printf("usage: walk [--docs] <program folder> | walk --test-file\n");
        return 2;
    }
    w.program = argv[at];
    if (w.docs)
        CreateDirectoryA((UnixToWindowsPath(EnvironmentValue("TORVANE_SHOTS")) + "\\docs").c_str(), nullptr);
    RemoveEarlierFiles(w.downloads);

    if (!Start(w)) {
        EndAllTorvane();
        return 1;
    }
    ShowTrayMenu(w);
    SaveCleanFile(w);
    std::vector<std::string> detections;
    std::string fate;
    SaveTestFile(w, &detections, &fate);
    Shown shown;
    ShowInformation(w, detections.size(), &shown);
    DWORD exitCode = ExitFromMenu(w);
    std::printf("summary: %s\n", Summary(w, shown, detections, fate, exitCode).c_str());
    return w.failures == 0 ? 0 : 1;
}
