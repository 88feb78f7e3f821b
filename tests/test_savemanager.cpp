// Tests of the save data files: written and read whole, named exactly by the key.
#include "programKind.h"
#include "savemanager.h"
#include "scratch.h"
#include <gtest/gtest.h>
#include <dirent.h>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Each test works in a fresh folder, since save files live in the working directory.
class SaveTest : public ::testing::Test {
  protected:
    ScratchDir scratch{"velk-save"};
    std::string old, dir;
    void SetUp() override {
        char buf[4096];
        ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
        old = buf;
        dir = scratch.Path();
        ASSERT_EQ(chdir(dir.c_str()), 0);
    }
    void TearDown() override {
        EXPECT_EQ(chdir(old.c_str()), 0);
        SetCurrentProgram(ProgramKind::Engine);
    }

    // The script's writing: the value without its terminator under the key.
    static void Write(SaveManager& sm, const char* game, const char* key, const char* value) {
        DataBlock block;
        block.Append(value, -1);
        sm.SetGame(game);
        sm.SaveData(key, &block);
    }
    // The script's reading: the block's bytes up to the first zero byte.
    static std::string Read(SaveManager& sm, const char* game, const char* key) {
        DataBlock block;
        sm.SetGame(game);
        sm.LoadData(key, &block);
        if (block.Len() == 0) return "";
        return std::string(block.CStr());
    }
    // The names in the working folder, without "." and "..".
    static std::set<std::string> Names() {
        std::set<std::string> names;
        if (DIR* d = opendir(".")) {
            while (dirent* e = readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.insert(e->d_name);
            closedir(d);
        }
        return names;
    }
    static long FileSize(const char* name) {
        FILE* f = fopen(name, "rb");
        if (!f) return -1;
        fseek(f, 0, SEEK_END);
        long n = ftell(f);
        fclose(f);
        return n;
    }
};

} // namespace

TEST_F(SaveTest, ValueIsTheWholeFile) {
    SaveManager sm;
    EXPECT_EQ(sm.gameName.Len(), 0);
    Write(sm, "game", "slot1", "abc");
    EXPECT_EQ(FileSize("slot1"), 3);
    EXPECT_EQ(Read(sm, "other game", "slot1"), "abc");
    EXPECT_TRUE(sm.gameName.IsEqual("other game"));
    // Writing replaces the file, also with a shorter value.
    Write(sm, "game", "slot1", "z");
    EXPECT_EQ(FileSize("slot1"), 1);
    EXPECT_EQ(Read(sm, "game", "slot1"), "z");
}

TEST_F(SaveTest, EmptyValueGivesAnEmptyFile) {
    SaveManager sm;
    Write(sm, "g", "empty", "");
    EXPECT_EQ(FileSize("empty"), 0);
    EXPECT_EQ(Read(sm, "g", "empty"), "");
}

TEST_F(SaveTest, GameNamesShareOneFilePerKey) {
    SaveManager sm;
    Write(sm, "first", "shared", "one");
    Write(sm, "second", "shared", "two");
    EXPECT_EQ(Read(sm, "first", "shared"), "two");
}

TEST_F(SaveTest, MissingFileLeavesTheBlockEmpty) {
    SaveManager sm;
    DataBlock block;
    sm.LoadData("never-written", &block);
    EXPECT_EQ(block.Len(), 0);
    // Writing into a folder that does not exist creates nothing and reports nothing.
    testing::internal::CaptureStdout();
    Write(sm, "g", "no/such/folder", "x");
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(FileSize("no/such/folder"), -1);
    // Null keys and blocks are ignored.
    sm.SaveData(nullptr, &block);
    sm.LoadData(nullptr, &block);
    sm.SaveData("k", nullptr);
    sm.SetGame(nullptr);
    EXPECT_EQ(FileSize("k"), -1);
}

TEST_F(SaveTest, BytesAreKeptExactly) {
    SaveManager sm;
    Write(sm, "g", "lines", "a\r\nb\n\tc");
    EXPECT_EQ(FileSize("lines"), 7);
    EXPECT_EQ(Read(sm, "g", "lines"), "a\r\nb\n\tc");
}

// A text longer than an int reaches the file at its whole length. Under a small file size
// limit that write fails part-way and the old save stays; a length cut to an int would
// have made an empty file instead. The child sets no signal disposition of its own: the
// save past the limit must not end it. The text is an anonymous mapping: zero pages cost
// no memory.
TEST_F(SaveTest, TextLongerThanAnIntIsNotCut) {
    SaveManager sm;
    Write(sm, "g", "slot", "old save");
    const size_t n = ((size_t)1 << 31) + 5;
    void* text = mmap(nullptr, n, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(text, MAP_FAILED);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct rlimit limit = {1 << 20, 1 << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        sm.SaveBytes("slot", (const char*)text, n);
        _exit(0);
    }
    munmap(text, n);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Read(sm, "g", "slot"), "old save");
    EXPECT_EQ(Names(), std::set<std::string>{"slot"});
}

TEST_F(SaveTest, VelkRunHasNoSaveData) {
    SetCurrentProgram(ProgramKind::Run);
    SaveManager run;
    SetCurrentProgram(ProgramKind::Engine);
    Write(run, "g", "slot", "abc");
    EXPECT_EQ(FileSize("slot"), -1);
    SaveManager engine;
    Write(engine, "g", "slot", "abc");
    EXPECT_EQ(Read(run, "g", "slot"), "");
    EXPECT_EQ(Read(engine, "g", "slot"), "abc");
}
