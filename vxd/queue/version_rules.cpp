// The rules of the memory of file versions, and the content digest.
#include "vxd/queue/version_rules.h"

#include <cstring>

int RepeatsVersion(const VersionRecord *known, uint64_t size, uint64_t digest)
{
    return known != nullptr && known->kind == VERSION_SCANNED && known->size == size && known->digest == digest;
}

int RescanWants(const VersionRecord *known, uint64_t size, uint64_t written, uint64_t since)
{
    if (known == nullptr || known->size != size || known->written != written)
        return 1;
    int settled = known->seenAt >= written && known->seenAt - written >= TIME_STEP;
    if (known->kind == VERSION_PRESENT)
        return !settled || known->seenAt >= since;   // seen while the lost notices came: no proof
    return !settled;
}

static uint64_t Rotate(uint64_t x, int bits)
{
    return (x << bits) | (x >> (64 - bits));
}

static void Rounds(uint64_t v[4], int count)
{
    for (int i = 0; i < count; i++) {
        v[0] += v[1], v[1] = Rotate(v[1], 13), v[1] ^= v[0], v[0] = Rotate(v[0], 32);
        v[2] += v[3], v[3] = Rotate(v[3], 16), v[3] ^= v[2];
        v[0] += v[3], v[3] = Rotate(v[3], 21), v[3] ^= v[0];
        v[2] += v[1], v[1] = Rotate(v[1], 17), v[1] ^= v[2], v[2] = Rotate(v[2], 32);
    }
}

// The words are read as they lie in memory, which is their order on the machines built for.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the digest reads words in little-endian order");

uint64_t ContentDigest(const uint64_t key[2], const unsigned char *bytes, size_t count)
{
    uint64_t v[4] = {0x736f6d6570736575ull ^ key[0], 0x646f72616e646f6dull ^ key[1], 0x6c7967656e657261ull ^ key[0],
                     0x7465646279746573ull ^ key[1]};
    size_t whole = count - count % 8;
    for (size_t at = 0; at < whole; at += 8) {
        uint64_t m;
        std::memcpy(&m, bytes + at, sizeof m);
        v[3] ^= m;
        Rounds(v, 2);
        v[0] ^= m;
    }
    // The last word: the bytes left and the length's low byte at the top.
    uint64_t m = static_cast<uint64_t>(count & 0xFF) << 56;
    for (size_t i = 0; whole + i < count; i++)
        m |= static_cast<uint64_t>(bytes[whole + i]) << (8 * i);
    v[3] ^= m;
    Rounds(v, 2);
    v[0] ^= m;
    v[2] ^= 0xFF;
    Rounds(v, 4);
    return v[0] ^ v[1] ^ v[2] ^ v[3];
}
