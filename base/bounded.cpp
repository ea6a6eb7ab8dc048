// Bounded text copies.
#include "base/bounded.h"

#include <cstring>

size_t BoundedLength(const char *s, size_t limit)
{
    if (s == nullptr)
        return 0;
    size_t length = 0;
    while (length < limit && s[length] != 0)   // byte by byte: never touches a byte past the terminator
        length++;
    return length;
}

int CopyBounded(char *dest, size_t size, const char *src)
{
    if (dest == nullptr || size == 0)
        return 0;
    if (src == nullptr) {
        dest[0] = 0;
        return 0;
    }
    size_t length = BoundedLength(src, size);   // reads at most size bytes of src
    if (length == size) {
        std::memcpy(dest, src, size - 1);
        dest[size - 1] = 0;
        return 0;
    }
    std::memcpy(dest, src, length + 1);
    return 1;
}
