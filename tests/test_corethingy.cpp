// The application base without a window: defaults, the unit quad and the managers' media
// folder, the space mapper, the window options of the command line, the choice of the
// video mode, and what differs in velkRun.
#include "corethingy_testing.h"
#include "scratch.h"
#include "spaceMapperLine2d.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Str(DataBlock& b) {
    return std::string(b.CStr());
}

TEST(CoreDefaults, FreshObject) {
    RecordingCore core;
    EXPECT_EQ(core.width, 1024);
    EXPECT_EQ(core.height, 768);
    EXPECT_EQ(core.bitsPerPixel, 32);
    EXPECT_EQ(core.fov, 90.0f);
    EXPECT_FLOAT_EQ(core.nearPlane, 0.1f);
    EXPECT_EQ(core.farPlane, 1000.0f);
    EXPECT_FALSE(core.fullscreen);
    EXPECT_FALSE(core.maxRes);
    EXPECT_TRUE(core.mouseLocked);
    EXPECT_FALSE(core.cursorVisible);
    EXPECT_EQ(core.spaceMapper, nullptr);
    EXPECT_EQ(core.frameCount, 0);
    EXPECT_EQ(core.typingMode, 0);
    EXPECT_EQ(core.repeatKey, -1);
    EXPECT_FLOAT_EQ(core.repeatDelay, 0.4f);
    EXPECT_FLOAT_EQ(core.repeatInterval, 0.045f);
    EXPECT_FLOAT_EQ(core.prevGameTime, -0.01f);
    EXPECT_FLOAT_EQ(core.prevWallTime, -0.01f);
    EXPECT_EQ(core.gameTime, 0.0f);
    EXPECT_EQ(core.timeScale, 1.0f);
    EXPECT_EQ(core.mouseScale, 1.0f);
    EXPECT_FLOAT_EQ(core.mouseNorm, 1.0f / 1024);
    EXPECT_EQ(core.cam2DScale, 1.0f);
    // Before the first camera set-up the ortho scale reads as that set-up's reset value.
    EXPECT_EQ(core.orthoScaleX, 1.0f);
    EXPECT_EQ(core.orthoScaleY, 1.0f);
    EXPECT_TRUE(core.frameLimit);
    EXPECT_TRUE(core.fixedStep);
    EXPECT_EQ(core.targetFps, 60);
    EXPECT_FLOAT_EQ(core.fixedStepTime, 1.0f / 60);
    EXPECT_EQ(core.nextFrameTime, 0.0f);
    EXPECT_EQ(core.argc, 0);
    EXPECT_EQ(core.argv, nullptr);
    EXPECT_FALSE(core.window.isOpen());
    EXPECT_EQ(Str(core.mediaPath), "media/");
    EXPECT_EQ(core.GetScreenWidth(), 1024);
    EXPECT_EQ(core.GetScreenHeight(), 768);
}

TEST(CoreDefaults, AspectIsTheIntegerRatioUntilTheWindowIsSetUp) {
    RecordingCore core;
    EXPECT_EQ(core.aspect, 1.0f);
}

TEST(CoreDefaults, ClockRunsFromConstruction) {
    RecordingCore core;
    float a = core.ReadClock();
    sf::sleep(sf::milliseconds(5));
    float b = core.ReadClock();
    EXPECT_GE(a, 0.0f);
    EXPECT_GT(b, a);
}

TEST(CoreDefaults, TypingModeAndCamScaleSetters) {
    RecordingCore core;
    core.SetTypingMode(3);
    EXPECT_EQ(core.typingMode, 3);
    core.Set2DCamScale(4.5f);
    EXPECT_EQ(core.cam2DScale, 4.5f);
    int argc = 2;
    char a0[] = "prog", a1[] = "x";
    char* argv[] = {a0, a1, nullptr};
    core.DeclareArgs(argc, argv);
    EXPECT_EQ(core.argc, 2);
    EXPECT_EQ(core.argv, argv);
}

// ---- Media folder and the unit quad --------------------------------------------------

class InTempDir : public ::testing::Test {
  protected:
    ScratchDir dir{"velk-core"};
    void SetUp() override { ASSERT_TRUE(dir.Enter()); }
    void WriteQuad() {
        fs::create_directories("media/geom");
        std::ofstream f("media/geom/quad.obj");
        f << "o quad\nv -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\n"
             "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\n"
             "f 1/1/1 2/2/1 3/3/1 4/4/1\n";
    }
};

