// Making up for an engine outage: the files checked while no daemon answered, sent to a daemon once
// one answers again.
#include "vxd/scan/make_up.h"

#include <deque>
#include <unordered_set>

#include "vxd/config/config.h"
#include "vxd/engine/engine.h"
#include "vxd/queue/retry.h"

constexpr size_t MAKE_UP_MAX = 4096;        // files kept at most
constexpr DWORD PROBE_MIN_MS = 1000;        // a daemon is asked again at most this often

static std::deque<std::wstring> kept;       // oldest first, each once
static std::unordered_set<std::wstring> keptNames;
static DWORD lastTry;                       // GetTickCount of the last try

void NoteUnconfirmed(const wchar_t *path)
{
    if (keptNames.count(path) != 0)
        return;
    if (kept.size() >= MAKE_UP_MAX) {
        RescanLater(path);   // its watched folder is walked again: the file is read once more
        return;
    }
    if (kept.empty())
        lastTry = GetTickCount();
    kept.push_back(path);
    keptNames.insert(path);
}

static DWORD ProbeMs(void)
{
    return config.clamdRetry > PROBE_MIN_MS ? config.clamdRetry : PROBE_MIN_MS;
}

DWORD MakeUpDueMs(void)
{
    if (kept.empty())
        return INFINITE;
    if (EngineAnswers())
        return 0;
    DWORD waited = GetTickCount() - lastTry;
    return waited >= ProbeMs() ? 0 : ProbeMs() - waited;
}

int TakeMakeUp(std::vector<std::wstring> *paths)
{
    paths->clear();
    if (MakeUpDueMs() != 0)
        return 0;
    lastTry = GetTickCount();
    if (!EngineProbe())
        return 0;
    for (const std::wstring &path : kept)
        paths->push_back(path);
    kept.clear();
    keptNames.clear();
    return 1;
}
