// Reading, joining and growing the ExtensionList text.
#include "sheet/extension_list.h"

#include <cstring>

#include "base/bounded.h"

int NextExtensionRow(const char *text, size_t length, size_t *position, char *row, size_t rowSize)
{
    if (*position > length || rowSize == 0)
        return 0;
    size_t start = *position;
    size_t end = start;
    while (end < length && text[end] != ',' && text[end] != 0)
        end++;
    size_t kept = end - start < rowSize - 1 ? end - start : rowSize - 1;
    std::memcpy(row, text + start, kept);
    row[kept] = 0;
    *position = end + 1;   // past the ',', or past the end
    return 1;
}

int JoinExtensionRow(char *text, size_t size, size_t index, const char *row)
{
    size_t used = BoundedLength(text, size);
    size_t rowLength = std::strlen(row);
    size_t comma = index > 0 ? 1 : 0;
    if (used >= size || used + comma + rowLength >= size)
        return 0;
    if (comma)
        text[used++] = ',';
    std::memcpy(text + used, row, rowLength + 1);
    return 1;
}

// 1 when the joined rows hold ext as one whole entry.
static int IsListed(const char *joined, const char *ext)
{
    size_t length = BoundedLength(joined, EXTENSION_TEXT_SIZE);
    size_t position = 0;
    char row[EXTENSION_ROW_SIZE];
    while (NextExtensionRow(joined, length, &position, row, sizeof row)) {
        if (std::strcmp(row, ext) == 0)
            return 1;
    }
    return 0;
}

ExtensionVerdict CheckNewExtension(const char *typed, const char *joined, size_t rowCount, char (&ext)[4])
{
    ext[0] = 0;
    if (BoundedLength(typed, EXTENSION_TYPED_SIZE) < 3)
        return EXTENSION_TOO_SHORT;
    for (int i = 0; i < 3; i++) {
        if (typed[i] == '*')
            return EXTENSION_WILDCARD;
        if (typed[i] == ',')
            return EXTENSION_COMMA;
    }
    char candidate[4] = {typed[0], typed[1], typed[2], 0};
    if (rowCount > 0 && IsListed(joined, candidate))
        return EXTENSION_LISTED;
    size_t needed = BoundedLength(joined, EXTENSION_TEXT_SIZE) + (rowCount > 0 ? 1 : 0) + 3;
    if (needed >= EXTENSION_TEXT_SIZE)
        return EXTENSION_NO_ROOM;
    std::memcpy(ext, candidate, sizeof candidate);
    return EXTENSION_ADD;
}
