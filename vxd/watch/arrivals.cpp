// The watch's memory of the names that arrived.
#include "vxd/watch/arrivals.h"

// FNV-1a over the key's characters.
static uint64_t HashOf(const std::wstring &key)
{
    uint64_t hash = 0xCBF29CE484222325ull;
    for (wchar_t c : key) {
        hash ^= static_cast<uint64_t>(c);
        hash *= 0x100000001B3ull;
    }
    return hash;
}

int NoteNotice(Arrivals *arrivals, const std::wstring &key, int arrived)
{
    uint64_t hash = HashOf(key);
    auto known = arrivals->known.find(hash);
    if (known != arrivals->known.end()) {
        arrivals->order.splice(arrivals->order.end(), arrivals->order, known->second);   // heard of now
        return 1;
    }
    if (!arrived)
        return arrivals->forgot;
    if (arrivals->capacity == 0) {
        arrivals->forgot = 1;
        return 1;
    }
    if (arrivals->known.size() >= arrivals->capacity) {
        arrivals->known.erase(arrivals->order.front());
        arrivals->order.pop_front();
        arrivals->forgot = 1;
    }
    arrivals->known[hash] = arrivals->order.insert(arrivals->order.end(), hash);
    return 1;
}
