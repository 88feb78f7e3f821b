// Tests of the mesh readers: the OBJ text subset with its segments and names, and the
// packed mesh segment read byte for byte, including the unsafe inputs they must survive.
#include "geometry.h"
#include "scratch.h"
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

struct Segment {
    std::unique_ptr<Geometry> geom;
    std::string name;
    bool atEnd;
    int cursor;
};

// Reads every segment of `text` like the geometry manager does.
std::vector<Segment> ReadAll(const std::string& text, ObjCollectedVertData* keep = nullptr) {
    DataBlock data;
    data.Append(text.data(), (int)text.size());
    ObjCollectedVertData local;
    ObjCollectedVertData* collected = keep ? keep : &local;
    collected->smoothing = 0;
    int cursor = 0;
    std::vector<Segment> out;
    for (int guard = 0; guard < 100; guard++) {
        Segment s;
        s.geom.reset(new Geometry());
        char name[32];
        strcpy(name, "unset");
        s.atEnd = s.geom->LoadOBJFileSegment(&data, &cursor, collected, name);
        s.name = name;
        s.cursor = cursor;
        bool end = s.atEnd;
        out.push_back(std::move(s));
        if (end) break;
    }
    return out;
}

// One vertex record of a mesh.
std::vector<float> Rec(const FloatDataBlock& block, int i) {
    const float* f = (const float*)const_cast<FloatDataBlock&>(block).Ptr() + i * 8;
    return std::vector<float>(f, f + 8);
}

const char* kCube = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                    "vt 0.1 0.2\nvt 0.3 0.4\nvt 0.5 0.6\nvt 0.7 0.8\n"
                    "vn 0 0 1\nvn 0 1 0\n";

} // namespace

