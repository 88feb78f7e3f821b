// The launcher: the script list rules, the preferences file byte for byte, the launch
// rules of its input (also fed through the frame step), and its screen drawn into a real
// 1024x768 window: hover tests, grid, warm-up frames, divider and pointer pixels.
#include "corethingy_testing.h"
#include "glfixture.h"
#include "loadingscreeny.h"
#include "scratch.h"

#include <GL/gl.h>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadBytes(const char* path) {
    std::ifstream f(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void WriteBytes(const char* path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary);
    f << bytes;
}

void Touch(const fs::path& p) {
    std::ofstream f(p);
    f << "-- script\n";
}

std::vector<std::string> Names(LoadingScreeny& l) {
    std::vector<std::string> out;
    for (int i = 0; i < l.scriptNames.Count(); i++) {
        DataBlock* b = (DataBlock*)l.scriptNames.Get(i);
        out.push_back(b ? b->CStr() : "<freed>");
    }
    return out;
}

// Each test runs in a fresh working folder with the unit quad and the font, and its own
// "prefs.txt" and "scripts/".
class InLauncherDir : public ::testing::Test {
  protected:
    ScratchDir scratch{"velk-launcher"};
    fs::path oldDir, dir;

    void SetUp() override {
        oldDir = fs::current_path();
        dir = scratch.Path();
        // Only what the launcher loads: the unit quad and the font.
        fs::path media = fs::path(VELK_SOURCE_DIR) / "run" / "media";
        for (const char* file : {"geom/quad.obj", "textures/font.png"}) {
            fs::create_directories((dir / "media" / file).parent_path());
            fs::copy_file(media / file, dir / "media" / file);
        }
        fs::current_path(dir);
    }
    void TearDown() override {
        fs::current_path(oldDir);
    }

    void MakeScripts(const std::vector<std::string>& names) {
        fs::create_directories("scripts");
        for (const std::string& n : names)
            Touch(fs::path("scripts") / n);
    }
};

// A launcher with the given entries listed, as Init would leave it.
void Fill(LoadingScreeny& l, const std::vector<std::string>& names) {
    for (const std::string& n : names)
        l.ConsiderEntry(n.c_str());
}

} // namespace

// ---- Preferences file ----

using LauncherPrefs = InLauncherDir;

TEST_F(LauncherPrefs, MissingOrEmptyFileKeepsTheDefaults) {
    LoadingScreeny l;
    l.ReadPrefs("prefs.txt");
    EXPECT_EQ(l.selected, 0);
    EXPECT_EQ(l.sizeMode, 0);
    EXPECT_EQ(l.shaderMode, 1);

    WriteBytes("prefs.txt", "");
    l.selected = 4; // an empty file changes nothing
    l.ReadPrefs("prefs.txt");
    EXPECT_EQ(l.selected, 4);
    EXPECT_EQ(l.shaderMode, 1);
}

TEST_F(LauncherPrefs, AFolderNamedLikeTheFileKeepsTheDefaults) {
    fs::create_directory("prefs.txt");
    LoadingScreeny l;
    l.ReadPrefs("prefs.txt");
    EXPECT_EQ(l.selected, 0);
    EXPECT_EQ(l.sizeMode, 0);
    EXPECT_EQ(l.shaderMode, 1);
}

TEST_F(LauncherPrefs, ThreeBytesAreReadAsSignedValues) {
    WriteBytes("prefs.txt", std::string("\x03\x02\x01", 3));
    LoadingScreeny l;
    l.ReadPrefs("prefs.txt");
    EXPECT_EQ(l.selected, 3);
    EXPECT_EQ(l.sizeMode, 2);
    EXPECT_EQ(l.shaderMode, 1);

    WriteBytes("prefs.txt", std::string("\xc8\xff\x01", 3));
    l.ReadPrefs("prefs.txt");
    EXPECT_EQ(l.selected, -56);
    EXPECT_EQ(l.sizeMode, -1);
}

TEST_F(LauncherPrefs, BytesBeyondTheEndReadAsZero) {
    WriteBytes("prefs.txt", std::string("\x05", 1));
    LoadingScreeny l;
    l.ReadPrefs("prefs.txt");
    EXPECT_EQ(l.selected, 5);
    EXPECT_EQ(l.sizeMode, 0);
    EXPECT_EQ(l.shaderMode, 0); // a short file turns shaders off

    WriteBytes("prefs.txt", std::string("\x01\x02", 2));
    l.ReadPrefs("prefs.txt");
    EXPECT_EQ(l.selected, 1);
    EXPECT_EQ(l.sizeMode, 2);
    EXPECT_EQ(l.shaderMode, 0);
}

