// The control-code lines of the driver's journal.
#include "vxd/journal/journal_line.h"

#include <cstdio>

#include "driver/protocol.h"

struct ControlNameEntry {
    uint32_t code;
    const char *name;
};

static constexpr ControlNameEntry controlNames[] = {
    {CTL_CONNECT, "CTL_CONNECT"},
    {CTL_LOG_START, "CTL_LOG_START"},
    {CTL_LOG_STOP, "CTL_LOG_STOP"},
    {CTL_SCAN_OPTIONS_CHANGED, "CTL_SCAN_OPTIONS_CHANGED"},
    {CTL_ACTION_OPTIONS_CHANGED, "CTL_ACTION_OPTIONS_CHANGED"},
    {CTL_ENABLE, "CTL_ENABLE"},
    {CTL_DISABLE, "CTL_DISABLE"},
    {CTL_CLEAR_STATISTICS, "CTL_CLEAR_STATISTICS"},
    {CTL_SELECT_LANGUAGE, "CTL_SELECT_LANGUAGE"},
    {CTL_EXCLUSIONS_CHANGED, "CTL_EXCLUSIONS_CHANGED"},
    {CTL_TOGGLE, "CTL_TOGGLE"},
};

const char *ControlName(uint32_t code)
{
    for (const ControlNameEntry &entry : controlNames) {
        if (entry.code == code)
            return entry.name;
    }
    return nullptr;
}

int FormatControlLine(char *out, size_t size, uint32_t code, int result, const StatusBlock *block,
                      const char *extra)
{
    if (out == nullptr || size == 0)
        return 0;
    char unknown[24];
    const char *name = ControlName(code);
    if (name == nullptr) {
        std::snprintf(unknown, sizeof unknown, "CODE_0x%X", static_cast<unsigned>(code));
        name = unknown;
    }
    StatusBlock none = {};
    const StatusBlock *b = block ? block : &none;
    int length = std::snprintf(out, size, "%s result=%d enabled=%u showIcon=%u logToFile=%u blinkCount=%u filesScanned=%u%s",
                               name, result ? 1 : 0, static_cast<unsigned>(b->enabled),
                               static_cast<unsigned>(b->showIcon), static_cast<unsigned>(b->logToFile),
                               static_cast<unsigned>(b->blinkCount), static_cast<unsigned>(b->filesScanned),
                               extra ? extra : "");
    return length >= 0 && static_cast<size_t>(length) < size;
}
