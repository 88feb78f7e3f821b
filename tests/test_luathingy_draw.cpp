// The script API's drawing, transform, colour and GL-state functions, checked by what they
// do to GL (state queries and pixels) and to the geometry manager's matrices and meshes.
#include "glfixture.h"
#include "luathingy.h"
#include "luathingy_testing.h"
#include "programKind.h"

#include <SFML/OpenGL.hpp>
#include <cmath>

namespace {

// A bare script host (no window, no script) drawing into the GL fixture's context.
class DrawApiTest : public GLTest, protected BareScriptHost {
  protected:
    TempWorkDir dir;

    void SetUp() override {
        GLTest::SetUp();
        MakeHost();
    }
    void TearDown() override {
        DropHost();
        SetCurrentProgram(ProgramKind::Engine);
    }
    void MakeHost() {
        OpenHost();
        // Baseline that the fixture does not reset.
        glDepthMask(GL_TRUE);
        glBlendFunc(GL_ONE, GL_ZERO);
        glLogicOp(GL_COPY);
        glCullFace(GL_BACK);
        glLineWidth(1);
        glDisable(GL_LIGHT0);
        glDisable(GL_LIGHT1);
        glDisable(GL_LIGHT2);
    }
    static void Modelview(float m[16]) { glGetFloatv(GL_MODELVIEW_MATRIX, m); }
    static GLint Int(GLenum e) {
        GLint v = 0;
        glGetIntegerv(e, &v);
        return v;
    }
    static bool On(GLenum e) { return glIsEnabled(e) == GL_TRUE; }
    static void Color(float c[4]) { glGetFloatv(GL_CURRENT_COLOR, c); }
    // Adds a one-quad mesh (the unit quad's file) to the geometry manager; returns its index.
    int AddQuadMesh(const char* group = "") {
        int first = -1;
        // velkRun's managers take paths as given; velkEngine's prefix "media/".
        const char* path = host->runVariant ? "media/geom/quad.obj" : "geom/quad.obj";
        host->geometryManager.AddContent(path, group, &first, nullptr);
        return first;
    }
    Geometry* Mesh(int index) { return (Geometry*)host->geometryManager.GetItem(index); }
    // Pixels of the back buffer with any colour in them (alpha aside).
    static int CountLit() {
        int n = 0;
        for (const RGBA& p : ReadAll())
            if (p.r || p.g || p.b) n++;
        return n;
    }
};

const char* kTooFew = "ERR: too few args: \n";

// Every drawing row's minimum and tag: one argument short prints the line once and the call
// goes on; rows without a test never print.
TEST_F(DrawApiTest, MinimumTestsAndTags) {
    struct Row {
        const char* call;
        const char* tag; // null: no line
    } rows[] = {
        {"Geom()", ""},
        {"Move()", ""},
        {"Rotate()", ""},
        {"Scale()", ""},
        {"GMove()", ""},
        {"GRotate()", ""},
        {"GScale()", ""},
        {"Place()", ""},
        {"TMove()", ""},
        {"TRotate(0, 0, 1)", ""},
        {"TScale()", ""},
        {"SetLighting()", "lighting"},
        {"SetLight()", "lighting"},
        {"SetLightColor(0, 1, 1)", ""},
        {"SetLightAtten(0, 1, 1)", ""},
        {"Color()", "color"},
        {"Blend()", ""},
        {"Depth()", ""},
        {"Logic()", ""},
        {"BackColor(0, 0, 0)", "BackColor"},
        {"Culling()", "lighting"},
        {"SetAmbientColor(0, 0)", ""},
        {"NewGeom()", nullptr},
        {"Push() Pop()", nullptr},
        {"GPush() GPop() GReset()", nullptr},
        {"TPush() TPop() TReset()", nullptr},
        {"DrawLine()", nullptr},
        {"Quad()", nullptr},
    };
    for (const Row& row : rows) {
        std::string expected = row.tag ? std::string("ERR: too few args: ") + row.tag + "\n" : "";
        EXPECT_EQ(Lua(row.call), expected) << row.call;
        glLoadIdentity();
    }
    // Enough arguments: no line.
    EXPECT_EQ(
        Lua("TRotate(0, 0, 1, 0) SetLightColor(0, 1, 1, 1) BackColor(0, 0, 0, 0) SetAmbientColor(0, 0, 0)"),
        "");
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_LOGIC_OP);
}