TEST_F(LauncherPrefs, ExtraBytesAreIgnored) {
    WriteBytes("prefs.txt", std::string("\x01\x01\x01\x07\x07", 5));
    LoadingScreeny l;
    l.ReadPrefs("prefs.txt");
    EXPECT_EQ(l.selected, 1);
    EXPECT_EQ(l.sizeMode, 1);
    EXPECT_EQ(l.shaderMode, 1);
}

TEST_F(LauncherPrefs, WritingGivesThreeBytesOrTwoWhenShadersAreOff) {
    LoadingScreeny l;
    l.WritePrefs("prefs.txt");
    EXPECT_EQ(ReadBytes("prefs.txt"), std::string("\x00\x00\x01", 3));

    l.selected = 2;
    l.sizeMode = 1;
    l.shaderMode = 0;
    l.WritePrefs("prefs.txt");
    EXPECT_EQ(ReadBytes("prefs.txt"), std::string("\x02\x01", 2));

    // Only one trailing zero is dropped.
    l.selected = 0;
    l.sizeMode = 0;
    l.WritePrefs("prefs.txt");
    EXPECT_EQ(ReadBytes("prefs.txt"), std::string("\x00\x00", 2));
}

TEST_F(LauncherPrefs, LargeIndicesAreCutToEightBitsAndReadBackNegative) {
    LoadingScreeny l;
    l.selected = 200;
    l.sizeMode = 2;
    l.shaderMode = 1;
    l.WritePrefs("prefs.txt");
    EXPECT_EQ(ReadBytes("prefs.txt"), std::string("\xc8\x02\x01", 3));
    LoadingScreeny back;
    back.ReadPrefs("prefs.txt");
    EXPECT_EQ(back.selected, -56);
    EXPECT_EQ(back.sizeMode, 2);
    EXPECT_EQ(back.shaderMode, 1);

    l.selected = 256 + 7; // only the low 8 bits are kept
    l.WritePrefs("prefs.txt");
    back.ReadPrefs("prefs.txt");
    EXPECT_EQ(back.selected, 7);
}

TEST_F(LauncherPrefs, DisabledShadersSurviveTheRoundTrip) {
    LoadingScreeny l;
    l.shaderMode = 0;
    l.sizeMode = 2;
    l.WritePrefs("prefs.txt");
    LoadingScreeny back;
    back.ReadPrefs("prefs.txt");
    EXPECT_EQ(back.shaderMode, 0);
    EXPECT_EQ(back.sizeMode, 2);
}

// ---- Script list ----

using LauncherList = InLauncherDir;

TEST_F(LauncherList, CandidatesBySubstringCaseSensitive) {
    LoadingScreeny l;
    Fill(l, {"a.lua", "b.moon", "notes.lua.txt", "x.moonish", "readme.txt", "C.LUA", "D.Moon", ".", "..",
             "lua", "moon"});
    EXPECT_EQ(Names(l), (std::vector<std::string>{"a.lua", "b.moon", "notes.lua.txt", "x.moonish"}));
    ASSERT_EQ(l.scriptKinds.Count(), 4);
}

TEST_F(LauncherList, DefaultScriptAndItsPiecesAreExcluded) {
    LoadingScreeny l;
    // The exclusion test is a substring test of the name within the list text, so
    // the pieces of "default.moon" go with it; longer names that contain it do not.
    Fill(l,
         {"default.moon", "t.moon", "fault.moon", ".moon", "mydefault.moon", "default.moon.bak", "d.moon"});
    EXPECT_EQ(Names(l), (std::vector<std::string>{"mydefault.moon", "default.moon.bak", "d.moon"}));
}

TEST_F(LauncherList, KindsFollowTheShowcaseList) {
    LoadingScreeny l;
    Fill(l, {"zz_not_a_showcase.lua", "zz_other.moon"});
    EXPECT_EQ(l.KindOf(0), 1);
    EXPECT_EQ(l.KindOf(1), 1);
    // Outside the list there is no kind.
    EXPECT_EQ(l.KindOf(2), 0);
    EXPECT_EQ(l.KindOf(-1), 0);
    // Every showcase name that is also a candidate is listed with kind 2.
    std::string showcase = LoadingScreeny::kShowcaseScripts;
    size_t at = 0;
    int listed = 2;
    while (at < showcase.size()) {
        size_t comma = showcase.find(',', at);
        std::string name = showcase.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        at = comma == std::string::npos ? showcase.size() : comma + 1;
        if (name.empty()) continue;
        l.ConsiderEntry(name.c_str());
        ASSERT_EQ(l.scriptNames.Count(), listed + 1) << name;
        EXPECT_EQ(l.KindOf(listed), 2) << name;
        listed++;
    }
}

