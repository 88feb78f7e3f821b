// Tests of Geometry: copying meshes through matrices, the vertex-buffer upload sequence,
// drawing (proved by reading pixels back), missing vertex-buffer entry points and lines.
#include "geometry.h"
#include "glfixture.h"
#include "glplatform.h"
#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <gtest/gtest.h>
#include <vector>

namespace {

void AddRecord(FloatDataBlock& block, float x, float y, float z, float u, float v, float nz = 1) {
    float rec[8] = {x, y, z, 0, 0, nz, u, v};
    block.Append((unsigned char*)rec, 32);
}

// A triangle or quad in window coordinates (NDC, z = 0), all corners with one uv.
void AddTri(Geometry& g, float x0, float y0, float x1, float y1, float x2, float y2, float u = 0,
            float v = 0) {
    AddRecord(g.tris, x0, y0, 0, u, v);
    AddRecord(g.tris, x1, y1, 0, u, v);
    AddRecord(g.tris, x2, y2, 0, u, v);
    g.triCount++;
    g.triPtr = (float*)g.tris.Ptr();
    g.needsCompile = true;
}

void AddRect(Geometry& g, float x0, float y0, float x1, float y1, float u = 0, float v = 0) {
    AddRecord(g.quads, x0, y0, 0, u, v);
    AddRecord(g.quads, x1, y0, 0, u, v);
    AddRecord(g.quads, x1, y1, 0, u, v);
    AddRecord(g.quads, x0, y1, 0, u, v);
    g.quadCount++;
    g.quadPtr = (float*)g.quads.Ptr();
    g.needsCompile = true;
}

std::vector<float> Floats(FloatDataBlock& b) {
    const float* f = (const float*)b.Ptr();
    return std::vector<float>(f, f + b.Len() / 4);
}

// ---- Fake vertex-buffer entry points, to watch the upload sequence without GL.
struct Call {
    std::string what;
    unsigned a;
    long b;
    const void* data;
    unsigned usage;
};
std::vector<Call> calls;
unsigned nextName = 10;

void APIENTRY FakeGen(GLsizei n, GLuint* names) {
    for (int i = 0; i < n; i++)
        names[i] = nextName++;
    calls.push_back({"gen", (unsigned)n, 0, nullptr, 0});
}
void APIENTRY FakeBind(GLenum target, GLuint name) {
    calls.push_back({"bind", target, (long)name, nullptr, 0});
}
void APIENTRY FakeDelete(GLsizei n, const GLuint* names) {
    calls.push_back({"delete", names[0], n, nullptr, 0});
}
void APIENTRY FakeData(GLenum target, GLsizeiptrARB size, const void* data, GLenum usage) {
    calls.push_back({"data", target, (long)size, data, usage});
}

class FakeEntryPoints : public ::testing::Test {
  protected:
    void SetUp() override {
        calls.clear();
        vgl::glGenBuffersARB = FakeGen;
        vgl::glBindBufferARB = FakeBind;
        vgl::glDeleteBuffersARB = FakeDelete;
        vgl::glBufferDataARB = FakeData;
    }
    void TearDown() override { vgl::ResetVertexBufferEntryPoints(); }
};

GLEntryPoint NoEntryPoints(const char*) {
    return nullptr;
}

} // namespace

TEST(Geometry, NewMeshIsEmptyAndClean) {
    Geometry g;
    EXPECT_EQ(g.triCount, 0);
    EXPECT_EQ(g.quadCount, 0);
    EXPECT_EQ(g.tris.Len(), 0);
    EXPECT_EQ(g.quads.Len(), 0);
    EXPECT_EQ(g.triPtr, nullptr);
    EXPECT_EQ(g.quadPtr, nullptr);
    EXPECT_FALSE(g.needsCompile);
    EXPECT_FALSE(g.dynamic);
    EXPECT_EQ(g.triVBO, 0u);
    EXPECT_EQ(g.quadVBO, 0u);
}

