// The real window of the application base: the standard GL state after set-up, lights,
// mouse state, the maximum-size option, Close in both programs, and the frame step's GL
// error report on a live context.
#include "corethingy_testing.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <gtest/gtest.h>
#include <climits>
#include <string>

namespace {

class StandardWindow : public ::testing::Test {
  protected:
    RecordingCore core;
    void SetUp() override {
        core.SetupStandardWindow();
        ASSERT_TRUE(core.window.isOpen());
        ASSERT_TRUE(core.window.setActive(true));
    }
};

void ExpectLight4(GLenum light, GLenum what, float a, float b, float c, float d) {
    float v[4];
    glGetLightfv(light, what, v);
    EXPECT_FLOAT_EQ(v[0], a);
    EXPECT_FLOAT_EQ(v[1], b);
    EXPECT_FLOAT_EQ(v[2], c);
    EXPECT_FLOAT_EQ(v[3], d);
}

float Light1(GLenum light, GLenum what) {
    float v;
    glGetLightfv(light, what, &v);
    return v;
}

TEST_F(StandardWindow, BaselineGLState) {
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_POLYGON_SMOOTH));
    EXPECT_TRUE(glIsEnabled(GL_LINE_SMOOTH));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    for (int i = 0; i < 4; i++)
        EXPECT_FALSE(glIsEnabled(GL_LIGHT0 + i)) << i;

    GLint v;
    glGetIntegerv(GL_DEPTH_FUNC, &v);
    EXPECT_EQ(v, GL_LEQUAL);
    glGetIntegerv(GL_SHADE_MODEL, &v);
    EXPECT_EQ(v, GL_SMOOTH);
    glGetIntegerv(GL_BLEND_SRC, &v);
    EXPECT_EQ(v, GL_SRC_ALPHA);
    glGetIntegerv(GL_BLEND_DST, &v);
    EXPECT_EQ(v, GL_ONE_MINUS_SRC_ALPHA);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &v);
    EXPECT_EQ(v, GL_NICEST);
    glGetIntegerv(GL_POLYGON_SMOOTH_HINT, &v);
    EXPECT_EQ(v, GL_NICEST);
    glGetIntegerv(GL_LINE_SMOOTH_HINT, &v);
    EXPECT_EQ(v, GL_NICEST);
    glGetIntegerv(GL_MATRIX_MODE, &v);
    EXPECT_EQ(v, GL_MODELVIEW);

    float c[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, c);
    EXPECT_EQ(c[0], 0.0f);
    EXPECT_EQ(c[1], 0.0f);
    EXPECT_EQ(c[2], 0.0f);
    EXPECT_EQ(c[3], 1.0f);
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, c);
    EXPECT_EQ(c[0], 1.0f);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(StandardWindow, FourLightsAreInitialised) {
    for (int i = 0; i < 4; i++) {
        GLenum l = GL_LIGHT0 + i;
        ExpectLight4(l, GL_AMBIENT, 0, 0, 0, 1);
        ExpectLight4(l, GL_DIFFUSE, 1, 1, 1, 1);
        ExpectLight4(l, GL_SPECULAR, 0, 0, 0, 1);
        EXPECT_EQ(Light1(l, GL_CONSTANT_ATTENUATION), 1.0f);
        EXPECT_EQ(Light1(l, GL_LINEAR_ATTENUATION), 0.0f);
        EXPECT_EQ(Light1(l, GL_QUADRATIC_ATTENUATION), 0.0f);
    }
    // GL's own defaults remain beyond the fourth: light 4 keeps a black diffuse colour.
    ExpectLight4(GL_LIGHT4, GL_DIFFUSE, 0, 0, 0, 1);
}

TEST_F(StandardWindow, TextureMatrixIsFlippedVertically) {
    float m[16];
    glGetFloatv(GL_TEXTURE_MATRIX, m);
    for (int i = 0; i < 16; i++) {
        float want = (i == 0 || i == 10 || i == 15) ? 1.0f : (i == 5 ? -1.0f : 0.0f);
        EXPECT_EQ(m[i], want) << i;
    }
    // Camera set-ups leave it alone.
    core.InitCamera(2, 1);
    glGetFloatv(GL_TEXTURE_MATRIX, m);
    EXPECT_EQ(m[5], -1.0f);
}

TEST_F(StandardWindow, MouseIsLockedAndHidden) {
    EXPECT_TRUE(core.mouseLocked);
    EXPECT_FALSE(core.cursorVisible);
    core.SetMouseState(1, -1);
    EXPECT_TRUE(core.cursorVisible);
    EXPECT_TRUE(core.mouseLocked);
    core.SetMouseState(-1, 0); // frees the mouse, leaves the cursor
    EXPECT_TRUE(core.cursorVisible);
    EXPECT_FALSE(core.mouseLocked);
    core.SetMouseState(0, 1);
    EXPECT_FALSE(core.cursorVisible);
    EXPECT_TRUE(core.mouseLocked);
}

