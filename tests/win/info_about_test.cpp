// The Information and About pages in process: what the refresh writes and when, Clear; the texts
// the About page builds from the driver's formats, and the language choice it records.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/globals.h"
#include "driver/link.h"
#include "driver/protocol.h"
#include "res/resource.h"
#include "sheet/pages.h"
#include "sheet/sheet.h"
#include "tests/win/sheet_fixture.h"
#include "tests/win/test_support.h"

namespace {

std::map<int, int> writes;         // WM_SETTEXT per control id
std::map<HWND, WNDPROC> originals;

LRESULT CALLBACK CountingProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT)
        writes[GetDlgCtrlID(control)]++;
    return CallWindowProcA(originals[control], control, message, wParam, lParam);
}

// The recording sheet of the page tests; record holds the control codes and the marks.
class Pages : public Sheet {
protected:
    void TearDown() override
    {
        originals.clear();
        Sheet::TearDown();
    }
    HWND Create(int templateId, DLGPROC procedure) { return CreatePage(templateId, procedure); }
};

std::string Text(HWND page, int control)
{
    return WindowText(GetDlgItem(page, control));
}

TEST_F(Pages, InformationRefreshWritesOnlyWhatChanges)
{
    std::strcpy(statusBlock->lastFile, "C:\\DATA\\PROJECTS\\ALPHA\\DRAWINGS\\2021\\REVIEW\\plan.txt");
    statusBlock->filesScanned = 7;
    statusBlock->movedCount = 3;
    HWND page = Create(IDD_INFO_PAGE, InformationPageProc);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ("C:\\DATA\\PROJECTS\\ALPHA\\..\\plan.txt", Text(page, IDC_INFO_LAST_FILE)) << "refreshed at creation";
    EXPECT_EQ("7", Text(page, IDC_INFO_FILES_SCANNED));
    EXPECT_EQ("3", Text(page, IDC_INFO_MOVED));
    for (int control : {1077, 1078, 1079, 1080, 1081, 1082, 1083, 1013, 1012, 1084, 1006}) {
        HWND field = GetDlgItem(page, control);
        originals[field] = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
    }

    std::string unterminated(sizeof statusBlock->lastFile, 'x');
    unterminated[2] = '\\';
    struct Case {
        const char *what;
        void (*change)(StatusBlock *b);
        std::map<int, int> written;     // over ten ticks
        std::vector<std::pair<int, std::string>> shown;
    } cases[] = {
        {"nothing changed", [](StatusBlock *) {}, {}, {}},
        {"a counter and the file", [](StatusBlock *b) { b->filesScanned = 8, std::strcpy(b->lastFile, "C:\\a.txt"); },
         {{1077, 1}, {1006, 1}}, {{1077, "8"}, {1006, "C:\\a.txt"}}},
        {"the same number again", [](StatusBlock *b) { b->filesScanned = 8; }, {}, {}},
        {"from 2147483648 on a counter shows negative, written once", [](StatusBlock *b) {
             b->bootSuspicious = 2147483648u, b->renamedCount = 0xFFFFFFFFu; },
         {{1082, 1}, {1012, 1}}, {{1082, "-2147483648"}, {1012, "-1"}}},
        {"every counter", [](StatusBlock *b) {
             for (volatile uint32_t *c = &b->filesScanned; c <= &b->movedCount; c++) *c = 100; },
         {{1077, 1}, {1078, 1}, {1079, 1}, {1080, 1}, {1081, 1}, {1082, 1}, {1083, 1}, {1013, 1}, {1012, 1}, {1084, 1}},
         {{1084, "100"}, {1013, "100"}}},
    };
    for (const Case &c : cases) {
        c.change(statusBlock);
        writes.clear();
        for (int tick = 0; tick < 10; tick++)
            SendMessageA(page, WM_TIMER, 1, 0);
        EXPECT_EQ(c.written, writes) << c.what;
        for (const auto &shown : c.shown)
            EXPECT_EQ(shown.second, Text(page, shown.first)) << c.what;
    }

    // A last file filling its whole field without a terminator is read no further than the field.
    std::memcpy(statusBlock->lastFile, unterminated.data(), sizeof statusBlock->lastFile);
    SendMessageA(page, WM_TIMER, 1, 0);
    EXPECT_EQ(std::string(sizeof statusBlock->lastFile - 4, 'x'), Text(page, IDC_INFO_LAST_FILE));

    // Clear asks the driver and nothing else; the fields follow the driver's counters.
    writes.clear();
    SendDlgItemMessageA(page, IDC_INFO_CLEAR, BM_CLICK, 0, 0);
    EXPECT_EQ("clear ", record);
    EXPECT_TRUE(writes.empty());

    // The page's own timer refreshes it.
    statusBlock->filesInfected = 42;
    EXPECT_TRUE(RunSteps({[&] { return Text(page, IDC_INFO_FILES_INFECTED) == "42"; }}));
    DestroyWindow(page);
}

