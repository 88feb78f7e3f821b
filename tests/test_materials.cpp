// Tests of Texture (loading, render-to-texture, full-window copies, uploads of caller
// pixels, the pixel pass) and the texture manager, read back from the window.
#include "corethingy.h"
#include "errfilter.h"
#include "glextensions_testing.h"
#include "glfixture.h"
#include "glplatform.h"
#include "materials.h"
#include "programKind.h"
#include "scratch.h"
#include "shadering.h"
#include <SFML/Graphics/Image.hpp>
#include <SFML/System/Err.hpp>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace {

// Writes a PNG of w x h pixels; the left half in `left`, the right half in `right`.
void WritePng(const std::string& path, unsigned w, unsigned h, sf::Color left, sf::Color right) {
    sf::Image img;
    img.create(w, h, left);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = w / 2; x < w; ++x)
            img.setPixel(x, y, right);
    ASSERT_TRUE(img.saveToFile(path));
}

GLuint BoundTexture() {
    GLint id = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &id);
    return (GLuint)id;
}

void Viewport(GLint vp[4]) {
    glGetIntegerv(GL_VIEWPORT, vp);
}

void Quad(float x0, float y0, float x1, float y1) {
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(x0, y0);
    glTexCoord2f(1, 0);
    glVertex2f(x1, y0);
    glTexCoord2f(1, 1);
    glVertex2f(x1, y1);
    glTexCoord2f(0, 1);
    glVertex2f(x0, y1);
    glEnd();
}

#define EXPECT_RGB(p, R, G, B, tol)                                                                          \
    do {                                                                                                     \
        RGBA q_ = (p);                                                                                       \
        EXPECT_NEAR(q_.r, R, tol);                                                                           \
        EXPECT_NEAR(q_.g, G, tol);                                                                           \
        EXPECT_NEAR(q_.b, B, tol);                                                                           \
    } while (0)

class TextureGL : public GLTest {
  protected:
    ScratchDir scratch{"velk-tex"};
    std::string dir = scratch.Path();
    void SetUp() override {
        GLTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(LoadExtensionsQuietly());
        ASSERT_TRUE(vgl::FramebufferEntryPointsReady());
    }
    void TearDown() override {
        glBindFramebufferEXT_PTR(GL_FRAMEBUFFER_EXT, 0);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
};

} // namespace

TEST_F(TextureGL, NewTextureIsEmpty) {
    Texture t;
    EXPECT_EQ(t.textureId, 0u);
    EXPECT_EQ(t.width, 0);
    EXPECT_EQ(t.height, 0);
    EXPECT_EQ(t.fbo, 0u);
    EXPECT_EQ(t.depthRenderbuffer, 0u);
    EXPECT_EQ(t.pixels, nullptr);
    EXPECT_STREQ(t.path, "");
}

TEST_F(TextureGL, LoadOfAMissingFileFailsSilently) {
    Texture t;
    glBindTexture(GL_TEXTURE_2D, 0);
    CaptureStdout();
    CaptureStderr();
    EXPECT_FALSE(t.Load((dir + "/none.png").c_str(), false));
    fflush(stdout);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(t.textureId, 0u);
    EXPECT_EQ(t.width, 0);
    EXPECT_EQ(BoundTexture(), 0u);
    // The path is stored all the same.
    EXPECT_EQ(std::string(t.path), dir + "/none.png");
    // A file that is not a picture fails as well and keeps an earlier size.
    FILE* f = fopen((dir + "/junk.png").c_str(), "wb");
    fputs("not a picture", f);
    fclose(f);
    t.width = 7;
    EXPECT_FALSE(t.Load((dir + "/junk.png").c_str(), true));
    EXPECT_EQ(t.width, 7);
}

