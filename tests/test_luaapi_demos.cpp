// The demo scripts of run/scripts, run as velkEngine runs them: a host with its own window
// and the sound library, frames driven by a scripted clock, and key presses fed through the
// frame step's event handling. They must run without a single error line.
#include "audioSfml.h"
#include "corethingy_testing.h"
#include "glfixture.h"
#include "luathingy.h"
#include "luathingy_testing.h"
#include "shadering.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class DemoScriptTest : public ::testing::Test {
  protected:
    ProgramKindGuard program; // back to velkEngine's behaviour after a velkRun test
    TempWorkDir dir;
    FakePlatform clock;
    LuaThingy* host = nullptr;
    std::string output;

    void SetUp() override {
        // The shared test window stays open to the end of the process, so the GL driver
        // stays loaded and what it keeps of the engine's never-deleted textures is
        // reported against it (and suppressed) rather than against an unloaded module.
        GLTest::Window();
        MoonScriptStandIn::On();
        InstallSfmlAudio();
        // A copy of the runtime folder, so that save files and screenshots stay in the test's.
        std::string run = std::string(VELK_SOURCE_DIR) + "/run";
        ASSERT_EQ(
            system(("cp -r '" + run + "/media/.' media/ && cp '" + run + "/scripts/'*.lua scripts/").c_str()),
            0);
        TempWorkDir::Mkdir("screenshots");
    }
    void TearDown() override {
        delete host;
        SetAudioBackend(nullptr);
    }

    // Opens a small window (or one of the given size), runs Init; frames then go through
    // Frames(). A host made as velkRun's runs every script through MoonScript.
    int Start(const char* script, ProgramKind program = ProgramKind::Engine, int width = 320,
              int height = 240) {
        delete host;
        SetCurrentProgram(program);
        host = new LuaThingy();
        host->width = width;
        host->height = height;
        host->SetLoadScript(script);
        host->SetupStandardWindow();
        host->platform = &clock;
        clock.perRead = 0.004f; // the frame limiter's wait passes after a few reads
        testing::internal::CaptureStdout();
        int result = host->Init();
        output += testing::internal::GetCapturedStdout();
        return result;
    }
    // Runs n frames; returns the number that did not answer 0.
    int Frames(int n) {
        int stopped = 0;
        testing::internal::CaptureStdout();
        for (int i = 0; i < n; i++)
            if (host->TimeStep() != 0) stopped++;
        output += testing::internal::GetCapturedStdout();
        return stopped;
    }
    void Press(int inputCode) {
        testing::internal::CaptureStdout();
        host->HandleEvent(KeyEvent(inputCode, true));
        host->HandleEvent(KeyEvent(inputCode, false));
        output += testing::internal::GetCapturedStdout();
    }
    // Any line of the engine's or the script host's failure messages.
    void ExpectNoErrorLines() {
        for (const char* bad : {"Err", "ERR", "Error", "FAYUL", "WARNING", "not found"})
            EXPECT_EQ(output.find(bad), std::string::npos) << "'" << bad << "' in:\n" << output;
    }
};

