// The lines of the report file, chosen by logMask.
#include "vxd/report/report_line.h"

#include <cstdio>

int FormatReportEntry(char *out, size_t size, uint32_t mask, uint32_t kind, const char *when, const char *user,
                      const char *text)
{
    if (out == nullptr || size == 0)
        return 0;
    out[0] = 0;
    if ((mask & kind) == 0)
        return 0;
    int useWhen = (mask & LOG_DATE_TIME) && when != nullptr && when[0] != 0;
    int useUser = (mask & LOG_USER) && user != nullptr && user[0] != 0;
    std::snprintf(out, size, "%s%s%s%s%s", useWhen ? when : "", useWhen ? "  " : "", useUser ? user : "",
                  useUser ? "  " : "", text != nullptr ? text : "");
    return 1;
}

static const char *ScanTypeText(uint32_t scanType)
{
    switch (scanType) {
    case SCAN_PROGRAMS: return "program files";
    case SCAN_MACROS: return "documents with macros";
    }
    return "all files";
}

static const char *ScanOnText(uint32_t scanOn)
{
    switch (scanOn) {
    case SCAN_ON_OPEN: return "open, copy, run";
    case SCAN_ON_CREATE: return "create, download";
    }
    return "open, copy, run, create, download";
}

static const char *ActionText(uint32_t action)
{
    switch (action) {
    case ACTION_DENY: return "deny access";
    case ACTION_RENAME: return "rename";
    case ACTION_MOVE: return "move";
    case ACTION_DELETE: return "delete";
    case ACTION_DISINFECT: return "disinfect";
    }
    return "report only";
}

void FormatSettingsText(char *out, size_t size, const StatusBlock *b, const char *inUse, const char *exclusions)
{
    char move[sizeof b->moveDir + 8] = "";
    if (b->action == ACTION_MOVE)
        std::snprintf(move, sizeof move, " to %.*s", static_cast<int>(sizeof b->moveDir - 1), b->moveDir);
    std::snprintf(out, size,
                  "Settings: scan %s (%s) on %s; inside archives %s; action %s%s; only log %s; exclusions %s",
                  ScanTypeText(b->scanType), b->scanType == SCAN_PROGRAMS ? (inUse ? inUse : "") : "-", ScanOnText(b->scanOn),
                  b->archives ? "on" : "off", ActionText(b->action), move, b->onlyLog ? "on" : "off",
                  exclusions != nullptr && exclusions[0] != 0 ? exclusions : "none");
}

void FormatSummaryText(char *out, size_t size, const StatusBlock *b, unsigned unwritten)
{
    char lost[64] = "";
    if (unwritten > 0)
        std::snprintf(lost, sizeof lost, "; %u lines of this report could not be written", unwritten);
    std::snprintf(out, size,
                  "Summary: %u files scanned, %u infected, %u suspicious, %u disinfected, %u deleted, %u renamed, "
                  "%u moved%s",
                  static_cast<unsigned>(b->filesScanned), static_cast<unsigned>(b->filesInfected),
                  static_cast<unsigned>(b->filesSuspicious), static_cast<unsigned>(b->disinfectedCount),
                  static_cast<unsigned>(b->deletedCount), static_cast<unsigned>(b->renamedCount),
                  static_cast<unsigned>(b->movedCount), lost);
}
