// manager: the media registry (item indices, groups, names, lazy loading).
#include "manager.h"
#include "programKind.h"
#include "strfuncs.h"
#include <cstdio>
#include <cstring>

namespace {
// Name fields hold 31 characters and a terminator. Longer names are cut when stored,
// and lookups compare only the first 31 characters, so a long name keeps finding what
// it created (two names that differ only after character 31 are the same name).
const int kNameMax = 31;

bool NameMatches(const char* stored, const char* wanted) {
    return strequal(stored, wanted ? wanted : "", kNameMax, true);
}
} // namespace

MediaManagerSubList::MediaManagerSubList() : block(nullptr), slots(nullptr) {
    block.Resize(kSlots * (int)sizeof(int*));
    block.ZeroData();
    slots = reinterpret_cast<int**>(block.Ptr());
}

MediaManagerGroup::MediaManagerGroup(const char* groupName)
    : entries(nullptr), entryPtr(nullptr), entryCount(0) {
    name[0] = 0;
    strcopy(groupName ? groupName : "", name, kNameMax);
    files.freeItem = VLQ::DeleteAs<GroupFileItem>;
}

void MediaManagerGroup::ResizeEntries(int n) {
    int old = entries.Len() / (int)sizeof(GroupItemEntry);
    // Grow with the doubling rule so adding many files stays linear.
    if (n > old) {
        entries.Append((unsigned char*)nullptr, (n - old) * (int)sizeof(GroupItemEntry));
        memset(entries.Ptr() + old * sizeof(GroupItemEntry), 0, (n - old) * sizeof(GroupItemEntry));
    } else {
        entries.Resize(n * (int)sizeof(GroupItemEntry));
    }
    entryPtr = reinterpret_cast<GroupItemEntry*>(entries.Ptr());
}

MediaManager::MediaManager() : itemCount(0), allowUnbind(false), pathPrefix(nullptr) {
    runMode = IsVelkRun();
    subLists.freeItem = VLQ::DeleteAs<MediaManagerSubList>;
    groups.freeItem = VLQ::DeleteAs<MediaManagerGroup>;
    subLists.Add(new MediaManagerSubList());
    groups.Add(new MediaManagerGroup(""));
}

MediaManager::~MediaManager() {
    // The queues free their sub-lists and groups (with destructors) themselves.
}

void MediaManager::QueryFile(const char*, MediaManagerGroup*, int*, int*) {}
void MediaManager::LoadFile(GroupFileItem*, MediaManagerGroup*) {}
void MediaManager::priv_Use(int*) {}

void MediaManager::SetPathPrefix(const char* prefix) {
    if (runMode) return; // velkRun opens the scripts' paths unchanged
    pathPrefix.SetString(prefix ? prefix : "");
}

MediaManagerGroup* MediaManager::FindOrAddGroup(const char* groupName) {
    MediaManagerGroup* group = GetGroup(groupName);
    if (!group) {
        group = new MediaManagerGroup(groupName);
        groups.Add(group);
    }
    return group;
}

int** MediaManager::SlotAt(int index) {
    if (index < 0) return nullptr;
    MediaManagerSubList* sub = (MediaManagerSubList*)subLists.Get(index / MediaManagerSubList::kSlots);
    if (!sub) return nullptr;
    return &sub->slots[index % MediaManagerSubList::kSlots];
}

int** MediaManager::EnsureSlot(int index) {
    if (index < 0) return nullptr;
    while (subLists.Count() <= index / MediaManagerSubList::kSlots)
        subLists.Add(new MediaManagerSubList());
    return SlotAt(index);
}

void MediaManager::AddContent(const char* path, const char* groupName, int* outFirst, int* outCount) {
    MediaManagerGroup* group = FindOrAddGroup(groupName);

    DataBlock full(nullptr);
    if (!runMode && pathPrefix.Len() > 0) full.Append(pathPrefix.CStr(), -1);
    full.Append(path ? path : "", -1);
    full.AppendNull();

    int first = 0, count = 0;
    QueryFile((const char*)full.Ptr(), group, &first, &count);
    if (count < 0) count = 0; // a subclass reporting nonsense must not shrink the index space

    // Keep the slot of the next index available.
    EnsureSlot(itemCount + count);

    if (outFirst) *outFirst = itemCount;
    if (outCount) *outCount = count;
    itemCount += count;
}

void MediaManager::QueryFileOneItem(const char* path, MediaManagerGroup* group, int* outFirst,
                                    int* outCount) {
    char fileName[33];
    GetFileNameNoExt(path ? path : "", fileName);
    fileName[kNameMax] = 0;

    int e = group->entryCount;
    group->ResizeEntries(e + 1);

    GroupFileItem* file = new GroupFileItem();
    file->path.SetString(path ? path : "");
    file->state = 0;
    file->firstEntry = file->lastEntry = e;
    group->files.Add(file);

    GroupItemEntry& entry = group->entryPtr[e];
    strcopy(fileName, entry.name, kNameMax);
    entry.fileIndex = group->files.Count() - 1;
    entry.itemIndex = itemCount;
    entry.loaded = false;

    group->entryCount += 1;
    if (outFirst) *outFirst = e;
    if (outCount) *outCount = 1;
}

