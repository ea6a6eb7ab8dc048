// The driver's own reading of Torvane.ini.
#include "vxd/config/ini_reader.h"

#include <cctype>
#include <cstring>

// A run of the text: [start, end).
struct Span {
    const char *start;
    const char *end;
};

static int IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

static Span Trim(Span s)
{
    while (s.start < s.end && IsBlank(*s.start))
        s.start++;
    while (s.end > s.start && IsBlank(s.end[-1]))
        s.end--;
    return s;
}

// 1 when the span holds name exactly, letters compared without regard to case.
static int SameName(Span s, const char *name)
{
    size_t length = static_cast<size_t>(s.end - s.start);
    if (std::strlen(name) != length)
        return 0;
    for (size_t i = 0; i < length; i++) {
        if (std::tolower(static_cast<unsigned char>(s.start[i])) != std::tolower(static_cast<unsigned char>(name[i])))
            return 0;
    }
    return 1;
}

// Finds the value of key in the first section named section; 1 with *value set when found.
static int FindValue(const char *ini, size_t length, const char *section, const char *key, Span *value)
{
    if (ini == nullptr || section == nullptr || key == nullptr)
        return 0;
    const void *zero = std::memchr(ini, 0, length);
    const char *end = zero != nullptr ? static_cast<const char *>(zero) : ini + length;
    const char *p = ini;
    if (end - p >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0)
        p += 3;
    int inSection = 0;   // 1 inside the section, 2 once it has ended
    while (p < end && inSection < 2) {
        Span line = {p, p};
        while (line.end < end && *line.end != '\n' && *line.end != '\r')
            line.end++;
        p = line.end < end ? line.end + 1 : end;
        line = Trim(line);
        if (line.start < line.end && *line.start == '[') {
            const void *close = std::memchr(line.start, ']', static_cast<size_t>(line.end - line.start));
            if (close == nullptr)
                continue;
            int named = SameName(Trim({line.start + 1, static_cast<const char *>(close)}), section);
            inSection = inSection == 1 ? 2 : named;
            continue;
        }
        if (inSection != 1 || line.start == line.end || *line.start == ';')
            continue;
        const void *equals = std::memchr(line.start, '=', static_cast<size_t>(line.end - line.start));
        if (equals == nullptr)
            continue;
        const char *at = static_cast<const char *>(equals);
        if (SameName(Trim({line.start, at}), key)) {
            *value = Trim({at + 1, line.end});
            return 1;
        }
    }
    return 0;
}

int IniText(const char *ini, size_t length, const char *section, const char *key, char *out, size_t outSize)
{
    Span value = {nullptr, nullptr};
    int found = FindValue(ini, length, section, key, &value);
    if (out == nullptr || outSize == 0)
        return found;
    out[0] = 0;
    if (!found)
        return 0;
    if (value.end - value.start >= 2 && (*value.start == '"' || *value.start == '\'') && value.end[-1] == *value.start) {
        value.start++;
        value.end--;
    }
    size_t count = static_cast<size_t>(value.end - value.start);
    if (count > outSize - 1)
        count = outSize - 1;
    std::memcpy(out, value.start, count);
    out[count] = 0;
    return 1;
}

uint32_t IniNumber(const char *ini, size_t length, const char *section, const char *key, uint32_t fallback)
{
    Span value = {nullptr, nullptr};
    if (!FindValue(ini, length, section, key, &value))
        return fallback;
    const char *p = value.start;
    if (p < value.end && *p == '+')
        p++;
    unsigned base = 10;
    if (value.end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && std::isxdigit(static_cast<unsigned char>(p[2]))) {
        base = 16;
        p += 2;
    }
    uint64_t number = 0;
    const char *digits = p;
    for (; p < value.end; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && std::isxdigit(c))
            digit = static_cast<unsigned>(std::tolower(c) - 'a' + 10);
        else
            break;
        number = number * base + digit;
        if (number > 0xFFFFFFFFu)
            return fallback;
    }
    return p > digits ? static_cast<uint32_t>(number) : fallback;
}