TEST_F(Pages, AboutShowsTheDriversTextsAndRecordsTheChoice)
{
    const uint32_t versions[8] = {11, 22, 33, 44, 55, 66, 77, 88};
    std::memcpy(statusBlock->versionInfo, versions, sizeof versions);
    std::memcpy(statusBlock->macroDate, std::string(sizeof statusBlock->macroDate, 'M').data(), sizeof statusBlock->macroDate);
    std::strcpy(statusBlock->signDate, "03/15/1999");
    SetTestText(700, "%u-%u-%u-%u-%u-%u-%u-%u");
    struct Case {
        const char *what;
        const char *text650, *text651;
        uint32_t count, id;
        std::string sign, macro;
        int selected, enabled;
    } cases[] = {
        {"a date each; three languages", "Sig: %s", "Mac: %s", 3, 1, "Sig: 03/15/1999", "Mac: " + std::string(40, 'M'), 1, 1},
        {"a text without conversion shows alone; one language", "Signatures", "%d %s", 1, 0, "Signatures", "%d %s", 0, 0},
        {"languageId outside the list", "%s", "%%%s", 2, 5, "03/15/1999", "%" + std::string(40, 'M'), -1, 1},
    };
    for (const Case &c : cases) {
        SetTestText(650, c.text650);
        SetTestText(651, c.text651);
        languageCount = c.count;
        languageId = c.id;
        HWND page = Create(IDD_ABOUT_PAGE, AboutPageProc);
        ASSERT_NE(nullptr, page);
        EXPECT_EQ("T600 T589.05\n", Text(page, IDC_ABOUT_PRODUCT)) << c.what;
        EXPECT_EQ("T649", Text(page, IDC_ABOUT_NOTICE)) << c.what;
        EXPECT_EQ(c.sign, Text(page, IDC_ABOUT_SIGN_DATE)) << c.what;
        EXPECT_EQ(c.macro, Text(page, IDC_ABOUT_MACRO_DATE)) << c.what;
        EXPECT_EQ("11-22-44-55-66-77-33-88", Text(page, IDC_ABOUT_VERSION)) << "the third number seventh: " << c.what;
        HWND box = GetDlgItem(page, IDC_ABOUT_LANGUAGE);
        EXPECT_EQ(static_cast<LRESULT>(c.count), SendMessageA(box, CB_GETCOUNT, 0, 0)) << c.what;
        EXPECT_EQ(c.selected, SendMessageA(box, CB_GETCURSEL, 0, 0)) << c.what;
        EXPECT_EQ(c.enabled, IsWindowEnabled(box) ? 1 : 0) << c.what;
        // A notification without a selection records nothing.
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_LANGUAGE, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
        EXPECT_EQ(c.id, languageId) << c.what;
        EXPECT_EQ(0, languageSwitchPending) << c.what;
        DestroyWindow(page);
    }

    // Picking: the language in force changes nothing; another is recorded and stays pending when
    // the first is picked again. Nothing reaches the driver or the sheet.
    languageCount = 3;
    languageId = 0;
    HWND page = Create(IDD_ABOUT_PAGE, AboutPageProc);
    HWND box = GetDlgItem(page, IDC_ABOUT_LANGUAGE);
    struct Pick {
        int item;
        uint32_t id;
        int pending;
    } picks[] = {{0, 0, 0}, {2, 2, 1}, {0, 0, 1}};
    for (const Pick &p : picks) {
        SendMessageA(box, CB_SETCURSEL, p.item, 0);
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_LANGUAGE, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
        EXPECT_EQ(p.id, languageId) << p.item;
        EXPECT_EQ(p.pending, languageSwitchPending) << p.item;
    }
    EXPECT_EQ("", record);
    DestroyWindow(page);

    // Names wherever the driver put them, past the table's 702 texts too; a number the table does
    // not reach, or an entry whose name cannot be read, shows an empty name.
    static const uint32_t farNames[] = {705, 592, 0xFFFFFFF0u, 706};
    SetTestText(705, "Fern");
    SetTestTextAddress(706, 0x10);
    languageList = farNames, languageCount = 4;
    page = Create(IDD_ABOUT_PAGE, AboutPageProc);
    std::vector<std::string> names(4, std::string(64, '?'));
    for (int i = 0; i < 4; i++)
        names[i].resize(SendDlgItemMessageA(page, IDC_ABOUT_LANGUAGE, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&names[i][0])));
    EXPECT_EQ((std::vector<std::string>{"Fern", "T592", "", ""}), names);
    DestroyWindow(page);
}

}   // namespace
