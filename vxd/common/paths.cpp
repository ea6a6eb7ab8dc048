// Path rules of the reference driver: exclusions, the watch list and configured file names.
#include "vxd/common/paths.h"

#include <cstdio>
#include <cstring>


template <class Char> static Char UpperAscii(Char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<Char>(c - 'a' + 'A') : c;
}

template <class Char> static int IsSeparator(Char c)
{
    return c == '\\' || c == '/';
}

// 1 when the length characters at text end in tail (ASCII).
template <class Char> static int EndsWith(const Char *text, size_t length, const char *tail)
{
    size_t tailLength = std::strlen(tail);
    if (length < tailLength)
        return 0;
    for (size_t i = 0; i < tailLength; i++) {
        if (text[length - tailLength + i] != static_cast<Char>(tail[i]))
            return 0;
    }
    return 1;
}

// path against one entry: folder holds length characters, not terminated.
static int MatchesEntry(const wchar_t *folder, size_t length, int subfolders, const wchar_t *path)
{
    // "C:\TEMP\*.*" (what picking a folder for an exclusion gives) and "C:\TEMP\*" name the folder.
    if (EndsWith(folder, length, "\\*.*"))
        length -= 3;
    else if (EndsWith(folder, length, "\\*"))
        length -= 1;
    while (length > 0 && IsSeparator(folder[length - 1]))
        length--;   // "C:\" and "C:\TEMP\" name their folder without the last backslash
    if (length == 0)
        return 0;
    for (size_t i = 0; i < length; i++) {
        if (path[i] == 0 || UpperAscii(path[i]) != UpperAscii(folder[i]))
            return 0;
    }
    const wchar_t *rest = path + length;
    if (*rest == 0)
        return 1;   // the entry itself
    if (!IsSeparator(*rest) || rest[1] == 0)
        return 0;   // "C:\TEMP2" is not below "C:\TEMP"
    if (subfolders)
        return 1;
    for (const wchar_t *p = rest + 1; *p; p++) {
        if (IsSeparator(*p))
            return 0;
    }
    return 1;
}

// Calls visit(folder, length, subfolders) for each entry; returns 1 as soon as visit does. Counts
// in *stray the runs of text outside brackets and an unclosed last entry.
template <class Char, class Visit> static int ForEachExclusion(const Char *list, size_t listSize, int *stray, Visit visit)
{
    size_t size = 0;
    while (size < listSize && list[size] != 0)
        size++;
    const Char *p = list;
    const Char *end = list + size;
    while (p < end) {
        if (*p != '[') {
            ++*stray;
            while (p < end && *p != '[')
                p++;
            continue;
        }
        const Char *close = p + 1;
        while (close < end && *close != ']')
            close++;
        if (close == end) {
            ++*stray;
            break;
        }
        const Char *folder = p + 1;
        int subfolders = 0;
        if (folder < close && *folder == '+') {
            subfolders = 1;
            folder++;
        }
        if (visit(folder, static_cast<size_t>(close - folder), subfolders))
            return 1;
        p = close + 1;
    }
    return 0;
}

int IsExcluded(const wchar_t *list, size_t listSize, const wchar_t *path)
{
    if (list == nullptr || path == nullptr || path[0] == 0)
        return 0;
    int stray = 0;
    return ForEachExclusion(list, listSize, &stray, [&](const wchar_t *folder, size_t length, int subfolders) {
        return MatchesEntry(folder, length, subfolders, path);
    });
}

int WidenExclusions(const char *list, size_t listSize, WidenText widen, wchar_t *out, size_t size)
{
    if (size == 0)
        return 0;
    out[0] = 0;
    if (list == nullptr)
        return 0;
    size_t used = 0;
    int left = 0;
    int stray = 0;
    ForEachExclusion(list, listSize, &stray, [&](const char *folder, size_t length, int subfolders) {
        size_t start = used + 1 + static_cast<size_t>(subfolders);   // after "[" and "+"
        int count = size > start + 2 ? widen(folder, length, out + start, size - start - 2) : -1;
        if (count < 0 || start + static_cast<size_t>(count) + 2 > size) {
            left++;   // unreadable, or no room for it and its "]" and the terminator
            return 0;
        }
        out[used] = '[';
        if (subfolders)
            out[used + 1] = '+';
        used = start + static_cast<size_t>(count);
        out[used++] = ']';
        return 0;
    });
    out[used] = 0;
    return left;
}

int CountExclusions(const char *list, size_t listSize, int *stray)
{
    int entries = 0;
    *stray = 0;
    if (list != nullptr)
        ForEachExclusion(list, listSize, stray, [&](const char *, size_t, int) { return ++entries, 0; });
    return entries;
}

static int IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

int NextListItem(const char **cursor, char *out, size_t size)
{
    const char *p = *cursor;
    while (p != nullptr && *p) {
        const char *start = p;
        while (*p && *p != ';')
            p++;
        const char *stop = p;
        if (*p == ';')
            p++;
        while (start < stop && IsBlank(*start))
            start++;
        while (stop > start && IsBlank(stop[-1]))
            stop--;
        size_t length = static_cast<size_t>(stop - start);
        if (length > 0 && length < size) {
            std::memcpy(out, start, length);
            out[length] = 0;
            *cursor = p;
            return 1;
        }
    }
    *cursor = p;
    return 0;
}

int IsAbsolutePath(const char *value)
{
    if (value == nullptr || value[0] == 0)
        return 0;
    if (IsSeparator(value[0]))
        return 1;
    return value[1] == ':' && IsSeparator(value[2]);
}

int ResolvePath(const char *folder, const char *value, char *out, size_t size)
{
    if (size == 0)
        return 0;
    out[0] = 0;
    if (value == nullptr || value[0] == 0)
        return 0;
    int length = IsAbsolutePath(value) ? std::snprintf(out, size, "%s", value)
                                       : std::snprintf(out, size, "%s%s", folder ? folder : "", value);
    if (length < 0 || static_cast<size_t>(length) >= size) {
        out[0] = 0;
        return 0;
    }
    return 1;
}
