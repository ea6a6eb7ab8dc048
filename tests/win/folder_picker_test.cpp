// The folder chooser in process: the old-style dialog with template 130, answered through its
// hidden file-name field and OK, taken, refused and cancelled.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/globals.h"
#include "res/resource.h"
#include "sheet/folder_picker.h"
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

DWORD flagsGiven;
BOOL WINAPI RecordFlags(LPOPENFILENAMEA record)
{
    flagsGiven = record->Flags;
    return GetSaveFileNameA(record);
}

TEST(FolderPicker, TakesTheFolderOpenAtOkAndNothingElse)
{
    getSaveFileName = RecordFlags;
    instance = GetModuleHandleA(nullptr);
    const std::string top = BuiltFilePath("pick-test"), a = top + "\\A", b = top + "\\B";
    for (const std::string &folder : {top, a, b})
        CreateDirectoryA(folder.c_str(), nullptr);
    const std::string start = CurrentFolder();
    // An owner with a field of its own: where a folder goes is its caller's business.
    HWND owner = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_ACTION_PAGE), nullptr, PlainDialog, 0);
    struct Case {
        const char *what;
        std::string startIn;
        size_t size;                        // of the caller's buffer
        std::string opensIn;                // the chooser's current folder when it opens
        std::vector<std::string> answers;   // each typed into the hidden field, then OK; none: Cancel
        int result;
        std::string picked;
    } cases[] = {
        {"opens in the folder given and takes the one open at OK", a, 260, a, {b + "\\AAAAA"}, 1, b},
        {"a drive root gives the bare drive", a, 260, a, {"C:\\", "AAAAA"}, 1, "C:"},
        {"a folder typed alone is opened, not taken", a, 260, a, {b, "aaaaa"}, 1, b},
        {"a folder that is gone: it opens in the current folder", top + "\\GONE", 260, start, {a + "\\AAAAA"}, 1,
         a},
        {"no folder given: the current folder", "", 520, start, {b + "\\AAAAA"}, 1, b},
        {"cancel takes nothing", a, 260, a, {}, 0, ""},
        {"a folder longer than the caller holds is not taken, nor cut", a, b.size(), a, {b + "\\AAAAA"}, 0, ""},
    };
    for (const Case &c : cases) {
        SetDlgItemTextA(owner, IDC_ACTION_MOVE_DIR, "");
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
        std::vector<char> folder(c.size, 'X');
        int all = RunStepsDuring([&] { result = PickFolder(owner, c.startIn.c_str(), folder.data(), folder.size()); },
                                 steps);
        EXPECT_TRUE(all) << c.what;
        EXPECT_EQ(Upper(c.opensIn), Upper(opened)) << c.what;
        EXPECT_EQ(c.result, result) << c.what;
        EXPECT_EQ(c.picked, std::string(folder.data())) << c.what;
        EXPECT_EQ("", WindowText(GetDlgItem(owner, IDC_ACTION_MOVE_DIR))) << "the owner's field is its own: " << c.what;
        EXPECT_EQ(start, CurrentFolder()) << "the program's current folder is kept: " << c.what;
        // Old style, template and hook, and long names (Windows 95/98 would show 8.3 names).
        EXPECT_EQ(0x00208064u, flagsGiven) << c.what;
    }
    DestroyWindow(owner);
    getSaveFileName = GetSaveFileNameA;
}

}   // namespace