TEST(Geometry, AddGeometryWithIdentityAppendsAnExactCopy) {
    Geometry src, dst;
    AddTri(src, 1, 2, 3, 4, 5, 6, 0.25f, 0.75f);
    AddRect(src, -1, -1, 1, 1, 0.5f, 0.5f);
    AddTri(dst, 9, 9, 9, 9, 9, 9);
    dst.needsCompile = false;
    std::vector<float> before = Floats(dst.tris);
    Matrix identity;
    dst.AddGeometry(&src, &identity, nullptr);
    EXPECT_EQ(dst.triCount, 2);
    EXPECT_EQ(dst.quadCount, 1);
    EXPECT_EQ(dst.tris.Len(), 2 * 96);
    EXPECT_EQ(dst.quads.Len(), 128);
    EXPECT_TRUE(dst.needsCompile);
    EXPECT_EQ(dst.triPtr, (float*)dst.tris.Ptr());
    EXPECT_EQ(dst.quadPtr, (float*)dst.quads.Ptr());
    std::vector<float> after = Floats(dst.tris);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin())); // old records untouched
    EXPECT_TRUE(std::equal(after.begin() + 24, after.end(), Floats(src.tris).begin()));
    EXPECT_EQ(Floats(dst.quads), Floats(src.quads));
    EXPECT_EQ(src.triCount, 1); // the source is not changed
}

TEST(Geometry, AddGeometryTransformsPositionsNormalsAndTextureCoordinates) {
    Geometry src, dst;
    AddTri(src, 1, 0, 0, 0, 1, 0, 0.25f, 0.5f);
    Matrix model;
    model.Translate(1, 0, 0);
    Matrix tex;
    tex.Translate(0.5f, 0, 0);
    tex.Scale(2, 2, 1);
    dst.AddGeometry(&src, &model, &tex);
    std::vector<float> f = Floats(dst.tris);
    ASSERT_EQ(f.size(), 24u);
    EXPECT_FLOAT_EQ(f[0], 2); // moved by +1 in x
    EXPECT_FLOAT_EQ(f[8], 1);
    EXPECT_FLOAT_EQ(f[5], 1); // the normal is not translated
    EXPECT_FLOAT_EQ(f[6], 1); // u: 0.25 * 2 + 0.5
    EXPECT_FLOAT_EQ(f[7], 1); // v: 0.5 * 2
    // A null texture matrix leaves texture coordinates as they are.
    Geometry plain;
    plain.AddGeometry(&src, &model, nullptr);
    EXPECT_FLOAT_EQ(Floats(plain.tris)[6], 0.25f);
    EXPECT_FLOAT_EQ(Floats(plain.tris)[7], 0.5f);
}

TEST(Geometry, AddGeometryIntoItselfDoublesFromTheOldContent) {
    Geometry g;
    AddTri(g, 1, 1, 1, 1, 1, 1);
    AddRect(g, 0, 0, 1, 1);
    for (int i = 0; i < 6; i++) // grow past several storage doublings
        AddTri(g, (float)i, 0, 0, 0, 0, 0);
    std::vector<float> tris = Floats(g.tris), quads = Floats(g.quads);
    Matrix m;
    m.Translate(10, 0, 0);
    g.AddGeometry(&g, &m, nullptr);
    EXPECT_EQ(g.triCount, 14);
    EXPECT_EQ(g.quadCount, 2);
    std::vector<float> t2 = Floats(g.tris);
    ASSERT_EQ(t2.size(), tris.size() * 2);
    for (size_t i = 0; i < tris.size(); i++) {
        ASSERT_EQ(t2[i], tris[i]);
        ASSERT_EQ(t2[tris.size() + i], tris[i] + (i % 8 == 0 ? 10.0f : 0.0f)) << i;
    }
    std::vector<float> q2 = Floats(g.quads);
    EXPECT_EQ(q2[32], quads[0] + 10);
}

TEST(Geometry, AddingAnEmptyMeshOnlyMarksForUpload) {
    Geometry g, empty;
    AddTri(g, 0, 0, 1, 0, 0, 1);
    g.needsCompile = false;
    std::vector<float> before = Floats(g.tris);
    Matrix m;
    g.AddGeometry(&empty, &m, &m);
    EXPECT_EQ(Floats(g.tris), before);
    EXPECT_EQ(g.triCount, 1);
    EXPECT_EQ(g.quadCount, 0);
    EXPECT_EQ(g.quads.Len(), 0);
    EXPECT_TRUE(g.needsCompile);
}

// A source whose counts claim more than its arrays hold is copied as far as it goes.
TEST(Geometry, AddGeometryNeverTransformsPastTheCopiedBytes) {
    Geometry bad, dst;
    AddTri(bad, 0, 0, 1, 0, 0, 1);
    bad.triCount = 1000;
    Matrix m;
    m.Translate(1, 0, 0);
    dst.AddGeometry(&bad, &m, nullptr);
    EXPECT_EQ(dst.tris.Len(), 96);
    EXPECT_FLOAT_EQ(Floats(dst.tris)[0], 1);
}

