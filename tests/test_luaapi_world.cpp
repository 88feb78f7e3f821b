// The script API's camera, mouse, window, key, typing mode, folder and noise functions,
// called from a running script; the screenshot key; and what each program registers.
#include "corethingy_testing.h"
#include "luaapi_testing.h"

#include <GL/glu.h>
#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace {

using WorldApiTest = ScriptHostTest;

std::string TooFew(const char* tag) {
    return std::string("ERR: too few args: ") + tag + "\n";
}

void ExpectMatrixNear(const float* got, const float* want, const char* what) {
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(got[i], want[i], 1e-5) << what << " element " << i;
}

// The projection that gluPerspective gives with the host's planes and aspect.
void PerspectiveMatrix(LuaThingy* host, float fov, float m[16]) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(fov, host->aspect, host->nearPlane, host->farPlane);
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

void OrthoMatrix(float l, float r, float b, float t, float m[16]) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(l, r, b, t, -100, 100);
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

// ---- Camera ---------------------------------------------------------------------------------------

TEST_F(WorldApiTest, SetCamPerspectiveKeepsTheFieldOfView) {
    ASSERT_EQ(Start(), 0);
    float got[16], want[16];
    ASSERT_FLOAT_EQ(host->fov, 90);

    Lua("SetCam(3)");
    Matrix(GL_PROJECTION_MATRIX, got);
    PerspectiveMatrix(host, 90, want);
    ExpectMatrixNear(got, want, "SetCam(3)");

    Lua("SetCam(3, 60)");
    EXPECT_FLOAT_EQ(host->fov, 60);
    Matrix(GL_PROJECTION_MATRIX, got);
    PerspectiveMatrix(host, 60, want);
    ExpectMatrixNear(got, want, "SetCam(3, 60)");

    // The engine's own reset before each Draw uses the kept field of view.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    host->InitCamera(0, 0);
    Matrix(GL_PROJECTION_MATRIX, got);
    ExpectMatrixNear(got, want, "frame reset");
    Lua("SetCam(3)");
    EXPECT_FLOAT_EQ(host->fov, 60);

    // Any other mode does nothing, also to the matrices.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1, 2, 3);
    Lua("SetCam(4) SetCam(1) SetCam(0)");
    float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    Matrix(GL_PROJECTION_MATRIX, got);
    ExpectMatrixNear(got, identity, "SetCam(4)");
    Matrix(GL_MODELVIEW_MATRIX, got);
    EXPECT_FLOAT_EQ(got[12], 1);
    EXPECT_EQ(Lua("SetCam()"), TooFew(""));
}

TEST_F(WorldApiTest, SetCamTwoGivesTheOrthographicCameraWithItsFit) {
    ASSERT_EQ(Start(), 0);
    host->width = 512; // twice as wide as high
    host->height = 256;
    float got[16], want[16];

    Lua("SetCam(2)"); // fit 0: a square of half-extent 1
    Matrix(GL_PROJECTION_MATRIX, got);
    OrthoMatrix(-1, 1, -1, 1, want);
    ExpectMatrixNear(got, want, "SetCam(2)");

    Lua("SetCam(2, 1)");
    Matrix(GL_PROJECTION_MATRIX, got);
    OrthoMatrix(-1, 1, -0.5f, 0.5f, want);
    ExpectMatrixNear(got, want, "SetCam(2, 1)");
    EXPECT_FLOAT_EQ(host->orthoScaleY, 0.5f);

    Lua("SetCam(2, 2.9)"); // truncated to fit 2
    Matrix(GL_PROJECTION_MATRIX, got);
    OrthoMatrix(-2, 2, -1, 1, want);
    ExpectMatrixNear(got, want, "SetCam(2, 2.9)");
    EXPECT_FLOAT_EQ(host->orthoScaleX, 2);

    // The 2D camera scale counts from the next SetCam(2, ...) on.
    Lua("Set2DCamScale(3)");
    Matrix(GL_PROJECTION_MATRIX, got);
    ExpectMatrixNear(got, want, "before the next SetCam");
    Lua("SetCam(2)");
    Matrix(GL_PROJECTION_MATRIX, got);
    OrthoMatrix(-3, 3, -3, 3, want);
    ExpectMatrixNear(got, want, "scale 3");
    EXPECT_EQ(Lua("Set2DCamScale()"), TooFew(""));
}