TEST_F(DrawApiTest, MoveTranslatesWithMissingCoordinatesZero) {
    float m[16];
    EXPECT_EQ(Lua("Move(1, 2, 3)"), "");
    Modelview(m);
    EXPECT_FLOAT_EQ(m[12], 1);
    EXPECT_FLOAT_EQ(m[13], 2);
    EXPECT_FLOAT_EQ(m[14], 3);

    glLoadIdentity();
    Lua("Move(4)");
    Modelview(m);
    EXPECT_FLOAT_EQ(m[12], 4);
    EXPECT_FLOAT_EQ(m[13], 0);

    // Defaults follow the count, not nil: a nil at position 2 reads as 0, z is still read.
    glLoadIdentity();
    Lua("Move(1, nil, 5)");
    Modelview(m);
    EXPECT_FLOAT_EQ(m[13], 0);
    EXPECT_FLOAT_EQ(m[14], 5);

    // Numeric strings count as numbers, anything else as 0.
    glLoadIdentity();
    Lua("Move('2.5', {}, true)");
    Modelview(m);
    EXPECT_FLOAT_EQ(m[12], 2.5f);
    EXPECT_FLOAT_EQ(m[13], 0);
    EXPECT_FLOAT_EQ(m[14], 0);
}

TEST_F(DrawApiTest, MoveWithoutArgumentsWarnsAndMovesByNothing) {
    float m[16];
    EXPECT_EQ(Lua("Move()"), kTooFew);
    Modelview(m);
    for (int i = 0; i < 16; i++)
        EXPECT_FLOAT_EQ(m[i], (i % 5 == 0) ? 1.0f : 0.0f);
}

TEST_F(DrawApiTest, RotateTakesHalfTurns) {
    float m[16];
    Lua("Rotate(0.5)"); // 90 degrees about +Z
    Modelview(m);
    EXPECT_NEAR(m[0], 0, 1e-6);
    EXPECT_NEAR(m[1], 1, 1e-6);
    EXPECT_NEAR(m[4], -1, 1e-6);

    glLoadIdentity();
    Lua("Rotate(0, 1, 0, 0.5)"); // 90 degrees about +Y
    Modelview(m);
    EXPECT_NEAR(m[8], 1, 1e-6);
    EXPECT_NEAR(m[2], -1, 1e-6);

    // Two arguments: axis (1, 0, 0) with the missing third and the angle reading 0.
    glLoadIdentity();
    Lua("Rotate(1, 0)");
    Modelview(m);
    for (int i = 0; i < 16; i++)
        EXPECT_FLOAT_EQ(m[i], (i % 5 == 0) ? 1.0f : 0.0f);
}

TEST_F(DrawApiTest, ScaleUniformOrPerAxis) {
    float m[16];
    Lua("Scale(2)");
    Modelview(m);
    EXPECT_FLOAT_EQ(m[0], 2);
    EXPECT_FLOAT_EQ(m[5], 2);
    EXPECT_FLOAT_EQ(m[10], 2);
    glLoadIdentity();
    Lua("Scale(2, 3)");
    Modelview(m);
    EXPECT_FLOAT_EQ(m[0], 2);
    EXPECT_FLOAT_EQ(m[5], 3);
    EXPECT_FLOAT_EQ(m[10], 0);
}

TEST_F(DrawApiTest, PushAndPopTheGLMatrix) {
    Lua("Push() Move(1, 0, 0)");
    EXPECT_EQ(Int(GL_MODELVIEW_STACK_DEPTH), 2);
    Lua("Pop()");
    EXPECT_EQ(Int(GL_MODELVIEW_STACK_DEPTH), 1);
    float m[16];
    Modelview(m);
    EXPECT_FLOAT_EQ(m[12], 0);
}