// The sound library's threads write to the libraries' one error stream at any time: a
// failed picture hushes only its own thread, and the stream's buffer is never swapped, so
// another thread's lines all arrive whole while pictures fail.
TEST_F(TextureGL, FailedLoadHushesOnlyItsOwnThreadOnTheSharedErrorStream) {
    FILE* f = fopen((dir + "/junk.png").c_str(), "wb");
    fputs("not a picture", f);
    fclose(f);
    InstallErrFilter();
    std::streambuf* installed = sf::err().rdbuf();
    std::atomic<bool> started{false}, done{false};
    int lines = 0;
    CaptureStderr();
    // It writes from before the first failed load until after the last.
    std::thread writer([&] {
        while (!done) {
            sf::err() << "writer " << lines++ << std::endl;
            started = true;
        }
    });
    while (!started)
        std::this_thread::yield();
    Texture t;
    for (int i = 0; i < 100; i++)
        EXPECT_FALSE(t.Load((dir + "/junk.png").c_str(), false));
    done = true;
    writer.join();
    std::string expected;
    for (int i = 0; i < lines; i++)
        expected += "writer " + std::to_string(i) + "\n";
    {
        QuietLibraryErrors quiet;
        sf::err() << "hushed" << std::endl;
        std::thread([] { sf::err() << "heard" << std::endl; }).join();
    }
    expected += "heard\n";
    // A line longer than the per-thread array (a long path in the library's complaint) is
    // held whole too: another thread's line written in its middle comes out before it.
    const std::string head(3000, 'a'), tail(3000, 'b');
    sf::err() << head;
    std::thread([] { sf::err() << "between" << std::endl; }).join();
    sf::err() << tail << std::endl;
    expected += "between\n" + head + tail + "\n";
    std::string err = GetCapturedStderr();
    size_t at = std::mismatch(err.begin(), err.end(), expected.begin(), expected.end()).first - err.begin();
    EXPECT_TRUE(err == expected) << "first difference at byte " << at << ": \"" << err.substr(at, 60) << "\"";
    EXPECT_EQ(sf::err().rdbuf(), installed);
    EXPECT_TRUE(sf::err().good());
}

// A pipe named as a picture would hold the engine waiting for a writer (the alarm ends
// such a hang): it fails like any unreadable file. A link to a picture loads.
TEST_F(TextureGL, LoadOfAPipeFailsAtOnceAndALinkToAPictureLoads) {
    std::string pipe = scratch.File("pipe.png");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    Texture t;
    t.width = 7;
    CaptureStdout();
    alarm(20);
    EXPECT_FALSE(t.Load(pipe.c_str(), false));
    alarm(0);
    fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(t.textureId, 0u);
    EXPECT_EQ(t.width, 7);

    WritePng(scratch.File("pic.png"), 3, 5, sf::Color::Red, sf::Color::Red);
    ASSERT_EQ(symlink("pic.png", scratch.File("link.png").c_str()), 0);
    EXPECT_TRUE(t.Load(scratch.File("link.png").c_str(), false));
    EXPECT_EQ(t.height, 5);
}

TEST_F(TextureGL, LoadsANonPowerOfTwoPictureAndDrawsIt) {
    WritePng(dir + "/pic.png", 3, 5, sf::Color(200, 100, 50), sf::Color(200, 100, 50));
    Texture t;
    ASSERT_TRUE(t.Load((dir + "/pic.png").c_str(), false));
    EXPECT_NE(t.textureId, 0u);
    EXPECT_EQ(t.width, 3);
    EXPECT_EQ(t.height, 5);
    EXPECT_EQ(BoundTexture(), t.textureId); // left bound
    GLint minFilter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
    glEnable(GL_TEXTURE_2D);
    Quad(-1, -1, 1, 1);
    EXPECT_RGB(Pixel(128, 128), 200, 100, 50, 2);
    // Every successful load takes a new name.
    unsigned first = t.textureId;
    ASSERT_TRUE(t.Load(nullptr, false));
    EXPECT_NE(t.textureId, first);
    t.Unbind();
    EXPECT_EQ(BoundTexture(), 0u);
    t.Bind();
    EXPECT_EQ(BoundTexture(), t.textureId);
}

