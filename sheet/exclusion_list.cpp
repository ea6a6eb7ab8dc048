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

const char *StoredExclusionPath(const char *path)
{
    while (*path == ' ')
        path++;
    return path;
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
    // Both shapes fill at least five characters, so that the paths of short marks line up.
    for (size_t length = BoundedLength(row, size); length < 5 && length + 1 < size; length++)
        AppendCut(row, size, " ");
    // Blanks a path begins with cannot be told from the padding when the row is read back: the row
    // shows the path without them, and so reads back as shown.
    AppendCut(row, size, StoredExclusionPath(path));
}

// 1 when row begins with mark, and then *rest is what follows it.
static int BeginsWith(const char *row, const char *mark, const char **rest)
{
    size_t length = std::strlen(mark);
    if (std::strncmp(row, mark, length) != 0)
        return 0;
    *rest = row + length;
    return 1;
}

const char *ReadExclusionRow(const char *row, const ExclusionMarks &marks, int *subfolders)
{
    // The longer mark first: "Jamais" is not read as "Ja" followed by a path "mais".
    int subfoldersFirst = std::strlen(marks.subfolders) >= std::strlen(marks.alone);
    const char *first = subfoldersFirst ? marks.subfolders : marks.alone;
    const char *second = subfoldersFirst ? marks.alone : marks.subfolders;
    const char *path = row;
    if (BeginsWith(row, first, &path))
        *subfolders = subfoldersFirst;
    else if (BeginsWith(row, second, &path))
        *subfolders = !subfoldersFirst;
    else
        *subfolders = 0;
    return StoredExclusionPath(path);
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
    while (typedLength > 0 && *typed == ' ') {
        typed++;
        typedLength--;
    }
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
