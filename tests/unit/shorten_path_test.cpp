// ShortenPath on the worked examples, the edges of its rules and the paths its rules leave open.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "sheet/shorten_path.h"

namespace {

TEST(ShortenPath, DropsDirectoriesFromTheMiddle)
{
    const std::string deep = "C:\\" + std::string(60, 'D') + "\\" + std::string(230, 'E') + "\\WORK\\report.txt";
    struct Case {
        const char *what;
        std::string path;
        std::string shown;     // "=" when unchanged
        size_t size = 0;       // buffer size; 0: the path and its terminator
    } cases[] = {
        {"worked 1", "C:\\DATA\\PROJECTS\\ALPHA\\DRAWINGS\\2021\\REVIEW\\plan.txt", "C:\\DATA\\PROJECTS\\ALPHA\\..\\plan.txt"},
        {"worked 2: a directory reaching the budget is dropped", "C:\\AB\\CD\\EF\\GH\\IJ\\KL\\MN\\OP\\QR\\ST\\UV\\WX\\file.exe",
         "C:\\AB\\CD\\EF\\GH\\IJ\\KL\\..\\file.exe"},
        {"worked 3: network root", "\\\\SERVER\\PUBLIC\\DOCUMENTS\\LETTERS\\OLD\\notes.txt", "\\\\SERVER\\PUBLIC\\..\\notes.txt"},
        {"worked 4", "C:\\PROGRAMS\\TOOLS\\EDITOR\\BIN\\editor.exe", "C:\\PROGRAMS\\TOOLS\\..\\editor.exe"},
        {"worked 5: a name of 31 alone", "C:\\WINDOWS\\TEMP\\annual_report_final_version.doc", "annual_report_final_version.doc"},
        {"worked 6: trailing backslash", "C:\\DATA\\PROJECTS\\ALPHA\\DRAWINGS\\2021\\REVIEW\\", "C:\\DATA\\PROJECTS\\ALPHA\\..\\"},
        {"35 characters stay", "C:\\ABCDEFGH\\KLMNOPQRST\\UVWXYZ\\a.txt", "="},
        {"36 are shortened", "C:\\ABCDEFGH\\KLMNOPQRST\\UVWXYZ\\ab.txt", "C:\\ABCDEFGH\\KLMNOPQRST\\..\\ab.txt"},
        {"a name of 30 leaves no budget", "C:\\DIR\\DIRECTORY\\" + std::string(30, 'n'), "C:\\..\\" + std::string(30, 'n')},
        {"a budget of zero", "C:\\DIRECT\\" + std::string(29, 'n'), "C:\\..\\" + std::string(29, 'n')},
        {"network root, name of 30", "\\\\SRV\\SHARE\\" + std::string(30, 'n'), "\\\\..\\" + std::string(30, 'n')},
        {"a single leading backslash: no root", "\\WINDOWS\\SYSTEM\\COLOR\\DRIVERS\\VIEW\\file.dat",
         "\\WINDOWS\\SYSTEM\\COLOR\\..\\file.dat"},
        {"relative: no root", "DATA\\PROJECTS\\ALPHA\\DRAWINGS\\2021\\plan.txt", "DATA\\PROJECTS\\ALPHA\\..\\plan.txt"},
        {"drive without backslash", "C:DATA\\PROJECTS\\ALPHA\\DRAWINGS\\2021\\plan.txt", "C:DATA\\PROJECTS\\ALPHA\\..\\plan.txt"},
        {"no backslash at all stays", std::string(40, 'x'), "="},
        {"longer than 259 characters", deep, "C:\\..\\report.txt"},
        {"no terminator within the buffer: its last character is cut", "C:\\DATA\\PROJECTS\\ALPHA\\DRAWINGS\\2021\\plan.txtXX",
         "C:\\DATA\\PROJECTS\\ALPHA\\..\\plan.txt", 46},
        {"no terminator, short", "C:\\A\\b.txt", "C:\\A\\b.tx", 10},
        {"already short, no budget: unchanged", "C:\\..\\" + std::string(30, 'n'), "="},
    };
    for (const Case &c : cases) {
        size_t size = c.size ? c.size : c.path.size() + 1;
        std::string buffer(size + 4, 'Z');
        std::memcpy(&buffer[0], c.path.data(), std::min(size, c.path.size() + 1));
        int changed = ShortenPath(&buffer[0], size);
        std::string expected = c.shown == "=" ? c.path : c.shown;
        EXPECT_EQ(expected, std::string(buffer.c_str())) << c.what;
        EXPECT_EQ(expected != c.path ? 1 : 0, changed) << c.what;
        EXPECT_EQ(std::string(4, 'Z'), buffer.substr(size, 4)) << "written past the buffer: " << c.what;
    }
}

}   // namespace