TEST_F(TextureGL, LongPathsAreStoredCutButLoadedWhole) {
    std::string path = dir;
    while (path.size() < 280) {
        path += "/abcdefghijklmnopqrstuvwxyz0123456789";
        ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    }
    path += "/p.png";
    WritePng(path, 2, 2, sf::Color::Red, sf::Color::Red);
    Texture t;
    EXPECT_TRUE(t.Load(path.c_str(), false));
    EXPECT_EQ(std::string(t.path), path.substr(0, 255));
    t.SetPath("short");
    EXPECT_STREQ(t.path, "short");
}

TEST_F(TextureGL, RenderToTextureThenShowIt) {
    Texture t;
    t.BeginRTT(64, 64, V4(0, 0, 1, 1));
    EXPECT_NE(t.textureId, 0u);
    EXPECT_NE(t.fbo, 0u);
    EXPECT_NE(t.depthRenderbuffer, 0u);
    GLint vp[4];
    Viewport(vp);
    EXPECT_EQ(vp[2], 64);
    EXPECT_EQ(vp[3], 64);
    glColor3f(1, 0, 0);
    Quad(-1, -1, 0, 0); // bottom left quarter of the texture
    t.EndRTT(nullptr);
    Viewport(vp);
    EXPECT_EQ(vp[2], 256);
    EXPECT_EQ(vp[3], 256);
    // The window was not drawn into.
    EXPECT_EQ(CountNot(RGBA{0, 0, 0, 0}), 0);
    // The clear colour is left as BeginRTT set it.
    GLfloat cc[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, cc);
    EXPECT_EQ(cc[2], 1.0f);

    glEnable(GL_TEXTURE_2D);
    glColor3f(1, 1, 1);
    t.DrawRTTFull(64, 64);
    EXPECT_EQ(BoundTexture(), 0u);
    EXPECT_RGB(Pixel(20, 20), 255, 0, 0, 0);
    EXPECT_RGB(Pixel(200, 20), 0, 0, 255, 0);
    EXPECT_RGB(Pixel(20, 200), 0, 0, 255, 0);
    EXPECT_RGB(Pixel(200, 200), 0, 0, 255, 0);
}

TEST_F(TextureGL, StorageIsMadeOnceAndLaterSizesOnlyMoveTheViewport) {
    Texture t;
    t.BeginRTT(64, 32, V4(0, 1, 0, 1));
    t.EndRTT(nullptr);
    unsigned fbo = t.fbo;
    t.BeginRTT(128, 96, V4(0, 1, 0, 1));
    GLint vp[4];
    Viewport(vp);
    EXPECT_EQ(vp[2], 128);
    EXPECT_EQ(vp[3], 96);
    t.EndRTT(nullptr);
    EXPECT_EQ(t.fbo, fbo);
    GLint w = 0, h = 0;
    glBindTexture(GL_TEXTURE_2D, t.textureId);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 32);
    // -1 in either size keeps both.
    t.BeginRTT(-1, 600, V4(0, 1, 0, 1));
    t.EndRTT(nullptr);
    EXPECT_EQ(t.width, 128);
    EXPECT_EQ(t.height, 96);
    t.BeginRTT(300, -1, V4(0, 1, 0, 1));
    t.EndRTT(nullptr);
    EXPECT_EQ(t.width, 128);
}

TEST_F(TextureGL, WithoutFramebufferEntryPointsRenderToTextureDoesNothing) {
    auto saved = vgl::glBindFramebufferEXT;
    vgl::glBindFramebufferEXT = nullptr;
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    Texture t;
    t.BeginRTT(64, 64, V4(1, 0, 0, 1));
    GLint vp[4];
    Viewport(vp);
    EXPECT_EQ(vp[2], 256); // no viewport pushed or set
    EXPECT_EQ(t.fbo, 0u);
    t.EndRTT(nullptr);
    vgl::glBindFramebufferEXT = saved;
    EXPECT_EQ(CountNot(RGBA{128, 128, 128, 255}), 0); // the window was not cleared
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);     // no unbalanced attribute pop
}

