// The scan queue's order and bound.
#include "vxd/queue/name_queue.h"

#include <utility>

static FolderNames &FolderOf(NameQueue *queue, const wchar_t *root)
{
    for (FolderNames &folder : queue->folders) {
        if (folder.root == root)
            return folder;
    }
    queue->folders.push_back({root, {}, 0});
    return queue->folders.back();
}

// Notes a drop of one of folder's names in *dropped, once a push.
static void Drop(FolderNames *folder, std::vector<DroppedName> *dropped)
{
    for (const DroppedName &known : *dropped) {
        if (known.root == folder->root)
            return;
    }
    dropped->push_back({folder->root, !folder->dropping});
    folder->dropping = 1;
}

// Drops the newest name of folder.
static void DropNewest(NameQueue *queue, FolderNames *folder, std::vector<DroppedName> *dropped)
{
    auto newest = queue->waiting.find(*folder->order.back());
    queue->chars -= newest->first.size();
    folder->order.pop_back();
    queue->waiting.erase(newest);
    Drop(folder, dropped);
}

// Makes room for one more name of size characters from folder by dropping the newest names of the
// folder that holds most, while that one holds at least two more than folder. 0 when there is
// still no room.
static int Displace(NameQueue *queue, FolderNames *folder, size_t size, std::vector<DroppedName> *dropped)
{
    for (;;) {
        int full = queue->waiting.size() >= queue->capacity || queue->chars + size > queue->charCapacity;
        if (!full)
            return 1;
        FolderNames *most = nullptr;
        for (FolderNames &other : queue->folders) {
            if (most == nullptr || other.order.size() > most->order.size())
                most = &other;
        }
        if (most == folder || most->order.size() < folder->order.size() + 2)
            return 0;
        DropNewest(queue, most, dropped);
    }
}

int PushName(NameQueue *queue, const wchar_t *path, const wchar_t *root, int fresh, std::vector<DroppedName> *dropped)
{
    dropped->clear();
    std::wstring name(path);
    auto known = queue->waiting.find(name);
    if (known != queue->waiting.end()) {
        known->second |= fresh;
        return NAME_MERGED;
    }
    FolderNames &folder = FolderOf(queue, root);
    if (!Displace(queue, &folder, name.size(), dropped)) {
        Drop(&folder, dropped);
        return NAME_REFUSED;
    }
    queue->chars += name.size();
    auto added = queue->waiting.emplace(std::move(name), fresh).first;
    folder.order.push_back(&added->first);   // the map's keys stay where they are until erased
    return NAME_QUEUED;
}

int PopName(NameQueue *queue, QueuedName *out)
{
    size_t count = queue->folders.size();
    for (size_t i = 0; i < count; i++) {
        FolderNames &folder = queue->folders[(queue->turn + i) % count];
        if (folder.order.empty())
            continue;
        queue->turn = (queue->turn + i + 1) % count;
        auto taken = queue->waiting.extract(*folder.order.front());
        folder.order.pop_front();
        folder.dropping = folder.dropping && !folder.order.empty();
        queue->chars -= taken.key().size();
        out->path = std::move(taken.key());
        out->fresh = taken.mapped();
        return 1;
    }
    return 0;
}