TEST_F(InTempDir, UnitQuadIsLoadedFromTheMediaFolder) {
    WriteQuad();
    RecordingCore core;
    EXPECT_EQ(core.quad.quadCount + core.quad.triCount, 1);
}

TEST_F(InTempDir, MissingQuadFileLeavesTheQuadEmpty) {
    RecordingCore core;
    EXPECT_EQ(core.quad.quadCount, 0);
    EXPECT_EQ(core.quad.triCount, 0);
}

TEST_F(InTempDir, VelkRunStillLoadsTheQuadFromMedia) {
    ProgramKindGuard guard;
    SetCurrentProgram(ProgramKind::Run);
    WriteQuad();
    RecordingCore core;
    EXPECT_EQ(core.quad.quadCount + core.quad.triCount, 1);
}

TEST_F(InTempDir, SaveDataOnlyInTheEngine) {
    DataBlock value("abc");
    {
        RecordingCore core;
        core.saveManager.SaveData("slot1", &value);
    }
    EXPECT_EQ(fs::file_size("slot1"), 3u);
    ProgramKindGuard guard;
    SetCurrentProgram(ProgramKind::Run);
    RecordingCore run; // velkRun has no save data
    run.saveManager.SaveData("slot2", &value);
    EXPECT_FALSE(fs::exists("slot2"));
}

TEST(CoreMediaPath, EngineGivesTheMediaFolderToFiveManagers) {
    RecordingCore core;
    EXPECT_FALSE(core.velkRun);
    EXPECT_EQ(Str(core.textureManager.pathPrefix), "media/");
    EXPECT_EQ(Str(core.shaderManager.pathPrefix), "media/");
    EXPECT_EQ(Str(core.geometryManager.pathPrefix), "media/");
    EXPECT_EQ(Str(core.audioManager.pathPrefix), "media/");
    EXPECT_EQ(Str(core.musicManager.pathPrefix), "media/");
}

TEST(CoreMediaPath, VelkRunGivesNoPrefix) {
    ProgramKindGuard guard;
    SetCurrentProgram(ProgramKind::Run);
    RecordingCore core;
    EXPECT_TRUE(core.velkRun);
    EXPECT_EQ(Str(core.mediaPath), "media/");
    EXPECT_EQ(Str(core.textureManager.pathPrefix), "");
    EXPECT_EQ(Str(core.shaderManager.pathPrefix), "");
    EXPECT_EQ(Str(core.geometryManager.pathPrefix), "");
    EXPECT_EQ(Str(core.audioManager.pathPrefix), "");
    EXPECT_EQ(Str(core.musicManager.pathPrefix), "");
}

TEST(CoreVariant, VelkRunHasNoTwoDCameraScale) {
    ProgramKindGuard guard;
    SetCurrentProgram(ProgramKind::Run);
    RecordingCore core;
    core.Set2DCamScale(5.0f);
    EXPECT_EQ(core.cam2DScale, 1.0f);
}

TEST(CoreVariant, VariantIsFixedWhenTheObjectIsBuilt) {
    ProgramKindGuard guard;
    RecordingCore engine;
    SetCurrentProgram(ProgramKind::Run);
    RecordingCore run;
    EXPECT_FALSE(engine.velkRun);
    EXPECT_TRUE(run.velkRun);
    engine.Set2DCamScale(2.0f);
    EXPECT_EQ(engine.cam2DScale, 2.0f);
}

// ---- Space mapper --------------------------------------------------------------------

TEST(CoreSpaceMapper, OnlyKindOneCreatesTheLineMapper) {
    RecordingCore core;
    core.SetSpaceMapper(0);
    core.SetSpaceMapper(2);
    core.SetSpaceMapper(-1);
    EXPECT_EQ(core.spaceMapper, nullptr);
    core.SetSpaceMapper(1);
    auto* mapper = dynamic_cast<SpaceMapperLines2D*>(core.spaceMapper);
    ASSERT_NE(mapper, nullptr);
    EXPECT_EQ(mapper->min[0], -10.0f);
    EXPECT_EQ(mapper->min[1], -10.0f);
    EXPECT_EQ(mapper->max[0], 10.0f);
    EXPECT_EQ(mapper->max[1], 10.0f);
    EXPECT_EQ(mapper->cols, 4);
    EXPECT_EQ(mapper->rows, 4);
    EXPECT_NE(mapper->cells, nullptr);
    core.SetSpaceMapper(3); // other kinds leave the mapper alone
    EXPECT_EQ(core.spaceMapper, mapper);
}