TEST_F(TextureGL, FullWindowCopySizes) {
    Texture t;
    t.BeginRTTFull(1024, 768);
    EXPECT_NE(t.textureId, 0u);
    EXPECT_EQ(t.width, 1024);
    EXPECT_EQ(t.height, 1024);
    t.width = 2048;
    t.BeginRTTFull(1024, 768);
    EXPECT_EQ(t.width, 2048);
    EXPECT_EQ(t.height, 1024);
    t.width = 4096;
    t.BeginRTTFull(1024, 768);
    EXPECT_EQ(t.width, 1024);
    EXPECT_EQ(t.height, 1024);
    t.BeginRTTFull(1366, 700);
    EXPECT_EQ(t.width, 2048);
    EXPECT_EQ(t.height, 1024);
    // A zero-sized screen is taken as one pixel rather than reaching NextPowerOfTwo(0).
    t.BeginRTTFull(0, 0);
    EXPECT_EQ(t.width, 1);
    EXPECT_EQ(t.height, 1);
}

TEST_F(TextureGL, FullWindowCopyRoundTrip) {
    glColor3f(0, 1, 0);
    Quad(-1, -1, 0, 1); // left half green
    glColor3f(1, 0, 1);
    Quad(0, -1, 1, 1); // right half magenta
    Texture t;
    t.BeginRTTFull(kWidth, kHeight);
    EXPECT_EQ(t.width, 256);
    t.EndRTTFull(true);
    EXPECT_EQ(CountNot(RGBA{0, 0, 0, 0}), 0); // cleared
    glEnable(GL_TEXTURE_2D);
    glColor3f(1, 1, 1);
    t.DrawRTTFull(kWidth, kHeight);
    EXPECT_RGB(Pixel(60, 100), 0, 255, 0, 0);
    EXPECT_RGB(Pixel(200, 100), 255, 0, 255, 0);
    GLint wrap = 0;
    t.Bind();
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(wrap, GL_REPEAT);
    // Without clearing the frame stays.
    t.EndRTTFull(false);
    EXPECT_RGB(Pixel(60, 100), 0, 255, 0, 0);
}

TEST_F(TextureGL, FullWindowCopyOfPartOfALargerTexture) {
    // The window covers 128 x 64 of a 128 x 64 texture chosen for a 100 x 40 screen: the
    // quad shows only the covered part, stretched to the viewport.
    glColor3f(1, 1, 0);
    Quad(-1, -1, 1, 1);
    glColor3f(0, 0, 1);
    // Screen pixels 0..49 of 256 in x: blue, the rest yellow.
    Quad(-1, -1, -1 + 2 * 50.0f / 256, 1);
    Texture t;
    t.BeginRTTFull(100, 40);
    EXPECT_EQ(t.width, 128);
    EXPECT_EQ(t.height, 64);
    t.EndRTTFull(true);
    glEnable(GL_TEXTURE_2D);
    glColor3f(1, 1, 1);
    t.DrawRTTFull(100, 40); // u = 100/128: texture x 0..99 across the window
    // Window x 128 shows texture x 50: the edge between blue and yellow.
    EXPECT_RGB(Pixel(100, 128), 0, 0, 255, 0);
    EXPECT_RGB(Pixel(160, 128), 255, 255, 0, 0);
}

TEST_F(TextureGL, DrawOfAnUnsizedTextureDrawsNothing) {
    Texture t;
    glColor3f(1, 1, 1);
    t.DrawRTTFull(256, 256);
    EXPECT_EQ(CountNot(RGBA{0, 0, 0, 0}), 0);
}

