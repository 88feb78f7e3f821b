// Camera modes and ortho fits read back from the projection matrix of a real window
// (1024x768, 600x800 and square), plus the perspective aspect, the 2D camera scale and
// velkRun's fixed 2D half-extent.
#include "corethingy_testing.h"

#include <GL/gl.h>
#include <cmath>
#include <gtest/gtest.h>

namespace {

struct Matrix16 {
    float m[16];
};

Matrix16 Projection() {
    Matrix16 p;
    glGetFloatv(GL_PROJECTION_MATRIX, p.m);
    return p;
}

// The matrix gluPerspective builds.
Matrix16 Perspective(double fovy, double aspect, double n, double f) {
    double c = 1.0 / std::tan(fovy * M_PI / 360.0);
    Matrix16 p = {{0}};
    p.m[0] = (float)(c / aspect);
    p.m[5] = (float)c;
    p.m[10] = (float)((f + n) / (n - f));
    p.m[11] = -1;
    p.m[14] = (float)(2 * f * n / (n - f));
    return p;
}

// The matrix glOrtho builds for a view symmetric about the origin, depth -100..100.
Matrix16 Ortho(double halfX, double halfY) {
    Matrix16 p = {{0}};
    p.m[0] = (float)(1 / halfX);
    p.m[5] = (float)(1 / halfY);
    p.m[10] = -0.01f;
    p.m[15] = 1;
    return p;
}

Matrix16 Identity() {
    Matrix16 p = {{0}};
    p.m[0] = p.m[5] = p.m[10] = p.m[15] = 1;
    return p;
}

void ExpectMatrix(const Matrix16& got, const Matrix16& want, const char* what) {
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(got.m[i], want.m[i], 1e-5f * (1 + std::fabs(want.m[i]))) << what << " element " << i;
}

class CameraWindow : public ::testing::Test {
  protected:
    RecordingCore core;

    void Open(int w, int h) {
        core.width = w;
        core.height = h;
        core.SetupStandardWindow();
        ASSERT_TRUE(core.window.isOpen());
        ASSERT_TRUE(core.window.setActive(true));
    }
    void ExpectCamera(int mode, int fit, const Matrix16& want, float scaleX, float scaleY) {
        core.InitCamera(mode, fit);
        std::string what = "mode " + std::to_string(mode) + " fit " + std::to_string(fit);
        ExpectMatrix(Projection(), want, what.c_str());
        EXPECT_FLOAT_EQ(core.orthoScaleX, scaleX) << what;
        EXPECT_FLOAT_EQ(core.orthoScaleY, scaleY) << what;
    }
};

TEST_F(CameraWindow, LandscapeWindow) {
    Open(1024, 768);
    EXPECT_EQ(core.window.getSize(), sf::Vector2u(1024, 768));
    EXPECT_FLOAT_EQ(core.aspect, 1.3333334f);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], 1024);
    EXPECT_EQ(viewport[3], 768);
    // The set-up leaves camera mode 0.
    ExpectMatrix(Projection(), Perspective(90, 1024.0 / 768, 0.1, 1000), "after set-up");

    ExpectCamera(0, 0, Perspective(90, 1024.0 / 768, 0.1, 1000), 1, 1);
    ExpectCamera(1, 0, Perspective(60, 1, 0.1, 1000), 1, 1);
    ExpectCamera(2, 0, Ortho(1, 1), 1, 1);
    ExpectCamera(2, 1, Ortho(1, 0.75), 1, 0.75f);
    ExpectCamera(2, 2, Ortho(1.3333334, 1), 1.3333334f, 1);
    ExpectCamera(2, 3, Identity(), 1, 1);
    ExpectCamera(2, -1, Identity(), 1, 1);
    ExpectCamera(3, 0, Identity(), 1, 1);
    ExpectCamera(-1, 0, Identity(), 1, 1);
}

