// Tests of the geometry manager: OBJ files become one loaded item per segment, created
// meshes, Place through the model and texture stacks, its error lines and drawing by index.
#include "geometry.h"
#include "glfixture.h"
#include "programKind.h"
#include "scratch.h"
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A private folder for the test's OBJ files, removed afterwards.
class ObjFolder {
  public:
    ScratchDir scratch{"velk-geom"};
    std::string dir = scratch.Path() + "/";
    std::string Write(const std::string& name, const std::string& text) {
        std::string path = dir + name;
        FILE* f = fopen(path.c_str(), "wb");
        if (f) {
            fwrite(text.data(), 1, text.size(), f);
            fclose(f);
        }
        return path;
    }
};

Geometry* Geom(GeometryManager& m, int index) {
    return reinterpret_cast<Geometry*>(m.GetItem(index));
}

const char* kTriangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0.25 0.5\nvn 0 0 1\nf 1/1/1 2/1/1 3/1/1\n";

std::vector<float> Floats(FloatDataBlock& b) {
    const float* f = (const float*)b.Ptr();
    return std::vector<float>(f, f + b.Len() / 4);
}

} // namespace

TEST(GeometryManager, ObjSegmentsBecomeConsecutiveLoadedItems) {
    ObjFolder folder;
    std::string path = folder.Write("three.obj", "o Wheel_L\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"
                                                 "o Body\nf 1 2 3 1\ng Body_Paint\nf 3 2 1\n");
    GeometryManager m;
    EXPECT_FALSE(m.allowUnbind);
    EXPECT_EQ(m.NewGeom(), 0);
    int first = -1, count = -1;
    testing::internal::CaptureStdout();
    m.AddContent(path.c_str(), "", &first, &count);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(m.itemCount, 4);

    MediaManagerGroup* g = m.GetGroup(0);
    ASSERT_EQ(g->entryCount, 4);
    EXPECT_STREQ(g->entryPtr[1].name, "wheel");
    EXPECT_STREQ(g->entryPtr[2].name, "body");
    EXPECT_STREQ(g->entryPtr[3].name, "body");
    for (int e = 1; e < 4; e++) {
        EXPECT_TRUE(g->entryPtr[e].loaded);
        EXPECT_EQ(g->entryPtr[e].itemIndex, e);
        EXPECT_EQ(g->entryPtr[e].fileIndex, 1);
        EXPECT_NE(m.GetLoadedItem(e), nullptr);
    }
    GroupFileItem* f = (GroupFileItem*)g->files.Get(1);
    EXPECT_STREQ(f->path.CStr(), path.c_str());
    EXPECT_EQ(f->state, 1);
    EXPECT_EQ(f->firstEntry, 1);
    EXPECT_EQ(f->lastEntry, 3);

    EXPECT_EQ(Geom(m, 1)->triCount, 1);
    EXPECT_EQ(Geom(m, 2)->quadCount, 1);
    EXPECT_EQ(Geom(m, 3)->triCount, 1);
    EXPECT_EQ(m.GetIndex("body", ""), 2); // the first of the two
    EXPECT_EQ(m.GetItem("wheel", ""), (int*)Geom(m, 1));
}

TEST(GeometryManager, ObjWithoutObjectStatementsIsOneUnnamedItem) {
    ObjFolder folder;
    std::string path = folder.Write("plain.obj", kTriangle);
    GeometryManager m;
    int first = -1, count = -1;
    m.AddContent(path.c_str(), "props", &first, &count);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(count, 1);
    MediaManagerGroup* g = m.GetGroup("props");
    ASSERT_NE(g, nullptr);
    EXPECT_STREQ(g->entryPtr[0].name, "");
    EXPECT_EQ(Geom(m, 0)->triCount, 1);
}

