// Tests of the media registry: item indices, sub-lists, groups, names, lazy loading,
// retries after failed loads, the error lines and the program variant without prefix.
#include "manager.h"
#include "programKind.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// A manager whose items are ints, loaded "from" their path; loads fail while the path
// is listed in failing.
class IntManager : public MediaManager {
  public:
    std::vector<std::string> queried;
    std::vector<std::string> failing;
    int loads = 0;
    std::vector<int*> used;

    ~IntManager() {
        for (int i = 0; i < itemCount; i++)
            delete GetLoadedItem(i);
    }
    void QueryFile(const char* path, MediaManagerGroup* group, int* outFirst, int* outCount) override {
        queried.push_back(path);
        QueryFileOneItem(path, group, outFirst, outCount);
    }
    void LoadFile(GroupFileItem* file, MediaManagerGroup* group) override {
        loads++;
        GroupItemEntry& entry = group->entryPtr[file->firstEntry];
        std::string path = file->path.CStr();
        for (auto& f : failing)
            if (f == path) {
                file->state = 2;
                return;
            }
        *GetItemPtr(entry.itemIndex) = new int(1000 + entry.itemIndex);
        file->state = 1;
        entry.loaded = true;
    }
    void priv_Use(int* item) override { used.push_back(item); }
};

MediaManagerSubList* SubList(MediaManager& m, int i) {
    return (MediaManagerSubList*)m.subLists.Get(i);
}

} // namespace

TEST(MediaManager, NewManagerHasOneSubListAndTheDefaultGroup) {
    IntManager m;
    EXPECT_EQ(m.itemCount, 0);
    EXPECT_EQ(m.subLists.Count(), 1);
    ASSERT_EQ(m.groups.Count(), 1);
    EXPECT_STREQ(m.GetGroup(0)->name, "");
    EXPECT_EQ(m.GetGroup((const char*)nullptr), m.GetGroup(0));
    EXPECT_EQ(m.GetGroup(""), m.GetGroup(0));
    EXPECT_EQ(m.GetGroup(1), nullptr);
    EXPECT_EQ(m.GetGroup(-1), nullptr);
    EXPECT_FALSE(m.allowUnbind);
    // Every slot of a new sub-list is empty.
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(SubList(m, 0)->slots[i], nullptr);
}

TEST(MediaManager, AddContentGivesConsecutiveIndicesAndLoadsLazily) {
    IntManager m;
    int first = -5, count = -5;
    m.AddContent("textures/Wall.png", "", &first, &count);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(count, 1);
    m.AddContent("textures/floor.png", nullptr, &first, &count);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(m.itemCount, 2);
    EXPECT_EQ(m.loads, 0); // nothing is loaded by adding

    MediaManagerGroup* g = m.GetGroup(0);
    ASSERT_EQ(g->entryCount, 2);
    EXPECT_STREQ(g->entryPtr[0].name, "Wall");
    EXPECT_EQ(g->entryPtr[1].itemIndex, 1);
    EXPECT_FALSE(g->entryPtr[0].loaded);
    GroupFileItem* f = (GroupFileItem*)g->files.Get(0);
    EXPECT_STREQ(f->path.CStr(), "textures/Wall.png");
    EXPECT_EQ(f->state, 0);
    EXPECT_EQ(f->firstEntry, 0);
    EXPECT_EQ(f->lastEntry, 0);
    EXPECT_EQ(m.GetLoadedItem(1), nullptr);

    int* item = m.GetItem(1);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(*item, 1001);
    EXPECT_EQ(m.loads, 1);
    EXPECT_EQ(m.GetItem(1), item); // no second load
    EXPECT_EQ(m.loads, 1);
    EXPECT_EQ(m.GetLoadedItem(1), item);
    EXPECT_TRUE(g->entryPtr[1].loaded);

    // Null out-pointers are allowed.
    m.AddContent("c.png", "", nullptr, nullptr);
    EXPECT_EQ(m.itemCount, 3);
}

TEST(MediaManager, SubListsFollowTheItemCount) {
    IntManager m;
    for (int i = 0; i < 600; i++) {
        m.AddContent("a.png", "", nullptr, nullptr);
        ASSERT_EQ(m.subLists.Count(), m.itemCount / 256 + 1) << "after item " << i;
    }
}

