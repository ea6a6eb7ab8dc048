// The driver's memory of what it scanned and what waits: which notice repeats a version scanned,
// which files a rescan reads again, the content digest, the scan queue's order and bound, and
// which writes belong to an arrival.
#include <gtest/gtest.h>

#include <string>

#include "vxd/queue/name_queue.h"
#include "vxd/queue/version_rules.h"
#include "vxd/watch/arrivals.h"

TEST(DriverVersions, RepeatedNoticesAndRescans)
{
    const uint64_t s = 10000000;   // a second in file-time units
    const uint64_t written = 1000 * s;
    const VersionRecord scanned = {VERSION_SCANNED, 68, written, written + 3 * s, 0xABCD};
    const VersionRecord scannedAtOnce = {VERSION_SCANNED, 68, written, written + s / 2, 0xABCD};
    const VersionRecord present = {VERSION_PRESENT, 68, written, written + 3 * s, 0};
    struct Case {
        const char *what;
        const VersionRecord *known;
        uint64_t size, written, digest;
        int repeats;          // a notice with this digest: nothing to judge
        int rescanned;        // after notices lost since written + 10 s
    } cases[] = {
        {"unknown, whatever its time", nullptr, 68, 1, 0xABCD, 0, 1},
        {"the version scanned", &scanned, 68, written, 0xABCD, 1, 0},
        {"a rewrite of the same size and time", &scanned, 68, written, 0x1234, 0, 0},
        {"another size", &scanned, 69, written, 0xABCD, 0, 1},
        {"another time", &scanned, 68, written + 1, 0xABCD, 1, 1},
        {"scanned within the time step of its writing", &scannedAtOnce, 68, written, 0xABCD, 1, 1},
        {"seen when the watch began, never read", &present, 68, written, 0, 0, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.repeats, RepeatsVersion(c.known, c.size, c.digest)) << c.what;
        EXPECT_EQ(c.rescanned, RescanWants(c.known, c.size, c.written, written + 10 * s)) << c.what;
    }
    EXPECT_EQ(1, RescanWants(&present, 68, written, written + 2 * s)) << "seen after the notices were lost";

    // SipHash-2-4's own vectors: key 00..0F, messages of no bytes and of 00..0E.
    const uint64_t key[2] = {0x0706050403020100ull, 0x0F0E0D0C0B0A0908ull};
    unsigned char message[15];
    for (unsigned char i = 0; i < sizeof message; i++)
        message[i] = i;
    EXPECT_EQ(0x726FDB47DD0E0E31ull, ContentDigest(key, nullptr, 0));
    EXPECT_EQ(0xA129CA6149BE45E5ull, ContentDigest(key, message, sizeof message));
}

TEST(DriverQueue, EachNameOnceAndNoMoreThanRoomFor)
{
    NameQueue queue = {3, 12, 0, {}, {}};
    struct Step {
        const wchar_t *name;
        int fresh;
        int result;
    } steps[] = {
        {L"C:\\A", 0, NAME_QUEUED},
        {L"C:\\A", 1, NAME_MERGED},   // the same name: keeps its place, now fresh
        {L"C:\\a", 0, NAME_QUEUED},   // on a folder that tells case apart, another file
        {L"C:\\LONGER", 0, NAME_REFUSED},   // no room for its characters
        {L"C:\\B", 0, NAME_QUEUED},
        {L"C:\\C", 1, NAME_REFUSED},
    };
    for (const Step &step : steps)
        EXPECT_EQ(step.result, PushName(&queue, step.name, step.fresh)) << step.name;
    QueuedName out;
    for (const QueuedName &expected : {QueuedName{L"C:\\A", 1}, QueuedName{L"C:\\a", 0}, QueuedName{L"C:\\B", 0}}) {
        ASSERT_EQ(1, PopName(&queue, &out));
        EXPECT_EQ(expected.path, out.path);
        EXPECT_EQ(expected.fresh, out.fresh) << out.path;
    }
    EXPECT_EQ(0, PopName(&queue, &out));
    EXPECT_EQ(NAME_QUEUED, PushName(&queue, L"C:\\LONGER", 0)) << "taken, so there is room again";
}

TEST(DriverArrivals, WritesThatFillAnArrival)
{
    Arrivals arrivals = {2, {}, 0, 0};
    struct Step {
        const wchar_t *name;
        int arrived;
        uint32_t atMs;
        int fresh;
    } steps[] = {
        {L"A", 1, 0, 1},
        {L"A", 0, 20000, 1},
        {L"A", 0, 45000, 1},          // 45 s after it arrived, still being filled
        {L"OLD", 0, 45000, 0},        // rewritten in place
        {L"A", 0, 80000, 0},          // 35 s after its last write: done
        {L"B", 1, 81000, 1},
        {L"C", 1, 81000, 1},          // A made room
        {L"D", 1, 82000, 1},          // no room among names still being filled
        {L"D", 0, 90000, 1},          // forgotten, so every write counts for a while
        {L"OLD", 0, 100000, 1},
        {L"OLD", 0, 113000, 0},
    };
    for (const Step &step : steps)
        EXPECT_EQ(step.fresh, NoteNotice(&arrivals, step.name, step.arrived, step.atMs)) << step.name << " at " << step.atMs;
}