TEST_F(DrawApiTest, ColorForms) {
    float c[4];
    Lua("Color(0.5)");
    Color(c);
    EXPECT_FLOAT_EQ(c[0], 0.5f);
    EXPECT_FLOAT_EQ(c[1], 0.5f);
    EXPECT_FLOAT_EQ(c[2], 0.5f);
    EXPECT_FLOAT_EQ(c[3], 1);
    Lua("Color(1, 0)");
    Color(c);
    EXPECT_FLOAT_EQ(c[0], 1);
    EXPECT_FLOAT_EQ(c[1], 0);
    EXPECT_FLOAT_EQ(c[2], 0);
    EXPECT_FLOAT_EQ(c[3], 1);
    Lua("Color(0.25, 0.5, 0.75, 0.125)");
    Color(c);
    EXPECT_FLOAT_EQ(c[2], 0.75f);
    EXPECT_FLOAT_EQ(c[3], 0.125f);
    EXPECT_EQ(Lua("Color()"), "ERR: too few args: color\n");
    Color(c);
    EXPECT_FLOAT_EQ(c[0], 0);
    EXPECT_FLOAT_EQ(c[3], 1);
}

TEST_F(DrawApiTest, ColoredQuadAndBackColorShowInPixels) {
    EXPECT_EQ(Lua("BackColor(0, 0, 1, 1)"), "");
    glClear(GL_COLOR_BUFFER_BIT);
    Lua("Color(1, 0, 0) Quad()");
    RGBA centre = Pixel(128, 128), corner = Pixel(5, 5);
    EXPECT_EQ(centre.r, 255);
    EXPECT_EQ(centre.b, 0);
    EXPECT_EQ(corner.b, 255);
    EXPECT_EQ(corner.r, 0);
    // The unit quad spans half the view: its edge lies at a quarter of the window.
    EXPECT_EQ(Pixel(60, 128).r, 0);
    EXPECT_EQ(Pixel(70, 128).r, 255);

    EXPECT_EQ(Lua("BackColor(1, 0, 0)"), "ERR: too few args: BackColor\n");
    float clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[0], 1);
    EXPECT_FLOAT_EQ(clear[3], 0);
}