TEST(CoreSpaceMapper, SecondCallGivesAFreshEmptyMapper) {
    RecordingCore core;
    core.SetSpaceMapper(1);
    auto* first = static_cast<SpaceMapperLines2D*>(core.spaceMapper);
    float lo[2] = {0, 0}, hi[2] = {5, 5};
    first->SetSpaceBounds(lo, hi, 2, 2);
    first->lineCounter = 7;
    core.SetSpaceMapper(1); // the old one is freed (the leak check of the sanitizer build sees it)
    auto* second = static_cast<SpaceMapperLines2D*>(core.spaceMapper);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->lineCounter, 0);
    EXPECT_EQ(second->cols, 4);
    EXPECT_EQ(second->min[0], -10.0f);
}

// A mapper that reports its own destruction.
struct CountingMapper : SpaceMapper {
    int* destroyed;
    explicit CountingMapper(int* d) : destroyed(d) {}
    ~CountingMapper() override { ++*destroyed; }
};

TEST(CoreSpaceMapper, DestructionFreesTheMapper) {
    int destroyed = 0;
    auto* core = new RecordingCore();
    core->spaceMapper = new CountingMapper(&destroyed);
    delete core;
    EXPECT_EQ(destroyed, 1);
    // The real mapper too; under the sanitizer build a leak here fails the test.
    core = new RecordingCore();
    core->SetSpaceMapper(1);
    delete core;
}

TEST(CoreSpaceMapper, ReplacingTheMapperFreesTheOldOneOnly) {
    int destroyed = 0;
    RecordingCore core;
    core.spaceMapper = new CountingMapper(&destroyed);
    core.SetSpaceMapper(0); // not a mapper kind: the old one stays
    EXPECT_EQ(destroyed, 0);
    core.SetSpaceMapper(1);
    EXPECT_EQ(destroyed, 1);
    EXPECT_NE(dynamic_cast<SpaceMapperLines2D*>(core.spaceMapper), nullptr);
}

// ---- Command line --------------------------------------------------------------------

struct Window {
    int width, height;
    bool fullscreen, maxRes;
    bool operator==(const Window& o) const {
        return width == o.width && height == o.height && fullscreen == o.fullscreen && maxRes == o.maxRes;
    }
};
std::ostream& operator<<(std::ostream& os, const Window& w) {
    return os << w.width << "x" << w.height << (w.fullscreen ? " fullscreen" : " windowed")
              << (w.maxRes ? " max" : "");
}

Window Parse(std::initializer_list<const char*> list) {
    Args args(list);
    RecordingCore core;
    core.DeclareArgs(args.argc(), args.ptrs.data());
    core.ParseArgs();
    return {core.width, core.height, core.fullscreen, core.maxRes};
}

TEST(CoreParseArgs, WindowOptions) {
    EXPECT_EQ(Parse({}), (Window{1024, 768, false, false}));
    EXPECT_EQ(Parse({"-r", "800", "600", "-f"}), (Window{800, 600, true, false}));
    EXPECT_EQ(Parse({"-f", "-r", "800", "600"}), (Window{800, 600, false, false}));
    EXPECT_EQ(Parse({"r", "800", "600"}), (Window{800, 600, false, false}));
    EXPECT_EQ(Parse({"r", "max"}), (Window{1024, 768, false, true}));
    EXPECT_EQ(Parse({"r", "max", "f"}), (Window{1024, 768, true, true}));
    EXPECT_EQ(Parse({"-r", "min"}), (Window{700, 580, false, false}));
    EXPECT_EQ(Parse({"f", "r", "min"}), (Window{700, 580, false, false}));
    EXPECT_EQ(Parse({"r", "max", "-r", "min"}), (Window{700, 580, false, true}));
}