TEST_F(WorldApiTest, LookAtReplacesTheMatrixAndWorksAtTheTopLevel) {
    ASSERT_EQ(Start("LookAt(0, 0, 5, 0, 0, 0) topLevel = true\nfunction Init() end"), 0);
    EXPECT_EQ(Type("topLevel"), "boolean");
    float got[16], want[16];
    glLoadIdentity();
    gluLookAt(1, 2, 3, 0, 0, 0, 0, 0, 1);
    glGetFloatv(GL_MODELVIEW_MATRIX, want);

    glLoadIdentity();
    glTranslatef(7, 7, 7); // replaced, not multiplied
    EXPECT_EQ(Lua("LookAt(1, 2, 3)"), TooFew("LookAt"));
    Matrix(GL_MODELVIEW_MATRIX, got);
    ExpectMatrixNear(got, want, "LookAt(1, 2, 3)");

    glLoadIdentity();
    gluLookAt(4, 5, 6, 1, 1, 0, 0, 0, 1);
    glGetFloatv(GL_MODELVIEW_MATRIX, want);
    EXPECT_EQ(Lua("LookAt(4, 5, 6, 1, 1, 0)"), "");
    Matrix(GL_MODELVIEW_MATRIX, got);
    ExpectMatrixNear(got, want, "LookAt six");
}

// ---- Mouse and window -----------------------------------------------------------------------------

TEST_F(WorldApiTest, MouseScalarAtTheCentreAndTheCorner) {
    ASSERT_EQ(Start(), 0);
    FakePlatform pointer;
    host->platform = &pointer;
    host->width = 512;
    host->height = 256;
    host->gameTime = 1; // moves count from the fourth frame on
    Lua("SetMouseFree(1)");
    auto moveTo = [&](int x, int y) {
        pointer.pointer = {x, y};
        host->BeginEvents();
        host->HandleEvent(MoveEvent());
    };

    moveTo(256, 128);
    Lua("x, y = GetMouseScalar()");
    EXPECT_DOUBLE_EQ(Num("x"), 0);
    EXPECT_DOUBLE_EQ(Num("y"), 0);

    moveTo(0, 0); // top left: left is negative, up is positive
    Lua("x, y = GetMouseScalar()");
    EXPECT_DOUBLE_EQ(Num("x"), -1);
    EXPECT_DOUBLE_EQ(Num("y"), 1);
    Lua("SetCam(2, 1) x, y = GetMouseScalar()");
    EXPECT_DOUBLE_EQ(Num("x"), -1);
    EXPECT_DOUBLE_EQ(Num("y"), 0.5);
    Lua("SetCam(2, 2) x, y = GetMouseScalar()");
    EXPECT_DOUBLE_EQ(Num("x"), -2);
    EXPECT_DOUBLE_EQ(Num("y"), 1);
    // Without the 2D camera scale.
    Lua("Set2DCamScale(4) SetCam(2, 2) x, y = GetMouseScalar()");
    EXPECT_DOUBLE_EQ(Num("x"), -2);

    moveTo(512, 256); // bottom right
    Lua("x, y = GetMouseScalar()");
    EXPECT_DOUBLE_EQ(Num("x"), 2);
    EXPECT_DOUBLE_EQ(Num("y"), -1);
    host->platform = nullptr;
}

TEST_F(WorldApiTest, MouseTotalRelativeAndWindowSize) {
    ASSERT_EQ(Start(), 0);
    host->cursorX = 1.5f;
    host->cursorY = -2.25f;
    host->mouseDX = 0.25f;
    host->mouseDY = 0.5f;
    host->width = 640;
    host->height = 480;
    Lua("tx, ty = GetMouseTotal() rx, ry = GetMouseRelative() w, h = GetWindowSize()"
        " n = select('#', GetWindowSize(1, 2, 3))");
    EXPECT_DOUBLE_EQ(Num("tx"), 1.5);
    EXPECT_DOUBLE_EQ(Num("ty"), -2.25);
    EXPECT_DOUBLE_EQ(Num("rx"), 0.25);
    EXPECT_DOUBLE_EQ(Num("ry"), -0.5); // the delta's y negated
    EXPECT_EQ(Num("w"), 640);
    EXPECT_EQ(Num("h"), 480);
    EXPECT_EQ(Num("n"), 2);
}

