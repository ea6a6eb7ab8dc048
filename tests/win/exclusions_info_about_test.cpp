// The last three pages in process: the Exclusions page's rows, its add dialog (refusals, Browse)
// and apply; what the Information page's refresh writes and when, Clear; the texts the About page
// builds from the driver's formats, and the language choice it records.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/globals.h"
#include "driver/link.h"
#include "driver/protocol.h"
#include "res/resource.h"
#include "sheet/pages.h"
#include "sheet/sheet.h"
#include "tests/settings_snapshot.h"
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

std::vector<std::string> Rows(HWND page)
{
    HWND list = GetDlgItem(page, IDC_EXCL_LIST);
    std::vector<std::string> rows;
    for (LRESULT i = 0; i < SendMessageA(list, LB_GETCOUNT, 0, 0); i++) {
        char row[512] = "";
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(row));
        rows.push_back(row);
    }
    return rows;
}

// One use of the add dialog: the path typed, the box, what the chooser is told, the button pressed.
struct AddAttempt {
    const char *what;
    std::string typed;
    int subfolders;
    std::vector<std::string> browse;   // answers to the chooser, each then OK; {"cancel"}; {}: no Browse
    int press;                         // IDOK or IDCANCEL
    int refused;                       // OK leaves the dialog open (it is cancelled then)
    std::string field;                 // the path field when the button is pressed
    std::vector<std::string> added;    // rows the page gained
    std::string codes;
};

void Attempt(HWND page, const AddAttempt &a)
{
    std::vector<std::string> before = Rows(page);
    record.clear();
    HWND dialog = nullptr, chooser = nullptr;
    std::string field = "not read";
    std::vector<std::function<int()>> steps = {[&] {
        dialog = FindOwnDialog([](HWND w) { return WindowText(w) == "T696" ? 1 : 0; });
        if (dialog == nullptr)
            return 0;
        EXPECT_EQ("T690", Text(dialog, IDCANCEL)) << a.what;
        EXPECT_EQ("OK", Text(dialog, IDOK)) << "OK keeps its template text: " << a.what;
        EXPECT_EQ("", Text(dialog, IDC_ADDEXCL_PATH)) << "the field starts empty: " << a.what;
        SetDlgItemTextA(dialog, IDC_ADDEXCL_PATH, a.typed.c_str());
        CheckDlgButton(dialog, IDC_ADDEXCL_SUBFOLDERS, a.subfolders ? BST_CHECKED : BST_UNCHECKED);
        if (!a.browse.empty())
            PostMessageA(dialog, WM_COMMAND, IDC_ADDEXCL_BROWSE, 0);
        return 1;
    }};
    if (!a.browse.empty()) {
        steps.push_back([&] {
            chooser = FindOwnDialog([](HWND w) { return GetDlgItem(w, IDC_PICK_FOLDERS) != nullptr ? 1 : 0; });
            return chooser != nullptr ? 1 : 0;
        });
        for (const std::string &answer : a.browse) {
            steps.push_back([&, answer] {
                if (answer == "cancel")
                    return PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0) ? 1 : 0;
                SetDlgItemTextA(chooser, IDC_PICK_NAME, answer.c_str());
                SendMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                return 1;
            });
        }
        steps.push_back([&] { return !IsWindow(chooser) ? 1 : 0; });
    }
    steps.push_back([&] {
        field = Text(dialog, IDC_ADDEXCL_PATH);
        return PostMessageA(dialog, WM_COMMAND, a.press, 0) ? 1 : 0;
    });
    if (a.refused) {
        steps.push_back([&] { return 1; });
        steps.push_back([&] {
            EXPECT_TRUE(IsWindow(dialog)) << "a refused path keeps the dialog open: " << a.what;
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            return 1;
        });
    }
    steps.push_back([&] { return !IsWindow(dialog) ? 1 : 0; });
    PostMessageA(page, WM_COMMAND, IDC_EXCL_ADD, 0);
    EXPECT_TRUE(RunSteps(steps)) << a.what;
    EXPECT_EQ(a.field, field) << a.what;
    std::vector<std::string> expected = before;
    expected.insert(expected.end(), a.added.begin(), a.added.end());
    EXPECT_EQ(expected, Rows(page)) << a.what;
    EXPECT_EQ(a.codes, record) << a.what;
}

std::string StoredExclusions(void)
{
    char text[4096] = "";
    DWORD size = sizeof text;
    RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brannholt\\Torvane", "Exclusions", RRF_RT_REG_SZ, nullptr, text, &size);
    return text;
}