TEST(CoreParseArgs, IncompleteOrWrongOptionsChangeNothing) {
    EXPECT_EQ(Parse({"r", "800"}), (Window{1024, 768, false, false}));
    EXPECT_EQ(Parse({"r", "800", "x"}), (Window{1024, 768, false, false}));
    EXPECT_EQ(Parse({"r"}), (Window{1024, 768, false, false}));
    EXPECT_EQ(Parse({"R", "800", "600"}), (Window{1024, 768, false, false}));
    EXPECT_EQ(Parse({"r", "MAX"}), (Window{1024, 768, false, false}));
    EXPECT_EQ(Parse({"F"}), (Window{1024, 768, false, false}));
    EXPECT_EQ(Parse({"--f", "fr", "r800"}), (Window{1024, 768, false, false}));
    EXPECT_EQ(Parse({"r", "-800", "600"}), (Window{1024, 768, false, false}));
}

TEST(CoreParseArgs, OptionArgumentsAreNotReadAsOptions) {
    // The last word of an r group is tested for f: it never matches, so nothing happens.
    EXPECT_EQ(Parse({"r", "800", "600", "r", "min"}), (Window{700, 580, false, false}));
    // A script name f after s is read here as fullscreen: ParseArgs knows no s.
    EXPECT_EQ(Parse({"-s", "f"}), (Window{1024, 768, true, false}));
    // "r 800 f": not two numbers; f is no max/min, so the r is dropped and f is taken.
    EXPECT_EQ(Parse({"r", "800", "f"}), (Window{1024, 768, true, false}));
    // "r f": f is not consumed by r and counts on its own.
    EXPECT_EQ(Parse({"r", "f"}), (Window{1024, 768, true, false}));
}

TEST(CoreParseArgs, ProgramPathIsScannedToo) {
    // Index 0 is part of the scan; a program called "f" sets fullscreen.
    std::vector<char*> argv;
    char a0[] = "f";
    argv.push_back(a0);
    RecordingCore core;
    core.DeclareArgs(1, argv.data());
    core.ParseArgs();
    EXPECT_TRUE(core.fullscreen);
}

// ---- Video mode ----------------------------------------------------------------------

TEST(CoreVideoMode, ConfiguredModeWithoutMaxRes) {
    RecordingCore core;
    core.width = 640;
    core.height = 480;
    testing::internal::CaptureStdout();
    sf::VideoMode m = core.ChooseVideoMode({sf::VideoMode(1920, 1080, 24)});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(m.width, 640u);
    EXPECT_EQ(m.height, 480u);
    EXPECT_EQ(m.bitsPerPixel, 32u);
}

TEST(CoreVideoMode, MaxResTakesTheFirstFullscreenMode) {
    RecordingCore core;
    core.maxRes = true;
    testing::internal::CaptureStdout();
    sf::VideoMode m = core.ChooseVideoMode({sf::VideoMode(1920, 1080, 24), sf::VideoMode(800, 600, 32)});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Using max res: 1920 x 1080: 24\n");
    EXPECT_EQ(m.width, 1920u);
    EXPECT_EQ(core.width, 1920);
    EXPECT_EQ(core.height, 1080);
    EXPECT_EQ(core.bitsPerPixel, 24);
    EXPECT_FALSE(core.fullscreen);
}

TEST(CoreVideoMode, MaxResWithNoFullscreenModeKeepsTheConfiguredSize) {
    RecordingCore core;
    core.maxRes = true;
    core.width = 900;
    core.height = 700;
    testing::internal::CaptureStdout();
    sf::VideoMode m = core.ChooseVideoMode({});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(m.width, 900u);
    EXPECT_EQ(m.height, 700u);
    EXPECT_EQ(m.bitsPerPixel, 32u);
    EXPECT_EQ(core.width, 900);
    EXPECT_EQ(core.height, 700);
}

TEST(CoreVideoMode, WindowStyle) {
    RecordingCore core;
    const std::vector<sf::VideoMode> modes = {sf::VideoMode(1920, 1080, 24)};
    const sf::Uint32 windowed = sf::Style::Resize | sf::Style::Close; // 6: no title-bar bit
    EXPECT_EQ(windowed, 6u);
    EXPECT_EQ(core.WindowStyle(modes), windowed);
    EXPECT_EQ(core.WindowStyle({}), windowed);
    core.fullscreen = true;
    EXPECT_EQ(core.WindowStyle(modes), windowed | sf::Style::Fullscreen);
    // A display that lists no fullscreen mode at all (an X server without RandR) gets a
    // window: SFML would index the empty list for a mode to switch to.
    EXPECT_EQ(core.WindowStyle({}), windowed);
    EXPECT_TRUE(core.fullscreen);
}

} // namespace
