// The settings load's reading of one value's bytes.
#include "settings/value_reader.h"

#include <cstring>

int TakeNumberValue(uint32_t type, const unsigned char *bytes, size_t size, uint32_t *number)
{
    if (type != VALUE_NUMBER || bytes == nullptr || size != 4)
        return 0;
    *number = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8
              | static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return 1;
}

int TakeTextValue(uint32_t type, const unsigned char *bytes, size_t size, size_t capacity, char *target,
                  size_t targetSize)
{
    if (type != VALUE_TEXT || bytes == nullptr || target == nullptr || size == 0 || size > capacity)
        return 0;
    const void *zero = std::memchr(bytes, 0, size);
    if (zero == nullptr)
        return 0;
    size_t length = static_cast<size_t>(static_cast<const unsigned char *>(zero) - bytes);
    if (length >= targetSize)
        return 0;
    std::memcpy(target, bytes, length + 1);
    return 1;
}