TEST_F(LauncherList, FolderListingFollowsTheDirectoryOrderAndKeepsFolders) {
    MakeScripts({"one.lua", "two.moon", "notes.lua.txt", "skip.txt", "default.moon"});
    fs::create_directory("scripts/x.moon");
    // The order the platform gives, read independently.
    std::vector<std::string> expected;
    DIR* d = opendir("./scripts/");
    ASSERT_NE(d, nullptr);
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n == "one.lua" || n == "two.moon" || n == "notes.lua.txt" || n == "x.moon") expected.push_back(n);
    }
    closedir(d);

    LoadingScreeny l;
    testing::internal::CaptureStdout();
    EXPECT_EQ(l.Init(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(Names(l), expected);
    EXPECT_EQ(l.scriptKinds.Count(), 4);
}

TEST_F(LauncherList, MissingFolderPrintsTheSystemErrorAndInitReturnsOne) {
    LoadingScreeny l;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int r = l.Init();
    std::string err = testing::internal::GetCapturedStderr();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(r, 1);
    EXPECT_EQ(err, std::string(strerror(ENOENT)) + "\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(l.scriptNames.Count(), 0);
}

TEST_F(LauncherList, InitReadsPrefsUnbindsKeysAndAddsTheFont) {
    MakeScripts({"a.lua"});
    WriteBytes("prefs.txt", std::string("\x00\x02", 2));
    LoadingScreeny l;
    l.input.keyState.binding[5] = 9;
    EXPECT_EQ(l.Init(), 0);
    EXPECT_EQ(l.sizeMode, 2);
    EXPECT_EQ(l.shaderMode, 0);
    EXPECT_EQ(l.input.keyState.binding[5], -1);
    EXPECT_GE(l.textureManager.GetIndex("font", ""), 0);
}

// ---- Launch rules ----

using LauncherLaunch = InLauncherDir;

TEST_F(LauncherLaunch, FirstKeyWithoutPrefsLaunchesTheFirstScript) {
    LoadingScreeny l;
    Fill(l, {"first.lua", "second.moon"});
    l.KeyHappen(0, true);
    EXPECT_EQ(l.result, 1);
    EXPECT_STREQ(l.scriptName.CStr(), "first.lua");
    EXPECT_EQ(ReadBytes("prefs.txt"), std::string("\x00\x00\x01", 3));
    // The entries are freed, the count stays.
    EXPECT_EQ(l.scriptNames.Count(), 2);
    EXPECT_EQ(l.scriptNames.Get(0), nullptr);
    EXPECT_EQ(l.scriptNames.Get(1), nullptr);
}

TEST_F(LauncherLaunch, SecondLaunchKeepsTheFirstNameAndSavesAgain) {
    LoadingScreeny l;
    Fill(l, {"first.lua", "second.moon"});
    l.KeyHappen(3, true);
    fs::remove("prefs.txt");
    l.selected = 1; // even a changed selection does not rename the launch
    l.KeyHappen(3, false);
    EXPECT_EQ(l.result, 1);
    EXPECT_STREQ(l.scriptName.CStr(), "first.lua");
    EXPECT_EQ(ReadBytes("prefs.txt"), std::string("\x01\x00\x01", 3));
}

TEST_F(LauncherLaunch, ReleaseActsLikeAPress) {
    LoadingScreeny l;
    Fill(l, {"a.lua"});
    l.KeyHappen(10, false);
    EXPECT_EQ(l.result, 1);
    EXPECT_STREQ(l.scriptName.CStr(), "a.lua");
}

TEST_F(LauncherLaunch, EveryKeyboardCodeButPauseLaunches) {
    // -1 is a key SFML has no name for.
    for (int code : {-1, 0, 57, 99}) {
        LoadingScreeny l;
        Fill(l, {"a.lua"});
        l.KeyHappen(code, true);
        EXPECT_EQ(l.result, 1) << code;
        EXPECT_EQ(ReadBytes("prefs.txt"), std::string("\x00\x00\x01", 3)) << code;
        fs::remove("prefs.txt");
    }
    for (int code : {100, 101, 102, 105, 106, 107}) {
        LoadingScreeny l;
        Fill(l, {"a.lua"});
        l.KeyHappen(code, true);
        EXPECT_EQ(l.result, 0) << code;
        EXPECT_EQ(l.scriptName.Size(), 0) << code;
        EXPECT_FALSE(fs::exists("prefs.txt")) << code;
    }
}

TEST_F(LauncherLaunch, ButtonOrWheelOverAnEntrySelectsAndLaunchesIt) {
    for (int code : {101, 103, 106, 107}) {
        LoadingScreeny l;
        Fill(l, {"a.lua", "b.lua", "c.lua"});
        l.hoverScript = 2;
        l.KeyHappen(code, true);
        EXPECT_EQ(l.selected, 2) << code;
        EXPECT_EQ(l.result, 1) << code;
        EXPECT_STREQ(l.scriptName.CStr(), "c.lua") << code;
        EXPECT_EQ(ReadBytes("prefs.txt"), std::string("\x02\x00\x01", 3)) << code;
    }
}

TEST_F(LauncherLaunch, ClickOnAnOptionOnlyChangesIt) {
    LoadingScreeny l;
    Fill(l, {"a.lua"});
    l.hoverSize = 2;
    l.KeyHappen(101, true);
    l.KeyHappen(101, false);
    EXPECT_EQ(l.sizeMode, 2);
    l.hoverSize = -1;
    l.hoverShader = 0;
    l.KeyHappen(101, true);
    EXPECT_EQ(l.shaderMode, 0);
    EXPECT_EQ(l.result, 0);
    EXPECT_FALSE(fs::exists("prefs.txt"));

    // A click on empty space changes nothing.
    l.hoverShader = -1;
    l.KeyHappen(101, true);
    EXPECT_EQ(l.sizeMode, 2);
    EXPECT_EQ(l.shaderMode, 0);
    EXPECT_EQ(l.selected, 0);
    EXPECT_EQ(l.result, 0);

    // The next key launches with the options chosen: 2 bytes, shaders off.
    l.KeyHappen(57, true);
    EXPECT_EQ(l.result, 1);
    EXPECT_EQ(ReadBytes("prefs.txt"), std::string("\x00\x02", 2));
}

TEST_F(LauncherLaunch, KeyPressedOverAnOptionChangesItAndLaunches) {
    LoadingScreeny l;
    Fill(l, {"a.lua"});
    l.hoverSize = 1;
    l.KeyHappen(57, true);
    EXPECT_EQ(l.sizeMode, 1);
    EXPECT_EQ(l.result, 1);
    EXPECT_EQ(ReadBytes("prefs.txt"), std::string("\x00\x01\x01", 3));
}

TEST_F(LauncherLaunch, EscapeSavesButRunsNothing) {
    LoadingScreeny l;
    Fill(l, {"a.lua", "b.lua"});
    l.selected = 1;
    l.sizeMode = 1;
    l.KeyHappen(kInputEscape, true);
    EXPECT_EQ(l.result, 2);
    EXPECT_EQ(ReadBytes("prefs.txt"), std::string("\x01\x01\x01", 3));
    // Its release in the same step keeps the quit.
    l.KeyHappen(kInputEscape, false);
    EXPECT_EQ(l.result, 2);
}

TEST_F(LauncherLaunch, ALaunchAfterEscapeInTheSameStepStillQuits) {
    // Escape pressed, then another key's release polled in the same frame step: the
    // choices are saved again but the quit stands.
    LoadingScreeny l;
    Fill(l, {"a.lua"});
    l.KeyHappen(kInputEscape, true);
    l.KeyHappen(0, false);
    EXPECT_EQ(l.result, 2);
    EXPECT_STREQ(l.scriptName.CStr(), "a.lua");
}

TEST_F(LauncherLaunch, SelectionOutsideTheListLaunchesNothing) {
    for (int sel : {-1, -56, 2, 127}) {
        LoadingScreeny l;
        Fill(l, {"a.lua", "b.lua"});
        l.selected = sel;
        l.KeyHappen(0, true);
        EXPECT_EQ(l.result, 0) << sel;
        // The options still work.
        l.hoverShader = 0;
        l.KeyHappen(101, true);
        EXPECT_EQ(l.shaderMode, 0) << sel;
        // Escape quits without a launch and so without saving.
        l.hoverShader = -1;
        l.KeyHappen(kInputEscape, true);
        EXPECT_EQ(l.result, 2) << sel;
        EXPECT_FALSE(fs::exists("prefs.txt")) << sel;
        // Picking a script with the pointer launches it.
        LoadingScreeny m;
        Fill(m, {"a.lua", "b.lua"});
        m.selected = sel;
        m.hoverScript = 0;
        m.KeyHappen(101, true);
        EXPECT_EQ(m.result, 1) << sel;
        EXPECT_STREQ(m.scriptName.CStr(), "a.lua");
        fs::remove("prefs.txt");
    }
}

TEST_F(LauncherLaunch, EmptyListOnlyEscapeEnds) {
    LoadingScreeny l;
    for (int code : {0, 57, 99, 101, 107}) {
        l.KeyHappen(code, true);
        EXPECT_EQ(l.result, 0);
    }
    l.KeyHappen(kInputEscape, true);
    EXPECT_EQ(l.result, 2);
    EXPECT_EQ(l.scriptName.Size(), 0);
}

TEST_F(LauncherLaunch, RememberedSelectionIsAnIndexNotAName) {
    MakeScripts({"a.lua"});
    {
        LoadingScreeny l;
        l.Init();
        l.KeyHappen(0, true);
        EXPECT_STREQ(l.scriptName.CStr(), "a.lua");
    }
    // Another script appears; index 0 is now whatever the listing gives first.
    Touch("scripts/b.lua");
    LoadingScreeny l;
    l.Init();
    ASSERT_EQ(l.scriptNames.Count(), 2);
    std::string first = ((DataBlock*)l.scriptNames.Get(0))->CStr();
    l.KeyHappen(0, true);
    EXPECT_EQ(l.selected, 0);
    EXPECT_EQ(std::string(l.scriptName.CStr()), first);
}

// Input reaches the launcher through the frame step with no key bindings and no repeat.
TEST_F(LauncherLaunch, FrameStepDeliversRawCodesWithoutBindingOrRepeat) {
    LoadingScreeny l;
    FakePlatform clock;
    l.platform = &clock;
    Fill(l, {"a.lua", "b.lua"});
    l.input.keyState.SetDefaults();
    StepAt(l, clock, 0.1f, {ButtonEvent(0, true), ButtonEvent(0, false)});
    EXPECT_EQ(l.result, 0); // a click over nothing
    // Press and release in one step: the launch and its second launch.
    StepAt(l, clock, 0.2f, {KeyEvent(sf::Keyboard::Space, true), KeyEvent(sf::Keyboard::Space, false)});
    EXPECT_EQ(l.result, 1);
    EXPECT_STREQ(l.scriptName.CStr(), "a.lua");
    EXPECT_EQ(l.repeatKey, -1);
    EXPECT_FALSE(l.input.keyState.keyDown[sf::Keyboard::Space]);
    EXPECT_EQ(ReadBytes("prefs.txt"), std::string("\x00\x00\x01", 3));
}

TEST_F(LauncherLaunch, EscapeThroughTheFrameStepQuitsAndTheStepReportsIt) {
    LoadingScreeny l;
    FakePlatform clock;
    l.platform = &clock;
    EXPECT_EQ(StepAt(l, clock, 0.1f, {KeyEvent(kInputEscape, true)}), -1);
    EXPECT_EQ(l.result, 2);
}

// ---- Layout ----

TEST(LauncherLayout, GridFillsRowsOfFour) {
    float x, y;
    LoadingScreeny::EntryPosition(0, &x, &y);
    EXPECT_FLOAT_EQ(x, -0.5f);
    EXPECT_FLOAT_EQ(y, 0.4f);
    const float xs[4] = {-0.5f, -0.17f, 0.16f, 0.49f};
    for (int i = 0; i < 4; i++) {
        LoadingScreeny::EntryPosition(i, &x, &y);
        EXPECT_NEAR(x, xs[i], 1e-5f) << i;
        EXPECT_FLOAT_EQ(y, 0.4f) << i;
    }
    LoadingScreeny::EntryPosition(4, &x, &y);
    EXPECT_FLOAT_EQ(x, -0.5f);
    EXPECT_FLOAT_EQ(y, 0.24f);
    LoadingScreeny::EntryPosition(9, &x, &y);
    EXPECT_NEAR(x, -0.17f, 1e-5f);
    EXPECT_NEAR(y, 0.08f, 1e-5f);
    LoadingScreeny::EntryPosition(12, &x, &y);
    EXPECT_NEAR(y, -0.08f, 1e-5f);
}

// ---- The screen, drawn into the launcher's own window ----

namespace {

// These tests open and close windows of their own; closing the last one unloads the software
// GL driver before the leak check. The sanitized build's test runs preload a library that
// keeps it (tests/preload/keepdri.c); run by hand, give the same LD_PRELOAD.
class LauncherScreen : public InLauncherDir {
  protected:
    LoadingScreeny* l = nullptr;
    FakePlatform clock;

    void SetUp() override {
        InLauncherDir::SetUp();
        Open(1024, 768);
    }
    void Open(int w, int h) {
        delete l;
        l = new LoadingScreeny();
        l->platform = &clock;
        clock.perRead = 0.004f; // the limiter's wait ends after a few reads
        l->width = w;
        l->height = h;
        l->SetupStandardWindow();
        // No real pointer motion: the tests place the virtual cursor themselves.
        l->SetMouseState(-1, 0);
    }
    void TearDown() override {
        delete l;
        InLauncherDir::TearDown();
    }

    // Runs frame steps until frame 3, the first drawn, is done.
    void WarmUp() {
        while (l->frameCount < 3)
            l->TimeStep();
    }

    // The frame as presented. The software driver keeps the back buffer's contents
    // across the swap while its front buffer cannot be read back; the end-to-end test
    // checks the screen itself.
    static RGBA ShownPixel(int x, int y) {
        RGBA p;
        glReadBuffer(GL_BACK);
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &p);
        return p;
    }
};

} // namespace

TEST_F(LauncherScreen, FirstTwoFramesDrawNothingAndLeaveTheHovers) {
    l->cursorX = -0.5f;
    l->cursorY = 0.6f;
    l->hoverShader = 7;
    l->TimeStep();
    l->TimeStep();
    EXPECT_EQ(l->frameCount, 2);
    EXPECT_EQ(l->hoverShader, 7);
    l->TimeStep();
    EXPECT_EQ(l->hoverShader, 0);
    EXPECT_EQ(l->hoverSize, -1);
}

TEST_F(LauncherScreen, HoverOverEachOption) {
    WarmUp();
    for (int i = 0; i < 3; i++) {
        l->cursorX = i * 0.5f - 0.5f + 0.03f;
        l->cursorY = 0.7f - 0.04f;
        l->TimeStep();
        EXPECT_EQ(l->hoverSize, i);
        EXPECT_EQ(l->hoverShader, -1);
        EXPECT_EQ(l->hoverScript, -1);
    }
    for (int i = 0; i < 2; i++) {
        l->cursorX = i * 0.5f - 0.5f - 0.04f;
        l->cursorY = 0.6f + 0.03f;
        l->TimeStep();
        EXPECT_EQ(l->hoverShader, i);
        EXPECT_EQ(l->hoverSize, -1);
    }
}

TEST_F(LauncherScreen, OptionHitDistanceIsStrict) {
    WarmUp();
    // The middle shader option sits at x = 0, so the distance is the cursor itself.
    l->cursorY = 0.6f;
    l->cursorX = LoadingScreeny::kOptionHit;
    l->TimeStep();
    EXPECT_EQ(l->hoverShader, -1);
    l->cursorX = std::nextafter(LoadingScreeny::kOptionHit, 0.0f);
    l->TimeStep();
    EXPECT_EQ(l->hoverShader, 1);
    l->cursorX = -LoadingScreeny::kOptionHit;
    l->TimeStep();
    EXPECT_EQ(l->hoverShader, -1);
}

TEST_F(LauncherScreen, ScriptHitDistanceIsStrictAndWider) {
    MakeScripts({"a.lua", "b.lua", "c.lua"});
    l->Init();
    WarmUp();
    // Entry 2 sits near x 0.16, where a cursor exactly 0.08 (in float) to its left exists.
    float x, y;
    LoadingScreeny::EntryPosition(2, &x, &y);
    float cx = x - LoadingScreeny::kScriptHit;
    ASSERT_EQ(std::fabs(cx - x), LoadingScreeny::kScriptHit);
    l->cursorX = cx;
    l->cursorY = y;
    l->TimeStep();
    EXPECT_EQ(l->hoverScript, -1);
    l->cursorX = std::nextafter(cx, x);
    l->TimeStep();
    EXPECT_EQ(l->hoverScript, 2);
    // 0.06 away is inside the entry's bound but would be outside an option's.
    l->cursorX = x;
    l->cursorY = y - 0.06f;
    l->TimeStep();
    EXPECT_EQ(l->hoverScript, 2);
}

TEST_F(LauncherScreen, PointerAtTheCentreIsOverNothing) {
    std::vector<std::string> names;
    for (int i = 0; i < 12; i++)
        names.push_back("s" + std::to_string(i) + ".lua");
    MakeScripts(names);
    l->Init();
    ASSERT_EQ(l->scriptNames.Count(), 12);
    WarmUp();
    EXPECT_EQ(l->cursorX, 0);
    EXPECT_EQ(l->cursorY, 0);
    EXPECT_EQ(l->hoverScript, -1);
    EXPECT_EQ(l->hoverSize, -1);
    EXPECT_EQ(l->hoverShader, -1);
    // The nearest slot, (0.16, 0.08), is entry 10.
    l->cursorX = 0.16f;
    l->cursorY = 0.08f;
    l->TimeStep();
    EXPECT_EQ(l->hoverScript, 10);
}

TEST_F(LauncherScreen, FifthScriptStartsTheSecondRow) {
    MakeScripts({"a.lua", "b.lua", "c.lua", "d.lua", "e.lua"});
    l->Init();
    WarmUp();
    l->cursorX = -0.5f;
    l->cursorY = 0.24f;
    l->TimeStep();
    EXPECT_EQ(l->hoverScript, 4);
    l->cursorX = 0.49f;
    l->cursorY = 0.4f;
    l->TimeStep();
    EXPECT_EQ(l->hoverScript, 3);
}

TEST_F(LauncherScreen, HoverDrivesTheNextKey) {
    MakeScripts({"a.lua", "b.lua"});
    l->Init();
    WarmUp();
    float x, y;
    LoadingScreeny::EntryPosition(1, &x, &y);
    l->cursorX = x;
    l->cursorY = y;
    l->TimeStep();
    std::string second = ((DataBlock*)l->scriptNames.Get(1))->CStr();
    l->KeyHappen(101, true);
    EXPECT_EQ(l->result, 1);
    EXPECT_EQ(std::string(l->scriptName.CStr()), second);
    EXPECT_EQ(ReadBytes("prefs.txt"), std::string("\x01\x00\x01", 3));
}

TEST_F(LauncherScreen, NothingIsDrawnOnceTheResultIsSet) {
    WarmUp();
    l->result = 1;
    l->cursorX = -0.5f;
    l->cursorY = 0.6f;
    l->hoverShader = 7;
    int before = l->frameCount;
    EXPECT_EQ(l->TimeStep(), 0);
    EXPECT_EQ(l->frameCount, before + 1);
    EXPECT_EQ(l->hoverShader, 7);
}

TEST_F(LauncherScreen, SpinAngleIsMinus540DegreesPerSecond) {
    l->gameTime = 0;
    EXPECT_EQ(l->SpinAngle(), 0.0f);
    l->gameTime = 0.5f;
    EXPECT_FLOAT_EQ(l->SpinAngle(), -270.0f);
    l->gameTime = 2.0f;
    EXPECT_FLOAT_EQ(l->SpinAngle(), -1080.0f);
}

TEST_F(LauncherScreen, DividerPointerAndEntryPixels) {
    MakeScripts({"a.lua"});
    l->Init();
    l->ConsiderEntry("crystal.lua"); // a showcase entry second, whatever the listing order
    ASSERT_EQ(l->KindOf(1), 2);
    WarmUp();
    l->TimeStep();
    // 1024x768: x spans [-1, 1], y [-0.75, 0.75]; one unit is 512 pixels.
    auto px = [](float x) { return (int)((x + 1.0f) * 512.0f); };
    auto py = [](float y) { return (int)((y + 0.75f) * 512.0f); };
    // Pointer: a green square of 0.01 units at the centre, 0.8 alpha over black.
    RGBA p = ShownPixel(px(0), py(0));
    EXPECT_EQ(p.r, 0);
    EXPECT_NEAR(p.g, 204, 2);
    EXPECT_EQ(p.b, 0);
    // Nothing but black just beside it.
    RGBA beside = ShownPixel(px(0.03f), py(0));
    EXPECT_EQ(beside.r + beside.g + beside.b, 0);
    // Divider: half-transparent red, 0.005 units high, 1.05 wide, at y 0.478.
    RGBA d = ShownPixel(px(0.3f), py(0.478f));
    EXPECT_NEAR(d.r, 127, 2);
    EXPECT_EQ(d.g, 0);
    EXPECT_EQ(d.b, 0);
    RGBA above = ShownPixel(px(0.3f), py(0.478f + 0.01f));
    EXPECT_EQ(above.r + above.g + above.b, 0);
    // The divider ends at x = +-0.525.
    RGBA past = ShownPixel(px(0.55f), py(0.478f));
    EXPECT_EQ(past.r + past.g + past.b, 0);
    // The selected entry's marker is red at full strength.
    RGBA sel = ShownPixel(px(-0.5f), py(0.4f));
    EXPECT_GE(sel.r, 250);
    EXPECT_EQ(sel.g, 0);
    // A showcase entry is cyan and twice the size of an ordinary one (0.05 units against
    // 0.025, at any spin at least 0.025 from the centre on each axis).
    float sx, sy;
    LoadingScreeny::EntryPosition(1, &sx, &sy);
    RGBA show = ShownPixel(px(sx), py(sy));
    EXPECT_EQ(show.r, 0);
    EXPECT_GE(show.g, 250);
    EXPECT_GE(show.b, 250);
    RGBA showEdge = ShownPixel(px(sx + 0.02f), py(sy));
    EXPECT_GE(showEdge.b, 250);
    RGBA ordinaryEdge = ShownPixel(px(-0.5f + 0.02f), py(0.4f));
    EXPECT_EQ(ordinaryEdge.r + ordinaryEdge.g + ordinaryEdge.b, 0);

    // The pointer follows the virtual cursor.
    l->cursorX = 0.3f;
    l->cursorY = -0.3f;
    l->TimeStep();
    p = ShownPixel(px(0.3f), py(-0.3f));
    EXPECT_NEAR(p.g, 204, 2);
    RGBA old = ShownPixel(px(0), py(0));
    EXPECT_EQ(old.g, 0);
}

TEST_F(LauncherScreen, TallWindowSqueezesTheLayoutHorizontally) {
    Open(600, 800);
    MakeScripts({"a.lua"});
    l->Init();
    WarmUp();
    // The height is the longer axis now: x spans [-0.75, 0.75], y [-1, 1], 400 pixels
    // per unit on both axes.
    auto px = [](float x) { return (int)((x + 0.75f) * 400.0f); };
    auto py = [](float y) { return (int)((y + 1.0f) * 400.0f); };
    RGBA p = ShownPixel(px(0), py(0));
    EXPECT_NEAR(p.g, 204, 2);
    RGBA d = ShownPixel(px(0.3f), py(0.478f));
    EXPECT_NEAR(d.r, 127, 2);
    RGBA sel = ShownPixel(px(-0.5f), py(0.4f));
    EXPECT_GE(sel.r, 250);
    // Hovering is in the same units whatever the window's shape.
    l->cursorX = 0.5f;
    l->cursorY = 0.7f;
    l->TimeStep();
    EXPECT_EQ(l->hoverSize, 2);
}

TEST_F(LauncherScreen, OptionMarkersShowTheModesAndTheHover) {
    // Each row is coloured by its own mode: size 2 and shaders off.
    l->sizeMode = 2;
    l->shaderMode = 0;
    WarmUp();
    auto px = [](float x) { return (int)((x + 1.0f) * 512.0f); };
    auto py = [](float y) { return (int)((y + 0.75f) * 512.0f); };
    auto isWhite = [](RGBA p) { return p.r >= 250 && p.g >= 250 && p.b >= 250; };
    auto isChosen = [](RGBA p) { return std::abs(p.r - 128) <= 2 && std::abs(p.g - 128) <= 2 && p.b >= 250; };
    for (int i = 0; i < 3; i++) {
        RGBA p = ShownPixel(px(i * 0.5f - 0.5f), py(0.7f));
        EXPECT_TRUE(i == 2 ? isChosen(p) : isWhite(p))
            << "size " << i << ": " << (int)p.r << " " << (int)p.g << " " << (int)p.b;
    }
    for (int i = 0; i < 2; i++) {
        RGBA p = ShownPixel(px(i * 0.5f - 0.5f), py(0.6f));
        EXPECT_TRUE(i == 0 ? isChosen(p) : isWhite(p))
            << "shader " << i << ": " << (int)p.r << " " << (int)p.g << " " << (int)p.b;
    }
    // The option's square is only 0.01 from its centre on each axis.
    RGBA beside = ShownPixel(px(-0.5f + 0.015f), py(0.7f));
    EXPECT_EQ(beside.r + beside.g + beside.b, 0);

    // Hovered, an option gets the green marker, whose colour the square then takes over.
    l->cursorX = 0.03f;
    l->cursorY = 0.7f;
    l->TimeStep();
    ASSERT_EQ(l->hoverSize, 1);
    RGBA hovered = ShownPixel(px(0), py(0.7f));
    EXPECT_EQ(hovered.r, 0);
    EXPECT_EQ(hovered.b, 0);
    EXPECT_GE(hovered.g, 120);
    // The other options keep their colours.
    EXPECT_TRUE(isWhite(ShownPixel(px(-0.5f), py(0.7f))));
    EXPECT_TRUE(isChosen(ShownPixel(px(0.5f), py(0.7f))));
}

TEST_F(LauncherScreen, InitMakesTheAmbientLightBlack) {
    const GLfloat grey[4] = {0.3f, 0.3f, 0.3f, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, grey);
    MakeScripts({"a.lua"});
    EXPECT_EQ(l->Init(), 0);
    GLfloat ambient[4] = {-1, -1, -1, -1};
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, ambient);
    EXPECT_EQ(ambient[0], 0);
    EXPECT_EQ(ambient[1], 0);
    EXPECT_EQ(ambient[2], 0);
    EXPECT_EQ(ambient[3], 1);
}

