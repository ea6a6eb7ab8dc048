// The driver's reading of Torvane.ini: sections, keys, blanks, quotes, numbers and odd files.
#include <gtest/gtest.h>

#include <string>

#include "vxd/config/ini_reader.h"

TEST(DriverIni, TextsOfTheFirstDriverSection)
{
    struct Case {
        std::string ini;
        const char *key;
        size_t outSize;
        int found;
        std::string value;
    } cases[] = {
        {"[Driver]\r\nWatch=C:\\IN\r\n", "Watch", 64, 1, "C:\\IN"},
        {"[driver]\nwatch = C:\\IN ; D:\\X \t\n", "WATCH", 64, 1, "C:\\IN ; D:\\X"},   // case, blanks
        {"\xEF\xBB\xBF[Driver]\nWatch=a\n", "Watch", 64, 1, "a"},                     // UTF-8 mark
        {"[Driver]\rWatch=a\rJournal=j", "Journal", 64, 1, "j"},                      // CR alone, no last LF
        {"[Driver]\nWatch=first\nWatch=second\n", "Watch", 64, 1, "first"},
        {"[Other]\nWatch=x\n[Driver]\nJournal=j\n", "Watch", 64, 0, ""},
        {"[Driver]\nJournal=j\n[Other]\nWatch=x\n", "Watch", 64, 0, ""},
        {"[Driver]\nJournal=j\n[Driver]\nWatch=x\n", "Watch", 64, 0, ""},             // the first section only
        {"Watch=x\n[Driver]\n", "Watch", 64, 0, ""},                                  // before any section
        {"[Driver]\n;Watch=x\nWatch\n", "Watch", 64, 0, ""},                          // comment, no '='
        {"[Driver\nWatch=x\n", "Watch", 64, 0, ""},                                   // no ']'
        {"  [ Driver ]  \n Watch=x\n", "Watch", 64, 1, "x"},
        {"[Driver]\nErrorText=\"quoted  \"\n", "ErrorText", 64, 1, "quoted  "},
        {"[Driver]\nErrorText='a'b'\n", "ErrorText", 64, 1, "a'b"},
        {"[Driver]\nErrorText=\"\n", "ErrorText", 64, 1, "\""},                      // one quote stays
        {"[Driver]\nErrorText=\"a'\n", "ErrorText", 64, 1, "\"a'"},
        {"[Driver]\nWatch=\n", "Watch", 64, 1, ""},                                  // found, empty
        {"[Driver]\nWatch=a=b\n", "Watch", 64, 1, "a=b"},
        {"[Driver]\nWatch=abcdef\n", "Watch", 4, 1, "abc"},                           // cut to fit
        {std::string("[Driver]\nWatch=ab\0cd\n", 21), "Watch", 64, 1, "ab"},          // ends at a zero
        {std::string("[Driver]\nJournal=j\0\nWatch=x\n", 28), "Watch", 64, 0, ""},
        {"", "Watch", 64, 0, ""},
    };
    for (const Case &c : cases) {
        std::string out(c.outSize, 'Z');
        EXPECT_EQ(c.found, IniText(c.ini.data(), c.ini.size(), "Driver", c.key, &out[0], c.outSize)) << c.ini;
        EXPECT_EQ(c.value, std::string(out.c_str())) << c.ini;
    }
    char out[8] = "Z";
    EXPECT_EQ(0, IniText(nullptr, 0, "Driver", "Watch", out, sizeof out));
    EXPECT_EQ("", std::string(out));
}

TEST(DriverIni, NumbersOrTheFallback)
{
    struct Case {
        std::string value;
        uint32_t expected;    // the fallback is 77
    } cases[] = {
        {"0", 0},      {"6", 6},           {" 1000 ", 1000},       {"+12", 12},        {"12abc", 12},
        {"0x10", 16},  {"0XfF", 255},      {"0x", 0},              {"4294967295", 0xFFFFFFFFu},
        {"4294967296", 77}, {"0x100000000", 77}, {"99999999999999999999", 77},
        {"-1", 77},    {"abc", 77},        {"", 77},               {"+", 77},          {"\"5\"", 77},
    };
    for (const Case &c : cases) {
        std::string ini = "[Driver]\nBlinkSteps=" + c.value + "\n";
        EXPECT_EQ(c.expected, IniNumber(ini.data(), ini.size(), "Driver", "BlinkSteps", 77)) << c.value;
    }
    EXPECT_EQ(77u, IniNumber("[Driver]\n", 9, "Driver", "BlinkSteps", 77)) << "missing";
}