TEST_F(CameraWindow, PortraitWindow) {
    Open(600, 800);
    EXPECT_EQ(core.window.getSize(), sf::Vector2u(600, 800));
    EXPECT_FLOAT_EQ(core.aspect, 0.75f);
    ExpectCamera(0, 0, Perspective(90, 0.75, 0.1, 1000), 1, 1);
    ExpectCamera(1, 0, Perspective(60, 1, 0.1, 1000), 1, 1);
    ExpectCamera(2, 0, Ortho(1, 1), 1, 1);
    ExpectCamera(2, 1, Ortho(0.75, 1), 0.75f, 1);
    ExpectCamera(2, 2, Ortho(0.75, 1), 0.75f, 1);
    ExpectCamera(2, 5, Identity(), 1, 1);
    ExpectCamera(7, 2, Identity(), 1, 1);
}

TEST_F(CameraWindow, SquareWindowKeepsBothOrthoScales) {
    Open(500, 500);
    ExpectCamera(2, 1, Ortho(1, 1), 1, 1);
    ExpectCamera(2, 2, Ortho(1, 1), 1, 1);
}

TEST_F(CameraWindow, EverySetUpResetsTheOrthoScaleAndTheModelview) {
    Open(1024, 768);
    core.InitCamera(2, 2);
    glTranslatef(1, 2, 3);
    core.InitCamera(0, 0);
    EXPECT_EQ(core.orthoScaleX, 1.0f);
    EXPECT_EQ(core.orthoScaleY, 1.0f);
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    Matrix16 mv;
    glGetFloatv(GL_MODELVIEW_MATRIX, mv.m);
    ExpectMatrix(mv, Identity(), "modelview");
}

TEST_F(CameraWindow, TwoDScaleWidensTheOrthoView) {
    Open(1024, 768);
    core.Set2DCamScale(2);
    ExpectCamera(2, 0, Ortho(2, 2), 1, 1);
    ExpectCamera(2, 1, Ortho(2, 1.5), 1, 0.75f); // the ortho scale leaves the 2D scale out
    ExpectCamera(2, 2, Ortho(2.6666667, 2), 1.3333334f, 1);
}

TEST_F(CameraWindow, FieldOfViewIsReadAtEachSetUp) {
    Open(1024, 768);
    core.fov = 60;
    ExpectCamera(0, 0, Perspective(60, 1024.0 / 768, 0.1, 1000), 1, 1);
}

TEST_F(CameraWindow, OrthoFitFollowsTheResizedWindowButThePerspectiveDoesNot) {
    Open(1024, 768);
    FakePlatform clock;
    core.platform = &clock;
    StepAt(core, clock, 0.1f, {ResizeEvent(800, 800)});
    EXPECT_EQ(core.width, 800);
    // Nothing but the size changed: the viewport and aspect stay as set up.
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1024);
    EXPECT_FLOAT_EQ(core.aspect, 1.3333334f);
    ExpectCamera(2, 1, Ortho(1, 1), 1, 1);
    ExpectCamera(0, 0, Perspective(90, 1024.0 / 768, 0.1, 1000), 1, 1);
}

TEST(CameraVelkRun, TwoDHalfExtentIsAlwaysOne) {
    ProgramKindGuard guard;
    SetCurrentProgram(ProgramKind::Run);
    RecordingCore core;
    core.SetupStandardWindow();
    ASSERT_TRUE(core.window.setActive(true));
    core.Set2DCamScale(3);
    core.cam2DScale = 3; // even a scale written directly is not used
    core.InitCamera(2, 1);
    ExpectMatrix(Projection(), Ortho(1, 0.75), "velkRun 2D");
    EXPECT_FLOAT_EQ(core.orthoScaleY, 0.75f);
}

TEST(CameraNoWindowSize, ZeroHeightBecomesOneWhenTheViewportIsSet) {
    RecordingCore core;
    core.width = 300;
    core.height = 200;
    core.SetupStandardWindow();
    ASSERT_TRUE(core.window.setActive(true));
    core.height = 0;
    core.ResizeWindow();
    EXPECT_EQ(core.height, 1);
    EXPECT_FLOAT_EQ(core.aspect, 300.0f);
}

TEST_F(CameraWindow, WindowResizedToZeroHeightGivesAFiniteOrthoView) {
    Open(400, 300);
    core.height = 0; // as a resize event of a minimised window leaves it
    ExpectCamera(2, 2, Ortho(400, 1), 400, 1);
    for (float v : Projection().m)
        EXPECT_TRUE(std::isfinite(v));
}

} // namespace
