// Vectors and matrices: products in the fixed-function order, rotation, vertex
// transforms, the matrix stack limits and messages, LookAtV3 and LargestAxi.
#include "vlmath.h"

#include "glfixture.h"
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

const float kPi = 3.14159265358979f;

struct Vtx {
    float px, py, pz, nx, ny, nz, u, v;
};

void ExpectMatrix(const float* got, const float (&want)[16], float tol = 0.0f) {
    for (int n = 0; n < 16; n++)
        EXPECT_NEAR(got[n], want[n], tol) << "element " << n;
}

} // namespace

TEST(MathConstants, Values) {
    EXPECT_FLOAT_EQ(TO_RAD, 3.14159265358979f / 180.0f);
    EXPECT_FLOAT_EQ(TO_DEGREES, 57.29578f);
    EXPECT_EQ(TURNS_TO_DEGREES, 180.0f);
}

TEST(Vectors, IndexAndFields) {
    V3 v(1, 2, 3);
    EXPECT_EQ(v[0], 1.0f);
    EXPECT_EQ(v[1], 2.0f);
    EXPECT_EQ(v[2], 3.0f);
    v[1] = 7;
    EXPECT_EQ(v.y, 7.0f);
    V4 c(0.1f, 0.2f, 0.3f, 0.4f);
    EXPECT_EQ(c.w, 0.4f);
}