// When either array cannot grow (past the int range), nothing is added: placing a mesh into
// itself again and again stops there. The quads stand for a full array: their fields are
// set by hand over a small storage that must not be written.
TEST(Geometry, AddGeometryThatWouldOutgrowAnArrayIsRefusedWhole) {
    Geometry g, src;
    AddTri(g, 0, 0, 1, 0, 0, 1);
    AddTri(src, 0, 0, 1, 0, 0, 1);
    AddRect(src, 0, 0, 1, 1);
    unsigned char small[128] = {};
    g.quads.ptr = small;
    g.quads.len = g.quads.dim = INT_MAX - 100;
    std::vector<float> tris = Floats(g.tris);
    Matrix m;
    testing::internal::CaptureStdout();
    g.AddGeometry(&src, &m, nullptr);
    g.AddGeometry(&g, &m, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Mesh too large.\nError: Mesh too large.\n");
    EXPECT_EQ(Floats(g.tris), tris);
    EXPECT_EQ(g.triCount, 1);
    EXPECT_EQ(g.quadCount, 0);
    EXPECT_EQ(g.quads.len, INT_MAX - 100);
    g.quads.ptr = nullptr; // hand the stand-in back before the destructor
    g.quads.len = g.quads.dim = 0;
}

TEST_F(FakeEntryPoints, CompileUploadsBothArraysAndCreatesBuffersOnce) {
    Geometry* g = new Geometry();
    AddTri(*g, 0, 0, 1, 0, 0, 1);
    g->Compile();
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[0].what, "gen");
    EXPECT_EQ(calls[1].what, "bind");
    EXPECT_EQ(calls[1].a, (unsigned)GL_ARRAY_BUFFER_ARB);
    EXPECT_EQ(calls[1].b, (long)g->triVBO);
    EXPECT_EQ(calls[2].what, "data");
    EXPECT_EQ(calls[2].b, 96);
    EXPECT_EQ(calls[2].data, g->tris.Ptr());
    EXPECT_EQ(calls[2].usage, (unsigned)GL_STATIC_DRAW_ARB);
    EXPECT_EQ(calls[3].what, "gen");
    EXPECT_EQ(calls[4].b, (long)g->quadVBO);
    EXPECT_EQ(calls[5].what, "data");
    EXPECT_EQ(calls[5].b, 0); // the empty quad array is uploaded too
    EXPECT_EQ(calls[6].what, "bind");
    EXPECT_EQ(calls[6].b, 0);
    EXPECT_NE(g->triVBO, 0u);
    EXPECT_NE(g->quadVBO, 0u);
    EXPECT_NE(g->triVBO, g->quadVBO);
    EXPECT_TRUE(g->needsCompile); // Compile leaves the mark alone

    calls.clear();
    g->dynamic = true;
    g->Compile();
    ASSERT_EQ(calls.size(), 5u); // no new buffers
    EXPECT_EQ(calls[0].what, "bind");
    EXPECT_EQ(calls[1].usage, (unsigned)GL_DYNAMIC_DRAW_ARB);

    calls.clear();
    unsigned tri = g->triVBO, quad = g->quadVBO;
    delete g;
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].what, "delete");
    EXPECT_EQ(calls[0].a, quad); // the quad buffer goes first
    EXPECT_EQ(calls[1].a, tri);

    calls.clear();
    delete new Geometry(); // never drawn: no buffer to delete
    EXPECT_TRUE(calls.empty());
}

// Without the vertex-buffer entry points nothing is uploaded or drawn, and nothing is
// called through a null pointer; the mesh uploads once they can be had.
TEST_F(GLTest, MissingEntryPointsMakeCompileAndDrawDoNothing) {
    vgl::ResetVertexBufferEntryPoints();
    SetGLEntryPointLookup(NoEntryPoints);
    Geometry g;
    AddTri(g, -1, -1, 1, -1, -1, 1);
    AddRect(g, 0, 0, 1, 1);
    g.Compile();
    EXPECT_EQ(g.triVBO, 0u);
    g.Draw();
    EXPECT_EQ(g.triVBO, 0u);
    EXPECT_EQ(g.quadVBO, 0u);
    EXPECT_TRUE(g.needsCompile);
    EXPECT_EQ(CountNot({0, 0, 0, 0}), 0);
    EXPECT_EQ(vgl::glGenBuffersARB, nullptr);

    SetGLEntryPointLookup(nullptr);
    g.Draw();
    EXPECT_FALSE(g.needsCompile);
    EXPECT_NE(g.triVBO, 0u);
    EXPECT_GT(CountNot({0, 0, 0, 0}), 1000);
}