TEST(MediaManager, Item255AppendsTheSecondSubListAndSlotsNeverMove) {
    IntManager m;
    for (int i = 0; i < 255; i++)
        m.AddContent("a.png", "", nullptr, nullptr);
    EXPECT_EQ(m.subLists.Count(), 1);
    int** slot0 = m.GetItemPtr(0);
    int** slot254 = m.GetItemPtr(254);
    int first = -1;
    m.AddContent("x.png", "", &first, nullptr);
    EXPECT_EQ(first, 255);
    EXPECT_EQ(m.subLists.Count(), 2); // the slot of the next index, 256, exists
    m.AddContent("y.png", "", &first, nullptr);
    EXPECT_EQ(first, 256);
    EXPECT_EQ(m.GetItemPtr(256), &SubList(m, 1)->slots[0]);
    EXPECT_EQ(m.GetItemPtr(255), &SubList(m, 0)->slots[255]);
    for (int i = 0; i < 2000; i++)
        m.AddContent("z.png", "", nullptr, nullptr);
    EXPECT_EQ(m.GetItemPtr(0), slot0);
    EXPECT_EQ(m.GetItemPtr(254), slot254);
    int* item = m.GetItem(256);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(*item, 1256);
    EXPECT_EQ(SubList(m, 1)->slots[0], item);
}

TEST(MediaManager, GroupsAreCreatedOnFirstUseAndMatchCaseSensitively) {
    IntManager m;
    int first;
    m.AddContent("a.png", "level1", &first, nullptr);
    m.AddContent("b.png", "level1", &first, nullptr);
    EXPECT_EQ(m.groups.Count(), 2);
    m.AddContent("c.png", "Level1", &first, nullptr);
    EXPECT_EQ(m.groups.Count(), 3);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(m.GetGroup("level1")->entryCount, 2);
    EXPECT_EQ(m.GetGroup("Level1")->entryCount, 1);
    EXPECT_EQ(m.GetGroup("LEVEL1"), nullptr);
    EXPECT_EQ(m.GetGroup(0)->entryCount, 0);
    // Entry indices are group-local; item indices global.
    EXPECT_EQ(m.GetIndex("c", "Level1"), 0);
    EXPECT_EQ(m.GetGroup("Level1")->entryPtr[0].itemIndex, 2);
    EXPECT_EQ(m.GetIndex("b", "level1"), 1);
    EXPECT_EQ(m.GetIndex("b", "nope"), -1);
    EXPECT_EQ(m.GetIndex("zz", "level1"), -1);
    // GetItem by index scans every group.
    ASSERT_NE(m.GetItem(2), nullptr);
    EXPECT_EQ(*m.GetItem(2), 1002);
}

TEST(MediaManager, NameLookupIsExactAndFindsTheFirstOfEqualNames) {
    IntManager m;
    m.AddContent("media/textures/Wall.png", "", nullptr, nullptr);
    m.AddContent("other/Wall.jpg", "", nullptr, nullptr);

    testing::internal::CaptureStdout();
    m.Use("Wall");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(m.used.size(), 1u);
    EXPECT_EQ(*m.used[0], 1000); // the one added first

    testing::internal::CaptureStdout();
    m.Use("wall");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Item not found in group.\n");
    EXPECT_EQ(m.used.size(), 1u);
}