// Relative luminance of a pixel and the contrast ratio of two luminances, as the web's
// accessibility guidelines define them (small text wants 7:1).
double Luminance(const unsigned char* rgb) {
    double linear[3];
    for (int i = 0; i < 3; i++) {
        double c = rgb[i] / 255.0;
        linear[i] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    }
    return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2];
}
double Contrast(double a, double b) {
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}
// The luminances of the back buffer's rows top to bottom (counted down from the window's top
// edge), across the whole width, sorted from dark to bright.
std::vector<double> RowLuminances(int width, int height, int top, int bottom) {
    std::vector<unsigned char> p((size_t)width * (bottom - top) * 4);
    glReadPixels(0, height - bottom, width, bottom - top, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    std::vector<double> l;
    for (size_t i = 0; i < p.size(); i += 4)
        l.push_back(Luminance(&p[i]));
    std::sort(l.begin(), l.end());
    return l;
}
// What the strokes of the text in those rows reach: the mean of the 50 brightest pixels.
double Strokes(const std::vector<double>& sorted) {
    double sum = 0;
    for (size_t i = sorted.size() - 50; i < sorted.size(); i++)
        sum += sorted[i];
    return sum / 50;
}

TEST_F(DemoScriptTest, NoteCatcherPlaysARoundAndKeepsTheBestScore) {
    ASSERT_EQ(Start("notecatcher.lua"), 0);
    ASSERT_EQ(RunLua(host->luaState, "math.randomseed(7)"), "");
    EXPECT_TRUE(host->musicManager.channels[0]->Loop());
    // The six tones the script made from samples, after the blip file.
    EXPECT_EQ(host->audioManager.itemCount, 7);
    FloatDataBlock tone;
    host->audioManager.GetAudioData(1, &tone);
    EXPECT_EQ(tone.ValCount(), 6615);

    // With the paddle still, notes fall past it: the round ends and the best score is saved.
    Press(57); // Space: the first round
    EXPECT_EQ(Frames(1500), 0);
    std::string saved = TempWorkDir::ReadAll("notecatcher.sav");
    ASSERT_FALSE(saved.empty());
    EXPECT_GE(std::stoi(saved), 0);
    EXPECT_GE(host->audioManager.GetLastIndex(), 0);

    Press(12); // M: music off
    Press(57); // Space: another round
    EXPECT_EQ(Frames(120), 0);
    ExpectNoErrorLines();
}

TEST_F(DemoScriptTest, NoteCatcherReadsTheSavedBest) {
    TempWorkDir::Write("notecatcher.sav", "12");
    ASSERT_EQ(Start("notecatcher.lua"), 0);
    ASSERT_EQ(RunLua(host->luaState, "math.randomseed(3)"), "");
    Press(57);
    EXPECT_EQ(Frames(1500), 0);
    // A round of a still paddle cannot beat 12: the file keeps the old best.
    EXPECT_EQ(TempWorkDir::ReadAll("notecatcher.sav"), "12");
    ExpectNoErrorLines();
}

TEST_F(DemoScriptTest, NoteCatcherWaitsForTheFirstKeyOrClick) {
    ASSERT_EQ(Start("notecatcher.lua"), 0);
    // Nothing falls while nobody plays: no note is caught (a tone) or missed (a buzz).
    EXPECT_EQ(Frames(1500), 0);
    EXPECT_EQ(host->audioManager.GetLastIndex(), -1);
    // A click starts the round, and the notes reach the paddle's line.
    testing::internal::CaptureStdout();
    host->HandleEvent(ButtonEvent(sf::Mouse::Left, true));
    host->HandleEvent(ButtonEvent(sf::Mouse::Left, false));
    output += testing::internal::GetCapturedStdout();
    EXPECT_EQ(Frames(1500), 0);
    EXPECT_GE(host->audioManager.GetLastIndex(), 0);
    ExpectNoErrorLines();
}

// In the launcher's normal window the key help under the score line is as clear as the
// score: its strokes reach the score's brightness. Small and grey, they stayed dim.
TEST_F(DemoScriptTest, NoteCatcherKeyHelpAsClearAsTheScore) {
    ASSERT_EQ(Start("notecatcher.lua", ProgramKind::Engine, 1024, 768), 0);
    EXPECT_EQ(Frames(5), 0);
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_EQ(RunLua(host->luaState, "Draw(0, 0)"), "");
    // 512 pixels a unit: the score line ends 50 pixels under the top edge, the help follows.
    double score = Strokes(RowLuminances(1024, 768, 10, 52));
    double help = Strokes(RowLuminances(1024, 768, 53, 95));
    EXPECT_GE(help, 0.9 * score);
    ExpectNoErrorLines();
}

// The pointer reads as the left edge before the mouse first moves: the paddle waits in the
// middle until a move, then follows. The notes fall from under the header band, never
// across the score and the key help.
TEST_F(DemoScriptTest, NoteCatcherPaddleWaitsForTheMouseAndNotesPassUnderTheHeader) {
    ASSERT_EQ(Start("notecatcher.lua", ProgramKind::Engine, 1024, 768), 0);
    // Redraws the frame as it stands and returns the mean column of the paddle's pixels
    // (41 rows above the bottom at 512 pixels a unit) and, in `header` and `field`, whether
    // a note's colour shows in the header band's rows or under them.
    auto look = [&](bool* header, bool* field) {
        glClear(GL_COLOR_BUFFER_BIT);
        EXPECT_EQ(RunLua(host->luaState, "Draw(0, 0)"), "");
        std::vector<unsigned char> p(1024 * 768 * 4);
        glReadPixels(0, 0, 1024, 768, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
        double sum = 0, count = 0;
        for (int x = 0; x < 1024; x++)
            if (Luminance(&p[(41 * 1024 + x) * 4]) > 0.5) sum += x, count++;
        *header = *field = false;
        for (int y = 0; y < 768; y++)
            for (int x = 0; x < 1024; x++) {
                const unsigned char* c = &p[(y * 1024 + x) * 4];
                bool coloured = std::max({c[0], c[1], c[2]}) - std::min({c[0], c[1], c[2]}) > 100;
                if (coloured) (y >= 768 - 92 ? *header : *field) = true;
            }
        return count > 0 ? sum / count : -1;
    };
    bool header = false, field = false;
    EXPECT_EQ(Frames(5), 0);
    EXPECT_NEAR(look(&header, &field), 511.5, 2);
    clock.pointer = sf::Vector2i(900, 384);
    sf::Event moved;
    moved.type = sf::Event::MouseMoved;
    moved.mouseMove.x = 900;
    moved.mouseMove.y = 384;
    host->HandleEvent(moved);
    EXPECT_GT(look(&header, &field), 700);

    Press(57); // Space: the round starts and notes fall
    bool seenInField = false, seenInHeader = false;
    for (int i = 0; i < 150; i++) {
        EXPECT_EQ(Frames(1), 0);
        look(&header, &field);
        seenInField |= field;
        seenInHeader |= header;
    }
    EXPECT_TRUE(seenInField);
    EXPECT_FALSE(seenInHeader);
    ExpectNoErrorLines();
}

TEST_F(DemoScriptTest, CrystalDrawsTheMeshWithLightsAndTheShader) {
    ASSERT_EQ(Start("crystal.lua"), 0);
    EXPECT_FLOAT_EQ(host->fov, 50);
    EXPECT_EQ(Frames(90), 0);
    // Both objects of the mesh file became items; the shader built and got its two uniforms.
    EXPECT_EQ(host->geometryManager.itemCount, 2);
    Shader* shader = (Shader*)host->shaderManager.GetItem(0);
    ASSERT_NE(shader, nullptr);
    EXPECT_NE(shader->program, 0u);
    EXPECT_EQ(shader->uniformCount, 2);

    Press(57); // Space: the chime
    EXPECT_GE(host->audioManager.GetLastIndex(), 0);
    Press(6); // G: glow off
    host->HandleEvent(WheelEvent(1));
    EXPECT_EQ(Frames(30), 0);

    // With shaders switched off the fixed pipeline draws the gem.
    ASSERT_EQ(RunLua(host->luaState, "SetShadersEnabled(0)"), "");
    EXPECT_EQ(Frames(30), 0);
    EXPECT_EQ(shader->uniformCount, 2);
    ExpectNoErrorLines();
}

TEST_F(DemoScriptTest, CrystalOffersNoGlowKeyWithoutShaders) {
    ASSERT_EQ(Start("crystal.lua"), 0);
    host->shaderManager.SetShadersEnabled(false); // the launcher's "disable shaders"
    EXPECT_EQ(Frames(10), 0);
    // The texts drawn since; none offers G, which has nothing to switch.
    std::string drawn;
    for (int i = 0; i < host->textManager.texts.Count(); i++)
        drawn += (const char*)((TextObj*)host->textManager.texts.Get(i))->text.Ptr() + std::string("\n");
    EXPECT_EQ(drawn.find("G glow"), std::string::npos) << drawn;
    EXPECT_NE(drawn.find("needs shaders"), std::string::npos) << drawn;
    ExpectNoErrorLines();
}

TEST_F(DemoScriptTest, NoiseFieldRendersThroughTheTargetAndKeepsItsSeed) {
    TempWorkDir::Write("noisefield.sav", "5");
    ASSERT_EQ(Start("noisefield.lua"), 0);
    SimplexNoise five(5.0f), six(6.0f);
    EXPECT_EQ(host->noise.Noise(1.25f, 2.5f, 3.75f), five.Noise(1.25f, 2.5f, 3.75f));
    EXPECT_EQ(Frames(20), 0);
    if (vgl::FramebufferEntryPointsReady()) EXPECT_NE(host->renderTarget.fbo, 0u);
    EXPECT_EQ(host->renderTarget.width, 320);
    EXPECT_EQ(host->renderTarget.height, 240);

    Press(13); // N: the next seed, saved at once
    EXPECT_EQ(TempWorkDir::ReadAll("noisefield.sav"), "6");
    EXPECT_EQ(host->noise.Noise(1.25f, 2.5f, 3.75f), six.Noise(1.25f, 2.5f, 3.75f));
    host->HandleEvent(WheelEvent(-1)); // zoom out
    Press(72);                         // pan right
    EXPECT_EQ(Frames(20), 0);
    ExpectNoErrorLines();
}

TEST_F(DemoScriptTest, NoiseFieldSwellKeepsTheWindowCovered) {
    ASSERT_EQ(Start("noisefield.lua"), 0);
    if (!vgl::FramebufferEntryPointsReady()) GTEST_SKIP() << "no framebuffer objects";
    EXPECT_EQ(Frames(5), 0);
    // One Draw at the swell's smallest, sin(0.7 t) = -1, read back before it is presented.
    // The window is cleared to black, which no colour of the map is.
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_EQ(RunLua(host->luaState, "Draw(1.5 * math.pi / 0.7, 0)"), "");
    std::vector<unsigned char> p(320 * 240 * 4);
    glReadPixels(0, 0, 320, 240, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    auto black = [&](int x, int y) {
        const unsigned char* q = &p[(y * 320 + x) * 4];
        return q[0] == 0 && q[1] == 0 && q[2] == 0;
    };
    int bare = 0;
    for (int x = 0; x < 320; x++)
        bare += black(x, 0) + black(x, 239);
    for (int y = 0; y < 240; y++)
        bare += black(0, y) + black(319, y);
    EXPECT_EQ(bare, 0);
    ExpectNoErrorLines();
}

// The header's white text keeps 7:1 to its band over the lightest ground of the map, snow.
TEST_F(DemoScriptTest, NoiseFieldHeaderReadableOverSnow) {
    ASSERT_EQ(Start("noisefield.lua", ProgramKind::Engine, 1024, 768), 0);
    if (!vgl::FramebufferEntryPointsReady()) GTEST_SKIP() << "no framebuffer objects";
    EXPECT_EQ(Frames(5), 0);
    ASSERT_EQ(RunLua(host->luaState, "GetNoise = function() return 1 end"), ""); // all snow
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_EQ(RunLua(host->luaState, "Draw(0, 0)"), "");
    // The band covers the top 51 rows; the letters are few of its pixels, so the median is the band.
    std::vector<double> band = RowLuminances(1024, 768, 2, 49);
    EXPECT_GE(Contrast(Strokes(band), band[band.size() / 2]), 7.0);
    ExpectNoErrorLines();
}

// What the reference says about the full-window target in a real window, whose texture
// matrix flips pictures: under the square camera its quad fills the window, upside down
// unless mirrored.
TEST_F(DemoScriptTest, FullWindowTargetInARealWindow) {
    dir.Script("rtt.lua", "function Init() end\nfunction Draw() end\n");
    ASSERT_EQ(Start("rtt.lua"), 0);
    if (!vgl::FramebufferEntryPointsReady()) GTEST_SKIP() << "no framebuffer objects";
    const char* drawMarker = "SetCam(2) Depth(0) Blend(-1) BeginRTTFull() Tex(-1) Color(1, 1, 1)"
                             " Push() Move(-0.5, 0.5) Scale(0.5) Quad() Pop() SetCam(2) Color(1, 1, 1) ";
    auto white = [](int x, int y) {
        unsigned char p[4] = {0, 0, 0, 0};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return p[0] > 200 && p[1] > 200 && p[2] > 200;
    };
    // Mirrored: the marker stays in the top-left quarter.
    ASSERT_EQ(RunLua(host->luaState, std::string(drawMarker) + "Push() Scale(1, -1, 1) EndRTTFull() Pop()"),
              "");
    EXPECT_TRUE(white(80, 180));
    EXPECT_FALSE(white(80, 60));
    EXPECT_FALSE(white(240, 180));
    // As it comes: upside down.
    ASSERT_EQ(RunLua(host->luaState, std::string(drawMarker) + "EndRTTFull()"), "");
    EXPECT_TRUE(white(80, 60));
    EXPECT_FALSE(white(80, 180));
}

// The first fenced block of the given kind under a heading of docs/api.md, as written there.
std::string ReferenceExample(const std::string& heading, const std::string& kind) {
    std::string doc = TempWorkDir::ReadAll(std::string(VELK_SOURCE_DIR) + "/docs/api.md");
    size_t at = doc.find("\n## " + heading + "\n");
    size_t open = at == std::string::npos ? at : doc.find("```" + kind + "\n", at);
    if (open == std::string::npos) return "";
    open += 4 + kind.size();
    size_t close = doc.find("```\n", open);
    return close == std::string::npos ? "" : doc.substr(open, close - open);
}

RGBA ReadPixel(int x, int y) {
    RGBA p = {0, 0, 0, 0};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &p);
    return p;
}

// The hello world's frames, read back before they are presented. 320 x 240 under
// SetCam(2, 1): 160 pixels a unit, y spans -0.75..0.75.
void ExpectHelloWorldFrames(lua_State* L) {
    auto blue = [](int x, int y) {
        RGBA p = ReadPixel(x, y);
        return std::abs(p.r - 51) <= 2 && std::abs(p.g - 77) <= 2 && std::abs(p.b - 204) <= 2;
    };
    // (0, 0.3) lies inside the turning square at any angle.
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_EQ(RunLua(L, "Draw(1.5, 1 / 60)"), "");
    EXPECT_TRUE(blue(160, 168));
    // The white letters, 0.15 high, in the middle rows: neither blue nor black.
    int letters = 0;
    for (int y = 108; y < 132; y++)
        for (int x = 0; x < 320; x++)
            if (ReadPixel(x, y).r > 120) letters++;
    EXPECT_GT(letters, 100);
    // An eighth of a turn per second: at 1 s a diamond, which leaves the corner region
    // at (0.35, 0.35) dark; at 2 s the square is upright again and covers it.
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_EQ(RunLua(L, "Draw(1, 1 / 60)"), "");
    EXPECT_FALSE(blue(216, 176));
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_EQ(RunLua(L, "Draw(2, 1 / 60)"), "");
    EXPECT_TRUE(blue(216, 176));
}

TEST_F(DemoScriptTest, ReferenceHelloWorldDrawsItsSquareAndText) {
    std::string hello = ReferenceExample("Hello world", "lua");
    ASSERT_NE(hello, "");
    dir.Script("hello.lua", hello);
    ASSERT_EQ(Start("hello.lua"), 0);
    EXPECT_EQ(Frames(10), 0);
    ExpectNoErrorLines();
    ExpectHelloWorldFrames(host->luaState);
}

// velkRun compiles the Lua hello world as MoonScript and fails; the MoonScript one runs there.
TEST_F(DemoScriptTest, ReferenceHelloWorldInVelkRunOnlyInMoonScript) {
    if (!RealMoonScript::Use()) GTEST_SKIP() << RealMoonScript::Missing();
    std::string lua = ReferenceExample("Hello world", "lua"), moon = ReferenceExample("Hello world", "moon");
    ASSERT_NE(lua, "");
    ASSERT_NE(moon, "");
    dir.Script("hello.lua", lua);
    EXPECT_EQ(Start("hello.lua", ProgramKind::Run), -1);
    EXPECT_NE(output.find("Failed to parse:"), std::string::npos) << output;

    output.clear();
    dir.Script("hello.moon", moon);
    ASSERT_EQ(Start("hello.moon", ProgramKind::Run), 0) << output;
    EXPECT_EQ(Frames(10), 0);
    ExpectNoErrorLines();
    ExpectHelloWorldFrames(host->luaState);
}

// The MoonScript example: its callbacks are found only because they are exported.
TEST_F(DemoScriptTest, ReferenceMoonScriptExampleExportsItsCallbacks) {
    if (!RealMoonScript::Use()) GTEST_SKIP() << RealMoonScript::Missing();
    std::string follow = ReferenceExample("MoonScript callbacks are exported", "moon");
    ASSERT_NE(follow, "");
    std::string local = follow;
    for (size_t at; (at = local.find("export ")) != std::string::npos;)
        local.erase(at, 7);
    dir.Script("local.moon", local);
    EXPECT_EQ(Start("local.moon"), -1);
    EXPECT_NE(output.find("Lua Err INIT: attempt to call a nil value.\n"), std::string::npos) << output;

    output.clear();
    dir.Script("follow.moon", follow);
    ASSERT_EQ(Start("follow.moon"), 0) << output;
    EXPECT_FALSE(host->mouseLocked); // Init ran
    EXPECT_EQ(Frames(10), 0);
    ExpectNoErrorLines();
    // The pointer at the window centre; the square, 0.1 wide (16 pixels), grows to 0.2
    // while Space is held.
    host->mouseX = host->mouseY = 0.5f;
    auto lit = [&] {
        glClear(GL_COLOR_BUFFER_BIT);
        EXPECT_EQ(RunLua(host->luaState, "Draw(0, 0)"), "");
        return ReadPixel(160, 120).r > 200 && ReadPixel(172, 120).r > 200;
    };
    EXPECT_FALSE(lit());
    testing::internal::CaptureStdout();
    host->HandleEvent(KeyEvent(57, true));
    output += testing::internal::GetCapturedStdout();
    EXPECT_TRUE(lit());
    ExpectNoErrorLines();
}

TEST_F(DemoScriptTest, ReferenceShaderExampleBuildsAndTakesItsUniform) {
    std::string shad = ReferenceExample("A minimal shader", "glsl");
    std::string script = ReferenceExample("A minimal shader", "lua");
    ASSERT_NE(shad, "");
    ASSERT_NE(script, "");
    TempWorkDir::Write("media/hello.shad", shad);
    dir.Script("shader.lua", script);
    ASSERT_EQ(Start("shader.lua"), 0);
    EXPECT_EQ(Frames(10), 0);
    ExpectNoErrorLines();
    Shader* shader = (Shader*)host->shaderManager.GetItem(0);
    ASSERT_NE(shader, nullptr);
    EXPECT_EQ(shader->uniformCount, 1);
    // The unit quad under SetCam(2) covers the middle of the window: red follows its
    // texture coordinate across it, blue the pulse of the time uniform.
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_EQ(RunLua(host->luaState, "Draw(0, 0)"), "");
    RGBA left = ReadPixel(88, 120), right = ReadPixel(232, 120);
    EXPECT_GT(std::abs(left.r - right.r), 180);
    EXPECT_NEAR(left.b, 128, 2);
    ASSERT_EQ(RunLua(host->luaState, "Draw(math.pi / 6, 0)"), "");
    EXPECT_EQ(ReadPixel(88, 120).b, 255);
}

} // namespace
