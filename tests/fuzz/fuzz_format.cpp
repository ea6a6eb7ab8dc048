// Our formatter against the host's vsnprintf on formats and arguments made from the input. Holds:
// the same result and the same bytes in the destination and the eight bytes behind it.
// Input: one byte of destination size, the format's text up to a zero byte, then the bytes the
// arguments are taken from. The text is kept to what the formatter accepts: each conversion keeps
// its flags, at most three digits of width and of precision and one length modifier, and a
// conversion character it does not know becomes one it does; a conversion that would need more
// than FORMAT_ARGS_MAX arguments ends the format.
#include <deque>
#include <string>
#include <vector>

#include "tests/format_call.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct Made {
    std::string format;
    std::vector<FormatArg> args;
    std::deque<std::string> texts;   // what the TEXT arguments point into
    const uint8_t *data;             // the argument bytes left
    size_t size;
};

unsigned long TakeNumber(Made *m, size_t bytes)
{
    unsigned long value = 0;
    for (size_t i = 0; i < bytes; i++)
        value = value << 8 | TakeByte(&m->data, &m->size);
    return value;
}

// Copies digits at p into the format, at most three; skips the rest of a longer run.
void CopyDigits(Made *m, const char **p)
{
    for (int kept = 0; **p >= '0' && **p <= '9'; (*p)++)
        if (kept++ < 3)
            m->format += **p;
}

// Copies '*' or digits; a '*' takes a small int, negative ones included.
void CopyNumber(Made *m, const char **p)
{
    if (**p != '*')
        return CopyDigits(m, p);
    m->format += *(*p)++;
    m->args.push_back(Int(static_cast<signed char>(TakeByte(&m->data, &m->size))));
}

void TakeValue(Made *m, char conversion, const std::string &length)
{
    int wide = length == "l";
    if (conversion == 'd' || conversion == 'i') {
        unsigned long v = TakeNumber(m, wide ? sizeof(long) : sizeof(int));
        m->args.push_back(wide ? Long(static_cast<long>(v)) : Int(static_cast<int>(v)));
    } else if (conversion == 'c') {
        m->args.push_back(Int(static_cast<int>(TakeNumber(m, sizeof(int)))));
    } else if (conversion == 's') {
        size_t count = TakeByte(&m->data, &m->size) % 24;
        count = count < m->size ? count : m->size;
        m->texts.emplace_back(reinterpret_cast<const char *>(m->data), count);   // a zero inside ends it
        m->data += count;
        m->size -= count;
        m->args.push_back(Text(m->texts.back().c_str()));
    } else {
        unsigned long v = TakeNumber(m, wide ? sizeof(long) : sizeof(unsigned));
        m->args.push_back(wide ? ULong(v) : Unsigned(static_cast<unsigned>(v)));
    }
}

// One conversion from p (just past its '%'); 0, leaving it out, when it needs too many arguments.
int CopyConversion(Made *m, const char **p)
{
    size_t formatBefore = m->format.size(), argsBefore = m->args.size();
    m->format += '%';
    for (int flags = 0; **p != 0 && std::strchr("-+ #0", **p) != nullptr; (*p)++)
        if (flags++ < 6)
            m->format += **p;
    CopyNumber(m, p);
    if (**p == '.') {
        m->format += *(*p)++;
        CopyNumber(m, p);
    }
    std::string length;
    if (**p == 'l')
        length = *(*p)++;
    for (; **p == 'h' && length.size() < 2 && length != "l"; (*p)++)
        length += 'h';
    const char *known = length.empty() ? "diuxXocs" : "diuxXo";
    char conversion = **p;
    if (conversion == 0 || std::strchr(known, conversion) == nullptr)
        conversion = known[static_cast<unsigned char>(conversion) % std::strlen(known)];
    if (**p != 0)
        (*p)++;
    m->format += length + conversion;
    TakeValue(m, conversion, length);
    if (m->args.size() <= FORMAT_ARGS_MAX)
        return 1;
    m->format.resize(formatBefore);
    m->args.resize(argsBefore);
    return 0;
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    size_t destSize = TakeByte(&data, &size);
    size_t textLength = TextLength(data, size);
    std::string text(reinterpret_cast<const char *>(data), textLength);
    Made m{"", {}, {}, data + textLength + (textLength < size), size - textLength - (textLength < size)};
    for (const char *p = text.c_str(); *p != 0;) {
        if (*p != '%') {
            m.format += *p++;
        } else if (p[1] == '%') {
            m.format += "%%";
            p += 2;
        } else if (!CopyConversion(&m, &++p)) {
            break;
        }
    }
    std::string ours(destSize + 8, '#'), host(destSize + 8, '#');
    int oursResult = FormatArgs(1, &ours[0], destSize, m.format.c_str(), m.args.data(), m.args.size());
    int hostResult = FormatArgs(0, &host[0], destSize, m.format.c_str(), m.args.data(), m.args.size());
    if (oursResult != hostResult || ours != host)
        std::fprintf(stderr, "format \"%s\" in %zu bytes: ours %d \"%s\", host %d \"%s\"\n", m.format.c_str(), destSize,
                     oursResult, ours.c_str(), hostResult, host.c_str());
    FUZZ_CHECK(oursResult == hostResult, "the same result as the host's");
    FUZZ_CHECK(ours == host, "the same bytes as the host's, and none written past the size");
    return 0;
}