TEST(ObjReader, FileWithoutObjectStatementIsOneUnnamedSegment) {
    auto segs = ReadAll(std::string(kCube) + "f 1 2 3\n");
    ASSERT_EQ(segs.size(), 1u);
    EXPECT_TRUE(segs[0].atEnd);
    EXPECT_EQ(segs[0].name, "unset"); // the name buffer is not written
    Geometry& g = *segs[0].geom;
    EXPECT_EQ(g.triCount, 1);
    EXPECT_EQ(g.quadCount, 0);
    EXPECT_EQ(g.tris.Len(), 96);
    EXPECT_TRUE(g.needsCompile);
    EXPECT_EQ(g.triPtr, (float*)g.tris.Ptr());
    EXPECT_EQ(Rec(g.tris, 1), (std::vector<float>{1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ObjReader, ObjectStatementsSplitSegmentsAndShareVertices) {
    std::string text = "o A\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\no B\nv 5 5 5\nf 4 2 3\n";
    auto segs = ReadAll(text);
    ASSERT_EQ(segs.size(), 2u);
    EXPECT_EQ(segs[0].name, "a");
    EXPECT_FALSE(segs[0].atEnd);
    EXPECT_EQ(segs[0].cursor, (int)text.find("o B")); // start of the o B line
    EXPECT_EQ(segs[1].name, "b");
    EXPECT_TRUE(segs[1].atEnd);
    EXPECT_EQ(segs[0].geom->triCount, 1);
    ASSERT_EQ(segs[1].geom->triCount, 1);
    // Vertex 2 was defined in the first segment; vertex 4 in the second.
    EXPECT_EQ(Rec(segs[1].geom->tris, 0)[0], 5);
    EXPECT_EQ(Rec(segs[1].geom->tris, 1)[0], 1);
}

TEST(ObjReader, GroupRightAfterObjectGivesAnEmptyFirstSegment) {
    auto segs = ReadAll("o Cube\ng Cube_Mat\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    ASSERT_EQ(segs.size(), 2u);
    EXPECT_EQ(segs[0].name, "cube");
    EXPECT_EQ(segs[0].geom->triCount, 0);
    EXPECT_EQ(segs[0].geom->tris.Len(), 0);
    EXPECT_TRUE(segs[0].geom->needsCompile); // marked even when nothing was added
    EXPECT_EQ(segs[1].name, "cube");
    EXPECT_EQ(segs[1].geom->triCount, 1);
}

TEST(ObjReader, SegmentNamesAreLoweredAndCutAtTheLastUnderscore) {
    struct {
        const char* word;
        const char* name;
    } cases[] = {{"Cube_Cube.001", "cube"},
                 {"my_mesh_01", "my_mesh"},
                 {"_hull", "_hull"},
                 {"MyMesh", "mymesh"},
                 {"a_", "a"},
                 {"__x", "_"},
                 {"Tab\tName_X", "tab\tname"}};
    for (auto& c : cases) {
        auto segs = ReadAll(std::string("o ") + c.word + "\n");
        ASSERT_EQ(segs.size(), 1u);
        EXPECT_EQ(segs[0].name, c.name) << c.word;
    }
    // A statement of g names a segment just as o does; the name may stand on the next line.
    auto segs = ReadAll("g\nWheel_L\n");
    EXPECT_EQ(segs[0].name, "wheel");
}

// A run of more than 31 characters is several words: the name is the first 31.
TEST(ObjReader, LongNamesAreCutTo31Characters) {
    std::string longName(40, 'Q');
    auto segs = ReadAll("o " + longName + "\nv 1 2 3\nf 1 1 1\n");
    ASSERT_EQ(segs.size(), 1u);
    EXPECT_EQ(segs[0].name, std::string(31, 'q'));
    EXPECT_EQ(segs[0].geom->triCount, 1);
}

TEST(ObjReader, FacesOfThreeAndFourCornersWithAllIndexForms) {
    auto segs = ReadAll(std::string(kCube) + "f 1 2 3\nf 1/1/1 2/2/1 3/3/2 4/4/2\nf 1/2 2/3 3/4\n");
    Geometry& g = *segs[0].geom;
    ASSERT_EQ(g.triCount, 2);
    ASSERT_EQ(g.quadCount, 1);
    EXPECT_EQ(g.tris.Len(), 2 * 96);
    EXPECT_EQ(g.quads.Len(), 128);
    EXPECT_EQ(Rec(g.quads, 0), (std::vector<float>{0, 0, 0, 0, 0, 1, 0.1f, 0.2f}));
    EXPECT_EQ(Rec(g.quads, 2), (std::vector<float>{1, 1, 0, 0, 1, 0, 0.5f, 0.6f}));
    EXPECT_EQ(Rec(g.quads, 3), (std::vector<float>{0, 1, 0, 0, 1, 0, 0.7f, 0.8f}));
    // p/t without a normal: normal (0, 0, 0).
    EXPECT_EQ(Rec(g.tris, 3), (std::vector<float>{0, 0, 0, 0, 0, 0, 0.3f, 0.4f}));
}

TEST(ObjReader, DoubleSlashCornersHaveNoTextureCoordinate) {
    auto segs = ReadAll(std::string(kCube) + "f 1//2 2//2 3//2\n");
    Geometry& g = *segs[0].geom;
    ASSERT_EQ(g.triCount, 1);
    for (int i = 0; i < 3; i++) {
        auto r = Rec(g.tris, i);
        EXPECT_EQ(r[3], 0);
        EXPECT_EQ(r[4], 1);
        EXPECT_EQ(r[5], 0);
        EXPECT_EQ(r[6], 0);
        EXPECT_EQ(r[7], 0);
    }
}

TEST(ObjReader, LastFaceWithoutLineEndStillCounts) {
    auto segs = ReadAll(std::string(kCube) + "f 1 2 3");
    ASSERT_EQ(segs.size(), 1u);
    EXPECT_TRUE(segs[0].atEnd);
    EXPECT_EQ(segs[0].geom->triCount, 1);
    // The same with trailing spaces and no line end.
    segs = ReadAll(std::string(kCube) + "f 1 2 3 4   ");
    EXPECT_TRUE(segs[0].atEnd);
    EXPECT_EQ(segs[0].geom->quadCount, 1);
}

TEST(ObjReader, TrailingSpacesDoNotCarryAFaceIntoTheNextLine) {
    auto segs = ReadAll(std::string(kCube) + "f 1 2 3   \nf 1 2 3 4 \r\nf 2 3 4\n");
    Geometry& g = *segs[0].geom;
    EXPECT_EQ(g.triCount, 2);
    EXPECT_EQ(g.quadCount, 1);
}

TEST(ObjReader, CarriageReturnLineEnds) {
    auto segs = ReadAll("o First\r\nv 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\nf 1 2 3\r\no Second\r\nf 3 2 1\r\n");
    ASSERT_EQ(segs.size(), 2u);
    EXPECT_EQ(segs[0].name, "first");
    EXPECT_EQ(segs[1].name, "second");
    EXPECT_EQ(segs[0].geom->triCount, 1);
    EXPECT_EQ(segs[1].geom->triCount, 1);
}

TEST(ObjReader, CommentAndMaterialLinesAreSkipped) {
    ObjCollectedVertData c;
    auto segs = ReadAll("#\nv 1 2 3\n# v 9 9 9\nusemtl v 8 8 8\nmtllib o x\nusemtl\nv 4 5 6\n#v 7 7 7\n", &c);
    ASSERT_EQ(segs.size(), 1u);
    EXPECT_EQ(segs[0].name, "unset");
    // The '#' alone skipped nothing but itself; '#v' is no comment keyword, so its
    // words are read one by one and the 'v'-less numbers are ignored.
    ASSERT_EQ(c.positions.ValCount(), 6);
    EXPECT_EQ(c.positions.GetVal(0), 1);
    EXPECT_EQ(c.positions.GetVal(3), 4);
    EXPECT_EQ(c.positions.GetVal(5), 6);
}

TEST(ObjReader, UpperCaseAndUnknownWordsAreIgnored) {
    ObjCollectedVertData c;
    auto segs = ReadAll("V 1 2 3\nF 1 2 3\nO name\nl 1 2\nvp 1 2\nv 1 2 3 4\n", &c);
    ASSERT_EQ(segs.size(), 1u);
    EXPECT_EQ(segs[0].name, "unset");
    EXPECT_EQ(c.positions.ValCount(), 3); // only the lower-case v; its 4th number ignored
    EXPECT_EQ(segs[0].geom->triCount + segs[0].geom->quadCount, 0);
}

TEST(ObjReader, NumbersAndSmoothingStatements) {
    ObjCollectedVertData c;
    c.smoothing = 0;
    DataBlock data;
    data.Append("vt 0.25 abc\nvn -1e1 1.5x .5\ns 1\n", -1);
    int cursor = 0;
    Geometry g;
    EXPECT_TRUE(g.LoadOBJFileSegment(&data, &cursor, &c, nullptr));
    EXPECT_EQ(c.texcoords.GetVal(0), 0.25f);
    EXPECT_EQ(c.texcoords.GetVal(1), 0.0f); // garbage reads as 0
    EXPECT_EQ(c.normals.GetVal(0), -10.0f);
    EXPECT_EQ(c.normals.GetVal(1), 1.5f);
    EXPECT_EQ(c.normals.GetVal(2), 0.5f);
    EXPECT_EQ(c.smoothing, 1);
    DataBlock off;
    off.Append("s off", -1);
    cursor = 0;
    g.LoadOBJFileSegment(&off, &cursor, &c, nullptr);
    EXPECT_EQ(c.smoothing, 0);
    EXPECT_EQ(cursor, 5);
}

TEST(ObjReader, IndicesOutsideTheCollectedValuesGiveZeros) {
    auto segs = ReadAll("v 1 1 1\nvt 1 1\nvn 1 1 1\nf 0/0/0 -1/-1/-1 2/2/2\n"
                        "f 99999999999/4294967297/x 1/1/1 abc\n");
    Geometry& g = *segs[0].geom;
    ASSERT_EQ(g.triCount, 2);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(Rec(g.tris, i), std::vector<float>(8, 0.0f)) << i;
    // 4294967297 wraps to 1 in 32 bits: it selects the first value.
    EXPECT_EQ(Rec(g.tris, 3)[6], 1.0f);
    EXPECT_EQ(Rec(g.tris, 4), std::vector<float>(8, 1.0f));
}

// Faces with more than four corners become a fan: the quad of the first four corners
// and one triangle (first, previous, next) per further corner.
TEST(ObjReader, FacesOfMoreThanFourCornersAreSplitIntoAFan) {
    auto segs = ReadAll("v 0 0 0\nv 1 0 0\nv 2 1 0\nv 1 2 0\nv 0 2 0\nv -1 1 0\nf 1 2 3 4 5 6\n");
    Geometry& g = *segs[0].geom;
    ASSERT_EQ(g.quadCount, 1);
    ASSERT_EQ(g.triCount, 2);
    EXPECT_EQ(g.quads.Len(), 128);
    EXPECT_EQ(g.tris.Len(), 192);
    float quadX[4] = {0, 1, 2, 1};
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(Rec(g.quads, i)[0], quadX[i]);
    // Triangles (1, 4, 5) and (1, 5, 6).
    float triX[6] = {0, 1, 0, 0, 0, -1};
    float triY[6] = {0, 2, 2, 0, 2, 1};
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(Rec(g.tris, i)[0], triX[i]) << i;
        EXPECT_EQ(Rec(g.tris, i)[1], triY[i]) << i;
    }
}

// Faces of fewer than three corners are dropped, so quads always hold four records.
TEST(ObjReader, FacesOfFewerThanThreeCornersAreDropped) {
    auto segs = ReadAll(std::string(kCube) + "f\nf   \nf 1\nf 1 2\nf 1 2 3\nf");
    Geometry& g = *segs[0].geom;
    EXPECT_TRUE(segs[0].atEnd);
    EXPECT_EQ(g.triCount, 1);
    EXPECT_EQ(g.quadCount, 0);
    EXPECT_EQ(g.quads.Len(), 0);
    EXPECT_EQ(g.tris.Len(), 96);
}

// A corner holds three numbers; further ones are dropped.
TEST(ObjReader, CornersWithMoreThanThreeNumbersKeepTheFirstThree) {
    auto segs = ReadAll(std::string(kCube) + "f 2/3/2/1/1 3/1/1/9 4//2/\n");
    Geometry& g = *segs[0].geom;
    ASSERT_EQ(g.triCount, 1);
    EXPECT_EQ(Rec(g.tris, 0), (std::vector<float>{1, 0, 0, 0, 1, 0, 0.5f, 0.6f}));
    EXPECT_EQ(Rec(g.tris, 1), (std::vector<float>{1, 1, 0, 0, 0, 1, 0.1f, 0.2f}));
    EXPECT_EQ(Rec(g.tris, 2), (std::vector<float>{0, 1, 0, 0, 1, 0, 0, 0}));
}

// Two naming statements on one line: the next segment starts at the second one, so
// reading always moves on.
TEST(ObjReader, TwoNamingStatementsOnOneLineDoNotLoop) {
    auto segs = ReadAll("o A g B o C\nv 0 0 0\nf 1 1 1\n");
    ASSERT_EQ(segs.size(), 3u);
    EXPECT_EQ(segs[0].name, "a");
    EXPECT_EQ(segs[1].name, "b");
    EXPECT_EQ(segs[2].name, "c");
    EXPECT_EQ(segs[2].geom->triCount, 1);
    EXPECT_EQ(segs[0].cursor, 4);
    EXPECT_TRUE(segs[2].atEnd);
    // An ending statement after other words on its line goes back to the line start.
    auto more = ReadAll("o A\nv 0 0 0 o B\nf 1 1 1\n");
    ASSERT_EQ(more.size(), 2u);
    EXPECT_EQ(more[0].cursor, 4);
    EXPECT_EQ(more[1].name, "b");
}

TEST(ObjReader, EmptyDataIsAtEndAtOnce) {
    auto segs = ReadAll("");
    ASSERT_EQ(segs.size(), 1u);
    EXPECT_TRUE(segs[0].atEnd);
    EXPECT_EQ(segs[0].name, "unset");
    EXPECT_EQ(segs[0].geom->triCount, 0);
    EXPECT_TRUE(segs[0].geom->needsCompile);
    segs = ReadAll("  \n\r\n ");
    ASSERT_EQ(segs.size(), 1u);
    EXPECT_EQ(segs[0].cursor, 6);
}

TEST(ObjReader, FacesAreAppendedToWhatTheMeshHolds) {
    DataBlock data;
    data.Append("v 1 0 0\nf 1 1 1\n", -1);
    ObjCollectedVertData c;
    c.smoothing = 0;
    Geometry g;
    int cursor = 0;
    g.LoadOBJFileSegment(&data, &cursor, &c, nullptr);
    DataBlock more;
    more.Append("f 1 1 1 1\nf 1 1 1\n", -1);
    cursor = 0;
    g.LoadOBJFileSegment(&more, &cursor, &c, nullptr);
    EXPECT_EQ(g.triCount, 2);
    EXPECT_EQ(g.quadCount, 1);
    EXPECT_EQ(g.tris.Len(), 192);
    EXPECT_EQ(Rec(g.tris, 5)[0], 1);
}

// A face whose records the array cannot take (past the int range) is not counted; the
// other array still takes its faces. The triangles stand for a full array over a small
// storage that must not be written.
TEST(ObjReader, FacesTheArrayCannotTakeAreNotCounted) {
    DataBlock data;
    data.Append("v 1 0 0\nf 1 1 1\nf 1 1 1 1 1\nf 1 1 1 1\n", -1);
    ObjCollectedVertData c;
    c.smoothing = 0;
    Geometry g;
    unsigned char small[96] = {};
    g.tris.ptr = small;
    g.tris.len = g.tris.dim = INT_MAX - 95;
    int cursor = 0;
    testing::internal::CaptureStdout();
    g.LoadOBJFileSegment(&data, &cursor, &c, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Mesh too large.\n");
    EXPECT_EQ(g.triCount, 0);
    EXPECT_EQ(g.tris.len, INT_MAX - 95);
    EXPECT_EQ(g.quadCount, 2);
    EXPECT_EQ(g.quads.Len(), 256);
    g.tris.ptr = nullptr; // hand the stand-in back before the destructor
    g.tris.len = g.tris.dim = 0;
}

TEST(ObjReader, SingleFileReaderTakesTheFirstSegmentOnly) {
    ScratchDir dir("velk-mesh");
    std::string path = dir.File("single.obj");
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs("o first\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\no second\nf 1 2 3 1\n", f);
    fclose(f);
    Geometry g;
    LoadObjFileSingle(&g, path.c_str());
    EXPECT_EQ(g.triCount, 1);
    EXPECT_EQ(g.quadCount, 0);
    remove(path.c_str());

    Geometry missing;
    testing::internal::CaptureStdout();
    LoadObjFileSingle(&missing, (path + ".none").c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(missing.triCount + missing.quadCount, 0);
}

TEST(ObjReader, TheUnitQuadFile) {
    Geometry g;
    LoadObjFileSingle(&g, VELK_SOURCE_DIR "/run/media/geom/quad.obj");
    ASSERT_EQ(g.quadCount, 1);
    EXPECT_EQ(g.triCount, 0);
    float minX = 9, maxX = -9, minY = 9, maxY = -9;
    for (int i = 0; i < 4; i++) {
        auto r = Rec(g.quads, i);
        minX = std::min(minX, r[0]);
        maxX = std::max(maxX, r[0]);
        minY = std::min(minY, r[1]);
        maxY = std::max(maxY, r[1]);
        EXPECT_EQ(r[2], 0);
        EXPECT_EQ(r[5], 1); // faces +z
    }
    EXPECT_EQ(minX, -0.5f);
    EXPECT_EQ(maxX, 0.5f);
    EXPECT_EQ(minY, -0.5f);
    EXPECT_EQ(maxY, 0.5f);
}

TEST(StringToFloat, ReadsLeadingNumbersOnly) {
    EXPECT_EQ(stringToFloat("1.5"), 1.5f);
    EXPECT_EQ(stringToFloat("-2e1"), -20.0f);
    EXPECT_EQ(stringToFloat("3abc"), 3.0f);
    EXPECT_EQ(stringToFloat("abc"), 0.0f);
    EXPECT_EQ(stringToFloat(""), 0.0f);
    EXPECT_EQ(stringToFloat(nullptr), 0.0f);
}

// Plain decimals are read without atof: every result must be atof's to the bit, on long
// digit strings, on numbers halfway between two floats, and on words that only atof reads
// as it does (hex, exponents out of the double range, a number cut short).
TEST(StringToFloat, PlainDecimalsGiveExactlyWhatAtofGives) {
    std::vector<std::string> words = {"9007199254740991",
                                      "9007199254740992",
                                      "12345678901234567890",
                                      "-0.000000",
                                      "+.5",
                                      ".",
                                      "1.2.3",
                                      "\t1.5",
                                      "0x1A",
                                      "-1e400",
                                      "1e-400",
                                      "2.5e-3",
                                      "1e",
                                      "+-1",
                                      "-inf"};
    std::mt19937 rng(7);
    for (int i = 0; i < 100000; i++) {
        std::string w = i % 3 == 0 ? "-" : i % 7 == 0 ? "+" : "";
        int whole = (int)(rng() % 12), fraction = (int)(rng() % 24);
        for (int k = 0; k < whole; k++)
            w += (char)('0' + rng() % 10);
        if (rng() % 4) w += '.';
        for (int k = 0; k < fraction; k++)
            w += (char)('0' + rng() % 10);
        words.push_back(w);
        // Halfway between two floats (odd numbers above 2^24), written with a fraction: a
        // result off by one double step rounds to the other float.
        words.push_back(std::to_string((1 << 24) + 2 * (int)(rng() % 8000000) + 1) + "." +
                        std::string(1 + rng() % 8, '0'));
    }
    for (const std::string& w : words) {
        float want = (float)atof(w.c_str()), got = stringToFloat(w.c_str());
        ASSERT_EQ(0, memcmp(&want, &got, 4)) << w;
    }
}

// ---------------------------------------------------------------------------------------
// Packed mesh segments

namespace {
struct Packed {
    std::vector<unsigned char> bytes;
    template <class T> void Put(T v) {
        unsigned char b[sizeof(T)];
        memcpy(b, &v, sizeof(T));
        bytes.insert(bytes.end(), b, b + sizeof(T));
    }
    void Header(int V) {
        Put(9.0f);
        Put(9.0f);
        Put(9.0f);
        Put(V);
    }
    void Vertex(float x, float y, float z, float nx, float ny, float nz) {
        for (float f : {x, y, z, nx, ny, nz})
            Put(f);
    }
    void Counts(int T, int Q) {
        Put(T);
        Put(Q);
    }
    void Face(char smooth, float nx, float ny, float nz) {
        Put(smooth);
        Put(nx);
        Put(ny);
        Put(nz);
    }
    void Corner(int i, float u, float v) {
        Put(i);
        Put(u);
        Put(v);
    }
    void To(DataBlock& d) { d.Append(bytes.data(), (int)bytes.size()); }
};
} // namespace

TEST(PackedReader, FlatTriangleOnOneVertex) {
    Packed p;
    p.Header(1);
    p.Vertex(1, 2, 3, 0, 1, 0);
    p.Counts(1, 0);
    p.Face(0, 0, 0, -1);
    p.Corner(0, 0.1f, 0.2f);
    p.Corner(0, 0.3f, 0.4f);
    p.Corner(0, 0.5f, 0.6f);
    ASSERT_EQ(p.bytes.size(), 97u);
    DataBlock d;
    d.Append((unsigned char*)"xyz", 3); // the segment need not start at 0
    p.To(d);
    int cursor = 3;
    Geometry g;
    g.LoadFromBufferSegment(&d, &cursor);
    EXPECT_EQ(cursor, 3 + 97);
    EXPECT_EQ(g.triCount, 1);
    EXPECT_EQ(g.quadCount, 0);
    ASSERT_EQ(g.tris.Len(), 96);
    EXPECT_EQ(Rec(g.tris, 0), (std::vector<float>{1, 2, 3, 0, 0, -1, 0.1f, 0.2f}));
    EXPECT_EQ(Rec(g.tris, 1), (std::vector<float>{1, 2, 3, 0, 0, -1, 0.3f, 0.4f}));
    EXPECT_EQ(Rec(g.tris, 2), (std::vector<float>{1, 2, 3, 0, 0, -1, 0.5f, 0.6f}));
    EXPECT_TRUE(g.needsCompile);
    EXPECT_EQ(g.triPtr, (float*)g.tris.Ptr());
}

TEST(PackedReader, SmoothQuadsTakeVertexNormalsAndSegmentsFollowEachOther) {
    Packed p;
    p.Header(4);
    for (int i = 0; i < 4; i++)
        p.Vertex((float)i, 0, 0, 0, 0, (float)i);
    p.Counts(0, 1);
    p.Face(7, 1, 1, 1); // any non-zero flag is smooth
    for (int i = 0; i < 4; i++)
        p.Corner(3 - i, (float)i, 0);
    size_t first = p.bytes.size();
    EXPECT_EQ(first, 24u + 96 + 61);
    p.Header(1);
    p.Vertex(5, 5, 5, 0, 0, 0);
    p.Counts(1, 0);
    p.Face(0, 0, 1, 0);
    for (int i = 0; i < 3; i++)
        p.Corner(0, 0, 0);
    DataBlock d;
    p.To(d);

    int cursor = 0;
    Geometry g;
    g.LoadFromBufferSegment(&d, &cursor);
    EXPECT_EQ(cursor, (int)first);
    ASSERT_EQ(g.quadCount, 1);
    EXPECT_EQ(g.quads.Len(), 128);
    EXPECT_EQ(Rec(g.quads, 0), (std::vector<float>{3, 0, 0, 0, 0, 3, 0, 0}));
    EXPECT_EQ(Rec(g.quads, 3), (std::vector<float>{0, 0, 0, 0, 0, 0, 3, 0}));

    // The next segment replaces the counts of the same mesh.
    g.LoadFromBufferSegment(&d, &cursor);
    EXPECT_EQ(cursor, d.Len());
    EXPECT_EQ(g.triCount, 1);
    EXPECT_EQ(g.quadCount, 0);
    EXPECT_EQ(g.quads.Len(), 0);
    EXPECT_EQ(Rec(g.tris, 0), (std::vector<float>{5, 5, 5, 0, 1, 0, 0, 0}));
}

// Vertex indices outside the table give a zero position (and zero normal when smooth).
TEST(PackedReader, VertexIndexOutsideTheTableGivesZeros) {
    Packed p;
    p.Header(1);
    p.Vertex(1, 1, 1, 1, 1, 1);
    p.Counts(1, 0);
    p.Face(1, 0, 0, 1);
    p.Corner(1, 0.5f, 0.5f);
    p.Corner(-1, 0.5f, 0.5f);
    p.Corner(0x7fffffff, 0.5f, 0.5f);
    DataBlock d;
    p.To(d);
    int cursor = 0;
    Geometry g;
    g.LoadFromBufferSegment(&d, &cursor);
    ASSERT_EQ(g.triCount, 1);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(Rec(g.tris, i), (std::vector<float>{0, 0, 0, 0, 0, 0, 0.5f, 0.5f}));
    EXPECT_EQ(cursor, 97);
}

// A segment that does not fit in the data is refused whole: the mesh keeps what it had
// and the cursor moves to the end, so a reading loop stops.
TEST(PackedReader, ShortOrNonsenseSegmentsAreRefused) {
    Packed full;
    full.Header(1);
    full.Vertex(1, 2, 3, 0, 0, 1);
    full.Counts(1, 0);
    full.Face(0, 0, 0, 1);
    for (int i = 0; i < 3; i++)
        full.Corner(0, 0, 0);

    Packed ok;
    ok.Header(0);
    ok.Counts(0, 1);
    ok.Face(0, 0, 0, 1);
    for (int i = 0; i < 4; i++)
        ok.Corner(0, 1, 1);

    // Every truncation of a valid segment is refused.
    for (size_t cut = 0; cut < full.bytes.size(); cut++) {
        DataBlock d;
        d.Append(full.bytes.data(), (int)cut);
        Geometry g;
        int cursor = 0;
        DataBlock prev;
        ok.To(prev);
        g.LoadFromBufferSegment(&prev, &cursor); // give the mesh something to keep
        ASSERT_EQ(g.quadCount, 1);
        cursor = 0;
        g.LoadFromBufferSegment(&d, &cursor);
        EXPECT_EQ(cursor, (int)cut);
        EXPECT_EQ(g.quadCount, 1) << cut;
        EXPECT_EQ(g.triCount, 0) << cut;
        EXPECT_EQ(g.quads.Len(), 128);
    }

    struct {
        int V, T, Q;
    } bad[] = {{-1, 0, 0},         {0, -1, 0},         {0, 0, -5},
               {0x7fffffff, 0, 0}, {0, 0x7fffffff, 0}, {0, 1, 0x7fffffff}};
    for (auto& b : bad) {
        Packed p;
        p.Header(b.V);
        p.Counts(b.T, b.Q);
        for (int i = 0; i < 200; i++)
            p.Put((char)0);
        DataBlock d;
        p.To(d);
        Geometry g;
        int cursor = 0;
        g.LoadFromBufferSegment(&d, &cursor);
        EXPECT_EQ(cursor, d.Len());
        EXPECT_EQ(g.triCount, 0);
        EXPECT_EQ(g.quadCount, 0);
        EXPECT_EQ(g.tris.Len(), 0);
    }

    // A cursor outside the data reads nothing.
    DataBlock d;
    full.To(d);
    Geometry g;
    int cursor = -4;
    g.LoadFromBufferSegment(&d, &cursor);
    EXPECT_EQ(g.triCount, 0);
    EXPECT_EQ(cursor, d.Len());
}
