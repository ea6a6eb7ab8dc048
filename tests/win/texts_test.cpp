// Texts from the LanguageTable: the OEM to ANSI conversion into bounded buffers, the labelling pass,
// the fallback user name, and the language switch against the real driver's tables.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/globals.h"
#include "driver/address.h"
#include "driver/link.h"
#include "driver/readable.h"
#include "driver/texts.h"
#include "tests/win/test_support.h"

namespace {

// Text spelled out byte by byte where it is not printable ASCII.
std::string Bytes(const std::string &text)
{
    std::string shown;
    for (unsigned char c : text) {
        char hex[8];
        if (c >= 0x20 && c < 0x7F) {
            shown += static_cast<char>(c);
        } else {
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        }
    }
    return shown;
}

// A LanguageTable of the test's own, in static storage (below 4 GB like the driver's). Numbers not
// given have a null address.
uint32_t ownTable[LANGUAGE_TABLE_ENTRIES];
char ownTexts[8][3100];

void UseTable(const std::vector<std::pair<int, std::string>> &texts)
{
    std::memset(ownTable, 0, sizeof ownTable);
    size_t slot = 0;
    for (const auto &entry : texts) {
        char *text = ownTexts[slot++];
        std::memset(text, 0, sizeof ownTexts[0]);
        std::memcpy(text, entry.second.data(), std::min(entry.second.size(), sizeof ownTexts[0] - 1));
        ownTable[entry.first] = Address32(text);
    }
    languageTable = ownTable;
}

class Texts : public testing::Test {
protected:
    void SetUp() override { savedTable = languageTable; }
    void TearDown() override
    {
        languageTable = savedTable;
        getUserName = GetUserNameA;
    }
    const uint32_t *savedTable = nullptr;
};

// "Grüße" in code page 437, and what code page 1252 makes of it.
const char OEM_GREETING[] = "Gr\x81\xE1" "e";
const char ANSI_GREETING[] = "Gr\xFC\xDF" "e";

TEST_F(Texts, ConvertTextIsBoundedAndAlwaysTerminated)
{
    UseTable({{650, OEM_GREETING}});
    struct Case {
        int number;
        size_t size;
        const char *expected;
        int result;
    } cases[] = {
        {650, 64, ANSI_GREETING, 1},
        {650, 6, ANSI_GREETING, 1},         // exact fit
        {650, 5, "Gr\xFC\xDF", 0},          // one short
        {650, 4, "Gr\xFC", 0},
        {650, 3, "Gr", 0},
        {650, 1, "", 0},
        {651, 16, "", 1},                   // no text at this number
        {-1, 16, "", 1},
        {702, 16, "", 1},
        {0x7FFFFFFF, 16, "", 1},
    };
    for (const Case &c : cases) {
        char buffer[64];
        std::memset(buffer, 'z', sizeof buffer);
        int result = ConvertText(c.number, buffer, c.size);
        std::string got(buffer, strnlen(buffer, c.size));
        EXPECT_EQ(c.result, result) << "text " << c.number << " into " << c.size;
        EXPECT_EQ(Bytes(c.expected), Bytes(got)) << "text " << c.number << " into " << c.size;
        EXPECT_LT(got.size(), c.size) << "not terminated";
        if (c.size < sizeof buffer) {
            EXPECT_EQ('z', buffer[c.size]) << "written past " << c.size << " bytes";
        }
    }

    char buffer[8] = "zzzzzzz";
    EXPECT_EQ(0, ConvertText(650, buffer, 0));
    EXPECT_EQ('z', buffer[0]) << "a buffer of size 0 was written";
    EXPECT_EQ(0, ConvertText(650, nullptr, 16));
    languageTable = nullptr;
    EXPECT_EQ(1, ConvertText(650, buffer, sizeof buffer));
    EXPECT_EQ("", std::string(buffer)) << "without a table";
    EXPECT_EQ("", std::string(StoredText(650))) << "without a table";
}

// A dialog template in memory: a caption and static controls (id, text), no font.
std::vector<WORD> DialogTemplate(const char *title, const std::vector<std::pair<WORD, const char *>> &statics)
{
    std::vector<WORD> words;
    auto dword = [&words](DWORD value) {
        words.push_back(LOWORD(value));
        words.push_back(HIWORD(value));
    };
    auto text = [&words](const char *s) {
        while (*s)
            words.push_back(static_cast<unsigned char>(*s++));
        words.push_back(0);
    };
    dword(WS_POPUP | WS_CAPTION);
    dword(0);
    words.push_back(static_cast<WORD>(statics.size()));
    for (WORD v : {0, 0, 200, 100})
        words.push_back(v);
    words.push_back(0);   // no menu
    words.push_back(0);   // the standard dialog class
    text(title);
    WORD y = 0;
    for (const auto &item : statics) {
        if (words.size() % 2)
            words.push_back(0);   // each item starts on a DWORD
        dword(WS_CHILD | WS_VISIBLE | SS_LEFT);
        dword(0);
        for (WORD v : {WORD(0), y, WORD(190), WORD(10)})
            words.push_back(v);
        y += 12;
        words.push_back(item.first);
        words.push_back(0xFFFF);
        words.push_back(0x0082);   // STATIC
        text(item.second);
        words.push_back(0);        // no creation data
    }
    return words;
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

std::string ControlText(HWND dialog, int id)
{
    static char text[4096];
    int length = GetDlgItemTextA(dialog, id, text, sizeof text);
    return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

TEST_F(Texts, LabelDialogConvertsInOrderIntoItsWorkingBuffer)
{
    const std::string longText = "\x81" + std::string(3000, 'x');   // longer than the working buffer
    UseTable({{650, OEM_GREETING}, {651, "first"}, {652, "second \x94"}, {653, "Titel \x84"}, {654, longText}});
    std::vector<WORD> dialogTemplate =
        DialogTemplate("template", {{100, "a"}, {101, "b"}, {102, "c"}, {103, "kept"}});
    HWND dialog = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEA>(dialogTemplate.data()), nullptr,
                                             PlainDialogProc, 0);
    ASSERT_NE(nullptr, dialog);
    const TextLabel labels[] = {
        {650, 100}, {651, 101}, {652, 101}, {653, LABEL_TITLE}, {654, 102}, {660, 999},   // 999: no such control
    };
    EXPECT_EQ(1, LabelDialog(dialog, labels));

    struct Expected {
        int control;
        std::string text;
    } expected[] = {
        {100, ANSI_GREETING},
        {101, "second \xF6"},                                  // the later label wins
        {102, "\xFC" + std::string(LABEL_BUFFER_SIZE - 2, 'x')},   // cut to the working buffer
        {103, "kept"},                                         // not labelled: the template's text
    };
    for (const Expected &e : expected)
        EXPECT_EQ(Bytes(e.text), Bytes(ControlText(dialog, e.control))) << "control " << e.control;
    char title[64];
    GetWindowTextA(dialog, title, sizeof title);
    EXPECT_EQ(Bytes("Titel \xE4"), Bytes(title));
    DestroyWindow(dialog);
}

// The platform's GetUserNameA for a user called platformName: it fails when the name and its
// terminator do not fit *size characters.
const char *platformName;
BOOL WINAPI PlatformUserName(LPSTR name, LPDWORD size)
{
    DWORD needed = static_cast<DWORD>(std::strlen(platformName)) + 1;
    if (needed > *size) {
        *size = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(name, platformName, needed);
    *size = needed;
    return TRUE;
}

// A platform that cannot tell the name and leaves the buffer scribbled over.
BOOL WINAPI FailingUserName(LPSTR name, LPDWORD size)
{
    std::memset(name, '?', *size);
    SetLastError(ERROR_NOT_LOGGED_ON);
    return FALSE;
}

TEST_F(Texts, UserNameFallsBackToText588AsStored)
{
    struct Case {
        const char *what;
        BOOL(WINAPI *seam)(LPSTR, LPDWORD);
        const char *name;         // the platform's user name
        std::string fallback;     // text 588
        std::string expected;
    } cases[] = {
        {"platform fails", FailingUserName, "", "Unbek\x84nnt", "Unbek\x84nnt"},   // OEM byte stays
        {"19 characters", PlatformUserName, "abcdefghijklmnopqrs", "Unknown", "abcdefghijklmnopqrs"},
        {"20 characters", PlatformUserName, "abcdefghijklmnopqrst", "Unknown", "Unknown"},
        {"short name", PlatformUserName, "Ann", "Unknown", "Ann"},
        {"long fallback", FailingUserName, "", std::string(30, 'u'), std::string(19, 'u')},
    };
    for (const Case &c : cases) {
        UseTable({{TEXT_USER_FALLBACK, c.fallback}});
        getUserName = c.seam;
        platformName = c.name;
        char area[24];   // a userName field of 20 bytes and a guard behind it
        std::memset(area, 'z', sizeof area);
        FillUserName(area, 20);
        EXPECT_EQ(Bytes(c.expected), Bytes(std::string(area, strnlen(area, 20)))) << c.what;
        EXPECT_EQ("zzzz", std::string(area + 20, 4)) << c.what << ": written past the field";
    }
}

// ---- The language switch against the real driver, each run in a child process ----------------

// Counts and prints the mismatches of a child process; the child's exit code is the verdict.
int childFailures;

void ChildCheck(bool held, const std::string &what)
{
    if (!held) {
        childFailures++;
        std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    }
}

void ChildCheckText(const std::string &expected, const std::string &got, const std::string &what)
{
    ChildCheck(expected == got, what + ": got \"" + Bytes(got) + "\", expected \"" + Bytes(expected) + "\"");
}

[[noreturn]] void EndChild(void)
{
    std::fflush(stderr);
    std::exit(childFailures == 0 ? 0 : 1);
}


// In the child: a copy of the built driver in C:\torvane-texts\<name> with ini as its [Driver]
// keys, checked, opened and connected as start-up does.
void ConnectRealDriver(const std::string &name, const std::string &ini)
{
    CreateDirectoryA("C:\\torvane-texts", nullptr);
    std::string folder = "C:\\torvane-texts\\" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string iniBytes = "[Driver]\r\nWatch=none\r\n" + ini;
    HANDLE file = CreateFileA((folder + "\\Torvane.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    int ok = file != INVALID_HANDLE_VALUE
             && WriteFile(file, iniBytes.data(), static_cast<DWORD>(iniBytes.size()), &written, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    ok = ok && CopyFileA(BuiltDriverPath().c_str(), (folder + "\\Torvane.VXD").c_str(), FALSE)
         && SetCurrentDirectoryA(folder.c_str());
    ChildCheck(ok, "prepare " + folder);
    if (!ok)
        EndChild();
    BuildProgramDir(programDir, sizeof programDir);
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ok = CheckDriverVersion("Torvane.VXD") && OpenDriver("Torvane.VXD") && ConnectDriver(programDir, window);
    ChildCheck(ok, "the built driver was not connected");
    if (!ok)
        EndChild();
}

// Text 608 (the alert title) of each of the driver's tables, in code page 437.
const char ENGLISH_608[] = "Torvane - Virus Found";
const char GERMAN_608[] = "Torvane - Virus gefunden";
const char FRENCH_608[] = "Torvane - Virus d\x82tect\x82";

struct Selection {
    uint32_t id;
    int accepted;
    const char *text608;   // StoredText(608) afterwards
};

// One child: connects with ini, then selects each id in turn and checks the outcome.
void SelectInChild(const char *name, const char *ini, const std::vector<Selection> &selections)
{
    ConnectRealDriver(name, ini);
    for (const Selection &s : selections) {
        std::string what = std::string(name) + " id " + std::to_string(s.id);
        const uint32_t *before = languageTable;
        int result = -1;
        CaughtBox box = CatchMessageBox([&] { result = SelectLanguage(s.id); });
        ChildCheck(result == s.accepted, what + ": result " + std::to_string(result));
        ChildCheck(box.found == !s.accepted, what + (s.accepted ? ": a message was shown" : ": no message"));
        if (!s.accepted) {
            ChildCheckText("Can not load new language", box.text, what + " message");
            ChildCheckText("Torvane", box.caption, what + " caption");
            ChildCheck(languageTable == before, what + ": the table changed on refusal");
        }
        ChildCheckText(s.text608, StoredText(TEXT_ALERT_TITLE), what + " text 608");
    }
    EndChild();
}

TEST(TextsLanguage, SelectLanguageSwitchesOnlyWhenTheDriverAccepts)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    struct Case {
        const char *name;
        const char *ini;
        std::vector<Selection> selections;
    } cases[] = {
        {"accepting", "",
         {{1, 1, GERMAN_608}, {3, 0, GERMAN_608}, {0xFFFFFFFFu, 0, GERMAN_608}, {2, 1, FRENCH_608}, {0, 1, ENGLISH_608}}},
        {"refusing", "RefuseLanguage=1\r\n", {{1, 0, ENGLISH_608}, {0, 0, ENGLISH_608}}},
        {"one-language", "Languages=1\r\n", {{1, 0, ENGLISH_608}, {0, 1, ENGLISH_608}}},
        {"french-start", "StartLanguage=2\r\nRefuseLanguage=1\r\n", {{1, 0, FRENCH_608}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(SelectInChild(c.name, c.ini, c.selections), testing::ExitedWithCode(0), "");
    }
}

// After the switch to German: texts of the real table come out in code page 1252; a refusal takes
// its caption, as stored, from whatever table is in force.
void GermanInChild(void)
{
    ConnectRealDriver("german", "");
    ChildCheck(SelectLanguage(1) == 1, "German was not selected");
    ChildCheckText("&Schlie\xE1" "en", StoredText(685), "stored text 685");
    struct Case {
        int number;
        const char *expected;
    } cases[] = {
        {685, "&Schlie\xDF" "en"},
        {648, "&Zur\xFC" "cksetzen"},
        {668, "\xDC" "bersicht"},
        {594, "Franz\xF6sisch"},
        {664, "L\xF6schen"},
    };
    for (const Case &c : cases) {
        size_t fit = std::strlen(c.expected) + 1;
        char buffer[128];
        ChildCheck(ConvertText(c.number, buffer, fit) == 1, "text " + std::to_string(c.number) + " did not fit exactly");
        ChildCheckText(c.expected, buffer, "text " + std::to_string(c.number));
    }

    UseTable({{TEXT_PRODUCT, "Produkt \x84"}});
    int result = -1;
    CaughtBox box = CatchMessageBox([&] { result = SelectLanguage(3); });
    ChildCheck(result == 0 && box.found, "id 3 was not refused with a message");
    ChildCheckText("Produkt \x84", box.caption, "caption of the refusal");
    ChildCheck(languageTable == ownTable, "the table changed on refusal");
    EndChild();
}

TEST(TextsLanguage, GermanTextsConvertToCodePage1252)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(GermanInChild(), testing::ExitedWithCode(0), "");
}

// Memory named by an address from outside: readable up to a terminator or the limit, and a guard
// page is neither read nor losing its guard (the probe of Windows 95/98 would take it away).
TEST(Readable, TextsStopAtTheirEndAndGuardPagesStayGuarded)
{
    const DWORD page = 4096;
    char *area = static_cast<char *>(VirtualAlloc(nullptr, 2 * page, MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(nullptr, area);
    DWORD old;
    ASSERT_TRUE(VirtualProtect(area + page, page, PAGE_READWRITE | PAGE_GUARD, &old));
    std::memset(area, 'X', page);
    area[page - 64] = 0;
    struct Case {
        const char *what;
        const char *at;
        int readable;
    } cases[] = {
        {"terminated before the guard page", area + page - 100, 1},
        {"running into the guard page", area + page - 16, 0},
        {"in the guard page", area + page, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.readable, IsReadableText(c.at, 1024)) << c.what;
        MEMORY_BASIC_INFORMATION region;
        ASSERT_TRUE(VirtualQuery(area + page, &region, sizeof region));
        EXPECT_TRUE(region.Protect & PAGE_GUARD) << "the guard went: " << c.what;
    }
    EXPECT_EQ(0, IsReadableMemory(area + page - 16, 32)) << "a span into the guard page";
    VirtualFree(area, 0, MEM_RELEASE);
}

}   // namespace
