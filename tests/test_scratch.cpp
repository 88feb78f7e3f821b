// The tests' scratch folders: whatever a test leaves in one must go with it, and nothing
// outside it may.
#include "scratch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

// Under $TMPDIR; nested folders go too, and a link out of the folder is removed, not
// followed.
TEST(ScratchDir, RemovesAllItHoldsAndNothingOutside) {
    ScratchDir outer("velk-scratch");
    std::ofstream(outer.File("kept")) << "x";
    const char* was = getenv("TMPDIR");
    std::string previous = was ? was : "";
    setenv("TMPDIR", outer.Path().c_str(), 1);
    std::string inner;
    {
        ScratchDir dir("velk-scratch");
        inner = dir.Path();
        if (was) setenv("TMPDIR", previous.c_str(), 1);
        else unsetenv("TMPDIR");
        EXPECT_EQ(fs::path(inner).parent_path(), fs::path(outer.Path()));
        EXPECT_EQ(fs::path(inner).filename().string().rfind("velk-scratch-", 0), 0u) << inner;
        fs::create_directories(dir.File("a/b"));
        std::ofstream(dir.File("a/b/f")) << "y";
        fs::create_directory_symlink(outer.Path(), dir.File("a/out"));
    }
    EXPECT_FALSE(fs::exists(inner));
    EXPECT_TRUE(fs::exists(outer.File("kept")));
}

TEST(ScratchDir, EnterMakesItTheWorkingDirectoryUntilItGoes) {
    fs::path before = fs::current_path();
    std::string path;
    {
        ScratchDir dir("velk-scratch");
        path = dir.Path();
        ASSERT_TRUE(dir.Enter());
        EXPECT_EQ(fs::current_path(), fs::path(path));
        std::ofstream("relative.txt") << "z";
        EXPECT_TRUE(fs::exists(dir.File("relative.txt")));
    }
    EXPECT_EQ(fs::current_path(), before);
    EXPECT_FALSE(fs::exists(path));
}
