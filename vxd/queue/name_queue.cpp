// The scan queue's order and bound.
#include "vxd/queue/name_queue.h"

#include <utility>

int PushName(NameQueue *queue, const std::wstring &key, const wchar_t *path, int fresh)
{
    auto known = queue->waiting.find(key);
    if (known != queue->waiting.end()) {
        known->second.fresh |= fresh;
        return NAME_MERGED;
    }
    if (queue->waiting.size() >= queue->capacity)
        return NAME_REFUSED;
    queue->waiting.emplace(key, QueuedName{path, fresh});
    queue->order.push_back(key);
    return NAME_QUEUED;
}

int PopName(NameQueue *queue, QueuedName *out)
{
    if (queue->order.empty())
        return 0;
    auto known = queue->waiting.find(queue->order.front());
    *out = std::move(known->second);
    queue->waiting.erase(known);
    queue->order.pop_front();
    return 1;
}