TEST_F(WorldApiTest, MouseFreedomAndVisibility) {
    ASSERT_EQ(Start(), 0);
    host->mouseLocked = true;
    host->cursorVisible = false;

    Lua("SetMouseFree(1)");
    EXPECT_FALSE(host->mouseLocked);
    Lua("SetMouseFree(0)");
    EXPECT_TRUE(host->mouseLocked);
    Lua("SetMouseFree(1) SetMouseFree(2)"); // 2 gives a negative lock: no change
    EXPECT_FALSE(host->mouseLocked);
    Lua("SetMouseFree(-3)"); // negative values lock
    EXPECT_TRUE(host->mouseLocked);
    Lua("SetMouseFree(1) SetMouseFree(-1e300)"); // the most negative int locks too
    EXPECT_TRUE(host->mouseLocked);
    EXPECT_FALSE(host->cursorVisible); // visibility left alone

    Lua("SetMouseVis(1)");
    EXPECT_TRUE(host->cursorVisible);
    Lua("SetMouseVis(-1)");
    EXPECT_TRUE(host->cursorVisible);
    Lua("SetMouseVis(0.9)"); // truncated: hides
    EXPECT_FALSE(host->cursorVisible);
    EXPECT_TRUE(host->mouseLocked); // the lock left alone

    Lua("SetMouseFree(1)");
    EXPECT_EQ(Lua("SetMouseFree()"), TooFew("free"));
    EXPECT_TRUE(host->mouseLocked); // a missing argument reads 0, which locks
    EXPECT_EQ(Lua("SetMouseVis()"), TooFew("vis"));
}

TEST_F(WorldApiTest, VSyncWarnsWithTheEmptyTag) {
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(Lua("SetVSync(1) SetVSync(0.5)"), "");
    EXPECT_EQ(Lua("SetVSync()"), TooFew(""));
}

// ---- Keys and typing mode -------------------------------------------------------------------------

const char* kKeyScript = "keys = {}\n"
                         "function Init() end\n"
                         "function Draw() end\n"
                         "function KeyHappen(k, s, t) keys[#keys + 1] = k .. ':' .. s end\n";

TEST_F(WorldApiTest, BindKeyReplacesOrAddsInputCodes) {
    ASSERT_EQ(Start(kKeyScript), 0);
    const int* binding = host->input.keyState.binding;
    Lua("BindKey(5, 10)");
    EXPECT_EQ(binding[10], 5);
    Lua("BindKey(5, 11, 1)");
    EXPECT_EQ(binding[10], 5);
    EXPECT_EQ(binding[11], 5);
    Lua("BindKey(5, 12)"); // not additive: the others go
    EXPECT_EQ(binding[10], -1);
    EXPECT_EQ(binding[11], -1);
    EXPECT_EQ(binding[12], 5);
    Lua("BindKey(5, 13, 0)");
    EXPECT_EQ(binding[12], -1);
    EXPECT_EQ(binding[13], 5);
    Lua("BindKey(6, 14, 1) BindKey(6, 15, 2)");
    EXPECT_EQ(binding[14], 6);
    EXPECT_EQ(binding[15], 6);

    // A bound input code reaches the script as its game key.
    host->HandleEvent(KeyEvent(13, true));
    host->HandleEvent(KeyEvent(13, false));
    host->HandleEvent(KeyEvent(20, true)); // unbound: nothing reaches the script
    Lua("all = table.concat(keys, ',')");
    EXPECT_EQ(Str("all"), "5:1,5:0");

    EXPECT_EQ(Lua("BindKey(7)"), TooFew("bindkey"));
    EXPECT_EQ(binding[0], 7);              // the input code read as 0
    Lua("BindKey(8, 500) BindKey(8, -4)"); // no such input code: only the unbinding
    EXPECT_EQ(binding[0], 7);
}

