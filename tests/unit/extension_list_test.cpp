// The ExtensionList text: read into rows, joined back, and the rule by which Add grows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sheet/extension_list.h"

namespace {

// Rows of text, read as the extensions dialog reads them from a buffer of capacity bytes.
std::vector<std::string> Rows(const std::string &text, size_t length)
{
    std::vector<std::string> rows;
    size_t position = 0;
    char row[EXTENSION_ROW_SIZE + 4];
    std::fill(row, row + sizeof row, 'Z');
    while (NextExtensionRow(text.data(), length, &position, row, EXTENSION_ROW_SIZE)) {
        EXPECT_EQ('Z', row[EXTENSION_ROW_SIZE]) << "written past the row";
        rows.push_back(row);
    }
    return rows;
}

std::string Join(const std::vector<std::string> &rows, size_t size)
{
    std::vector<char> text(size + 1, 'Z');
    text[0] = 0;
    for (size_t i = 0; i < rows.size(); i++) {
        if (!JoinExtensionRow(text.data(), size, i, rows[i].c_str()))
            return "refused at " + std::to_string(i) + ": " + text.data();
    }
    EXPECT_EQ('Z', text[size]) << "written past the text";
    return text.data();
}

TEST(ExtensionList, ReadsRowsAndJoinsThemBack)
{
    struct Case {
        std::string text;
        std::vector<std::string> rows;
    } cases[] = {
        {"COM,EXE,DLL", {"COM", "EXE", "DLL"}},
        {"", {""}},
        {"COM,", {"COM", ""}},
        {",COM", {"", "COM"}},
        {"COM,,EXE", {"COM", "", "EXE"}},
        {",", {"", ""}},
        {"SEVENCH,X", {"SEVENCH", "X"}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.rows, Rows(c.text, c.text.size())) << "\"" << c.text << "\"";
        EXPECT_EQ(c.text, Join(c.rows, EXTENSION_TEXT_SIZE)) << "\"" << c.text << "\" joined back";
    }
}

TEST(ExtensionList, LongEntriesAndUnterminatedTextStayInBounds)
{
    // An entry of more than seven characters keeps its first seven; the rest is skipped, not read
    // into the next row.
    EXPECT_EQ((std::vector<std::string>{"LONGEXT", "COM"}), Rows("LONGEXTENSION,COM", 17));
    // A buffer without a terminator is read up to its capacity and no further.
    std::string full(EXTENSION_TEXT_SIZE, 'A');
    full[3] = ',';
    std::vector<std::string> rows = Rows(full, EXTENSION_TEXT_SIZE);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ("AAA", rows[0]);
    EXPECT_EQ("AAAAAAA", rows[1]);
    // Joining stops before the terminator would not fit: exactly full fits, one more does not.
    EXPECT_EQ("COM,EXE", Join({"COM", "EXE"}, 8));
    EXPECT_EQ("refused at 1: COM", Join({"COM", "EXE"}, 7));
    EXPECT_EQ("refused at 0: ", Join({"COM"}, 3));
}

TEST(ExtensionList, AddTakesThreeCharactersOrNothing)
{
    std::string nearlyFull;   // 255 entries: 1019 characters, room for exactly one more
    for (int i = 0; i < 255; i++)
        nearlyFull += std::string(i ? "," : "") + "X" + std::to_string(100 + i).substr(1);
    ASSERT_EQ(1019u, nearlyFull.size());
    struct Case {
        const char *typed;
        std::string joined;
        size_t rows;
        ExtensionVerdict verdict;
        const char *ext;
    } cases[] = {
        {"COM", "EXE", 1, EXTENSION_ADD, "COM"},
        {"COMMAND", "EXE", 1, EXTENSION_ADD, "COM"},
        {"CO", "EXE", 1, EXTENSION_TOO_SHORT, ""},
        {"", "EXE", 1, EXTENSION_TOO_SHORT, ""},
        {"C*M", "EXE", 1, EXTENSION_WILDCARD, ""},
        {"CO*", "EXE", 1, EXTENSION_WILDCARD, ""},
        {"COMX*", "EXE", 1, EXTENSION_ADD, "COM"},     // only the first three count
        {"C,M", "EXE", 1, EXTENSION_COMMA, ""},
        {"EXE", "COM,EXE", 2, EXTENSION_LISTED, ""},
        {"exe", "COM,EXE", 2, EXTENSION_ADD, "exe"},   // compared with regard to case
        {"EX", "COM,EXE", 2, EXTENSION_TOO_SHORT, ""},
        {"EXE", "EXEC,COM", 2, EXTENSION_ADD, "EXE"},  // a whole entry, not a part of one
        {"COM", "", 1, EXTENSION_ADD, "COM"},          // beside the empty row
        {"COM", "", 0, EXTENSION_ADD, "COM"},
        {"ABC", nearlyFull, 255, EXTENSION_ADD, "ABC"},
        // 1020 characters: ",ABC" would need the terminator's byte as well (1025).
        {"ABC", nearlyFull + "Y", 255, EXTENSION_NO_ROOM, ""},
        {"ABC", nearlyFull + ",X", 256, EXTENSION_NO_ROOM, ""},
    };
    for (const Case &c : cases) {
        char ext[4] = "???";
        EXPECT_EQ(c.verdict, CheckNewExtension(c.typed, c.joined.c_str(), c.rows, ext)) << c.typed;
        EXPECT_STREQ(c.ext, ext) << c.typed;
    }
}

}   // namespace