TEST(GeometryManager, OtherExtensionsAddNothing) {
    ObjFolder folder;
    std::string upper = folder.Write("model.OBJ", kTriangle);
    std::string vlo = folder.Write("model.vlo", kTriangle);
    std::string noDot = folder.Write("obj", kTriangle);
    GeometryManager m;
    int first = -1, count = -1;
    testing::internal::CaptureStdout();
    m.AddContent(upper.c_str(), "", &first, &count);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(first, 0);
    EXPECT_EQ(count, 0);
    GroupFileItem* f = (GroupFileItem*)m.GetGroup(0)->files.Get(0);
    EXPECT_EQ(f->state, 1);
    EXPECT_EQ(f->firstEntry, 0);
    EXPECT_EQ(f->lastEntry, -1);

    testing::internal::CaptureStdout();
    m.AddContent(vlo.c_str(), "", &first, &count);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: vlo files no longer supported.\n");
    EXPECT_EQ(count, 0);
    m.AddContent(noDot.c_str(), "", &first, &count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(m.itemCount, 0);
    EXPECT_EQ(m.GetGroup(0)->entryCount, 0);
    EXPECT_EQ(m.GetGroup(0)->files.Count(), 3);

    EXPECT_EQ(m.NewGeom("next"), 0); // the index the skipped files would have had
}

TEST(GeometryManager, MissingObjFileIsOneEmptyItem) {
    GeometryManager m;
    int first = -1, count = -1;
    testing::internal::CaptureStdout();
    m.AddContent("/nonexistent/velk/missing.obj", "", &first, &count);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(count, 1);
    ASSERT_NE(Geom(m, 0), nullptr);
    EXPECT_EQ(Geom(m, 0)->triCount + Geom(m, 0)->quadCount, 0);
    EXPECT_STREQ(m.GetGroup(0)->entryPtr[0].name, "");
}

TEST(GeometryManager, SegmentsCrossingIntoTheSecondSubList) {
    std::string text;
    for (int i = 0; i < 10; i++)
        text += "o part" + std::to_string(i) + "\nv " + std::to_string(i) + " 0 0\nf " +
                std::to_string(i + 1) + " " + std::to_string(i + 1) + " " + std::to_string(i + 1) + "\n";
    ObjFolder folder;
    std::string path = folder.Write("ten.obj", text);
    GeometryManager m;
    for (int i = 0; i < 250; i++)
        m.NewGeom();
    int first = -1, count = -1;
    m.AddContent(path.c_str(), "parts", &first, &count);
    EXPECT_EQ(first, 250);
    EXPECT_EQ(count, 10);
    EXPECT_EQ(m.itemCount, 260);
    ASSERT_EQ(m.subLists.Count(), 2);
    MediaManagerSubList* second = (MediaManagerSubList*)m.subLists.Get(1);
    for (int i = 256; i < 260; i++) {
        EXPECT_EQ(m.GetItemPtr(i), &second->slots[i - 256]);
        ASSERT_NE(second->slots[i - 256], nullptr);
    }
    // Segment k is item first + k: part6 is item 256, whose vertex is the 7th.
    EXPECT_EQ(m.GetIndex("part6", "parts"), 6);
    EXPECT_EQ(Floats(Geom(m, 256)->tris)[0], 6.0f);
}

TEST(GeometryManager, NewGeomCreatesNamedEmptyItems) {
    GeometryManager m;
    EXPECT_EQ(m.NewGeom(), 0);
    EXPECT_EQ(m.NewGeom("floor"), 1);
    EXPECT_EQ(m.NewGeom("level", "wall"), 2);
    EXPECT_EQ(m.GetIndex("floor", ""), 1);
    EXPECT_EQ(m.GetIndex("wall", "level"), 0);
    EXPECT_STREQ(m.GetGroup(0)->entryPtr[0].name, "");
    Geometry* g = Geom(m, 2);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->triCount + g->quadCount, 0);
    EXPECT_EQ(m.GetItem("wall", "level"), (int*)g);
}

TEST(GeometryManager, PlaceAppendsTransformedCopies) {
    ObjFolder folder;
    GeometryManager m;
    int src = -1;
    m.AddContent(folder.Write("tri.obj", kTriangle).c_str(), "", &src, nullptr);
    int dst = m.NewGeom("dst");
    m.Translate(1, 0, 0);
    m.Place(src, dst);
    Geometry* d = Geom(m, dst);
    ASSERT_EQ(d->triCount, 1);
    EXPECT_TRUE(d->needsCompile);
    std::vector<float> f = Floats(d->tris);
    EXPECT_FLOAT_EQ(f[0], 1);  // (0, 0, 0) moved by +1 in x
    EXPECT_FLOAT_EQ(f[8], 2);  // (1, 0, 0)
    EXPECT_FLOAT_EQ(f[17], 1); // (0, 1, 0) keeps its y
    EXPECT_FLOAT_EQ(f[5], 1);  // the normal is unchanged
    EXPECT_FLOAT_EQ(f[6], 0.25f);

    m.Place(src, dst);
    EXPECT_EQ(d->triCount, 2);
    EXPECT_EQ(Geom(m, src)->triCount, 1); // the source stays as it was
    EXPECT_FLOAT_EQ(Floats(Geom(m, src)->tris)[0], 0);
}

TEST(GeometryManager, TextureStackMovesCopiedTextureCoordinates) {
    ObjFolder folder;
    GeometryManager m;
    int src = -1;
    m.AddContent(folder.Write("tri.obj", kTriangle).c_str(), "", &src, nullptr);
    int a = m.NewGeom(), b = m.NewGeom(), c = m.NewGeom();
    m.TexTranslate(0.5f, 0);
    m.Place(src, a);
    EXPECT_FLOAT_EQ(Floats(Geom(m, a)->tris)[6], 0.75f);
    EXPECT_FLOAT_EQ(Floats(Geom(m, a)->tris)[7], 0.5f);
    m.TexReset();
    m.TexScale(2, 2);
    m.Place(src, b);
    EXPECT_FLOAT_EQ(Floats(Geom(m, b)->tris)[6], 0.5f);
    EXPECT_FLOAT_EQ(Floats(Geom(m, b)->tris)[7], 1.0f);
    // Push and pop bring the previous matrix back.
    m.TexPush();
    m.TexTranslate(3, 3);
    m.TexPop();
    m.Place(src, c);
    EXPECT_FLOAT_EQ(Floats(Geom(m, c)->tris)[6], 0.5f);
    EXPECT_EQ(m.texStack.top, 0);
}