TEST(MatrixProducts, NewMatrixIsIdentity) {
    Matrix m;
    const float want[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    ExpectMatrix(m.m, want);
    m.SetVal(7, 3.0f);
    EXPECT_EQ(m.m[7], 3.0f);
    m.Identity();
    ExpectMatrix(m.m, want);
}

TEST(MatrixProducts, TranslateThenScaleScalesFirst) {
    Matrix m;
    m.Translate(1, 2, 3);
    m.Scale(2, 2, 2);
    const float want[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 1, 2, 3, 1};
    ExpectMatrix(m.m, want);
}

TEST(MatrixProducts, ScaleThenTranslateScalesTheOffset) {
    Matrix m;
    m.Scale(2, 3, 4);
    m.Translate(1, 1, 1);
    const float want[16] = {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 2, 3, 4, 1};
    ExpectMatrix(m.m, want);
}

TEST(MatrixProducts, MultiplyPutsTheArgumentOnTheLeft) {
    Matrix other, self;
    for (int n = 0; n < 16; n++) {
        other.m[n] = (float)(n + 1);
        self.m[n] = (float)(n % 3 - 1);
    }
    self.Multiply(&other);
    const float want[16] = {-5, -6, -7, -8, -4, -4, -4, -4, 9, 10, 11, 12, -5, -6, -7, -8};
    ExpectMatrix(self.m, want);

    Matrix t, s;
    t.Translate(1, 2, 3);
    s.Scale(2, 3, 4);
    t.Multiply(&s); // S x T: the offset is scaled
    const float st[16] = {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 2, 6, 12, 1};
    ExpectMatrix(t.m, st);
}

TEST(MatrixProducts, MultiplyByItselfSquares) {
    Matrix m;
    m.Translate(1, 2, 3);
    m.Scale(2, 2, 2);
    m.Multiply(&m);
    // (T S)(T S): scale 4, offset 2 * (1, 2, 3) + (1, 2, 3).
    const float want[16] = {4, 0, 0, 0, 0, 4, 0, 0, 0, 0, 4, 0, 3, 6, 9, 1};
    ExpectMatrix(m.m, want);

    Matrix r, twice;
    r.Rotate(0, 0, 1, 0.3f);
    twice.Rotate(0, 0, 1, 0.6f);
    r.Multiply(&r);
    ExpectMatrix(r.m, twice.m, 1e-6f);
}

TEST(MatrixProducts, AssignCopies) {
    Matrix a, b;
    a.Translate(5, 6, 7);
    b.Assign(&a);
    EXPECT_EQ(0, memcmp(a.m, b.m, sizeof a.m));
}

TEST(MatrixRotate, QuarterTurnAboutZ) {
    Matrix m;
    m.Rotate(0, 0, 1, kPi / 2);
    Vtx v = {1, 0, 0, 1, 0, 0, 0, 0};
    m.TransformBuf((unsigned char*)&v, 0, 1, 32, nullptr);
    EXPECT_NEAR(v.px, 0.0f, 1e-6f);
    EXPECT_NEAR(v.py, 1.0f, 1e-6f);
    EXPECT_NEAR(v.pz, 0.0f, 1e-6f);
    EXPECT_NEAR(v.nx, 0.0f, 1e-6f);
    EXPECT_NEAR(v.ny, 1.0f, 1e-6f);
}

TEST(MatrixRotate, MatchesTheFixedFunctionLayout) {
    // Quarter turn about x: y goes to z, so column 1 is (0, 0, 1).
    Matrix m;
    m.Rotate(1, 0, 0, kPi / 2);
    const float want[16] = {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1};
    ExpectMatrix(m.m, want, 1e-6f);
}

TEST(MatrixRotate, AxisLengthDoesNotMatter) {
    Matrix a, b;
    a.Rotate(0, 0, 2, 0.7f);
    b.Rotate(0, 0, 1, 0.7f);
    for (int n = 0; n < 16; n++)
        EXPECT_EQ(a.m[n], b.m[n]);
}

TEST(MatrixRotate, ZeroAxisScalesByCosine) {
    Matrix m;
    m.Rotate(0, 0, 0, 1.0f);
    float c = (float)cos(1.0);
    EXPECT_FLOAT_EQ(m.m[0], c);
    EXPECT_FLOAT_EQ(m.m[5], c);
    EXPECT_FLOAT_EQ(m.m[10], c);
    EXPECT_EQ(m.m[1], 0.0f);
    EXPECT_EQ(m.m[15], 1.0f);
}

TEST(MatrixRotate, Normalize3) {
    float x = 0.0005f, y = 0, z = 0;
    Normalize3(x, y, z);
    EXPECT_EQ(x, 0.0005f);
    x = 3, y = 0, z = 4;
    Normalize3(x, y, z);
    EXPECT_FLOAT_EQ(x, 0.6f);
    EXPECT_EQ(y, 0.0f);
    EXPECT_FLOAT_EQ(z, 0.8f);
    x = y = z = 0;
    Normalize3(x, y, z);
    EXPECT_EQ(x, 0.0f);
}

TEST(MatrixTransform, TranslationMovesPositionsOnly) {
    Matrix m;
    m.Translate(1, 2, 3);
    Vtx v[2] = {{0, 0, 0, 0, 0, 1, 0.25f, 0.75f}, {1, 1, 1, 1, 0, 0, 1, 1}};
    m.TransformBuf((unsigned char*)v, 0, 2, 32, nullptr);
    EXPECT_EQ(v[0].px, 1.0f);
    EXPECT_EQ(v[0].py, 2.0f);
    EXPECT_EQ(v[0].pz, 3.0f);
    EXPECT_EQ(v[0].nz, 1.0f);
    EXPECT_EQ(v[0].nx, 0.0f);
    EXPECT_EQ(v[0].u, 0.25f);
    EXPECT_EQ(v[0].v, 0.75f);
    EXPECT_EQ(v[1].px, 2.0f);
    EXPECT_EQ(v[1].nx, 1.0f);
}

TEST(MatrixTransform, ScaleDoesNotRenormaliseNormals) {
    Matrix m;
    m.Scale(2, 3, 4);
    Vtx v = {1, 1, 1, 1, 1, 1, 0, 0};
    m.TransformBuf((unsigned char*)&v, 0, 1, 32, nullptr);
    EXPECT_EQ(v.px, 2.0f);
    EXPECT_EQ(v.pz, 4.0f);
    EXPECT_EQ(v.ny, 3.0f);
    EXPECT_EQ(v.nz, 4.0f);
}

TEST(MatrixTransform, TextureMatrixMovesCoordinates) {
    Matrix m, tex;
    tex.Translate(0.5f, 0, 0);
    Vtx v[3] = {{0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0.25f, 1}, {0, 0, 0, 0, 0, 0, 1, 0.5f}};
    m.TransformBuf((unsigned char*)v, 0, 3, 32, &tex);
    EXPECT_EQ(v[0].u, 0.5f);
    EXPECT_EQ(v[1].u, 0.75f);
    EXPECT_EQ(v[2].u, 1.5f);
    EXPECT_EQ(v[1].v, 1.0f);
    EXPECT_EQ(v[2].v, 0.5f);

    Matrix scaleTex;
    scaleTex.Scale(2, 4, 1);
    Vtx w = {0, 0, 0, 0, 0, 0, 0.5f, 0.25f};
    m.TransformBuf((unsigned char*)&w, 0, 1, 32, &scaleTex);
    EXPECT_EQ(w.u, 1.0f);
    EXPECT_EQ(w.v, 1.0f);
}

TEST(MatrixTransform, OffsetStrideAndUnalignedRecords) {
    // Records of 36 bytes (a 4-byte tag after each vertex) starting at byte 3.
    std::vector<unsigned char> buf(3 + 36 * 2, 0xAB);
    Vtx a = {1, 2, 3, 0, 1, 0, 0, 0};
    memcpy(buf.data() + 3, &a, 32);
    memcpy(buf.data() + 39, &a, 32);
    Matrix m;
    m.Translate(10, 0, 0);
    m.TransformBuf(buf.data(), 3, 2, 36, nullptr);
    Vtx r;
    memcpy(&r, buf.data() + 39, 32);
    EXPECT_EQ(r.px, 11.0f);
    EXPECT_EQ(r.ny, 1.0f);
    memcpy(&r, buf.data() + 3, 32);
    EXPECT_EQ(r.px, 11.0f);
    EXPECT_EQ(buf[0], 0xAB);
    EXPECT_EQ(buf[35], 0xAB); // the tag between records is untouched
    EXPECT_EQ(buf[38], 0xAB);
}

TEST(MatrixStackLimits, FifteenPushesThenMessage) {
    MatrixStack s;
    EXPECT_EQ(s.top, 0);
    testing::internal::CaptureStdout();
    for (int n = 0; n < 15; n++)
        s.Push();
    std::string quiet = testing::internal::GetCapturedStdout();
    EXPECT_EQ(quiet, "");
    EXPECT_EQ(s.top, 15);
    testing::internal::CaptureStdout();
    s.Push();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Matrix Stack Push limit breached.\n");
    EXPECT_EQ(s.top, 15);
}

TEST(MatrixStackLimits, PopAtBottomPrints) {
    MatrixStack s;
    testing::internal::CaptureStdout();
    s.Pop();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Matrix Stack Pop limit breached.\n");
    EXPECT_EQ(s.top, 0);
}

TEST(MatrixStackLimits, PushCopiesAndPopRestores) {
    MatrixStack s;
    s.Translate(1, 2, 3);
    s.Push();
    EXPECT_EQ(s.Ptr()[12], 1.0f);
    s.Scale(5, 5, 5);
    s.Rotate(0, 0, 1, 1.0f);
    EXPECT_NE(s.Ptr()[0], 1.0f);
    s.Pop();
    const float want[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1};
    ExpectMatrix(s.Ptr(), want);
    EXPECT_EQ(s.Ptr(), s.stack[0].m);
}

TEST(MatrixStackLimits, ResetKeepsUpperSlots) {
    MatrixStack s;
    s.Push();
    s.Translate(4, 0, 0);
    s.Reset();
    EXPECT_EQ(s.top, 0);
    EXPECT_EQ(s.Ptr()[12], 0.0f);
    EXPECT_EQ(s.stack[1].m[12], 4.0f);
}

TEST(LargestAxiTest, RanksBySignedMagnitude) {
    V3 v(1, -3, 2);
    EXPECT_EQ(LargestAxi(v, 0), 1);
    EXPECT_EQ(LargestAxi(v, 1), 5);
    EXPECT_EQ(LargestAxi(v, 2), 3);
    V3 ones(1, 1, 1);
    EXPECT_EQ(LargestAxi(ones, 0), 3);
    EXPECT_EQ(LargestAxi(ones, 1), 4);
    EXPECT_EQ(LargestAxi(ones, 2), 5);
    V3 neg(-1, -1, 0);
    EXPECT_EQ(LargestAxi(neg, 0), 0);
    EXPECT_EQ(LargestAxi(neg, 2), 5); // zero counts as the positive side
    // Only ranks 0 to 2 exist.
    EXPECT_EQ(LargestAxi(v, 3), -1);
    EXPECT_EQ(LargestAxi(v, -1), -1);
}

TEST_F(GLTest, LookAtV3LoadsTheView) {
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(9, 9, 9); // replaced, not multiplied
    LookAtV3(V3(0, 0, 0), V3(0, -5, 0));
    float got[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, got);
    const float want[16] = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, -5, 1};
    ExpectMatrix(got, want, 1e-6f);
}