TEST_F(StandardWindow, ContextAsRequested) {
    // Neither a depth nor a stencil buffer is asked for, and the software driver offers
    // configurations without them.
    sf::ContextSettings s = core.window.getSettings();
    EXPECT_GE(s.majorVersion, 2u);
    EXPECT_EQ(s.antialiasingLevel, 0u);
    EXPECT_EQ(s.depthBits, 0u);
    EXPECT_EQ(s.stencilBits, 0u);
}

TEST_F(StandardWindow, LightOperations) {
    core.SetLighting(true);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    core.SetLighting(false);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));

    // A positional light, placed through the modelview matrix of the moment.
    glTranslatef(10, 0, 0);
    core.SetLight(1, 1, 2, 3);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
    ExpectLight4(GL_LIGHT1, GL_POSITION, 11, 2, 3, 1);
    glLoadIdentity();

    // Only lights 0 and 1 can be placed.
    core.SetLight(2, 5, 5, 5);
    EXPECT_FALSE(glIsEnabled(GL_LIGHT2));
    ExpectLight4(GL_LIGHT2, GL_POSITION, 0, 0, 1, 0);

    // Colour and attenuation take any index.
    core.SetLightColor(2, 0.25f, 0.5f, 0.75f);
    ExpectLight4(GL_LIGHT2, GL_DIFFUSE, 0.25f, 0.5f, 0.75f, 1);
    core.SetLightAtten(3, 2, 0.5f, 0.125f);
    EXPECT_EQ(Light1(GL_LIGHT3, GL_CONSTANT_ATTENUATION), 2.0f);
    EXPECT_EQ(Light1(GL_LIGHT3, GL_LINEAR_ATTENUATION), 0.5f);
    EXPECT_EQ(Light1(GL_LIGHT3, GL_QUADRATIC_ATTENUATION), 0.125f);

    core.SetAmbientColorRGB(0.1f, 0.2f, 0.3f);
    float a[4];
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, a);
    EXPECT_FLOAT_EQ(a[0], 0.1f);
    EXPECT_FLOAT_EQ(a[1], 0.2f);
    EXPECT_FLOAT_EQ(a[2], 0.3f);
    EXPECT_FLOAT_EQ(a[3], 1.0f);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(StandardWindow, LightNumbersBeyondTheGLsLightsReachTheGL) {
    GLint count = 0;
    glGetIntegerv(GL_MAX_LIGHTS, &count);
    for (int i : {-1, INT_MIN, (int)count, INT_MAX}) {
        core.SetLightColor(i, 0.5f, 0.5f, 0.5f);
        EXPECT_EQ(glGetError(), (GLenum)GL_INVALID_ENUM) << i;
        core.SetLightAtten(i, 2, 2, 2);
        EXPECT_EQ(glGetError(), (GLenum)GL_INVALID_ENUM) << i;
    }
    for (int i = 0; i < count; i++)
        EXPECT_EQ(Light1(GL_LIGHT0 + i, GL_CONSTANT_ATTENUATION), 1.0f) << i;
    // The last light still takes both.
    core.SetLightAtten(count - 1, 2, 0, 0);
    EXPECT_EQ(Light1(GL_LIGHT0 + count - 1, GL_CONSTANT_ATTENUATION), 2.0f);
}

TEST_F(StandardWindow, PushAndPopProjection) {
    core.InitCamera(2, 0);
    PushProjection();
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    core.InitCamera(0, 0);
    PopProjection();
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    float p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    EXPECT_FLOAT_EQ(p[0], 1.0f); // the ortho view is back
    EXPECT_FLOAT_EQ(p[11], 0.0f);
}

TEST_F(StandardWindow, FrameStepReportsOneGLErrorPerStep) {
    core.frameLimit = true;
    glEnable(0x1234); // GL_INVALID_ENUM
    testing::internal::CaptureStdout();
    EXPECT_EQ(core.TimeStep(), 0);
    std::string first = testing::internal::GetCapturedStdout();
    EXPECT_EQ(first.rfind("OpenGL Error! ERR: GL_INVALID_ENUM\n", 0), 0u) << first;
    testing::internal::CaptureStdout();
    core.TimeStep();
    std::string second = testing::internal::GetCapturedStdout();
    EXPECT_EQ(second.find("OpenGL"), std::string::npos) << second;
    EXPECT_EQ(core.frameCount, 2);
}