TEST_F(TextureGL, GenerateUploadsPaddedRGBRows) {
    // Three pixels a row: 9 bytes of pixels and 3 of padding.
    unsigned char px[24] = {255, 0,   0,   0, 255, 0, 0,   0,   255, 9, 9, 9,
                            255, 255, 255, 0, 0,   0, 255, 255, 0,   9, 9, 9};
    Texture t;
    t.Generate(); // no pixels yet: nothing happens
    EXPECT_EQ(t.textureId, 0u);
    t.pixels = px;
    t.width = 3;
    t.height = 2;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1); // a caller's odd state must not skew the rows
    t.Generate();
    EXPECT_NE(t.textureId, 0u);
    EXPECT_EQ(BoundTexture(), 0u);
    glEnable(GL_TEXTURE_2D);
    glColor3f(1, 1, 1);
    t.DrawRTTFull(3, 2);
    EXPECT_RGB(Pixel(42, 64), 255, 0, 0, 12);
    EXPECT_RGB(Pixel(128, 64), 0, 255, 0, 12);
    EXPECT_RGB(Pixel(213, 64), 0, 0, 255, 12);
    EXPECT_RGB(Pixel(42, 192), 255, 255, 255, 12);
    EXPECT_RGB(Pixel(128, 192), 0, 0, 0, 12);
    EXPECT_RGB(Pixel(213, 192), 255, 255, 0, 12);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

TEST(TexPass, WrappedBytesAndTheTruncatedMean) {
    // One pixel: both neighbours are the pixel itself.
    unsigned char px[4] = {253, 10, 255, 0xEE};
    Texture t;
    t.pixels = px;
    t.width = 1;
    t.height = 1;
    TexPassEffect(&t, 0.0f);
    EXPECT_EQ(px[0], 2);  // 253 -> 1, plus (253 mod 3) = 1
    EXPECT_EQ(px[1], 12); // 10 plus (10 + 10) mod 3
    EXPECT_EQ(px[2], 3);  // 255 -> 3, plus (255 + 255) mod 3 = 0
    EXPECT_EQ(px[3], 0xEE);
}

TEST(TexPass, NeighboursAreReadAsTheyStand) {
    // 3 x 2 pixels, rows of 12 bytes; padding must stay as it was.
    unsigned char px[24] = {0};
    for (int i = 9; i < 12; ++i)
        px[i] = px[12 + i] = 0xEE;
    unsigned char* row1 = px + 12;
    row1[0] = 7, row1[1] = 4, row1[2] = 7; // pixel (0,1)
    row1[3] = 2;                           // pixel (1,1) = (2,0,0)
    Texture t;
    t.pixels = px;
    t.width = 3;
    t.height = 2;
    TexPassEffect(&t, 1.5f);
    // (0,0): A = (0,1), B = (1,1): mean 4.5 -> 4 -> +1; 4 + 0 -> +1; 7 + 0 -> +1.
    EXPECT_EQ(px[0], 1);
    EXPECT_EQ(px[1], 1);
    EXPECT_EQ(px[2], 1);
    // (1,0): A = (1,1), B = (2,1): red +1 only.
    EXPECT_EQ(px[3], 1);
    EXPECT_EQ(px[4], 0);
    // (2,0): B wraps to (0,1), still unchanged then.
    EXPECT_EQ(px[6], 0);
    EXPECT_EQ(px[7], 1);
    EXPECT_EQ(px[8], 1);
    // (0,1): A = (0,0) and B = (1,0), both already updated.
    EXPECT_EQ(row1[0], 8);
    EXPECT_EQ(row1[1], 5);
    EXPECT_EQ(row1[2], 8);
    for (int i = 9; i < 12; ++i) {
        EXPECT_EQ(px[i], 0xEE);
        EXPECT_EQ(row1[i], 0xEE);
    }
}

TEST(TexPass, WithoutPixelsNothingHappens) {
    Texture t;
    t.width = 4;
    t.height = 4;
    TexPassEffect(&t, 0);
    TexPassEffect(nullptr, 0);
    unsigned char px[4] = {1, 2, 3, 4};
    t.pixels = px;
    t.width = 0;
    TexPassEffect(&t, 0);
    EXPECT_EQ(px[0], 1);
}