TEST(GeometryManager, ModelStackOperations) {
    ObjFolder folder;
    GeometryManager m;
    int src = -1;
    m.AddContent(folder.Write("tri.obj", kTriangle).c_str(), "", &src, nullptr);
    int a = m.NewGeom(), b = m.NewGeom();
    m.Push();
    m.Scale(5, 5, 5);
    m.Pop();
    m.Rotate(0, 0, 1, 3.14159265f / 2); // radians: (1, 0, 0) turns to (0, 1, 0)
    m.Place(src, a);
    std::vector<float> f = Floats(Geom(m, a)->tris);
    EXPECT_NEAR(f[8], 0, 1e-6);
    EXPECT_NEAR(f[9], 1, 1e-6);
    m.Reset();
    m.Place(src, b);
    EXPECT_EQ(Floats(Geom(m, b)->tris), Floats(Geom(m, src)->tris));
    EXPECT_EQ(m.modelStack.top, 0);

    testing::internal::CaptureStdout();
    m.Pop();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Matrix Stack Pop limit breached.\n");
}

TEST(GeometryManager, PlaceErrors) {
    ObjFolder folder;
    GeometryManager m;
    int src = -1;
    m.AddContent(folder.Write("tri.obj", kTriangle).c_str(), "", &src, nullptr);
    int dst = m.NewGeom("dst");

    testing::internal::CaptureStdout();
    m.Place(-1, dst);
    m.Place(m.itemCount, dst);
    m.Place(src, m.itemCount);
    m.Place(src, -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERR 1235\nERR 1235\nERR 5123\nERR 5123\n");
    EXPECT_EQ(Geom(m, dst)->triCount, 0);

    testing::internal::CaptureStdout();
    m.Place("", "nothing", dst);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error 46561\nError: Place(): group or name not valid.\n");
    testing::internal::CaptureStdout();
    m.Place("nogroup", "dst", dst);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Place(): group or name not valid.\n");
    testing::internal::CaptureStdout();
    m.Place("", "dst", m.itemCount);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERR 5123\n");
    EXPECT_EQ(Geom(m, dst)->triCount, 0);

    // By name, with the item in a named group: its global index is used.
    m.NewGeom("extra");
    int named = -1;
    m.AddContent(folder.Write("named.obj", std::string("o Fin_Left\n") + kTriangle).c_str(), "boat", &named,
                 nullptr);
    EXPECT_EQ(named, 3);
    m.Place("boat", "fin", dst);
    EXPECT_EQ(Geom(m, dst)->triCount, 1);
}

TEST(GeometryManager, PathPrefixAndVelkRun) {
    ObjFolder folder;
    folder.Write("pre.obj", kTriangle);
    {
        GeometryManager m;
        m.SetPathPrefix(folder.dir.c_str());
        int count = 0;
        m.AddContent("pre.obj", "", nullptr, &count);
        EXPECT_EQ(Geom(m, 0)->triCount, 1);
        GroupFileItem* f = (GroupFileItem*)m.GetGroup(0)->files.Get(0);
        EXPECT_EQ(std::string(f->path.CStr()), folder.dir + "pre.obj");
    }
    SetCurrentProgram(ProgramKind::Run);
    {
        GeometryManager m;
        m.SetPathPrefix(folder.dir.c_str()); // no prefix in velkRun: the path is used as given
        m.AddContent("pre.obj", "", nullptr, nullptr);
        EXPECT_EQ(Geom(m, 0)->triCount, 0); // not found relative to the working directory
        m.AddContent((folder.dir + "pre.obj").c_str(), "", nullptr, nullptr);
        EXPECT_EQ(Geom(m, 1)->triCount, 1);
    }
    SetCurrentProgram(ProgramKind::Engine);
}

// Using an item draws it where GL's matrices say; the manager's stacks play no part.
TEST_F(GLTest, UseDrawsTheItemAndMinusOneDrawsNothing) {
    ObjFolder folder;
    GeometryManager m;
    int quad = -1;
    m.AddContent(folder.Write("q.obj", "v -1 -1 0\nv 0 -1 0\nv 0 0 0\nv -1 0 0\nf 1 2 3 4\n").c_str(), "",
                 &quad, nullptr);
    testing::internal::CaptureStdout();
    m.Use(-1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(CountNot({0, 0, 0, 0}), 0);

    m.Translate(1, 1, 0);
    m.Use(quad);
    EXPECT_EQ(CountNot({0, 0, 0, 0}), 128 * 128);
    EXPECT_EQ(Pixel(30, 30).r, 255);
    EXPECT_EQ(Pixel(200, 200).r, 0);

    glClear(GL_COLOR_BUFFER_BIT);
    int copy = m.NewGeom("copy");
    m.Place(quad, copy); // baked with the translation
    m.Use("copy");
    EXPECT_EQ(Pixel(200, 200).r, 255);
    EXPECT_EQ(Pixel(30, 30).r, 0);
}
