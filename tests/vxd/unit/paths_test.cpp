// The driver's path rules (exclusions, watch list, configured files), its rules for the names the
// file system holds, and its journal lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vxd/common/names.h"
#include "vxd/common/paths.h"
#include "vxd/journal/journal_line.h"

TEST(DriverPaths, ExclusionListDecidesByFolderAndSubfolderMark)
{
    const wchar_t *list = L"[+C:\\TEMP][D:\\DATA\\][c:\\Work Files]";
    struct Case {
        const wchar_t *path;
        int expected;
    } cases[] = {
        {L"C:\\TEMP\\A.COM", 1},
        {L"C:\\TEMP\\SUB\\DEEP\\A.COM", 1},      // "+" includes subfolders
        {L"c:\\temp\\a.com", 1},                 // case does not matter
        {L"C:\\TEMP", 1},                        // the entry itself
        {L"C:\\TEMP2\\A.COM", 0},                // a sibling that shares the prefix
        {L"C:\\TEMPLATES\\A.COM", 0},
        {L"C:\\TEMPLATES", 0},
        {L"C:\\TEM", 0},
        {L"D:\\DATA\\X.DOC", 1},                 // trailing backslash in the entry
        {L"D:\\DATA\\SUB\\X.DOC", 0},            // no "+": only the folder itself
        {L"C:\\WORK FILES\\REPORT.TXT", 1},
        {L"C:\\WORK\\REPORT.TXT", 0},
        {L"E:\\TEMP\\A.COM", 0},
        {L"", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, IsExcluded(list, 10240, c.path)) << c.path;
}

TEST(DriverNames, EveryNameOpensAsItIsOrIsJournalledForGood)
{
    const std::wstring deep = L"C:\\" + std::wstring(LONG_PATH_CHARS - 6, L'd');   // one more than "\\?\" allows
    struct Form {
        std::wstring path;
        const wchar_t *longForm;   // nullptr: none
    } forms[] = {
        {L"C:\\W\\w.com.", L"\\\\?\\C:\\W\\w.com."},   // Win32 would drop the dot
        {L"C:\\W\\nul.com", L"\\\\?\\C:\\W\\nul.com"},   // ... and take this for the device
        {L"\\\\srv\\share\\x", L"\\\\?\\UNC\\srv\\share\\x"},
        {L"\\\\?\\C:\\x", L"\\\\?\\C:\\x"},
        {L"W\\relative", nullptr},
        {deep, nullptr},
        {deep.substr(0, deep.size() - 1), L""},
    };
    for (const Form &f : forms) {
        std::wstring out;
        EXPECT_EQ(f.longForm != nullptr, LongForm(f.path.c_str(), f.path.size(), &out)) << f.path.size();
        if (f.longForm != nullptr && f.longForm[0] != 0) {
            EXPECT_EQ(f.longForm, out);
        }
    }
    struct Failure {
        const wchar_t *path;
        unsigned long error;
        int byListing;
        int meaning;
        const wchar_t *mask;       // for the path below C:\W
    } failures[] = {
        {L"C:\\W\\a?b.com", 123, 1, OPEN_NEVER, L"a*"},
        {L"C:\\W\\a?b.com", 2, 1, OPEN_GONE, L"a*"},    // how Win32 asks for its attributes
        {L"C:\\W\\e\\f.com", 3, 1, OPEN_GONE, L"e*"},  // "e\\f.com" may be one name
        {L"C:\\W\\x.com", 2, 0, OPEN_GONE, L"x.com*"},
        {L"C:\\W\\\"q\".com", 2, 1, OPEN_GONE, L"*"},   // '"' in a mask is a wildcard of its own
        {L"C:\\W\\x.com", 32, 0, OPEN_LATER, L"x.com*"},   // held by another program
        {L"C:\\W\\x.com", 5, 0, OPEN_NEVER, L"x.com*"},
        {L"C:\\W\\con.com", 1, 0, OPEN_NEVER, L"con.com*"},
    };
    for (const Failure &f : failures) {
        EXPECT_EQ(f.byListing, MayReachByListing(f.path, f.error)) << f.path << " " << f.error;
        EXPECT_EQ(f.meaning, OpenFailure(f.error)) << f.error;
        EXPECT_EQ(f.mask, ListingMask(f.path + 5)) << f.path;
    }
}

TEST(DriverPaths, ExclusionListToleratesOddText)
{
    struct Case {
        const wchar_t *list;
        size_t size;
        int expected;   // for C:\TEMP\A.COM
    } cases[] = {
        {L"[]", 10240, 0},
        {L"[+C:\\]", 10240, 1},                  // a whole drive with subfolders
        {L"[C:\\]", 10240, 0},                   // only files in the root
        {L"junk [C:\\TEMP] junk", 10240, 1},
        {L"[C:\\TEMP", 10240, 0},                // unclosed entry ignored
        {L"[D:\\X][C:\\TEMP]", 6, 0},            // the buffer ends before the entry
        {L"[D:\\X][C:\\TEMP]", 15, 1},           // ... or just after it, unterminated
        {L"[C:\\TEMP\\*.*]", 10240, 1},           // what picking a folder gives
        {L"[C:\\TEMP\\*]", 10240, 1},
        {L"[C:\\TEMP\\SUB\\*.*]", 10240, 0},
        {L"[+C:\\*.*]", 10240, 1},
        {L"[C:\\TE*.*]", 10240, 0},               // no wildcards within a name
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, IsExcluded(c.list, c.size, L"C:\\TEMP\\A.COM")) << "list \"" << c.list << "\" size " << c.size;
    EXPECT_EQ(1, IsExcluded(L"[+C:\\]", 10240, L"C:\\A.COM"));
    EXPECT_EQ(1, IsExcluded(L"[C:\\]", 10240, L"C:\\A.COM"));
    EXPECT_EQ(0, IsExcluded(nullptr, 10240, L"C:\\A.COM"));
    int stray = 0;
    EXPECT_EQ(2, CountExclusions("junk[A][+B]more[C", 10240, &stray));
    EXPECT_EQ(3, stray);
    // The driver reads the ANSI list through the code page: an entry it cannot read excludes nothing.
    WidenText asciiOnly = [](const char *text, size_t length, wchar_t *out, size_t room) {
        for (size_t i = 0; i < length; i++) {
            if (static_cast<unsigned char>(text[i]) >= 0x80 || i >= room)
                return -1;
            out[i] = static_cast<wchar_t>(text[i]);
        }
        return static_cast<int>(length);
    };
    wchar_t wide[32];
    EXPECT_EQ(1, WidenExclusions("[+C:\\T\xC9MP]x[D:\\A][+]", 10240, asciiOnly, wide, 32));
    EXPECT_STREQ(L"[D:\\A][+]", wide);
    EXPECT_EQ(1, WidenExclusions("[D:\\A][E:\\B]", 10240, asciiOnly, wide, 8)) << "only whole entries that fit";
    EXPECT_STREQ(L"[D:\\A]", wide);
}

TEST(DriverPaths, WatchListSplitsAtSemicolons)
{
    struct Case {
        const char *list;
        std::vector<std::string> expected;
    } cases[] = {
        {"C:\\", {"C:\\"}},
        {"C:\\A;D:\\B", {"C:\\A", "D:\\B"}},
        {" C:\\My Files ; ;;D:\\B;", {"C:\\My Files", "D:\\B"}},
        {"", {}},
        {";;", {}},
        {"C:\\0123456789ABCD;D:\\B", {"D:\\B"}},   // too long for the 16-byte buffer below: skipped
    };
    for (const Case &c : cases) {
        std::vector<std::string> got;
        const char *cursor = c.list;
        char item[16];
        while (NextListItem(&cursor, item, sizeof item))
            got.push_back(item);
        EXPECT_EQ(c.expected, got) << "list \"" << c.list << "\"";
    }
}

TEST(DriverPaths, RelativeFilesResolveAgainstTheDriverFolder)
{
    struct Case {
        const char *value;
        size_t size;
        const char *expected;
        int result;
    } cases[] = {
        {"journal.txt", 260, "C:\\TV\\journal.txt", 1},
        {"D:\\j.txt", 260, "D:\\j.txt", 1},
        {"\\\\server\\share\\j.txt", 260, "\\\\server\\share\\j.txt", 1},
        {"", 260, "", 0},
        {"journal.txt", 17, "", 0},            // "C:\TV\journal.txt" needs 18 bytes
        {"journal.txt", 18, "C:\\TV\\journal.txt", 1},
    };
    for (const Case &c : cases) {
        char out[260] = "unchanged";
        EXPECT_EQ(c.result, ResolvePath("C:\\TV\\", c.value, out, c.size)) << c.value;
        EXPECT_STREQ(c.expected, out) << c.value << " in " << c.size << " bytes";
    }
}

TEST(DriverJournal, ControlLinesCarryNameResultAndFields)
{
    StatusBlock block = {};
    block.enabled = 1;
    block.showIcon = 1;
    block.blinkCount = 6;
    block.filesScanned = 42;
    char line[256];
    ASSERT_EQ(1, FormatControlLine(line, sizeof line, 0x220033, 1, &block, " language=2"));
    EXPECT_STREQ("CTL_SELECT_LANGUAGE result=1 enabled=1 showIcon=1 logToFile=0 blinkCount=6 filesScanned=42 language=2", line);
    ASSERT_EQ(1, FormatControlLine(line, sizeof line, 0x220013, 0, nullptr, nullptr));
    EXPECT_STREQ("CODE_0x220013 result=0 enabled=0 showIcon=0 logToFile=0 blinkCount=0 filesScanned=0", line);
    EXPECT_EQ(0, FormatControlLine(line, 20, 0x220007, 1, &block, ""));
    EXPECT_STREQ("CTL_CONNECT result=", line);
}
