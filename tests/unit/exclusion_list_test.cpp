// The ExclusionList text read into rows and rebuilt from them, and the add dialog's rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sheet/exclusion_list.h"

namespace {

const char GUARD = 'Z';

// The rows the Exclusions page makes from text; each row buffer is checked for writes past it.
std::vector<std::string> Fill(const std::string &text, const ExclusionMarks &marks)
{
    std::vector<std::string> rows;
    size_t position = 0;
    ExclusionEntry entry;
    while (NextExclusion(text.data(), text.size(), &position, &entry)) {
        char row[EXCLUSION_ROW_SIZE + 1];
        row[EXCLUSION_ROW_SIZE] = GUARD;
        MakeExclusionRow(row, EXCLUSION_ROW_SIZE, marks, ROW_STORED, entry.subfolders, entry.path);
        EXPECT_EQ(GUARD, row[EXCLUSION_ROW_SIZE]) << "written past the row";
        rows.push_back(row);
    }
    return rows;
}

// The text the page writes from rows into a buffer of size bytes.
std::string Rebuild(const std::vector<std::string> &rows, const ExclusionMarks &marks, size_t size)
{
    std::string text(size + 1, GUARD);
    text[0] = 0;
    for (const std::string &row : rows) {
        int subfolders = 0;
        const char *path = ReadExclusionRow(row.c_str(), marks, &subfolders);
        AppendExclusion(&text[0], size, subfolders, path);
    }
    EXPECT_EQ(GUARD, text[size]) << "written past the text";
    return text.c_str();
}

TEST(ExclusionList, StoredTextReadsIntoRowsAndBack)
{
    const ExclusionMarks english = {"Yes", "No"}, german = {"Ja", "-"}, wide = {"Incl", "-"}, alike = {"Y", "Yo"};
    const ExclusionMarks five = {"Incl.", "Excl."}, blanks = {"Sub yes", "Sub no"};
    const std::string longPath(300, 'P');
    struct Case {
        const char *what;
        ExclusionMarks marks;
        std::string text;
        std::vector<std::string> rows;
        std::string rebuilt;   // "=" when the text comes back unchanged
    } cases[] = {
        {"empty", english, "", {}, "="},
        {"one of each", english, "[+C:\\TEMP][D:\\DATA\\OLD]", {"Yes  C:\\TEMP", "No   D:\\DATA\\OLD"}, "="},
        {"empty paths, with and without +", english, "[][+]", {"No   ", "Yes  "}, "="},
        {"the same path twice", german, "[C:\\A][C:\\A]", {"-    C:\\A", "-    C:\\A"}, "="},
        {"a four-character mark", wide, "[+C:\\A][B:\\]", {"Incl C:\\A", "-    B:\\"}, "="},
        {"blanks and [ in paths", english, "[C:\\MY DOCS][+C:\\A[1]", {"No   C:\\MY DOCS", "Yes  C:\\A[1"}, "="},
        {"text outside brackets and an unclosed entry are left out, as the driver does", english,
         "lead[C:\\A]mid[+D:\\B]tail[E:\\OPEN", {"No   C:\\A", "Yes  D:\\B"}, "[C:\\A][+D:\\B]"},
        {"a lone ]", english, "]", {}, ""},
        {"a path over 259 characters keeps 259", english, "[+" + longPath + "]",
         {"Yes  " + longPath.substr(0, 259)}, "[+" + longPath.substr(0, 259) + "]"},
        {"blanks a path begins with are left out once, not one more at each Apply", english, "[+   C:\\A][ ]",
         {"Yes  C:\\A", "No   "}, "[+C:\\A][]"},
        {"a mark that begins with the other", alike, "[C:\\A][+C:\\B][+o]", {"Yo   C:\\A", "Y    C:\\B", "Y    o"}, "="},
        {"five-character marks, no blank after them", five, "[+C:\\A][B:\\][]", {"Incl.C:\\A", "Excl.B:\\", "Excl."},
         "="},
        {"marks with blanks", blanks, "[+C:\\A][ B][+]", {"Sub yesC:\\A", "Sub noB", "Sub yes"}, "[+C:\\A][B][+]"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> rows = Fill(c.text, c.marks);
        EXPECT_EQ(c.rows, rows) << c.what;
        EXPECT_EQ(c.rebuilt == "=" ? c.text : c.rebuilt, Rebuild(rows, c.marks, EXCLUSION_TEXT_SIZE)) << c.what;
    }

    // With a three-character 606 and a two-character 607, added rows look like stored ones.
    for (int subfolders : {0, 1}) {
        char added[EXCLUSION_ROW_SIZE], stored[EXCLUSION_ROW_SIZE];
        MakeExclusionRow(added, sizeof added, english, ROW_ADDED, subfolders, "C:\\X");
        MakeExclusionRow(stored, sizeof stored, english, ROW_STORED, subfolders, "C:\\X");
        EXPECT_STREQ(stored, added);
    }
    // A row is cut to its buffer; the rebuild writes whole entries while they fit.
    char small[8];
    MakeExclusionRow(small, sizeof small, german, ROW_ADDED, 1, "C:\\TEMP");
    EXPECT_STREQ("Ja   C:", small);
    // A blank within the path's first characters is not taken for the end of the mark.
    for (const ExclusionMarks &marks : {german, english, alike, five, blanks}) {
        for (int subfolders : {0, 1}) {
            char row[EXCLUSION_ROW_SIZE];
            MakeExclusionRow(row, sizeof row, marks, ROW_ADDED, subfolders, "C x\\a b");
            int readSubfolders = -1;
            EXPECT_STREQ("C x\\a b", ReadExclusionRow(row, marks, &readSubfolders)) << row;
            EXPECT_EQ(subfolders, readSubfolders) << row;
        }
    }
    EXPECT_EQ("[C:\\A]", Rebuild({"No   C:\\A", "No   C:\\B"}, english, 7));
    EXPECT_EQ("", Rebuild({"No   C:\\A"}, english, 6));
}

TEST(ExclusionList, AddDialogResult)
{
    const std::string longest(259, 'L'), tooLong(260, 'L');
    struct Case {
        std::string typed;
        int subfolders;
        size_t textLength;
        int result;
    } cases[] = {
        {"", 1, 0, 0},
        {"C:", 1, 0, 0},
        {"a]", 0, 0, 0},                     // too short comes first
        {"C:\\", 0, 0, 1},
        {"C:\\", 1, 0, 3},
        {"C:\\A]B", 1, 0, ADD_REFUSED},
        {"]:\\", 0, 0, ADD_REFUSED},
        {"+X\\A", 0, 0, ADD_REFUSED},          // would read back as "X\A" with subfolders
        {"  +X\\A", 0, 0, ADD_REFUSED},        // judged as stored: without its leading blanks
        {"   C:", 0, 0, 0},
        {"  " + longest, 0, 0, 1},
        {"+X\\A", 1, 0, 3},
        {longest, 0, 0, 1},
        {tooLong, 0, 0, ADD_REFUSED},
        {"C:\\", 0, 2042, 1},                // "[C:\]" ends the text at 2047 characters
        {"C:\\", 0, 2043, ADD_REFUSED},
        {"C:\\", 1, 2041, 3},
        {"C:\\", 1, 2042, ADD_REFUSED},
        {"C:\\", 0, 5000, ADD_REFUSED},      // a text already past the limit takes nothing more
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.result, AddExclusionResult(c.typed.c_str(), c.typed.size(), c.subfolders, c.textLength))
            << "\"" << c.typed << "\" " << c.subfolders << " " << c.textLength;
    }
}

}   // namespace
