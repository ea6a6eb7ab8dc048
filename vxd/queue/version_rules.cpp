// The rules of the memory of file versions, and the content digest.
#include "vxd/queue/version_rules.h"

#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#endif

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

int RecordsVersion(const VersionRecord *known, const FileLook &now)
{
    if (known == nullptr || now.fileIndex == 0 || known->look.fileIndex != now.fileIndex || known->look.size != now.size)
        return 0;
    return known->kind == VERSION_HANDLED || (now.changed != 0 && known->look.changed == now.changed);
}

const VersionRecord *Recalled(const VersionMemory &memory, uint64_t name)
{
    auto known = memory.known.find(name);
    return known != memory.known.end() ? &known->second.first : nullptr;
}

// The order without the names forgotten or noted again since (which it holds only while it is
// not longer than twice the capacity).
static void DropStale(VersionMemory *memory)
{
    std::deque<std::pair<uint64_t, uint64_t>> kept;
    for (const auto &entry : memory->order) {
        auto known = memory->known.find(entry.first);
        if (known != memory->known.end() && known->second.second == entry.second)
            kept.push_back(entry);
    }
    memory->order.swap(kept);
}

void Remember(VersionMemory *memory, uint64_t name, const VersionRecord &record)
{
    auto known = memory->known.find(name);
    if (known != memory->known.end()) {
        known->second.first = record;   // keeps its place in the order
        return;
    }
    while (memory->known.size() >= memory->capacity && !memory->order.empty()) {
        auto oldest = memory->order.front();
        memory->order.pop_front();
        auto first = memory->known.find(oldest.first);
        if (first != memory->known.end() && first->second.second == oldest.second)
            memory->known.erase(first);
    }
    uint64_t when = ++memory->noted;
    memory->known[name] = {record, when};
    memory->order.push_back({name, when});
    if (memory->order.size() > 2 * memory->capacity)
        DropStale(memory);
}

void Forget(VersionMemory *memory, uint64_t name)
{
    memory->known.erase(name);
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

static void SipBegin(const uint64_t key[2], uint64_t v[4])
{
    v[0] = 0x736f6d6570736575ull ^ key[0];
    v[1] = 0x646f72616e646f6dull ^ key[1];
    v[2] = 0x6c7967656e657261ull ^ key[0];
    v[3] = 0x7465646279746573ull ^ key[1];
}

static void SipWord(uint64_t v[4], uint64_t m)
{
    v[3] ^= m;
    Rounds(v, 2);
    v[0] ^= m;
}

// The last word: the bytes left (fewer than 8) and the whole length's low byte at the top.
static uint64_t SipEnd(uint64_t v[4], const unsigned char *left, size_t count)
{
    uint64_t m = static_cast<uint64_t>(count & 0xFF) << 56;
    for (size_t i = 0; i < count % 8; i++)
        m |= static_cast<uint64_t>(left[i]) << (8 * i);
    SipWord(v, m);
    v[2] ^= 0xFF;
    Rounds(v, 4);
    return v[0] ^ v[1] ^ v[2] ^ v[3];
}

uint64_t SipHash24(const uint64_t key[2], const unsigned char *bytes, size_t count)
{
    uint64_t v[4];
    SipBegin(key, v);
    size_t whole = count - count % 8;
    for (size_t at = 0; at < whole; at += 8) {
        uint64_t m;
        std::memcpy(&m, bytes + at, sizeof m);
        SipWord(v, m);
    }
    return SipEnd(v, bytes + whole, count);
}

// A number drawn from the seed: SipHash of the number n.
static uint64_t Drawn(const uint64_t seed[2], uint64_t n)
{
    unsigned char bytes[8];
    std::memcpy(bytes, &n, sizeof bytes);
    return SipHash24(seed, bytes, sizeof bytes);
}

void MakeDigestKey(const uint64_t seed[2], DigestKey *key)
{
    constexpr size_t count = sizeof key->words / sizeof key->words[0];
    for (size_t i = 0; i < count; i += 2) {
        uint64_t n = Drawn(seed, i / 2);
        key->words[i] = static_cast<uint32_t>(n);
        key->words[i + 1] = static_cast<uint32_t>(n >> 32);
    }
    // SipHash's own key from numbers the words were not drawn from.
    key->sip[0] = Drawn(seed, 1ull << 63);
    key->sip[1] = Drawn(seed, (1ull << 63) + 1);
}

// NH of one block, with the key's words from the first and from the DIGEST_KEY_SHIFT-th on: its two
// sums. The additions wrap at 32 bits, the products and their sums at 64.
static void SumsOf(const uint32_t *key, const unsigned char *block, uint64_t sums[2])
{
    uint64_t first = 0, second = 0;
    for (size_t i = 0; i < DIGEST_BLOCK_WORDS; i += 2) {
        uint32_t a, b;
        std::memcpy(&a, block + 4 * i, sizeof a);
        std::memcpy(&b, block + 4 * i + 4, sizeof b);
        first += static_cast<uint64_t>(static_cast<uint32_t>(a + key[i])) * static_cast<uint32_t>(b + key[i + 1]);
        second += static_cast<uint64_t>(static_cast<uint32_t>(a + key[i + DIGEST_KEY_SHIFT]))
                  * static_cast<uint32_t>(b + key[i + DIGEST_KEY_SHIFT + 1]);
    }
    sums[0] = first;
    sums[1] = second;
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
// The same sums with AVX2, four pairs of words at a time: each 64-bit lane holds a pair, the
// multiply takes its low word and the pair's high word shifted down to it.
__attribute__((target("avx2"))) static void WideSumsOf(const uint32_t *key, const unsigned char *block,
                                                      uint64_t sums[2])
{
    __m256i first = _mm256_setzero_si256(), second = _mm256_setzero_si256();
    for (size_t i = 0; i < DIGEST_BLOCK_WORDS; i += 8) {
        __m256i m = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(block + 4 * i));
        __m256i x = _mm256_add_epi32(m, _mm256_loadu_si256(reinterpret_cast<const __m256i *>(key + i)));
        __m256i y = _mm256_add_epi32(m, _mm256_loadu_si256(reinterpret_cast<const __m256i *>(key + i + DIGEST_KEY_SHIFT)));
        first = _mm256_add_epi64(first, _mm256_mul_epu32(x, _mm256_srli_epi64(x, 32)));
        second = _mm256_add_epi64(second, _mm256_mul_epu32(y, _mm256_srli_epi64(y, 32)));
    }
    uint64_t lanes[4];
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(lanes), first);
    sums[0] = lanes[0] + lanes[1] + lanes[2] + lanes[3];
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(lanes), second);
    sums[1] = lanes[0] + lanes[1] + lanes[2] + lanes[3];
}