// The GL library hands out vertex-buffer entry points also for a context without the
// extension: they are taken only when the extension string names it (as a whole token).
TEST_F(GLTest, WithoutTheVertexBufferExtensionNothingIsFetchedOrDrawn) {
    vgl::ResetVertexBufferEntryPoints();
    SetGLExtensionsSource([]() -> const char* { return "GL_ARB_multitexture GL_ARB_vertex_buffer_objects"; });
    Geometry g;
    AddTri(g, -1, -1, 1, -1, -1, 1);
    g.Draw();
    EXPECT_EQ(vgl::glGenBuffersARB, nullptr);
    EXPECT_EQ(g.triVBO, 0u);
    EXPECT_EQ(CountNot({0, 0, 0, 0}), 0);
    SetGLExtensionsSource(nullptr);
    g.Draw();
    EXPECT_NE(g.triVBO, 0u);
}

TEST_F(GLTest, DrawFillsExactlyTheMesh) {
    Geometry g;
    AddTri(g, -1, -1, 0, -1, -1, 0); // lower-left half of the lower-left quarter
    AddRect(g, 0.5f, 0.5f, 1, 1);    // upper-right sixteenth
    glColor3f(1, 0, 0);
    g.Draw();
    EXPECT_EQ(Pixel(10, 10).r, 255);
    EXPECT_EQ(Pixel(120, 60).r, 0); // beyond the triangle's diagonal
    EXPECT_EQ(Pixel(230, 230).r, 255);
    EXPECT_EQ(Pixel(180, 180).r, 0);
    EXPECT_EQ(Pixel(128, 128).r, 0);
    // Area: half of 128 x 128 plus 64 x 64, give or take the diagonal's edge.
    int lit = CountNot({0, 0, 0, 0});
    EXPECT_NEAR(lit, 128 * 128 / 2 + 64 * 64, 200);
}

