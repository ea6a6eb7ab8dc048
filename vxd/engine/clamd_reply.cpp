// The ClamAV daemon's answer to INSTREAM.
#include "vxd/engine/clamd_reply.h"

#include <cstring>

static int Ends(const char *text, size_t length, const char *suffix)
{
    size_t n = std::strlen(suffix);
    return length >= n && std::memcmp(text + length - n, suffix, n) == 0;
}

int ParseClamdReply(const char *reply, size_t length, char *name, size_t nameSize)
{
    if (name != nullptr && nameSize > 0)
        name[0] = 0;
    if (reply == nullptr)
        return CLAMD_NONSENSE;
    while (length > 0 && (reply[length - 1] == 0 || reply[length - 1] == '\n' || reply[length - 1] == '\r'))
        length--;
    if (length == 0 || std::memchr(reply, 0, length) != nullptr)
        return CLAMD_NONSENSE;
    if (Ends(reply, length, " ERROR"))
        return CLAMD_FILE_ERROR;
    static const char prefix[] = "stream: ";
    const size_t prefixLength = sizeof prefix - 1;
    if (length < prefixLength || std::memcmp(reply, prefix, prefixLength) != 0)
        return CLAMD_NONSENSE;
    const char *rest = reply + prefixLength;
    size_t restLength = length - prefixLength;
    if (restLength == 2 && std::memcmp(rest, "OK", 2) == 0)
        return CLAMD_CLEAN;
    if (!Ends(rest, restLength, " FOUND"))
        return CLAMD_NONSENSE;
    size_t nameLength = restLength - 6;
    if (nameLength == 0)
        return CLAMD_NONSENSE;
    for (size_t i = 0; i < nameLength; i++) {
        if (static_cast<unsigned char>(rest[i]) < 0x20 || rest[i] == 0x7F)
            return CLAMD_NONSENSE;
    }
    if (name != nullptr && nameSize > 0) {
        size_t copy = nameLength < nameSize - 1 ? nameLength : nameSize - 1;
        std::memcpy(name, rest, copy);
        name[copy] = 0;
    }
    return CLAMD_FOUND;
}

size_t TakeSessionId(const char *reply, size_t length, unsigned long *id)
{
    *id = 0;
    size_t at = 0;
    unsigned long long number = 0;
    while (reply != nullptr && at < length && at < 10 && reply[at] >= '0' && reply[at] <= '9')
        number = number * 10 + static_cast<unsigned long long>(reply[at++] - '0');
    if (at == 0 || number == 0 || number > 0xFFFFFFFFull || length - at < 2 || reply[at] != ':' || reply[at + 1] != ' ')
        return 0;
    *id = static_cast<unsigned long>(number);
    return at + 2;
}

void ClamdChunkHeader(unsigned long length, unsigned char out[4])
{
    out[0] = static_cast<unsigned char>((length >> 24) & 0xFF);
    out[1] = static_cast<unsigned char>((length >> 16) & 0xFF);
    out[2] = static_cast<unsigned char>((length >> 8) & 0xFF);
    out[3] = static_cast<unsigned char>(length & 0xFF);
}
