// Judging one stretch of bytes by the built-in rule and, when configured, the engine.
#include "vxd/scan/judge.h"

#include "base/bounded.h"
#include "vxd/engine/engine.h"
#include "vxd/scan/detect.h"

constexpr char BUILT_IN_NAME[] = "anti-virus test file";

int JudgeBuiltIn(const unsigned char *bytes, size_t count, uint64_t fullSize, Verdict *verdict)
{
    verdict->found = 0;
    verdict->threat[0] = 0;
    if (!IsTestFile(bytes, count, static_cast<size_t>(fullSize < TEST_FILE_MAX_SIZE + 1 ? fullSize : TEST_FILE_MAX_SIZE + 1)))
        return 0;
    verdict->found = 1;
    CopyBounded(verdict->threat, BUILT_IN_NAME);
    return 1;
}

void Judge(const unsigned char *bytes, size_t count, uint64_t fullSize, const char *label, Verdict *verdict)
{
    if (JudgeBuiltIn(bytes, count, fullSize, verdict))
        return;
    if (count != fullSize)
        return;
    int found = 0;
    int outage = 0;
    char threat[sizeof verdict->threat];
    if (AskEngine(bytes, count, label, &found, threat, sizeof threat, &outage) && found) {
        verdict->found = 1;
        CopyBounded(verdict->threat, threat);
    }
    verdict->unconfirmed |= outage;
}
