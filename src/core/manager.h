// manager: the media registry that every manager of loadable media derives from.
// Files are recorded under named groups; every item gets a global item index,
// is loaded the first time it is asked for and is retried while its load fails.
// Items are handled as untyped pointers (int*); each subclass knows their type.
#pragma once
#include "datablock.h"
#include "vlq.h"

// One record of a group's entry table (kept as raw bytes in a DataBlock).
struct GroupItemEntry {
    char name[32]; // item name, at most 31 characters
    int fileIndex; // index of its GroupFileItem in the group's files
    int itemIndex; // global item index
    bool loaded;   // true once the item is in its slot
};

// One file (or created item) added to a group.
class GroupFileItem {
  public:
    DataBlock path; // prefixed path as a terminated string; "" for a created item
    int state;      // 0 queried, 1 loaded, 2 load failed
    int firstEntry; // group-local range of the entries the file produced
    int lastEntry;

    GroupFileItem() : path(nullptr), state(0), firstEntry(0), lastEntry(0) {}
};

// Storage of 256 item slots. The block is never resized, so a slot address stays valid.
class MediaManagerSubList {
  public:
    static const int kSlots = 256;
    DataBlock block;
    int** slots;

    MediaManagerSubList();
};

// A named set of items of one manager; "" is the default group.
class MediaManagerGroup {
  public:
    DataBlock entries;        // GroupItemEntry records
    GroupItemEntry* entryPtr; // storage of entries, refreshed after every resize
    char name[32];
    int entryCount;
    VLQ files; // GroupFileItem per added file, in order

    // Names longer than 31 characters are cut to 31.
    explicit MediaManagerGroup(const char* groupName);
    // Grows the entry table to n records (new records zeroed) and refreshes entryPtr.
    void ResizeEntries(int n);
};

class MediaManager {
  public:
    VLQ subLists;         // MediaManagerSubList, one per 256 item indices
    VLQ groups;           // MediaManagerGroup; group 0 is the default group
    int itemCount;        // number of items; the index the next item receives
    bool allowUnbind;     // Use(-1) hands a null item to priv_Use
    DataBlock pathPrefix; // prepended to AddContent paths (never in velkRun)
    bool runMode;         // built inside velkRun: paths are used as given

    MediaManager();
    // Not virtual: managers are never deleted through a base pointer. Releases sub-lists
    // and groups; items are the subclass's business.
    ~MediaManager();

    // Subclass hooks, in this order.
    virtual void QueryFile(const char* path, MediaManagerGroup* group, int* outFirst, int* outCount);
    virtual void LoadFile(GroupFileItem* file, MediaManagerGroup* group);
    virtual void priv_Use(int* item);
    virtual void QueryFileOneItem(const char* path, MediaManagerGroup* group, int* outFirst, int* outCount);

    void SetPathPrefix(const char* prefix);
    void AddContent(const char* path, const char* groupName, int* outFirst, int* outCount);
    int CreateEmptyItem(const char* groupName, const char* name, int*** outSlot);

    MediaManagerGroup* GetGroup(const char* name);
    MediaManagerGroup* GetGroup(int index);
    int GetGroupItemIndex(const MediaManagerGroup* group, const char* name);
    int GetIndex(const char* name, const char* groupName);

    int* GetItem(int index);
    int* GetItem(int entryIndex, MediaManagerGroup* group);
    int* GetItem(const char* name, const char* groupName);
    int* GetItem(int entryIndex, const char* groupName);
    // Indices outside 0 .. itemCount give null (the slot of itemCount always exists:
    // a subclass may fill it while its QueryFile runs).
    int* GetLoadedItem(int index);
    int** GetItemPtr(int index);

    void Use(int index);
    void Use(const char* name);
    void Use(const char* groupName, const char* name);
    void Use(const char* groupName, int entryIndex);
    void PreLoad(int index);

  protected:
    MediaManagerGroup* FindOrAddGroup(const char* groupName);
    // Appends sub-lists until the slot of `index` exists; returns its address
    // (null for a negative index).
    int** EnsureSlot(int index);
    // Slot address when its sub-list exists, else null.
    int** SlotAt(int index);
};