TEST_F(TextureGL, ManagerLoadsOnFirstUseAndUnbinds) {
    WritePng(dir + "/wall.png", 4, 4, sf::Color::Red, sf::Color::Red);
    TextureManager tm;
    int idx = -1, count = 0;
    tm.AddContent((dir + "/wall.png").c_str(), "", &idx, &count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(tm.GetLoadedItem(idx), nullptr); // nothing loaded yet
    tm.Use(idx);
    Texture* t = reinterpret_cast<Texture*>(tm.GetLoadedItem(idx));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(BoundTexture(), t->textureId);
    tm.Use(-1);
    EXPECT_EQ(BoundTexture(), 0u);
    tm.Use("wall");
    EXPECT_EQ(BoundTexture(), t->textureId);
    // Loaded once: later uses bind the same texture.
    tm.Use(idx);
    EXPECT_EQ(reinterpret_cast<Texture*>(tm.GetLoadedItem(idx)), t);
}

TEST_F(TextureGL, ManagerRetriesAFailedLoad) {
    TextureManager tm;
    int idx = -1;
    tm.AddContent((dir + "/later.png").c_str(), "g", &idx, nullptr);
    glBindTexture(GL_TEXTURE_2D, 99);
    CaptureStdout();
    tm.Use(idx);
    fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), ""); // the texture manager prints nothing of its own
    EXPECT_EQ(BoundTexture(), 0u);      // a failed item unbinds
    MediaManagerGroup* g = tm.GetGroup("g");
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(static_cast<GroupFileItem*>(g->files.Get(0))->state, 2);
    WritePng(dir + "/later.png", 2, 2, sf::Color::Blue, sf::Color::Blue);
    tm.Use(idx);
    EXPECT_NE(BoundTexture(), 0u);
    EXPECT_EQ(static_cast<GroupFileItem*>(g->files.Get(0))->state, 1);
}

TEST_F(TextureGL, PathPrefixOnlyInVelkEngine) {
    WritePng(dir + "/pic.png", 2, 2, sf::Color::Red, sf::Color::Red);
    TextureManager engine;
    engine.SetPathPrefix((dir + "/").c_str());
    int e = -1;
    engine.AddContent("pic.png", "", &e, nullptr);
    engine.Use(e);
    EXPECT_NE(engine.GetLoadedItem(e), nullptr);

    SetCurrentProgram(ProgramKind::Run);
    TextureManager run;
    SetCurrentProgram(ProgramKind::Engine);
    run.SetPathPrefix((dir + "/").c_str());
    int r = -1;
    run.AddContent("pic.png", "", &r, nullptr);
    run.Use(r); // opened relative to the working directory: not found
    EXPECT_EQ(run.GetLoadedItem(r), nullptr);
    run.AddContent((dir + "/pic.png").c_str(), "", &r, nullptr);
    run.Use(r);
    EXPECT_NE(run.GetLoadedItem(r), nullptr);
}

namespace {
struct SizedApp : CoreThingy {
    int Init() override { return 0; }
};
} // namespace

TEST_F(TextureGL, ApplicationScreenSizeDrivesTheFullWindowForms) {
    SizedApp app;
    app.width = 100;
    app.height = 40;
    Texture t;
    t.BeginRTTFull(&app);
    EXPECT_EQ(t.width, 128);
    EXPECT_EQ(t.height, 64);
    // Render into a 128 x 64 texture: left half (texture x < 64) red, the rest cyan.
    t.BeginRTT(128, 64, V4(0, 1, 1, 1));
    glColor3f(1, 0, 0);
    Quad(-1, -1, 0, 1);
    t.EndRTT(&app);
    glEnable(GL_TEXTURE_2D);
    glColor3f(1, 1, 1);
    // The 100 x 40 screen covers texture x 0..99: window x 163 (texture x ~64) is the edge.
    t.DrawRTTFull(&app);
    EXPECT_RGB(Pixel(150, 100), 255, 0, 0, 0);
    EXPECT_RGB(Pixel(180, 100), 0, 255, 255, 0);
    // A null application is ignored.
    t.DrawRTTFull((CoreThingy*)nullptr);
    t.BeginRTTFull((CoreThingy*)nullptr);
    EXPECT_EQ(t.width, 128);
}
