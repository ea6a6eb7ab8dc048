// The version trailer test on bytes already read from the driver file.
#include "driver/protocol.h"

int CheckTrailer(const unsigned char *buffer, size_t count)
{
    if (buffer == nullptr || count < TRAILER_SIZE)
        return 0;
    for (size_t i = 0; i < sizeof TRAILER_MARK - 1; i++) {
        if (buffer[i] != static_cast<unsigned char>(TRAILER_MARK[i]))
            return 0;
    }
    return 1;
}