TEST(MediaManager, UseByGroupReportsMissingGroupsAndEntries) {
    IntManager m;
    for (int i = 0; i < 3; i++)
        m.AddContent("a.png", "", nullptr, nullptr);

    testing::internal::CaptureStdout();
    m.Use("nogroup", "a");
    m.Use("nogroup", 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Group not found.\nError: Group not found.\n");

    testing::internal::CaptureStdout();
    m.Use("", 99);
    m.Use("", -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error: group index 99 out of range\nError: group index -1 out of range\n");
    EXPECT_TRUE(m.used.empty());

    testing::internal::CaptureStdout();
    m.Use("", 2);
    m.Use("", "a");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(m.used.size(), 2u);
    EXPECT_EQ(*m.used[0], 1002);
    EXPECT_EQ(*m.used[1], 1000);

    testing::internal::CaptureStdout();
    EXPECT_EQ(m.GetItem("a", "missing"), nullptr);
    EXPECT_EQ(m.GetItem(0, "missing"), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Group not found.\nError: Group not found.\n");
}

TEST(MediaManager, UseOfMinusOneUnbindsOnlyWhenAllowed) {
    IntManager m;
    m.AddContent("a.png", "", nullptr, nullptr);
    m.Use(-1);
    EXPECT_TRUE(m.used.empty());
    m.allowUnbind = true;
    m.Use(-1);
    ASSERT_EQ(m.used.size(), 1u);
    EXPECT_EQ(m.used[0], nullptr);
    EXPECT_EQ(m.loads, 0);
}

TEST(MediaManager, IndicesAtOrAboveTheCount) {
    IntManager m;
    m.AddContent("a.png", "", nullptr, nullptr);
    testing::internal::CaptureStdout();
    m.Use(1);
    m.Use(500);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error: item index above current item count.\nError: item index above current item count.\n");
    testing::internal::CaptureStdout();
    m.PreLoad(1);
    m.PreLoad(-1);
    m.PreLoad(-9);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(m.used.empty());
    EXPECT_EQ(m.loads, 0);
    m.PreLoad(0);
    EXPECT_EQ(m.loads, 1);
    EXPECT_NE(m.GetLoadedItem(0), nullptr);
    EXPECT_TRUE(m.used.empty()); // PreLoad does not use
}

// Indices that callers pass unchecked never reach the slot storage.
TEST(MediaManager, OutOfRangeIndicesGiveNullQuietly) {
    IntManager m;
    m.AddContent("a.png", "", nullptr, nullptr);
    testing::internal::CaptureStdout();
    EXPECT_EQ(m.GetItem(-1), nullptr);
    EXPECT_EQ(m.GetItem(-1000), nullptr);
    EXPECT_EQ(m.GetItem(2), nullptr);
    EXPECT_EQ(m.GetItem(1 << 30), nullptr);
    EXPECT_EQ(m.GetLoadedItem(-2), nullptr);
    EXPECT_EQ(m.GetLoadedItem(300), nullptr);
    EXPECT_EQ(m.GetItemPtr(-1), nullptr);
    EXPECT_EQ(m.GetItemPtr(257), nullptr);
    EXPECT_EQ(m.GetItemPtr(1 << 30), nullptr);
    m.Use(-2);
    m.Use(-1000000);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(m.used.empty());
    EXPECT_EQ(m.loads, 0);
    // The slot of the next index exists: a subclass may store into it while adding.
    EXPECT_EQ(m.GetItemPtr(1), &SubList(m, 0)->slots[1]);
    EXPECT_EQ(m.GetLoadedItem(1), nullptr);
}

TEST(MediaManager, FailedLoadsAreRetriedOnEveryUse) {
    IntManager m;
    m.failing.push_back("missing.png");
    m.AddContent("missing.png", "", nullptr, nullptr);
    GroupFileItem* f = (GroupFileItem*)m.GetGroup(0)->files.Get(0);

    m.Use(0);
    m.Use(0);
    EXPECT_EQ(m.loads, 2);
    ASSERT_EQ(m.used.size(), 2u);
    EXPECT_EQ(m.used[0], nullptr); // a failed item is still handed over by index
    EXPECT_EQ(f->state, 2);
    EXPECT_FALSE(m.GetGroup(0)->entryPtr[0].loaded);

    // By name a failed item is not used.
    m.Use("missing");
    EXPECT_EQ(m.loads, 3);
    EXPECT_EQ(m.used.size(), 2u);

    // Once the file can be loaded, the next use succeeds and later ones load nothing.
    m.failing.clear();
    m.Use(0);
    EXPECT_EQ(m.loads, 4);
    ASSERT_EQ(m.used.size(), 3u);
    ASSERT_NE(m.used[2], nullptr);
    EXPECT_EQ(*m.used[2], 1000);
    EXPECT_EQ(f->state, 1);
    m.Use(0);
    EXPECT_EQ(m.loads, 4);
}

TEST(MediaManager, CreateEmptyItemHandsOutAStableSlot) {
    IntManager m;
    m.AddContent("a.png", "", nullptr, nullptr);
    int** slot = nullptr;
    int index = m.CreateEmptyItem("made", "thing", &slot);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(m.itemCount, 2);
    ASSERT_EQ(slot, m.GetItemPtr(1));
    *slot = new int(77);

    MediaManagerGroup* g = m.GetGroup("made");
    ASSERT_NE(g, nullptr);
    EXPECT_TRUE(g->entryPtr[0].loaded);
    EXPECT_STREQ(g->entryPtr[0].name, "thing");
    GroupFileItem* f = (GroupFileItem*)g->files.Get(0);
    EXPECT_STREQ(f->path.CStr(), "");
    EXPECT_EQ(f->state, 1);

    EXPECT_EQ(*m.GetItem("thing", "made"), 77);
    EXPECT_EQ(m.loads, 0); // created items never load
    for (int i = 0; i < 300; i++)
        m.CreateEmptyItem("", "x", nullptr);
    EXPECT_EQ(m.GetItemPtr(1), slot);
    EXPECT_EQ(m.subLists.Count(), m.itemCount / 256 + 1);
}

TEST(MediaManager, CreateEmptyItemAtIndex255AppendsTheNextSubList) {
    IntManager m;
    for (int i = 0; i < 255; i++)
        m.CreateEmptyItem("", "", nullptr);
    EXPECT_EQ(m.subLists.Count(), 1);
    int** slot = nullptr;
    EXPECT_EQ(m.CreateEmptyItem("", "last", &slot), 255);
    EXPECT_EQ(slot, &SubList(m, 0)->slots[255]);
    EXPECT_EQ(m.subLists.Count(), 2);
    EXPECT_EQ(m.CreateEmptyItem("", "next", &slot), 256);
    EXPECT_EQ(slot, &SubList(m, 1)->slots[0]);
}

// Names are held in 31 characters; a longer name is cut, and looking it up with the
// long name (or its first 31 characters) finds what it made.
TEST(MediaManager, LongNamesAreCutAndStillFound) {
    IntManager m;
    std::string longGroup(40, 'g');
    std::string longName = std::string(31, 'n') + "tail-ignored";
    int** slot = nullptr;
    m.CreateEmptyItem(longGroup.c_str(), longName.c_str(), &slot);
    *slot = new int(5);
    m.CreateEmptyItem(longGroup.c_str(), "second", &slot);
    *slot = new int(6);
    EXPECT_EQ(m.groups.Count(), 2); // the same group both times
    MediaManagerGroup* g = m.GetGroup(longGroup.c_str());
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(std::string(g->name), std::string(31, 'g'));
    EXPECT_EQ(m.GetGroup(std::string(31, 'g').c_str()), g);
    EXPECT_EQ(m.GetGroup(std::string(30, 'g').c_str()), nullptr);
    EXPECT_EQ(std::string(g->entryPtr[0].name), std::string(31, 'n'));
    EXPECT_EQ(*m.GetItem(longName.c_str(), longGroup.c_str()), 5);
    EXPECT_EQ(m.GetIndex(std::string(31, 'n').c_str(), longGroup.c_str()), 0);

    // A file name longer than 31 characters names its item with the first 31.
    std::string file = "dir/" + std::string(40, 'f') + ".png";
    m.AddContent(file.c_str(), longGroup.c_str(), nullptr, nullptr);
    EXPECT_EQ(std::string(g->entryPtr[2].name), std::string(31, 'f'));
}

TEST(MediaManager, PathPrefixIsPrependedInTheEngine) {
    IntManager m;
    m.SetPathPrefix("media/");
    m.AddContent("textures/a.png", "", nullptr, nullptr);
    m.AddContent("", "", nullptr, nullptr);
    ASSERT_EQ(m.queried.size(), 2u);
    EXPECT_EQ(m.queried[0], "media/textures/a.png");
    EXPECT_EQ(m.queried[1], "media/");
    // Without a prefix the path is passed as given.
    IntManager plain;
    plain.AddContent("textures/a.png", "", nullptr, nullptr);
    EXPECT_EQ(plain.queried[0], "textures/a.png");
}

TEST(MediaManager, VelkRunOpensPathsUnchanged) {
    SetCurrentProgram(ProgramKind::Run);
    {
        IntManager m;
        m.SetPathPrefix("media/");
        m.AddContent("textures/a.png", "", nullptr, nullptr);
        ASSERT_EQ(m.queried.size(), 1u);
        EXPECT_EQ(m.queried[0], "textures/a.png");
        EXPECT_EQ(m.GetGroup(0)->entryPtr[0].itemIndex, 0);
    }
    SetCurrentProgram(ProgramKind::Engine);
    // The variant is taken when the manager is built.
    IntManager m;
    m.SetPathPrefix("media/");
    m.AddContent("a.png", "", nullptr, nullptr);
    EXPECT_EQ(m.queried[0], "media/a.png");
}

// The base manager itself records nothing and adds no item.
TEST(MediaManager, BaseQueryAddsNothing) {
    MediaManager m;
    int first = -1, count = -1;
    m.AddContent("a.png", "grp", &first, &count);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(m.itemCount, 0);
    EXPECT_EQ(m.groups.Count(), 2); // the group exists all the same
    m.Use(-1);
    testing::internal::CaptureStdout();
    m.Use(0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: item index above current item count.\n");
}