// 1 when the processor (and the system, which saves its wide registers) has AVX2.
static int HasWide(void)
{
    static const int wide = __builtin_cpu_supports("avx2");
    return wide;
}
#else
static void WideSumsOf(const uint32_t *key, const unsigned char *block, uint64_t sums[2])
{
    SumsOf(key, block, sums);
}

static int HasWide(void)
{
    return 0;
}
#endif

// One block's sums into the SipHash state.
static void ReduceBlock(const uint32_t *key, const unsigned char *block, uint64_t v[4])
{
    uint64_t sums[2];
    if (HasWide())
        WideSumsOf(key, block, sums);
    else
        SumsOf(key, block, sums);
    SipWord(v, sums[0]);
    SipWord(v, sums[1]);
}

void BeginDigest(const DigestKey &key, DigestRun *run)
{
    SipBegin(key.sip, run->v);
    run->done = 0;
}

void DigestOn(const DigestKey &key, DigestRun *run, const unsigned char *bytes, size_t count)
{
    constexpr size_t BLOCK = 4 * DIGEST_BLOCK_WORDS;
    for (; count > run->done && count - run->done >= BLOCK; run->done += BLOCK)
        ReduceBlock(key.words, bytes + run->done, run->v);
}

uint64_t EndDigest(const DigestKey &key, DigestRun *run, const unsigned char *bytes, size_t count)
{
    constexpr size_t BLOCK = 4 * DIGEST_BLOCK_WORDS;
    DigestOn(key, run, bytes, count);
    if (run->done < count) {
        unsigned char last[BLOCK] = {};
        std::memcpy(last, bytes + run->done, count - run->done);
        ReduceBlock(key.words, last, run->v);
    }
    SipWord(run->v, count);
    return SipEnd(run->v, nullptr, 8 * (2 * ((count + BLOCK - 1) / BLOCK) + 1));
}

uint64_t ContentDigest(const DigestKey &key, const unsigned char *bytes, size_t count)
{
    DigestRun run;
    BeginDigest(key, &run);
    return EndDigest(key, &run, bytes, count);
}
