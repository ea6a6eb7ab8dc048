// The scan queue's order and bound.
#include "vxd/queue/name_queue.h"

#include <utility>

int PushName(NameQueue *queue, const wchar_t *path, int fresh)
{
    std::wstring name(path);
    auto known = queue->waiting.find(name);
    if (known != queue->waiting.end()) {
        known->second |= fresh;
        return NAME_MERGED;
    }
    if (queue->waiting.size() >= queue->capacity || queue->chars + name.size() > queue->charCapacity)
        return NAME_REFUSED;
    queue->chars += name.size();
    auto added = queue->waiting.emplace(std::move(name), fresh).first;
    queue->order.push_back(&added->first);   // the map's keys stay where they are until erased
    return NAME_QUEUED;
}

int PopName(NameQueue *queue, QueuedName *out)
{
    if (queue->order.empty())
        return 0;
    auto taken = queue->waiting.extract(*queue->order.front());
    queue->order.pop_front();
    queue->chars -= taken.key().size();
    out->path = std::move(taken.key());
    out->fresh = taken.mapped();
    return 1;
}