TEST_F(Pages, ExclusionsAddRemoveAndApply)
{
    SetTestText(606, "Yes");
    SetTestText(607, "No");
    const std::string picked = BuiltFilePath("excl-pick");
    CreateDirectoryA(picked.c_str(), nullptr);
    char *buffer = TestBuffer(&StatusBlock::exclusions);
    std::strcpy(buffer, "[+C:\\TEMP]junk[D:\\DATA][open");
    exclusionsPageDirty = 1;
    HWND page = Create(IDD_EXCLUSIONS_PAGE, ExclusionsPageProc);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(0, exclusionsPageDirty);
    EXPECT_EQ((std::vector<std::string>{"Yes  C:\\TEMP", "No   D:\\DATA"}), Rows(page));

    const AddAttempt attempts[] = {
        {"two characters close with nothing", "C:", 1, {}, IDOK, 0, "C:", {}, ""},
        {"a ] is refused", "C:\\A]B", 0, {}, IDOK, 1, "C:\\A]B", {}, ""},
        {"subfolders", "C:\\NEW", 1, {}, IDOK, 0, "C:\\NEW", {"Yes  C:\\NEW"}, "changed "},
        {"cancel", "C:\\X", 0, {}, IDCANCEL, 0, "C:\\X", {}, ""},
        {"cancelling the chooser empties the field", "C:\\OLD", 0, {"cancel"}, IDOK, 0, "", {}, ""},
        {"a folder taken gets its files", "", 0, {picked + "\\AAAAA"}, IDOK, 0, picked + "\\*.*",
         {"No   " + picked + "\\*.*"}, "changed "},
        {"a drive root", "", 0, {"C:\\", "AAAAA"}, IDCANCEL, 0, "C:\\*.*", {}, ""},
    };
    for (const AddAttempt &a : attempts)
        Attempt(page, a);

    // Remove: with no row selected the page is marked all the same; a removed row hands its
    // selection to the next.
    HWND list = GetDlgItem(page, IDC_EXCL_LIST);
    record.clear();
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SendDlgItemMessageA(page, IDC_EXCL_REMOVE, BM_CLICK, 0, 0);
    SendMessageA(list, LB_SETCURSEL, 1, 0);
    SendDlgItemMessageA(page, IDC_EXCL_REMOVE, BM_CLICK, 0, 0);
    EXPECT_EQ("changed changed ", record);
    EXPECT_EQ(1, SendMessageA(list, LB_GETCURSEL, 0, 0));
    EXPECT_EQ((std::vector<std::string>{"Yes  C:\\TEMP", "Yes  C:\\NEW", "No   " + picked + "\\*.*"}), Rows(page));

    record.clear();
    Notify(page, PSN_APPLY, ExclusionsPageProc);
    const std::string expected = "[+C:\\TEMP][+C:\\NEW][" + picked + "\\*.*]";
    EXPECT_EQ("unchanged exclusions ", record);
    EXPECT_EQ(expected, std::string(buffer));
    EXPECT_EQ(expected, StoredExclusions());
    EXPECT_EQ(0, exclusionsPageDirty);
    DestroyWindow(page);

    // A text of 2016 characters takes a path of 29 more (2047 in all) but not one of 30: a longer
    // text would be refused by the next start. The apply saves the 2047.
    std::string full;
    for (char letter = 'A'; letter < 'I'; letter++)
        full += "[" + std::string(250, letter) + "]";
    std::strcpy(buffer, full.c_str());
    page = Create(IDD_EXCLUSIONS_PAGE, ExclusionsPageProc);
    const std::string path29 = "C:\\" + std::string(26, 'p'), path30 = path29 + "q";
    Attempt(page, {"one character too many", path30, 0, {}, IDOK, 1, path30, {}, ""});
    Attempt(page, {"exactly 2047", path29, 0, {}, IDOK, 0, path29, {"No   " + path29}, "changed "});
    Notify(page, PSN_APPLY, ExclusionsPageProc);
    EXPECT_EQ(2047u, std::strlen(buffer));
    EXPECT_EQ(full + "[" + path29 + "]", StoredExclusions());
    DestroyWindow(page);
}

const int VALUE_FIELDS[] = {1077, 1078, 1079, 1080, 1081, 1082, 1083, 1013, 1012, 1084};

TEST_F(Pages, InformationRefreshWritesOnlyWhatChanges)
{
    std::strcpy(statusBlock->lastFile, "C:\\DATA\\PROJECTS\\ALPHA\\DRAWINGS\\2021\\REVIEW\\plan.txt");
    statusBlock->filesScanned = 7;
    statusBlock->movedCount = 3;
    HWND page = Create(IDD_INFO_PAGE, InformationPageProc);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ("T633", Text(page, IDC_INFO_LAST_FILE_FRAME));
    EXPECT_EQ("C:\\DATA\\PROJECTS\\ALPHA\\..\\plan.txt", Text(page, IDC_INFO_LAST_FILE)) << "refreshed at creation";
    EXPECT_EQ("7", Text(page, IDC_INFO_FILES_SCANNED));
    EXPECT_EQ("3", Text(page, IDC_INFO_MOVED));
    EXPECT_EQ("0", Text(page, IDC_INFO_BOOT_SCANNED));
    for (int control : VALUE_FIELDS)
        originals[GetDlgItem(page, control)] = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(GetDlgItem(page, control), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
    HWND last = GetDlgItem(page, IDC_INFO_LAST_FILE);
    originals[last] = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(last, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));

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
    EXPECT_TRUE(RunSteps({[&] { return Text(page, IDC_INFO_FILES_INFECTED) == "42"; }}, 30, 2000));
    DestroyWindow(page);
}

TEST_F(Pages, AboutShowsTheDriversTextsAndRecordsTheChoice)
{
    const uint32_t versions[8] = {11, 22, 33, 44, 55, 66, 77, 88};
    std::memcpy(statusBlock->versionInfo, versions, sizeof versions);
    std::memcpy(statusBlock->macroDate, std::string(sizeof statusBlock->macroDate, 'M').data(), sizeof statusBlock->macroDate);
    std::strcpy(statusBlock->signDate, "03/15/1999");
    SetTestText(700, "%u-%u-%u-%u-%u-%u-%u-%u");
    SetTestText(592, "English");
    SetTestText(593, "Deutsch");
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
    char name[64] = "";
    SendMessageA(box, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(name));
    EXPECT_STREQ("Deutsch", name) << "item i is language i";
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
}

}   // namespace
