// The folders to look at once more when their notices stop.
#include "vxd/watch/settle.h"

static int32_t Since(uint32_t now, uint32_t then)
{
    return static_cast<int32_t>(now - then);
}

void NoteUnsettled(Unsettled *table, const std::wstring &path, uint32_t now, uint32_t quietMs,
                   std::vector<std::wstring> *due)
{
    size_t end = path.rfind(L'\\');
    if (end == std::wstring::npos)
        return;
    std::wstring folder = path.substr(0, end);
    if (table->last.empty())
        table->nextDue = now + quietMs;
    auto known = table->last.find(folder);
    if (known != table->last.end()) {
        known->second = now;
        return;
    }
    if (table->last.size() >= table->capacity && !table->last.empty()) {
        auto oldest = table->last.begin();
        for (auto it = table->last.begin(); it != table->last.end(); ++it) {
            if (Since(oldest->second, it->second) > 0)
                oldest = it;
        }
        due->push_back(oldest->first);
        table->last.erase(oldest);
    }
    table->last.emplace(std::move(folder), now);
}

uint32_t TakeSettled(Unsettled *table, uint32_t now, uint32_t quietMs, std::vector<std::wstring> *due)
{
    if (table->last.empty())
        return UINT32_MAX;
    if (Since(now, table->nextDue) < 0)
        return static_cast<uint32_t>(-Since(now, table->nextDue));
    uint32_t next = UINT32_MAX;
    for (auto it = table->last.begin(); it != table->last.end();) {
        int32_t quiet = Since(now, it->second);
        if (quiet >= static_cast<int32_t>(quietMs)) {
            due->push_back(it->first);
            it = table->last.erase(it);
            continue;
        }
        uint32_t left = quiet < 0 ? quietMs : quietMs - static_cast<uint32_t>(quiet);
        next = left < next ? left : next;
        ++it;
    }
    table->nextDue = next == UINT32_MAX ? now : now + next;
    return next;
}