TEST_F(LauncherScreen, HeadingsAreDrawnAtTheirPlaces) {
    MakeScripts({"a.lua"});
    l->Init();
    WarmUp();
    // Lit pixels in the box x in [x0, x1], y in [y0, y1] (launcher units, 1024x768).
    auto lit = [](float x0, float x1, float y0, float y1) {
        int px0 = (int)((x0 + 1) * 512), px1 = (int)((x1 + 1) * 512);
        int py0 = (int)((y0 + 0.75f) * 512), py1 = (int)((y1 + 0.75f) * 512);
        std::vector<RGBA> block((px1 - px0) * (py1 - py0));
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(px0, py0, px1 - px0, py1 - py0, GL_RGBA, GL_UNSIGNED_BYTE, block.data());
        int n = 0;
        for (const RGBA& p : block)
            n += p.r > 128 && p.g > 128 && p.b > 128;
        return n;
    };
    // Two lines of small white text each, around (-0.8, 0.62) and (-0.8, -0.08).
    EXPECT_GT(lit(-0.95f, -0.65f, 0.57f, 0.67f), 50);
    EXPECT_GT(lit(-0.95f, -0.65f, -0.13f, -0.03f), 50);
    // Between them, left of the script list, nothing is drawn.
    EXPECT_EQ(lit(-1.0f, -0.65f, 0.1f, 0.5f), 0);
}
