// The driver's ZIP reader on any bytes, archives inside archives three deep as the scan reads them,
// with small limits and one budget for all of them. Holds: every member's bytes lie in memory it
// may read (each is summed, so the sanitizers see every byte); a member read is no larger than the
// member limit; the members read at every depth together stay within the total, and so do the
// members visited; a spent budget stays spent; names are free of control characters, and the name
// as written drops only the dots and blanks it ends in; statuses and results are the documented
// ones. Read again as for the built-in rule alone: a member cut short holds exactly the bytes
// judged, and they do not begin like an archive.
#include "tests/fuzz/fuzz_support.h"
#include "vxd/scan/detect.h"
#include "vxd/options/scan_rules.h"
#include "vxd/scan/zip_reader.h"

static const ZipLimits WHOLE = {1u << 20, 4u << 20, 64, 0};
static const ZipLimits JUDGED = {1u << 20, 4u << 20, 64, TEST_FILE_MAX_SIZE + 1};
static const int DEPTH = 3;

struct Visit {
    const ZipLimits *limits;
    int depth;
    unsigned *visited;      // at every depth together
    size_t *readBytes;
    ZipBudget *budget;
};

static int VisitMember(const ZipMember &member, void *context)
{
    Visit *visit = static_cast<Visit *>(context);
    const ZipLimits &limits = *visit->limits;
    ++*visit->visited;
    FUZZ_CHECK(*visit->visited <= limits.members, "no more members than the limit, at every depth together");
    for (char c : member.name)
        FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20, "no control character in a name");
    std::string written = NameAsWritten(member.name);
    FUZZ_CHECK(member.name.compare(0, written.size(), written) == 0
                   && (written.empty() || (written.back() != '.' && written.back() != ' ')),
               "the name as written is the name less the dots and blanks it ends in");
    FUZZ_CHECK(member.status >= ZIP_MEMBER_READ && member.status <= ZIP_MEMBER_ENCRYPTED, "a known status");
    if (member.status != ZIP_MEMBER_READ)
        return 1;
    FUZZ_CHECK(member.size <= limits.memberBytes, "a member read stays within the member limit");
    FUZZ_CHECK(member.size == 0 || member.data != nullptr, "a member read has its bytes");
    if (member.cut)
        FUZZ_CHECK(limits.judgedBytes > 0 && member.size == limits.judgedBytes && !LooksLikeZip(member.data, member.size),
                   "a member cut short holds the bytes judged, and is no archive");
    *visit->readBytes += member.size;
    FUZZ_CHECK(*visit->readBytes <= limits.totalBytes, "the members read at every depth stay within the total");
    FUZZ_CHECK(visit->budget->bytesLeft <= limits.totalBytes - *visit->readBytes, "what was read was charged");
    volatile unsigned sum = 0;
    for (size_t i = 0; i < member.size; i++)
        sum = sum + member.data[i];
    IsTestFile(member.data, member.size < TEST_FILE_MAX_SIZE ? member.size : TEST_FILE_MAX_SIZE, member.size);
    if (visit->depth < DEPTH && !member.cut && HoldsZip(member.data, member.size)) {
        Visit inner = *visit;
        inner.depth++;
        int result = ReadZip(member.data, member.size, limits, visit->budget, VisitMember, &inner);
        FUZZ_CHECK(result >= ZIP_DONE && result <= ZIP_OVERDUE, "a known result inside");
    }
    return 1;
}

static void ReadAs(const unsigned char *bytes, size_t size, const ZipLimits &limits)
{
    unsigned visited = 0;
    size_t readBytes = 0;
    ZipBudget budget = MakeZipBudget(limits, nullptr);
    Visit visit = {&limits, 0, &visited, &readBytes, &budget};
    int result = ReadZip(bytes, size, limits, &budget, VisitMember, &visit);
    FUZZ_CHECK(result >= ZIP_DONE && result <= ZIP_OVERDUE, "a known result");
    FUZZ_CHECK(ZipResultText(result) != nullptr, "every result has its word");
    FUZZ_CHECK(result != ZIP_OVERDUE, "no clock, no lateness");
    if (budget.reached != 0)
        FUZZ_CHECK(ReadZip(bytes, size, limits, &budget, VisitMember, &visit) == budget.reached,
                   "a spent budget stays spent");
    if (size < 22)
        FUZZ_CHECK(result == ZIP_NO_DIRECTORY && visited == 0, "too short to be an archive");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::unique_ptr<unsigned char[]> bytes = ExactCopy(data, size);
    LooksLikeZip(bytes.get(), size);
    if (EndsLikeZip(bytes.get(), size))
        FUZZ_CHECK(HoldsZip(bytes.get(), size), "an end record found is an archive held");
    ReadAs(bytes.get(), size, WHOLE);
    ReadAs(bytes.get(), size, JUDGED);
    return 0;
}
