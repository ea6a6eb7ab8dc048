// The display form of a long path, as the Information page shows the last file scanned.
#include "sheet/shorten_path.h"

#include <cstring>

#include "base/bounded.h"

// Characters of the root: two backslashes of a network path, or a drive with its colon and, when
// it has one, its backslash.
static size_t RootLength(const char *path, size_t length)
{
    if (length >= 2 && path[1] == '\\')
        return 2;
    if (length >= 2 && path[1] == ':')
        return length >= 3 && path[2] == '\\' ? 3 : 2;
    return 0;
}

int ShortenPath(char *buffer, size_t size)
{
    if (buffer == nullptr || size == 0)
        return 0;
    size_t length = BoundedLength(buffer, size);
    int cut = 0;
    if (length == size) {
        length = size - 1;
        buffer[length] = 0;
        cut = 1;
    }
    if (length <= SHORT_PATH_LIMIT)
        return cut;

    size_t nameStart = 0;
    for (size_t i = 0; i < length; i++) {
        if (buffer[i] == '\\')
            nameStart = i + 1;
    }
    size_t nameLength = length - nameStart;
    if (nameLength >= 31) {
        std::memmove(buffer, buffer + nameStart, nameLength + 1);
        return cut || nameStart > 0;
    }

    size_t root = RootLength(buffer, length);
    if (root > nameStart)
        root = nameStart;
    long budget = 32 - static_cast<long>(nameLength) - static_cast<long>(root);
    size_t kept = 0;
    size_t position = root;
    while (position < nameStart) {
        const char *slash = static_cast<const char *>(std::memchr(buffer + position, '\\', nameStart - position));
        size_t directory = static_cast<size_t>(slash - (buffer + position)) + 1;
        if (static_cast<long>(kept + directory) >= budget)
            break;
        kept += directory;
        position += directory;
    }
    // The result is never longer than the path: more than 35 characters leave at least three of
    // dropped directories for the "..\" that replaces them.
    size_t dots = root + kept;
    // A path already in its short form ("C:\..\" and a name of 30) comes out as it went in.
    int same = nameStart == dots + 3 && std::memcmp(buffer + dots, "..\\", 3) == 0;
    std::memmove(buffer + dots + 3, buffer + nameStart, nameLength + 1);
    std::memcpy(buffer + dots, "..\\", 3);
    return cut || !same;
}
