// The formatter behind the program's snprintf, against the host's own vsnprintf at every
// destination size, and its own rules where it means to differ.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "tests/format_call.h"

namespace {

struct Row {
    const char *format;
    std::vector<FormatArg> args;
};

// The buffer after formatting into its first size bytes, with eight more behind them that must
// stay as they were.
std::string Formatted(int ours, const Row &row, size_t size, int *result)
{
    std::string buffer(size + 8, '#');
    *result = FormatArgs(ours, &buffer[0], size, row.format, row.args.data(), row.args.size());
    return buffer;
}

TEST(Format, AsTheHostAtEverySize)
{
    const Row rows[] = {
        {"", {}},
        {"plain text, no conversion", {}},
        {"%d %i %d %i", {Int(0), Int(-1), Int(INT_MAX), Int(INT_MIN)}},
        {"%u %u %o %o", {Unsigned(0), Unsigned(UINT_MAX), Unsigned(8), Unsigned(0)}},
        {"%x %X %x %X", {Unsigned(0xabcdef), Unsigned(0xabcdef), Unsigned(0), Unsigned(UINT_MAX)}},
        {"%ld %li %lu %lx", {Long(LONG_MIN), Long(LONG_MAX), ULong(ULONG_MAX), ULong(0xfedcba98)}},
        {"%lo %lX %lu %ld", {ULong(ULONG_MAX), ULong(0xabc), ULong(0), Long(-1)}},
        {"%hd %hi %hu %hx", {Int(32768), Int(-32769), Int(65536 + 5), Int(0x12345)}},
        {"%hhd %hhi %hhu %hhX", {Int(128), Int(-129), Int(256 + 7), Int(0x1ff)}},
        {"%hho %ho %hhx %hX", {Int(-1), Int(-1), Int(-1), Int(-1)}},
        {"[%-6d][% d][% +d][%+ d]", {Int(-42), Int(42), Int(42), Int(42)}},
        {"[%+d][% i][%+i][% d]", {Int(0), Int(0), Int(-7), Int(-7)}},
        {"[%06d][%-06d][%+06d][% 06d]", {Int(-42), Int(42), Int(42), Int(42)}},
        {"[%+u][%#d][%#u][%+x]", {Unsigned(7), Int(7), Unsigned(7), Unsigned(7)}},
        {"[%#x][%#X][%#o][%#x]", {Unsigned(255), Unsigned(255), Unsigned(8), Unsigned(0)}},
        {"[%#o][%#.0x][%#5o][%#08x]", {Unsigned(0), Unsigned(0), Unsigned(7), Unsigned(255)}},
        {"[%#.3o][%#.3o][%#-8X][%#08o]", {Unsigned(7), Unsigned(0777), Unsigned(0xab), Unsigned(8)}},
        {"[%--5d][%++d][%00d][%  d]", {Int(1), Int(1), Int(1), Int(1)}},
        {"[%8.3d][%-8.3d][%08.3d][%08.3x]", {Int(5), Int(-5), Int(5), Unsigned(0xa)}},
        {"[%.0d][%+.0d][% .0i][%5.0u]", {Int(0), Int(0), Int(0), Unsigned(0)}},
        {"[%.10x][%#.10x][%3.1u][%.003d]", {Unsigned(0xab), Unsigned(0xab), Unsigned(0), Int(4)}},
        {"[%.d][%.x][%1d][%2d]", {Int(0), Unsigned(9), Int(-12), Int(-1)}},
        {"[%*d][%-*d]", {Int(6), Int(42), Int(6), Int(42)}},
        {"[%*d][%.*d]", {Int(-6), Int(42), Int(-3), Int(42)}},
        {"[%.*d][%.*s]", {Int(0), Int(0), Int(0), Text("ab")}},
        {"[%*.*x][%u]", {Int(8), Int(4), Unsigned(0xab), Unsigned(1)}},
        {"[%0*d][%-*c]", {Int(5), Int(-3), Int(2), Int('c')}},
        {"[%0*d][%.*s]", {Int(5), Int(-3), Int(-1), Text("ab")}},
        {"[%c][%3c][%-3c][%c]", {Int('a'), Int('b'), Int('c'), Int(0)}},
        {"[%c][%05c][%c]", {Int(0x141), Int('z'), Int(-1)}},
        {"[%s][%8s][%-8s][%.2s]", {Text("text"), Text("text"), Text("text"), Text("text")}},
        {"[%.0s][%.9s][%3.1s][%-3.10s]", {Text("text"), Text("text"), Text("text"), Text("text")}},
        {"[%05s][%+s][% s][%#s]", {Text("ab"), Text("ab"), Text(""), Text("ab")}},
        {"[%-*.*s][%s]", {Int(5), Int(1), Text("ab"), Text("")}},
        {"[%s][%10s]", {Text(nullptr), Text(nullptr)}},
        {"100%% [%%] %d%%%%", {Int(5)}},
        {"%40d|%-40s|", {Int(1), Text("x")}},
        {"%hhu%hu%lu%u", {Int(1), Int(2), ULong(3), Unsigned(4)}},
    };
    for (const Row &row : rows) {
        int full = FormatArgs(0, nullptr, 0, row.format, row.args.data(), row.args.size());
        ASSERT_GE(full, 0) << row.format;
        EXPECT_EQ(full, FormatArgs(1, nullptr, 0, row.format, row.args.data(), row.args.size())) << row.format;
        for (size_t size = 0; size <= static_cast<size_t>(full) + 2; size++) {
            int ours, host;
            std::string got = Formatted(1, row, size, &ours), expected = Formatted(0, row, size, &host);
            EXPECT_EQ(expected, got) << row.format << " in " << size << " bytes";
            EXPECT_EQ(host, ours) << row.format << " in " << size << " bytes";
        }
    }
}

// Our own rules: a conversion we do not know ends the formatting, and it and the rest of the format
// are copied as they stand, reading no further argument; a text longer than INT_MAX comes back as
// -1, with what fits written. Last, what C asks for where a host strays: mingw-w64's formatter
// puts a blank before an unsigned number and writes nothing for %#.0o of 0.
TEST(Format, OwnRulesAndWhereAHostStrays)
{
    struct Case {
        const char *format;
        std::vector<FormatArg> args;
        const char *shown;   // in 16 bytes
        int result;
    } cases[] = {
        {"a%db%5.2fc%s", {Int(7)}, "a7b%5.2fc%s", 11},
        {"%f %s %s", {}, "%f %s %s", 8},
        {"%d%n%s", {Int(1)}, "1%n%s", 5},
        {"%p|", {Int(1)}, "%p|", 3},
        {"%lld|", {Int(1)}, "%lld|", 5},
        {"%hhhd|", {Int(1)}, "%hhhd|", 6},
        {"%ls|", {Text("x")}, "%ls|", 4},
        {"%hs|", {Text("x")}, "%hs|", 4},
        {"%lc|", {Int('x')}, "%lc|", 4},
        {"%hc|", {Int('x')}, "%hc|", 4},
        {"%5%|%%", {}, "%5%|%%", 6},
        {"50%", {}, "50%", 3},
        {"%d%*", {Int(3), Int(4)}, "3%*", 3},
        {"%f, and then cut", {}, "%f, and then cu", 16},
        {"%2147483647d", {Int(1)}, "               ", INT_MAX},
        {"x%2147483647d", {Int(1)}, "x              ", -1},
        {"%*d%c", {Int(INT_MAX), Int(1), Int('c')}, "               ", -1},
        {"%.2147483647u%c", {Unsigned(1), Int('c')}, "000000000000000", -1},
        {"%-2147483648d", {Int(5)}, "5              ", -1},
        {"%99999999999999999999x", {Unsigned(1)}, "               ", -1},
        {"%.4294967296d", {Int(1)}, "000000000000000", -1},
        {"%.4294967296s|", {Text("ab")}, "ab|", 3},   // a precision only bounds a text
        {"[% u][% x][% o]", {Unsigned(7), Unsigned(255), Unsigned(8)}, "[7][ff][10]", 11},
        {"[%#.0o][%#.0o]", {Unsigned(0), Unsigned(8)}, "[0][010]", 8},
    };
    for (const Case &c : cases) {
        char buffer[16 + 8];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(c.result, FormatArgs(1, buffer, 16, c.format, c.args.data(), c.args.size())) << c.format;
        EXPECT_EQ(std::string(c.shown), std::string(buffer)) << c.format;
        EXPECT_EQ(std::string(8, '#'), std::string(buffer + 16, 8)) << "written past 16 bytes: " << c.format;
    }
}

}   // namespace
