// The robot's own eyes: what it reads from a message box must be what the box shows.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/robot.h"

struct OwnBox {
    const char *text;
    UINT style;
};

static DWORD WINAPI ShowBox(LPVOID parameter)
{
    const OwnBox *box = static_cast<const OwnBox *>(parameter);
    MessageBoxA(nullptr, box->text, "robot check", box->style);
    return 0;
}

TEST(Robot, TellsTheStopIconFromTheOthers)
{
    struct Case {
        UINT icon;
        int expected;
    } cases[] = {
        {MB_ICONERROR, 1},
        {MB_ICONWARNING, 0},
        {MB_ICONINFORMATION, 0},
        {MB_ICONQUESTION, 0},
        {0, -1},                  // no icon at all: nothing to tell
    };
    for (const Case &c : cases) {
        OwnBox box = {"Which icon is this?", c.icon | MB_OK};
        HANDLE thread = CreateThread(nullptr, 0, ShowBox, &box, 0, nullptr);
        ASSERT_NE(nullptr, thread);
        HWND window = WaitForMessageBox(GetCurrentProcessId(), ROBOT_TIMEOUT_MS);
        ASSERT_NE(nullptr, window);
        MessageBoxView view;
        EXPECT_TRUE(ReadMessageBox(window, &view));
        EXPECT_EQ(c.expected, view.stopIcon) << "icon style 0x" << std::hex << c.icon;
        EXPECT_EQ("robot check", view.caption);
        EXPECT_EQ("Which icon is this?", view.text);
        PressButton(window, IDOK);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, ROBOT_TIMEOUT_MS));
        CloseHandle(thread);
    }
}
