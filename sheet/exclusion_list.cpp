// Reading the ExclusionList text into entries and rows, and writing rows back as text.
#include "sheet/exclusion_list.h"

#include <cstring>

#include "base/bounded.h"

int NextExclusion(const char *text, size_t length, size_t *position, ExclusionEntry *entry)
{
    size_t open = *position;
    while (open < length && text[open] != '[')
        open++;
    if (open >= length)
        return 0;
    const void *found = std::memchr(text + open, ']', length - open);
    if (found == nullptr) {
        *position = length;
        return 0;
    }
    size_t close = static_cast<size_t>(static_cast<const char *>(found) - text);
    size_t start = open + 1;
    entry->subfolders = start < close && text[start] == '+';
    start += entry->subfolders ? 1 : 0;
    size_t kept = close - start < sizeof entry->path - 1 ? close - start : sizeof entry->path - 1;
    std::memcpy(entry->path, text + start, kept);
    entry->path[kept] = 0;
    *position = close + 1;
    return 1;
}

// Appends source to row (size bytes) as far as it fits.
static void AppendCut(char *row, size_t size, const char *source)
{
    size_t used = BoundedLength(row, size);
    if (used + 1 < size)
        CopyBounded(row + used, size - used, source);
}

void MakeExclusionRow(char *row, size_t size, const ExclusionMarks &marks, ExclusionRowOrigin origin,
                      int subfolders, const char *path)
{
    if (size == 0)
        return;
    const char *mark = subfolders ? marks.subfolders : marks.alone;
    CopyBounded(row, size, mark);
    if (origin == ROW_ADDED)
        AppendCut(row, size, subfolders ? "  " : "   ");
    // Both shapes fill at least five characters: the read-back looks for the last blank among the
    // first six, so a path that began any earlier would lose the part before a blank of its own
    // (with a two-character 606, "Ja  C x" read back as "x").
    for (size_t length = BoundedLength(row, size); length < 5 && length + 1 < size; length++)
        AppendCut(row, size, " ");
    // Blanks a path begins with cannot be told from the padding when the row is read back: each
    // Apply would drop one more. The row shows the path without them, and so reads back as shown.
    while (*path == ' ')
        path++;
    AppendCut(row, size, path);
}

const char *ReadExclusionRow(const char *row, const ExclusionMarks &marks, int *subfolders)
{
    *subfolders = row[0] != 0 && row[0] == marks.subfolders[0];
    size_t head = BoundedLength(row, 6);
    const char *path = head > 0 ? row + 1 : row;
    for (size_t i = 0; i < head; i++) {
        if (row[i] == ' ')
            path = row + i + 1;
    }
    return path;
}

size_t ExclusionEntryLength(int subfolders, const char *path)
{
    return std::strlen(path) + (subfolders ? 3 : 2);
}

int AppendExclusion(char *text, size_t size, int subfolders, const char *path)
{
    size_t used = BoundedLength(text, size);
    if (used >= size || used + ExclusionEntryLength(subfolders, path) >= size)
        return 0;
    char *p = text + used;
    *p++ = '[';
    if (subfolders)
        *p++ = '+';
    size_t pathLength = std::strlen(path);
    std::memcpy(p, path, pathLength);
    p += pathLength;
    *p++ = ']';
    *p = 0;
    return 1;
}

int AddExclusionResult(const char *typed, size_t typedLength, int subfolders, size_t textLength)
{
    if (typedLength < 3)
        return 0;
    if (typedLength >= EXCLUSION_PATH_SIZE || std::memchr(typed, ']', typedLength) != nullptr)
        return ADD_REFUSED;
    // "[+X]" is an entry with subfolders: a path starting with "+" can only be stored as one.
    if (!subfolders && typed[0] == '+')
        return ADD_REFUSED;
    size_t entry = typedLength + (subfolders ? 3 : 2);
    if (textLength >= EXCLUSION_TEXT_SIZE || entry >= EXCLUSION_TEXT_SIZE - textLength)
        return ADD_REFUSED;
    return subfolders ? 3 : 1;
}