TEST_F(DrawApiTest, BlendShorthandsAndPairs) {
    Lua("Blend(0)");
    EXPECT_TRUE(On(GL_BLEND));
    EXPECT_EQ(Int(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(Int(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
    Lua("Blend(1)");
    EXPECT_EQ(Int(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(Int(GL_BLEND_DST), GL_ONE);
    Lua("Blend(-1)");
    EXPECT_FALSE(On(GL_BLEND));

    // A source other than 0 and 1 alone enables blending and keeps the function.
    glBlendFunc(GL_ZERO, GL_SRC_COLOR);
    Lua("Blend(2)");
    EXPECT_TRUE(On(GL_BLEND));
    EXPECT_EQ(Int(GL_BLEND_SRC), GL_ZERO);
    EXPECT_EQ(Int(GL_BLEND_DST), GL_SRC_COLOR);

    Lua("Blend(4, 5)");
    EXPECT_EQ(Int(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(Int(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
    Lua("Blend(2, 3)");
    EXPECT_EQ(Int(GL_BLEND_SRC), GL_DST_COLOR);
    EXPECT_EQ(Int(GL_BLEND_DST), GL_ONE_MINUS_SRC_COLOR);
    Lua("Blend(8, 7)");
    EXPECT_EQ(Int(GL_BLEND_SRC), GL_SRC_ALPHA_SATURATE);
    EXPECT_EQ(Int(GL_BLEND_DST), GL_ONE_MINUS_DST_ALPHA);

    // Truncation toward zero: -0.5 is source 0, alpha blending.
    Lua("Blend(-1) Blend(-0.5)");
    EXPECT_TRUE(On(GL_BLEND));
    EXPECT_EQ(Int(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(Lua("Blend()"), kTooFew);
}

TEST_F(DrawApiTest, BlendIndexesPastTheTablesKeepTheFunction) {
    glBlendFunc(GL_ZERO, GL_SRC_COLOR);
    for (const char* call : {"Blend(9, 0)", "Blend(0, 8)", "Blend(1000000, 1000000)", "Blend(3e12, 1)"}) {
        glDisable(GL_BLEND);
        Lua(call);
        EXPECT_TRUE(On(GL_BLEND)) << call;
        EXPECT_EQ(Int(GL_BLEND_SRC), GL_ZERO) << call;
        EXPECT_EQ(Int(GL_BLEND_DST), GL_SRC_COLOR) << call;
    }
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(DrawApiTest, AdditiveBlendAddsPixels) {
    glClearColor(0, 0, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    Lua("Blend(1) Color(1, 0, 0, 1) Quad()");
    RGBA p = Pixel(128, 128);
    EXPECT_EQ(p.r, 255);
    EXPECT_NEAR(p.b, 128, 1);
}

TEST_F(DrawApiTest, DepthTestAndWriteFlags) {
    Lua("Depth(1, 0)");
    EXPECT_TRUE(On(GL_DEPTH_TEST));
    EXPECT_EQ(Int(GL_DEPTH_WRITEMASK), GL_FALSE);
    EXPECT_EQ(Int(GL_DEPTH_FUNC), GL_LEQUAL);
    Lua("Depth(0)");
    EXPECT_FALSE(On(GL_DEPTH_TEST));
    EXPECT_EQ(Int(GL_DEPTH_WRITEMASK), GL_FALSE);
    Lua("Depth(0, 1)");
    EXPECT_FALSE(On(GL_DEPTH_TEST));
    EXPECT_EQ(Int(GL_DEPTH_WRITEMASK), GL_TRUE);
    Lua("Depth(0) Depth(0.5)");
    EXPECT_TRUE(On(GL_DEPTH_TEST));
    EXPECT_EQ(Int(GL_DEPTH_WRITEMASK), GL_TRUE);
    // NaN is not 0, so it counts as true.
    Lua("Depth(0) Depth(0/0)");
    EXPECT_TRUE(On(GL_DEPTH_TEST));
    float range[2];
    glDepthRange(0.2, 0.8);
    Lua("Depth(1)");
    glGetFloatv(GL_DEPTH_RANGE, range);
    EXPECT_FLOAT_EQ(range[0], 0);
    EXPECT_FLOAT_EQ(range[1], 1);
}

TEST_F(DrawApiTest, LogicOperationsByTheirOwnOrder) {
    const GLenum expected[16] = {GL_CLEAR,       GL_SET,          GL_COPY,       GL_COPY_INVERTED,
                                 GL_NOOP,        GL_INVERT,       GL_AND,        GL_NAND,
                                 GL_OR,          GL_NOR,          GL_XOR,        GL_EQUIV,
                                 GL_AND_REVERSE, GL_AND_INVERTED, GL_OR_REVERSE, GL_OR_INVERTED};
    for (int i = 0; i < 16; i++) {
        Lua("Logic(" + std::to_string(i) + ")");
        EXPECT_TRUE(On(GL_COLOR_LOGIC_OP));
        EXPECT_EQ(Int(GL_LOGIC_OP_MODE), (GLint)expected[i]) << i;
    }
    Lua("Logic(-1)");
    EXPECT_FALSE(On(GL_COLOR_LOGIC_OP));
}

TEST_F(DrawApiTest, LogicIndexPastTheTableChangesNothing) {
    Lua("Logic(10) Logic(16)");
    EXPECT_TRUE(On(GL_COLOR_LOGIC_OP));
    EXPECT_EQ(Int(GL_LOGIC_OP_MODE), GL_XOR);
    Lua("Logic(-1) Logic(99)");
    EXPECT_FALSE(On(GL_COLOR_LOGIC_OP));
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(DrawApiTest, XorLogicShowsInPixels) {
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    Lua("Logic(10) Color(1, 0, 0) Quad() Logic(-1)");
    RGBA p = Pixel(128, 128);
    EXPECT_EQ(p.r, 0);
    EXPECT_EQ(p.g, 255);
}

TEST_F(DrawApiTest, CullingBackFaces) {
    glCullFace(GL_FRONT);
    Lua("Culling(1)");
    EXPECT_TRUE(On(GL_CULL_FACE));
    EXPECT_EQ(Int(GL_CULL_FACE_MODE), GL_BACK);
    // The quad faces +z: counter-clockwise, so seen from behind it is culled.
    Lua("Color(1, 1, 1) Rotate(0, 1, 0, 1) Quad()");
    EXPECT_EQ(Pixel(128, 128).r, 0);
    Lua("Culling(0) Quad()");
    EXPECT_FALSE(On(GL_CULL_FACE));
    EXPECT_EQ(Pixel(128, 128).r, 255);
    EXPECT_EQ(Lua("Culling()"), "ERR: too few args: lighting\n");
}

TEST_F(DrawApiTest, DrawLineDrawsOneThinLine) {
    glLineWidth(4);
    EXPECT_EQ(Lua("Color(1, 1, 1) DrawLine(-1, 0.5, 0, 1, 0.5, 0)"), ""); // no minimum test
    float width = 0;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_FLOAT_EQ(width, 1);
    // Row 192 is y = 0.5; one pixel thick.
    int lit = 0;
    for (int y = 185; y < 200; y++)
        if (Pixel(128, y).r == 255) lit++;
    EXPECT_EQ(lit, 1);
    // Missing coordinates read 0: a line from (-1, 0.5) to the origin.
    glClear(GL_COLOR_BUFFER_BIT);
    Lua("DrawLine(-1, -1)");
    int diagonal = CountLit();
    EXPECT_GT(diagonal, 100);
    EXPECT_LT(diagonal, 200);
    EXPECT_EQ(Pixel(200, 200).r, 0);
}

TEST_F(DrawApiTest, LightingAndLights) {
    EXPECT_EQ(Lua("SetLighting(1)"), "");
    EXPECT_TRUE(On(GL_LIGHTING));
    Lua("SetLighting(0)");
    EXPECT_FALSE(On(GL_LIGHTING));

    Lua("SetLight(0, 1, 2, 3)");
    EXPECT_TRUE(On(GL_LIGHTING));
    EXPECT_TRUE(On(GL_LIGHT0));
    float pos[4];
    glGetLightfv(GL_LIGHT0, GL_POSITION, pos);
    EXPECT_FLOAT_EQ(pos[0], 1);
    EXPECT_FLOAT_EQ(pos[2], 3);
    EXPECT_FLOAT_EQ(pos[3], 1);

    // Light 2 is beyond SetLight's reach, but lighting is still switched on.
    Lua("SetLighting(0) SetLight(2.7, 1, 1, 1)");
    EXPECT_TRUE(On(GL_LIGHTING));
    EXPECT_FALSE(On(GL_LIGHT2));

    Lua("SetLightColor(2, 0.5, 0.25, 1)");
    float diffuse[4];
    glGetLightfv(GL_LIGHT2, GL_DIFFUSE, diffuse);
    EXPECT_FLOAT_EQ(diffuse[0], 0.5f);
    EXPECT_FLOAT_EQ(diffuse[1], 0.25f);
    EXPECT_FLOAT_EQ(diffuse[3], 1);

    Lua("SetLightAtten(1, 2, 3, 4)");
    float att = 0;
    glGetLightfv(GL_LIGHT1, GL_LINEAR_ATTENUATION, &att);
    EXPECT_FLOAT_EQ(att, 3);
    glGetLightfv(GL_LIGHT1, GL_QUADRATIC_ATTENUATION, &att);
    EXPECT_FLOAT_EQ(att, 4);

    Lua("SetAmbientColor(0.1, 0.2, 0.3)");
    float ambient[4];
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, ambient);
    EXPECT_FLOAT_EQ(ambient[2], 0.3f);
    EXPECT_FLOAT_EQ(ambient[3], 1);

    EXPECT_EQ(Lua("SetLight()"), "ERR: too few args: lighting\n");
    EXPECT_EQ(Lua("SetLighting()"), "ERR: too few args: lighting\n");
    EXPECT_EQ(Lua("SetLightColor(1, 1, 1)"), kTooFew);
    EXPECT_EQ(Lua("SetLightAtten(1)"), kTooFew);
    EXPECT_EQ(Lua("SetAmbientColor(1, 1)"), kTooFew);
    glDisable(GL_LIGHTING);
}

TEST_F(DrawApiTest, GeometryModelMatrixTakesHalfTurnsAsRadians) {
    Lua("GRotate(0.5)");
    Matrix expected;
    expected.Rotate(0, 0, 1, (float)(0.5 * 3.14159265));
    for (int i = 0; i < 16; i++)
        EXPECT_FLOAT_EQ(host->geometryManager.modelStack.Ptr()[i], expected.m[i]) << i;

    Lua("GReset() GRotate(1, 0, 0, 1)");
    Matrix aboutX;
    aboutX.Rotate(1, 0, 0, (float)3.14159265);
    for (int i = 0; i < 16; i++)
        EXPECT_FLOAT_EQ(host->geometryManager.modelStack.Ptr()[i], aboutX.m[i]) << i;
}

TEST_F(DrawApiTest, GeometryRotateIsUnscaledInVelkRun) {
    DropHost();
    SetCurrentProgram(ProgramKind::Run);
    MakeHost();
    Lua("GRotate(0.5)");
    Matrix expected;
    expected.Rotate(0, 0, 1, 0.5f);
    for (int i = 0; i < 16; i++)
        EXPECT_FLOAT_EQ(host->geometryManager.modelStack.Ptr()[i], expected.m[i]) << i;
}

TEST_F(DrawApiTest, TextureRotateIsRadiansUnchanged) {
    EXPECT_EQ(Lua("TRotate(0, 0, 1, 0.5)"), "");
    Matrix expected;
    expected.Rotate(0, 0, 1, 0.5f);
    for (int i = 0; i < 16; i++)
        EXPECT_FLOAT_EQ(host->geometryManager.texStack.Ptr()[i], expected.m[i]) << i;
    EXPECT_EQ(Lua("TReset() TRotate(0, 0, 1)"), kTooFew);
}

TEST_F(DrawApiTest, PlaceCopiesThroughTheModelAndTextureStacks) {
    int source = AddQuadMesh();
    ASSERT_EQ(source, 0);
    Lua("dest = NewGeom('dest')");
    int dest = (int)GlobalNumber(L, "dest");
    EXPECT_EQ(dest, 1);

    Lua("GPush() GMove(1) TMove(0.5) Place(0, dest) GPop() TReset()");
    Geometry* g = Mesh(dest);
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(g->quadCount, 1);
    // First corner (-0.5, -0.5, 0), uv (0, 0): moved by +1 in x; u moved by 0.5.
    EXPECT_FLOAT_EQ(g->quadPtr[0], 0.5f);
    EXPECT_FLOAT_EQ(g->quadPtr[1], -0.5f);
    EXPECT_FLOAT_EQ(g->quadPtr[6], 0.5f);

    // After GPop the model matrix is the identity again; GScale per axis; TScale(2)
    // doubles u and v.
    Lua("GScale(2, 3) TScale(2) Place(0, dest) GReset() TReset()");
    ASSERT_EQ(g->quadCount, 2);
    const float* second = g->quadPtr + 4 * Geometry::kFloatsPerVertex;
    EXPECT_FLOAT_EQ(second[0], -1.0f);
    EXPECT_FLOAT_EQ(second[1], -1.5f);
    EXPECT_FLOAT_EQ(second[8 + 6], 2.0f); // second corner's u: 1 doubled

    // A uniform GScale, and GMove's missing coordinates read 0.
    Lua("GScale(4) GMove(1) Place(0, dest) GReset()");
    ASSERT_EQ(g->quadCount, 3);
    const float* third = g->quadPtr + 8 * Geometry::kFloatsPerVertex;
    EXPECT_NE(third[0], -0.5f);
    EXPECT_FLOAT_EQ(third[1], -2.0f);
    EXPECT_FLOAT_EQ(third[2], 0.0f);
}

TEST_F(DrawApiTest, PlaceByNames) {
    AddQuadMesh(); // item 0, named "quad"
    Lua("a = NewGeom('a') b = NewGeom('g', 'b') c = NewGeom('3')");
    EXPECT_EQ(GlobalNumber(L, "a"), 1);
    EXPECT_EQ(GlobalNumber(L, "b"), 2);
    EXPECT_EQ(GlobalNumber(L, "c"), 3);

    Lua("Place('quad', a)");
    EXPECT_EQ(Mesh(1)->quadCount, 1);
    Lua("Place('quad', 'a')");
    EXPECT_EQ(Mesh(1)->quadCount, 2);
    Lua("Place('g', 'b', a)"); // b is empty: nothing added, but found
    EXPECT_EQ(Mesh(1)->quadCount, 2);
    Lua("Place('', 'quad', b)");
    EXPECT_EQ(Mesh(2)->quadCount, 1);

    // A name and a number: the number is the destination's item index (2), even though
    // an item is named by a number's text ("3", item 3).
    Lua("Place('quad', 2)");
    EXPECT_EQ(Mesh(2)->quadCount, 2);
    EXPECT_EQ(Mesh(3)->quadCount, 0);

    // Missing destination name: the manager is handed -1 and reports it.
    EXPECT_EQ(Lua("Place('quad', 'nothing')"), "ERR 5123\n");
    EXPECT_EQ(Lua("Place()"), kTooFew);
    EXPECT_EQ(Lua("Place(0, 1, 2, 3)"), "");
    EXPECT_EQ(Mesh(1)->quadCount, 2);
    // Names that are no text select nothing (and do not reach the manager).
    EXPECT_EQ(Lua("Place({}, 1) Place('quad', {}) Place(true, 'a') Place('', nil, 1)"), "");
    EXPECT_EQ(Mesh(1)->quadCount, 2);
}

TEST_F(DrawApiTest, PlaceNameAndNumberReadsBothAsNamesInVelkRun) {
    DropHost();
    SetCurrentProgram(ProgramKind::Run);
    MakeHost();
    AddQuadMesh(); // item 0
    Lua("NewGeom('x') NewGeom('x2') NewGeom('1')");
    // The number 1 names item "1" (item 3), not item index 1.
    Lua("Place('quad', 1)");
    EXPECT_EQ(Mesh(1)->quadCount, 0);
    EXPECT_EQ(Mesh(3)->quadCount, 1);
    // Two numbers are still item indexes.
    Lua("Place(0, 2)");
    EXPECT_EQ(Mesh(2)->quadCount, 1);
}

TEST_F(DrawApiTest, NewGeomForms) {
    std::string out =
        Lua("n0 = NewGeom() n1 = NewGeom('x') n2 = NewGeom('grp', 'y') n3 = NewGeom('a', 'b', 'c')");
    EXPECT_EQ(out, ""); // never prints the too-few line
    EXPECT_EQ(GlobalNumber(L, "n0"), 0);
    EXPECT_EQ(GlobalNumber(L, "n1"), 1);
    EXPECT_EQ(GlobalNumber(L, "n2"), 2);
    EXPECT_EQ(GlobalNumber(L, "n3"), -1);
    EXPECT_EQ(host->geometryManager.itemCount, 3);
    EXPECT_EQ(host->geometryManager.GetIndex("y", "grp"), 0);
    EXPECT_EQ(host->geometryManager.GetIndex("x", ""), 1);
    // A name that is no text creates nothing and answers -1.
    Lua("n4 = NewGeom({}) n5 = NewGeom('g', false)");
    EXPECT_EQ(GlobalNumber(L, "n4"), -1);
    EXPECT_EQ(GlobalNumber(L, "n5"), -1);
    EXPECT_EQ(host->geometryManager.itemCount, 3);
    // Extra arguments give only the result.
    Lua("r = select('#', NewGeom('z'))");
    EXPECT_EQ(GlobalNumber(L, "r"), 1);
}

TEST_F(DrawApiTest, GeomDrawsBySelector) {
    AddQuadMesh("grp"); // item 0, entry 0 of group "grp", named "quad"
    Lua("Color(0, 1, 0)");
    struct Case {
        const char* call;
        bool draws;
    } cases[] = {
        {"Geom(0)", true},        {"Geom(0.9)", true},
        {"Geom('grp', 0)", true}, {"Geom('grp', 'quad')", true},
        {"Geom('quad')", false},  {"Geom('grp', '0')", false},
        {"Geom({})", false},      {"Geom('grp', {})", false},
        {"Geom(nil, 0)", false},  {"Geom(0, 0, 0)", false},
        {"Geom(1)", false},
    };
    for (const Case& c : cases) {
        glClear(GL_COLOR_BUFFER_BIT);
        testing::internal::CaptureStdout();
        EXPECT_EQ(RunLua(L, c.call), "") << c.call;
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(CountLit() > 0, c.draws) << c.call;
    }
    EXPECT_EQ(Lua("Geom()"), kTooFew);
}

TEST_F(DrawApiTest, GeometryStackLimitsDoNotCrash) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(RunLua(L, "for i = 1, 40 do GPush() TPush() end for i = 1, 80 do GPop() TPop() end"), "");
    testing::internal::GetCapturedStdout();
    EXPECT_GE(host->geometryManager.modelStack.top, 0);
    EXPECT_LT(host->geometryManager.modelStack.top, 16);
}

} // namespace
