// The program directory rule.
#include "app/program_dir.h"

#include "base/bounded.h"

int EndWithBackslash(char *buffer, size_t size)
{
    size_t length = BoundedLength(buffer, size);
    if (length == 0 || length >= size)
        return 0;
    if (buffer[length - 1] == '\\')
        return 1;
    if (length + 1 >= size)
        return 0;
    buffer[length] = '\\';
    buffer[length + 1] = 0;
    return 1;
}
