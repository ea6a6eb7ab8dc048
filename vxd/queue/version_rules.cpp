// The rules of the memory of file versions, and the content digest.
#include "vxd/queue/version_rules.h"

#include <cstring>

int VouchesUnread(const VersionRecord *known, const FileLook &now)
{
    if (known == nullptr || (known->kind != VERSION_CLEAN && known->kind != VERSION_PRESENT
                             && known->kind != VERSION_HANDLED))
        return 0;
    const FileLook &then = known->look;
    return now.fileIndex != 0 && now.changed != 0 && then.fileIndex == now.fileIndex && then.size == now.size
           && then.changed == now.changed && known->seenAt >= now.changed && known->seenAt - now.changed >= TIME_STEP;
}

int RepeatsVersion(const VersionRecord *known, const FileLook &now, uint64_t digest)
{
    if (known == nullptr || known->look.size != now.size || known->digest != digest)
        return 0;
    if (known->kind == VERSION_CLEAN)
        return 1;   // the same bytes, wherever they lie now
    if (known->look.fileIndex != now.fileIndex)
        return 0;
    if (known->kind == VERSION_HANDLED)
        return 1;   // its move changed its mark
    return (known->kind == VERSION_PENDING || known->kind == VERSION_INFECTED) && known->look.changed == now.changed;
}

void NoteInfected(InfectedVersions *versions, uint64_t size, uint64_t digest, const char *threat)
{
    auto known = versions->known.find(digest);
    if (known != versions->known.end() && known->second.first == size)
        return;
    if (known == versions->known.end()) {
        while (!versions->order.empty() && versions->known.size() >= versions->capacity) {
            versions->known.erase(versions->order.front().second);
            versions->order.pop_front();
        }
        versions->order.push_back({size, digest});
    }
    versions->known[digest] = {size, threat};
}

const char *KnownInfected(const InfectedVersions &versions, uint64_t size, uint64_t digest)
{
    auto known = versions.known.find(digest);
    return known != versions.known.end() && known->second.first == size ? known->second.second.c_str() : nullptr;
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