TEST_F(StandardWindow, RealFrameStepsKeepTheLimiterPace) {
    // Let the schedule catch up with the clock (it starts from construction), then time
    // thirty steps: the limiter holds them to about 1/60 s each.
    while (core.nextFrameTime < core.ReadClock())
        core.TimeStep();
    float start = core.ReadClock();
    for (int i = 0; i < 30; i++)
        core.TimeStep();
    float elapsed = core.ReadClock() - start;
    EXPECT_GE(elapsed, 29.0f / 60);
    EXPECT_LT(elapsed, 45.0f / 60);
    EXPECT_GT(core.gameTime, 0.4f);
    EXPECT_FLOAT_EQ(core.gameTimeStep, 1.0f / 60);
}

TEST_F(StandardWindow, VSyncOnlyInFullscreen) {
    // Setting vertical sync activates the window's context first; the software driver has
    // no swap control to read back, so whether SetVSync reached the window shows in which
    // drawable is current afterwards.
    GLXDrawable windowDrawable = glXGetCurrentDrawable();
    ASSERT_EQ(windowDrawable, (GLXDrawable)core.window.getSystemHandle());
    sf::Context other;
    ASSERT_TRUE(other.setActive(true));
    ASSERT_NE(glXGetCurrentDrawable(), windowDrawable);
    core.SetVSync(true);
    core.SetVSync(false);
    EXPECT_NE(glXGetCurrentDrawable(), windowDrawable) << "a windowed SetVSync reached the window";
    core.fullscreen = true; // only the flag: the window stays as it is
    core.SetVSync(true);
    EXPECT_EQ(glXGetCurrentDrawable(), windowDrawable);
}

TEST(WindowClose, EngineClosesTheWindow) {
    RecordingCore core;
    core.SetupStandardWindow();
    ASSERT_TRUE(core.window.isOpen());
    core.Close();
    EXPECT_FALSE(core.window.isOpen());
}

TEST(WindowClose, VelkRunHasNoClose) {
    ProgramKindGuard guard;
    SetCurrentProgram(ProgramKind::Run);
    RecordingCore core;
    core.SetupStandardWindow();
    core.Close();
    EXPECT_TRUE(core.window.isOpen());
}

TEST(WindowClose, SecondApplicationObjectOpensItsOwnWindow) {
    // As velkEngine does: the launcher closes its window, then the host opens another.
    RecordingCore launcher;
    launcher.SetupStandardWindow();
    launcher.Close();
    RecordingCore host;
    host.width = 640;
    host.height = 480;
    host.SetupStandardWindow();
    ASSERT_TRUE(host.window.isOpen());
    ASSERT_TRUE(host.window.setActive(true));
    EXPECT_EQ(host.window.getSize(), sf::Vector2u(640, 480));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    float m[16];
    glGetFloatv(GL_TEXTURE_MATRIX, m);
    EXPECT_EQ(m[5], -1.0f);
}

TEST(WindowSize, ZeroOrNegativeSizeOpensAOnePixelWindow) {
    // "r 0 0" on the command line: the X server would refuse the window and end the run.
    Args args({"r", "0", "0"});
    RecordingCore core;
    core.DeclareArgs(args.argc(), args.ptrs.data());
    core.ParseArgs();
    EXPECT_EQ(core.width, 0);
    core.SetupStandardWindow();
    ASSERT_TRUE(core.window.isOpen());
    EXPECT_EQ(core.width, 1);
    EXPECT_EQ(core.height, 1);
    EXPECT_EQ(core.window.getSize(), sf::Vector2u(1, 1));
    EXPECT_EQ(core.aspect, 1.0f);

    RecordingCore other;
    other.width = -5;
    other.height = 300;
    other.SetupStandardWindow();
    ASSERT_TRUE(other.window.isOpen());
    EXPECT_EQ(other.width, 1);
    EXPECT_EQ(other.height, 300);
}

TEST(WindowMaxRes, TakesTheBestFullscreenModeInAWindow) {
    RecordingCore core;
    core.maxRes = true;
    std::vector<sf::VideoMode> modes = sf::VideoMode::getFullscreenModes();
    testing::internal::CaptureStdout();
    core.SetupStandardWindow();
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(core.window.isOpen());
    if (modes.empty()) {
        EXPECT_EQ(out, "");
        EXPECT_EQ(core.width, 1024);
        EXPECT_EQ(core.height, 768);
    } else {
        EXPECT_EQ(out, "Using max res: " + std::to_string(modes[0].width) + " x " +
                           std::to_string(modes[0].height) + ": " + std::to_string(modes[0].bitsPerPixel) +
                           "\n");
        EXPECT_EQ(core.width, (int)modes[0].width);
        EXPECT_EQ(core.height, (int)modes[0].height);
        EXPECT_EQ(core.window.getSize(), sf::Vector2u(modes[0].width, modes[0].height));
    }
    EXPECT_FALSE(core.fullscreen);
    EXPECT_FLOAT_EQ(core.aspect, (float)core.width / core.height);
}

} // namespace
