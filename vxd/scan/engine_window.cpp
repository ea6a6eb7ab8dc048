// The window of files in the engine's hands, and what follows each verdict as it comes.
#include "vxd/scan/engine_window.h"

#include <string>
#include <utility>
#include <vector>

#include "vxd/engine/engine.h"
#include "vxd/scan/detection.h"
#include "vxd/scan/judge.h"
#include "vxd/scan/reading.h"

constexpr size_t ENGINE_HELD_BYTES = 32u << 20;   // the files left in the engine's hands while the
                                                  // next is read hold this much, at most

// A file handed to the engine: what its verdict is followed by. Its bytes stay here until then.
struct Pending {
    HANDLE file;                // held open until judged
    std::wstring path;
    ScannedVersion version;
    std::string ansiPath;
    std::string oemName;
    ScanOptions options;
    ReadBuffer bytes;
    int ticket;
};

static std::vector<Pending> pending;                      // ENGINE_WINDOW at most

// Takes the next verdict of a file in the engine's hands, as the daemons finish, and does what
// follows it.
static void FinishNext(void)
{
    int ticket = EngineNext();
    size_t at = 0;
    while (at < pending.size() && pending[at].ticket != ticket)
        at++;
    if (at == pending.size())
        at = 0;   // not expected: each file in the engine's hands has its ticket
    Pending p = std::move(pending[at]);
    pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(at));
    Verdict verdict = {};
    int found = 0;
    verdict.found = EngineVerdict(p.ticket, &found, verdict.threat, sizeof verdict.threat, &verdict.unconfirmed)
                    && found;
    if (verdict.found && ActionComparesFile(p.options))
        ReadVolume(p.file, &p.version.identity);
    CloseHandle(p.file);
    FollowVerdict(p.path.c_str(), p.version, p.ansiPath.c_str(), p.ansiPath.c_str(), p.oemName.c_str(), verdict,
                  p.options);
    GiveBack(std::move(p.bytes));
}

void FinishPending(size_t keep)
{
    while (pending.size() > keep)
        FinishNext();
}

int HandToEngine(HANDLE file, const wchar_t *path, const ScannedVersion &version, const char *ansiPath,
                 const char *oemName, const ScanOptions &options, size_t count, int *outage)
{
    int ticket = EngineBegin(ContentBytes(), count, ansiPath, outage);
    if (ticket == 0)
        return 0;
    pending.push_back({file, path, version, ansiPath, oemName, options, {}, ticket});
    pending.back().bytes = TakeContent();   // the next file's read takes a spare buffer that suits it
    // The files in the engine's hands hold their bytes: large ones are not left there together.
    size_t held = 0;
    for (const Pending &p : pending)
        held += p.bytes.size;
    FinishPending(held > ENGINE_HELD_BYTES ? 0 : ENGINE_WINDOW - 1);
    return 1;
}
