// The folder chooser's cut of the path its dialog returns.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "sheet/picked_folder.h"

namespace {

TEST(PickedFolder, CutsTheDialogResultToItsFolder)
{
    struct Case {
        std::string returned, folder;
    } cases[] = {
        {"AAAAA", ""},                          // the dummy name alone: nothing was taken
        {"aaaaa", ""},                          // in any case
        {"aAaAa", ""},
        {"AAAAAA", ""},                         // not the dummy, and no backslash
        {"AAAA", ""},
        {"C:\\DATA\\AAAAA", "C:\\DATA"},
        {"C:\\DATA\\SUB\\AAAAA.REP", "C:\\DATA\\SUB"},
        {"C:\\AAAAA", "C:"},                    // a drive root gives the bare drive
        {"C:\\DATA\\", "C:\\DATA"},             // cut at the last backslash, whatever follows
        {"\\AAAAA", ""},                        // a backslash in first place does not count
        {"\\\\SERVER\\SHARE\\AAAAA", "\\\\SERVER\\SHARE"},
        {"X\\", "X"},
        {"", ""},
    };
    for (const Case &c : cases) {
        char path[520];
        std::snprintf(path, sizeof path, "%s", c.returned.c_str());
        CutPickedFolder(path);
        EXPECT_EQ(c.folder, std::string(path)) << "\"" << c.returned << "\"";
    }
}

}   // namespace