TEST_F(WorldApiTest, TypingModeKeepsKeyPressesFromTheScript) {
    ASSERT_EQ(Start(kKeyScript), 0);
    Lua("BindKey(5, 10)");
    host->HandleEvent(KeyEvent(10, true));
    Lua("TypingMode(1)");
    EXPECT_EQ(host->typingMode, 1);
    host->HandleEvent(KeyEvent(11, true));  // dropped
    host->HandleEvent(KeyEvent(10, false)); // a release still arrives, with the input code as game key
    Lua("TypingMode(0)");
    EXPECT_EQ(host->typingMode, 0);
    host->HandleEvent(KeyEvent(10, true));
    Lua("all = table.concat(keys, ',')");
    EXPECT_EQ(Str("all"), "5:1,10:0,5:1");
    EXPECT_EQ(Lua("TypingMode()"), TooFew("settypingmode"));
    EXPECT_EQ(host->typingMode, 0);
    Lua("TypingMode('2')");
    EXPECT_EQ(host->typingMode, 2);
    // Read as an integer: 0.5 is 0 (off), 2.9 is 2.
    Lua("TypingMode(0.5)");
    EXPECT_EQ(host->typingMode, 0);
    Lua("TypingMode(2.9)");
    EXPECT_EQ(host->typingMode, 2);
}

