// The watch's memory of the names that arrived lately.
#include "vxd/watch/arrivals.h"

#include <iterator>

int NoteNotice(Arrivals *arrivals, const std::wstring &key, int arrived, uint32_t now)
{
    auto known = arrivals->last.find(key);
    if (known != arrivals->last.end() && now - known->second <= FRESH_MS) {
        known->second = now;
        return 1;
    }
    if (arrived) {
        if (known == arrivals->last.end() && arrivals->last.size() >= arrivals->capacity) {
            for (auto it = arrivals->last.begin(); it != arrivals->last.end();)
                it = now - it->second > FRESH_MS ? arrivals->last.erase(it) : std::next(it);
        }
        if (known != arrivals->last.end() || arrivals->last.size() < arrivals->capacity) {
            arrivals->last[key] = now;
        } else {
            arrivals->forgotAt = now;
            arrivals->forgot = 1;
        }
        return 1;
    }
    return arrivals->forgot && now - arrivals->forgotAt <= FRESH_MS;
}
