// The folder chooser in process: the old-style dialog with template 130, answered through its
// hidden file-name field and OK, in each mode and cancelled.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/globals.h"
#include "base/bounded.h"
#include "driver/link.h"
#include "res/resource.h"
#include "sheet/pages.h"
#include "tests/win/test_support.h"

namespace {

INT_PTR CALLBACK PlainDialog(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

std::string CurrentFolder(void)
{
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    return folder;
}

std::string Upper(std::string text)
{
    CharUpperA(&text[0]);
    return text;
}

TEST(FolderPicker, TakesTheFolderOpenAtOkInEachMode)
{
    InstallTestDriver();
    instance = GetModuleHandleA(nullptr);
    const std::string top = BuiltFilePath("pick-test"), a = top + "\\A", b = top + "\\B";
    for (const std::string &folder : {top, a, b})
        CreateDirectoryA(folder.c_str(), nullptr);
    const std::string start = CurrentFolder();
    // Owners with the controls each mode writes: the action page's 1073, the add dialog's 1038.
    HWND actionOwner = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_ACTION_PAGE), nullptr, PlainDialog, 0);
    HWND addOwner = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_ADD_EXCLUSION), nullptr, PlainDialog, 0);
    struct Case {
        const char *what;
        int mode;
        std::string moveDir;
        std::string opensIn;                // the chooser's current folder when it opens
        std::vector<std::string> answers;   // each typed into the hidden field, then OK; none: Cancel
        int result;
        std::string picked, moveDirAfter, ownerText;
    } cases[] = {
        {"mode 1 opens in moveDir and writes moveDir and 1073", 1, a, a, {b + "\\AAAAA"}, 1, b, b, b},
        {"a drive root gives the bare drive", 1, a, a, {"C:\\", "AAAAA"}, 1, "C:", "C:", "C:"},
        {"a folder typed alone is opened, not taken", 1, a, a, {b, "aaaaa"}, 1, b, b, b},
        {"a move folder that is gone: it opens in the current folder", 1, top + "\\GONE", start, {a + "\\AAAAA"}, 1,
         a, a, a},
        {"mode 2 starts in the current folder and writes only 1038", 2, a, start, {b + "\\AAAAA"}, 1, b, a, b},
        {"cancel leaves the dummy name and changes nothing", 1, a, a, {}, 0, "AAAAA", a, ""},
        {"another mode takes nothing", 3, a, start, {b + "\\AAAAA"}, 0, b, a, ""},
    };
    for (const Case &c : cases) {
        CopyBounded(statusBlock->moveDir, c.moveDir.c_str());
        HWND owner = c.mode == 2 ? addOwner : actionOwner;
        const int field = c.mode == 2 ? IDC_ADDEXCL_PATH : IDC_ACTION_MOVE_DIR;
        SetDlgItemTextA(owner, field, "");
        std::string opened = "not seen";
        int result = -1;
        HWND chooser = nullptr;
        std::vector<std::function<int()>> steps = {[&] {
            chooser = FindOwnDialog([](HWND w) { return GetDlgItem(w, IDC_PICK_FOLDERS) != nullptr ? 1 : 0; });
            if (chooser == nullptr)
                return 0;
            EXPECT_EQ("Select Folder", WindowText(chooser)) << "the template's caption stands";
            opened = WindowText(GetDlgItem(chooser, IDC_PICK_CURRENT));
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(chooser, IDC_PICK_NAME))) << "the file name stays hidden";
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(chooser, IDC_PICK_FOLDERS))) << c.what;
            EXPECT_EQ(owner, GetWindow(chooser, GW_OWNER)) << c.what;
            return 1;
        }};
        for (const std::string &answer : c.answers) {
            steps.push_back([&, answer] {
                SetDlgItemTextA(chooser, IDC_PICK_NAME, answer.c_str());
                SendMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                return 1;
            });
        }
        if (c.answers.empty())
            steps.push_back([&] { return PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0) ? 1 : 0; });
        int all = RunStepsDuring([&] { result = PickFolder(owner, c.mode); }, steps);
        EXPECT_TRUE(all) << c.what;
        EXPECT_EQ(Upper(c.opensIn), Upper(opened)) << c.what;
        EXPECT_EQ(c.result, result) << c.what;
        EXPECT_EQ(c.picked, std::string(pickedFolder)) << c.what;
        EXPECT_EQ(c.moveDirAfter, std::string(statusBlock->moveDir)) << c.what;
        EXPECT_EQ(c.ownerText, WindowText(GetDlgItem(owner, field))) << c.what;
        EXPECT_EQ(start, CurrentFolder()) << "the program's current folder is kept: " << c.what;
    }
    DestroyWindow(actionOwner);
    DestroyWindow(addOwner);
}

}   // namespace