TEST_F(WorldApiTest, ScreenshotKeyWritesTheFileBeforeKeyHappenSeesThePress) {
    TempWorkDir::Mkdir("shots");
    ASSERT_EQ(
        Start(
            "local function exists(p) local f = io.open(p) if f then f:close() return true end "
            "return false end\n"
            "seen = {}\n"
            "function Init() SetScreenshotDir('shots') BindKey(35, 25) end\n"
            "function KeyHappen(k, s, t)\n"
            "  seen[#seen + 1] = k .. ':' .. s .. ':' .. tostring(exists('shots/capture000.bmp')) .. ':' ..\n"
            "    tostring(exists('shots/capture001.bmp'))\n"
            "end\n"),
        0);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    host->HandleEvent(KeyEvent(25, true));
    host->HandleEvent(KeyEvent(25, false)); // a release takes no screenshot
    host->GameKeyHappen(35, 2);             // nor does a repeat
    Lua("TypingMode(1)");
    host->GameKeyHappen(35, 1); // nor a press in typing mode
    Lua("all = table.concat(seen, ',')");
    EXPECT_EQ(Str("all"), "35:1:true:false,35:0:true:false,35:2:true:false,35:1:true:false");

    std::string bmp = TempWorkDir::ReadAll("shots/capture000.bmp");
    ASSERT_EQ(bmp.size(), 54u + 256u * 256u * 3u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    // The first pixel (bottom left, BGR) is the red that was on the screen.
    EXPECT_EQ((unsigned char)bmp[54], 0);
    EXPECT_EQ((unsigned char)bmp[56], 255);
}

// ---- Folders and noise ----------------------------------------------------------------------------

TEST_F(WorldApiTest, FoldersAreHandedOut) {
    ASSERT_EQ(Start(), 0);
    Lua("s = GetScriptsPath() m = GetMediaPath()");
    EXPECT_EQ(Str("s"), "scripts/");
    EXPECT_EQ(Str("m"), "media/");
}

TEST_F(WorldApiTest, NoiseWithOneArgumentSamplesTheXAxis) {
    ASSERT_EQ(Start(), 0);
    Lua("a = GetNoise(0.37) b = GetNoise(0.37, 0, 0) c = GetNoise(0.37, 1.9) d = GetNoise(0.37, 1.9, 0)"
        " e = GetNoise(1.25, 2.5, 3.75)");
    EXPECT_EQ(Num("a"), Num("b"));
    EXPECT_EQ(Num("c"), Num("d")); // a missing z reads 0
    EXPECT_NE(Num("a"), 0);
    EXPECT_NE(Num("a"), Num("c"));
    SimplexNoise reference(0.0f);
    EXPECT_EQ(Num("a"), (double)reference.Noise(0.37f, 0, 0));
    EXPECT_EQ(Num("e"), (double)reference.Noise(1.25f, 2.5f, 3.75f));
    EXPECT_EQ(Lua("z = GetNoise()"), TooFew("noise"));
    EXPECT_EQ(Num("z"), (double)reference.Noise(0, 0, 0));
}

TEST_F(WorldApiTest, NoiseSeedIsKeptByTheHost) {
    ASSERT_EQ(Start(), 0);
    Lua("before = GetNoise(1.25, 2.5, 3.75) SetNoiseSeed(7.5) after = GetNoise(1.25, 2.5, 3.75)"
        " again = GetNoise(1.25, 2.5, 3.75)");
    SimplexNoise seeded(7.5f);
    EXPECT_EQ(Num("after"), (double)seeded.Noise(1.25f, 2.5f, 3.75f));
    EXPECT_EQ(Num("after"), Num("again"));
    EXPECT_NE(Num("before"), Num("after"));
    EXPECT_EQ(Lua("SetNoiseSeed()"), TooFew("noisesetseed"));
    Lua("zero = GetNoise(1.25, 2.5, 3.75)");
    EXPECT_EQ(Num("zero"), Num("before")); // a missing seed reads 0, the start seed
}

// ---- What each program registers ------------------------------------------------------------------

// Every global apart from the space mapper's eight, in registration order.
const std::vector<std::string> kApiGlobals = [] {
    const std::set<std::string> spaceMapper = {"SetSpaceMapper",    "SpaceMapperReset", "AddSpaceObject",
                                               "SpaceEvent",        "MapPoint",         "MapLine",
                                               "DebugDrawSegments", "Set2DSpaceBounds"};
    std::vector<std::string> names;
    for (const std::string& name : kAllApiGlobals)
        if (!spaceMapper.count(name)) names.push_back(name);
    return names;
}();

TEST(ApiRegistration, TheTableHoldsEveryRowInItsPlace) {
    const int n = (int)kApiGlobals.size();
    ASSERT_EQ(n, 75);
    // The table holds these in this order, with at most the space mapper's rows between.
    int row = 0;
    for (int i = 0; i < n; i++) {
        while (row < kLuaApiCount && kLuaApi[row].name != kApiGlobals[i])
            row++;
        ASSERT_LT(row, kLuaApiCount) << kApiGlobals[i] << " missing or out of order";
        EXPECT_EQ(kLuaApi[row].inVelkRun, kApiGlobalsNotInVelkRun.count(kApiGlobals[i]) == 0)
            << kApiGlobals[i];
    }
    // With the space mapper's eight rows: 83 globals, 76 of them in velkRun.
    int inRun = 0;
    for (int i = 0; i < kLuaApiCount; i++)
        if (kLuaApi[i].inVelkRun) inRun++;
    EXPECT_EQ(kLuaApiCount, 83);
    EXPECT_EQ(inRun, 76);
}

TEST(ApiRegistration, VelkRunLacksSevenGlobalsAndCallingOneIsAScriptError) {
    for (bool velkRun : {false, true}) {
        lua_State* L = luaL_newstate();
        luaL_openlibs(L);
        RegisterLuaApi(L, velkRun);
        for (const std::string& name : kApiGlobals) {
            lua_getglobal(L, name.c_str());
            bool present = lua_iscfunction(L, -1);
            lua_pop(L, 1);
            EXPECT_EQ(present, !velkRun || kApiGlobalsNotInVelkRun.count(name) == 0) << name;
        }
        if (velkRun) {
            for (const std::string& name : kApiGlobalsNotInVelkRun) {
                std::string error = RunLua(L, name + "()");
                EXPECT_NE(error.find("attempt to call"), std::string::npos) << error;
                EXPECT_NE(error.find("a nil value"), std::string::npos) << error;
            }
        }
        lua_close(L);
    }
}

} // namespace