TEST_F(GLTest, DrawLeavesNoArraysEnabledAndNoBufferBound) {
    Geometry g;
    AddTri(g, -1, -1, 0, -1, -1, 0);
    AddRect(g, 0, 0, 1, 1);
    g.Draw();
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    GLint bound = -1;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

// Triangles are drawn before quads: where they overlap, the quad's colour wins.
TEST_F(GLTest, TrianglesAreDrawnBeforeQuads) {
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    unsigned char texels[8] = {255, 0, 0, 255, 0, 255, 0, 255}; // red, green
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glEnable(GL_TEXTURE_2D);

    Geometry g;
    AddRect(g, -0.5f, -0.5f, 0.5f, 0.5f, 0.75f, 0.5f); // green, added first
    AddTri(g, -1, -1, 1, -1, -1, 1, 0.25f, 0.5f);      // red, covers the lower-left half
    g.Draw();
    RGBA overlap = Pixel(100, 100), triOnly = Pixel(10, 10), quadOnly = Pixel(180, 180);
    EXPECT_EQ(overlap.g, 255);
    EXPECT_EQ(overlap.r, 0);
    EXPECT_EQ(triOnly.r, 255);
    EXPECT_EQ(quadOnly.g, 255);

    glDisable(GL_TEXTURE_2D);
    glDeleteTextures(1, &tex);
}

TEST_F(GLTest, OnlyTheListsThatHoldPrimitivesAreDrawn) {
    Geometry quadsOnly;
    AddRect(quadsOnly, -1, -1, 0, 0);
    quadsOnly.Draw();
    EXPECT_EQ(Pixel(10, 10).r, 255);
    EXPECT_EQ(CountNot({0, 0, 0, 0}), 128 * 128);

    glClear(GL_COLOR_BUFFER_BIT);
    Geometry trisOnly;
    AddTri(trisOnly, 0, 0, 1, 0, 1, 1);
    trisOnly.Draw();
    EXPECT_EQ(Pixel(250, 130).r, 255);
    EXPECT_EQ(Pixel(130, 250).r, 0);
    EXPECT_EQ(Pixel(10, 10).r, 0);
}

TEST_F(GLTest, EmptyMeshesDrawNothing) {
    Geometry fresh;
    fresh.Draw();
    EXPECT_EQ(fresh.triVBO, 0u); // clean and empty: nothing to upload
    EXPECT_EQ(CountNot({0, 0, 0, 0}), 0);

    // Emptied after an upload and marked: uploads 0 bytes and draws nothing.
    Geometry g;
    AddRect(g, -1, -1, 1, 1);
    g.Draw();
    EXPECT_EQ(CountNot({0, 0, 0, 0}), GLTest::kWidth * GLTest::kHeight);
    glClear(GL_COLOR_BUFFER_BIT);
    g.quads.Resize(0);
    g.quadCount = 0;
    g.needsCompile = true;
    g.Draw();
    EXPECT_FALSE(g.needsCompile);
    EXPECT_EQ(CountNot({0, 0, 0, 0}), 0);
    auto getParam = (PFNGLGETBUFFERPARAMETERIVARBPROC)GetGLEntryPoint("glGetBufferParameterivARB");
    ASSERT_NE(getParam, nullptr);
    vgl::glBindBufferARB(GL_ARRAY_BUFFER_ARB, g.quadVBO);
    GLint size = -1;
    getParam(GL_ARRAY_BUFFER_ARB, GL_BUFFER_SIZE_ARB, &size);
    vgl::glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    EXPECT_EQ(size, 0);
}

// The mesh is uploaded again only when marked: after AddGeometry the new part appears,
// while a change that nobody marked is not seen by GL.
TEST_F(GLTest, AddGeometryIsUploadedOnTheNextDraw) {
    Geometry g, part;
    AddRect(g, -1, -1, 0, 0);
    g.Draw();
    EXPECT_EQ(Pixel(200, 200).r, 0);

    float* first = (float*)g.quads.Ptr();
    first[0] = 0.9f; // unmarked change: the buffer keeps the old quad
    glClear(GL_COLOR_BUFFER_BIT);
    g.Draw();
    EXPECT_EQ(CountNot({0, 0, 0, 0}), 128 * 128);
    ((float*)g.quads.Ptr())[0] = -1;

    AddRect(part, -1, -1, 0, 0);
    Matrix m;
    m.Translate(1, 1, 0);
    g.AddGeometry(&part, &m, nullptr);
    glClear(GL_COLOR_BUFFER_BIT);
    g.Draw();
    EXPECT_EQ(Pixel(200, 200).r, 255);
    EXPECT_EQ(Pixel(60, 60).r, 255);
    EXPECT_EQ(Pixel(60, 200).r, 0);
    EXPECT_EQ(CountNot({0, 0, 0, 0}), 2 * 128 * 128);
}

TEST_F(GLTest, DestroyingADrawnMeshDeletesItsBuffers) {
    auto isBuffer = (PFNGLISBUFFERARBPROC)GetGLEntryPoint("glIsBufferARB");
    ASSERT_NE(isBuffer, nullptr);
    unsigned tri, quad;
    {
        Geometry g;
        AddTri(g, 0, 0, 1, 0, 0, 1);
        g.Draw();
        tri = g.triVBO;
        quad = g.quadVBO;
        EXPECT_TRUE(isBuffer(tri));
        EXPECT_TRUE(isBuffer(quad));
    }
    EXPECT_FALSE(isBuffer(tri));
    EXPECT_FALSE(isBuffer(quad));
}

TEST_F(GLTest, TheUnitQuadCoversTheMiddleOfTheView) {
    Geometry quad;
    LoadObjFileSingle(&quad, VELK_SOURCE_DIR "/run/media/geom/quad.obj");
    quad.Draw();
    EXPECT_EQ(CountNot({0, 0, 0, 0}), 128 * 128);
    EXPECT_EQ(Pixel(128, 128).r, 255);
    EXPECT_EQ(Pixel(60, 60).r, 0);
}

TEST_F(GLTest, DrawLineDrawsOneThinSegment) {
    float a[3] = {-1, 0.001f, 0}, b[3] = {1, 0.001f, 0};
    glLineWidth(4);
    DrawLine(a, b);
    GLfloat width = 0;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 1.0f);
    int lit = CountNot({0, 0, 0, 0});
    EXPECT_GE(lit, 250);
    EXPECT_LE(lit, 260); // one pixel thick across the window
    EXPECT_EQ(Pixel(128, 128).r, 255);

    glClear(GL_COLOR_BUFFER_BIT);
    DrawLine(0.001f, -1, 0, 0.001f, 1, 0);
    EXPECT_EQ(Pixel(128, 30).r, 255);
    EXPECT_EQ(Pixel(30, 128).r, 0);
}