int MediaManager::CreateEmptyItem(const char* groupName, const char* name, int*** outSlot) {
    MediaManagerGroup* group = FindOrAddGroup(groupName);

    int e = group->entryCount;
    group->ResizeEntries(e + 1);
    GroupFileItem* file = new GroupFileItem();
    file->path.SetString("");
    file->state = 1;
    file->firstEntry = file->lastEntry = e;
    group->files.Add(file);

    GroupItemEntry& entry = group->entryPtr[e];
    entry.fileIndex = group->files.Count() - 1;
    entry.itemIndex = itemCount;
    strcopy(name ? name : "", entry.name, kNameMax);
    entry.loaded = true;
    group->entryCount += 1;

    EnsureSlot(itemCount + 1);
    int** slot = SlotAt(itemCount);
    if (outSlot) *outSlot = slot;
    return itemCount++;
}

MediaManagerGroup* MediaManager::GetGroup(const char* name) {
    if (!name || !name[0]) return (MediaManagerGroup*)groups.Get(0);
    for (int i = 1; i < groups.Count(); i++) {
        MediaManagerGroup* g = (MediaManagerGroup*)groups.Get(i);
        if (NameMatches(g->name, name)) return g;
    }
    return nullptr;
}

MediaManagerGroup* MediaManager::GetGroup(int index) {
    return (MediaManagerGroup*)groups.Get(index);
}

int MediaManager::GetGroupItemIndex(const MediaManagerGroup* group, const char* name) {
    if (!group) return -1;
    for (int i = 0; i < group->entryCount; i++)
        if (NameMatches(group->entryPtr[i].name, name)) return i;
    return -1;
}

int MediaManager::GetIndex(const char* name, const char* groupName) {
    MediaManagerGroup* group = GetGroup(groupName);
    if (!group) return -1;
    return GetGroupItemIndex(group, name);
}

int* MediaManager::GetItem(int index) {
    // Indices outside 0 .. itemCount never reach the slot storage.
    if (index < 0 || index > itemCount) return nullptr;
    int** slot = SlotAt(index);
    if (slot && *slot) return *slot;
    for (int g = 0; g < groups.Count(); g++) {
        MediaManagerGroup* group = (MediaManagerGroup*)groups.Get(g);
        for (int e = 0; e < group->entryCount; e++)
            if (group->entryPtr[e].itemIndex == index) return GetItem(e, group);
    }
    return nullptr;
}

int* MediaManager::GetItem(int entryIndex, MediaManagerGroup* group) {
    if (!group) return nullptr;
    if (entryIndex < 0 || entryIndex >= group->entryCount) {
        printf("Error: group index %i out of range\n", entryIndex);
        return nullptr;
    }
    if (!group->entryPtr[entryIndex].loaded) {
        GroupFileItem* file = (GroupFileItem*)group->files.Get(group->entryPtr[entryIndex].fileIndex);
        if (file) LoadFile(file, group);
    }
    // LoadFile may have grown the table: read the entry again.
    int** slot = SlotAt(group->entryPtr[entryIndex].itemIndex);
    return slot ? *slot : nullptr;
}

int* MediaManager::GetItem(const char* name, const char* groupName) {
    MediaManagerGroup* group = GetGroup(groupName);
    if (!group) {
        puts("Error: Group not found.");
        return nullptr;
    }
    int entryIndex = GetGroupItemIndex(group, name);
    if (entryIndex == -1) {
        puts("Error: Item not found in group.");
        return nullptr;
    }
    return GetItem(entryIndex, group);
}

int* MediaManager::GetItem(int entryIndex, const char* groupName) {
    MediaManagerGroup* group = GetGroup(groupName);
    if (!group) {
        puts("Error: Group not found.");
        return nullptr;
    }
    return GetItem(entryIndex, group);
}

int* MediaManager::GetLoadedItem(int index) {
    if (index < 0 || index > itemCount) return nullptr;
    int** slot = SlotAt(index);
    return slot ? *slot : nullptr;
}

int** MediaManager::GetItemPtr(int index) {
    if (index < 0 || index > itemCount) return nullptr;
    return SlotAt(index);
}

void MediaManager::Use(int index) {
    if (index == -1) {
        if (allowUnbind) priv_Use(nullptr);
        return;
    }
    // Indices below -1 are nobody's item: ignored silently, like PreLoad does.
    if (index < -1) return;
    if (index >= itemCount) {
        puts("Error: item index above current item count.");
        return;
    }
    priv_Use(GetItem(index));
}

void MediaManager::Use(const char* name) {
    int* item = GetItem(name, (const char*)nullptr);
    if (item) priv_Use(item);
}

void MediaManager::Use(const char* groupName, const char* name) {
    int* item = GetItem(name, groupName);
    if (item) priv_Use(item);
}

void MediaManager::Use(const char* groupName, int entryIndex) {
    int* item = GetItem(entryIndex, groupName);
    if (item) priv_Use(item);
}

void MediaManager::PreLoad(int index) {
    if (index < 0 || index >= itemCount) return;
    GetItem(index);
}
