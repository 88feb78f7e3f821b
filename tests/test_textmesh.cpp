// Tests of text meshes: the quads that CreateText builds, the font metrics and the text
// cache with its expiry.
#include "glfixture.h"
#include "textmesh.h"
#include <GL/gl.h>
#include <SFML/Graphics/Image.hpp>
#include <climits>
#include <cmath>
#include <algorithm>
#include <string>
#include <vector>

namespace {

// One vertex record of a text mesh: quad q, corner k.
struct Vtx {
    float x, y, z, nx, ny, nz, u, v;
};

Vtx At(Geometry& g, int q, int k) {
    const float* f = reinterpret_cast<const float*>(g.quads.Ptr()) + (q * 4 + k) * 8;
    return Vtx{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]};
}

// x of the left and right edge of quad q.
float Left(Geometry& g, int q) {
    return At(g, q, 0).x;
}
float Right(Geometry& g, int q) {
    return At(g, q, 1).x;
}
float Bottom(Geometry& g, int q) {
    return At(g, q, 0).y;
}
float Top(Geometry& g, int q) {
    return At(g, q, 2).y;
}

GeomTextParams Params(int align, float letterSpacing = 0, float lineSpacing = 0) {
    GeomTextParams p;
    p.align = align;
    p.letterSpacing = letterSpacing;
    p.lineSpacing = lineSpacing;
    return p;
}

} // namespace

TEST(FontMetrics, Tables) {
    FontProps f;
    // Every byte that has a width of its own; the font tables are indexed by byte value.
    static const struct {
        unsigned char c;
        float w;
    } own[] = {{' ', 0.23f}, {'!', 0.18f}, {',', 0.18f}, {'.', 0.18f}, {'I', 0.3f},  {'J', 0.3f},
               {'M', 0.55f}, {'O', 0.58f}, {'Q', 0.55f}, {'S', 0.45f}, {'V', 0.58f}, {'W', 0.68f},
               {'c', 0.35f}, {'e', 0.38f}, {'f', 0.32f}, {'i', 0.25f}, {'j', 0.25f}, {'l', 0.25f},
               {'m', 0.62f}, {'n', 0.5f},  {'o', 0.42f}, {'r', 0.35f}, {'s', 0.25f}, {'t', 0.4f},
               {'w', 0.62f}, {'x', 0.4f},  {'y', 0.4f},  {'z', 0.4f}};
    for (int c = 0; c < 256; ++c) {
        float expected = (c >= 'a' && c <= 'z') ? 0.45f : 0.5f;
        for (const auto& e : own)
            if (e.c == c) expected = e.w;
        EXPECT_FLOAT_EQ(f.width[c], expected) << "byte " << c;
    }
    EXPECT_FLOAT_EQ(f.width[static_cast<unsigned char>('A')], 0.5f);
    EXPECT_FLOAT_EQ(f.width[static_cast<unsigned char>('v')], 0.45f);
    EXPECT_FLOAT_EQ(f.offset[static_cast<unsigned char>('o')], -0.02f);
    EXPECT_FLOAT_EQ(f.offset[static_cast<unsigned char>('t')], -0.05f);
    EXPECT_FLOAT_EQ(f.offset[static_cast<unsigned char>('r')], -0.025f);
    int nonzero = 0;
    for (int c = 0; c < 256; ++c)
        nonzero += f.offset[c] != 0;
    EXPECT_EQ(nonzero, 3);
}

TEST(TextMesh, EmptyAndNullTextsMakeNoQuad) {
    Geometry g;
    g.CreateText("", nullptr, nullptr);
    EXPECT_EQ(g.quadCount, 0);
    EXPECT_EQ(g.quads.Len(), 0);
    EXPECT_EQ(g.triCount, 0);
    Geometry n;
    FontProps f;
    n.CreateText(nullptr, &f, nullptr);
    EXPECT_EQ(n.quadCount, 0);
}

TEST(TextMesh, SingleCharacterQuad) {
    FontProps f;
    Geometry g;
    g.CreateText("A", &f, nullptr);
    ASSERT_EQ(g.quadCount, 1);
    EXPECT_EQ(g.quads.Len(), 4 * 32);
    EXPECT_EQ(g.quadPtr, reinterpret_cast<float*>(g.quads.Ptr()));
    EXPECT_TRUE(g.needsCompile);
    const Vtx want[4] = {{0, -0.5f, 0, 0, 0, 1, 0.078125f, 0.6875f},
                         {0.5f, -0.5f, 0, 0, 0, 1, 0.109375f, 0.6875f},
                         {0.5f, 0.5f, 0, 0, 0, 1, 0.109375f, 0.75f},
                         {0, 0.5f, 0, 0, 0, 1, 0.078125f, 0.75f}};
    for (int k = 0; k < 4; ++k) {
        Vtx v = At(g, 0, k);
        EXPECT_EQ(v.x, want[k].x) << k;
        EXPECT_EQ(v.y, want[k].y) << k;
        EXPECT_EQ(v.z, 0.0f) << k;
        EXPECT_EQ(v.nx, 0.0f);
        EXPECT_EQ(v.ny, 0.0f);
        EXPECT_EQ(v.nz, 1.0f);
        EXPECT_EQ(v.u, want[k].u) << k;
        EXPECT_EQ(v.v, want[k].v) << k;
    }
}

TEST(TextMesh, Alignments) {
    FontProps f;
    Geometry left;
    left.CreateText("ab", &f, nullptr);
    ASSERT_EQ(left.quadCount, 2);
    EXPECT_EQ(Left(left, 0), 0.0f);
    EXPECT_EQ(Right(left, 0), 0.45f);
    EXPECT_EQ(Left(left, 1), 0.45f);
    EXPECT_EQ(Right(left, 1), 0.9f);

    GeomTextParams right = Params(-1);
    Geometry r;
    r.CreateText("ab", &f, &right);
    EXPECT_FLOAT_EQ(Left(r, 0), -0.9f);
    EXPECT_EQ(Right(r, 1), 0.0f); // b ends at x 0

    GeomTextParams centred = Params(0);
    Geometry c;
    c.CreateText("ab", &f, &centred);
    EXPECT_FLOAT_EQ(Left(c, 0), -0.45f);
    EXPECT_EQ(Left(c, 1), 0.0f);
    EXPECT_FLOAT_EQ(Right(c, 1), 0.45f);
    // The left corners of the top edge move with the bottom ones.
    EXPECT_EQ(At(c, 1, 3).x, Left(c, 1));

    GeomTextParams minusTwo = Params(-2);
    Geometry m;
    m.CreateText("ab", &f, &minusTwo);
    EXPECT_EQ(Left(m, 0), Left(c, 0));
    EXPECT_EQ(Right(m, 1), Right(c, 1));

    GeomTextParams seven = Params(7);
    Geometry s;
    s.CreateText("ab", &f, &seven);
    EXPECT_EQ(Left(s, 0), 0.0f);
    EXPECT_EQ(Right(s, 1), 0.9f);
}

TEST(TextMesh, LetterSpacingCountsAfterEveryCharacter) {
    FontProps f;
    GeomTextParams p = Params(1, 0.1f);
    Geometry g;
    g.CreateText("ab", &f, &p);
    EXPECT_EQ(Left(g, 1), 0.55f);
    EXPECT_EQ(Right(g, 1), 0.45f + 0.55f);
    // Right-aligned, the spacing after the last character is part of the width.
    GeomTextParams r = Params(-1, 0.1f);
    Geometry h;
    h.CreateText("ab", &f, &r);
    float width = (0.45f + 0.1f) + ((0.45f + 0.1f) + 0.0f);
    EXPECT_EQ(Right(h, 1), 1.0f * 0.45f + 0.55f - width);
    EXPECT_LT(Right(h, 1), 0.0f);
}

TEST(TextMesh, TwoLinesAreCentredOnZero) {
    FontProps f;
    Geometry g;
    g.CreateText("a\nb", &f, nullptr);
    ASSERT_EQ(g.quadCount, 2);
    EXPECT_EQ(Bottom(g, 0), -0.125f);
    EXPECT_EQ(Top(g, 0), 0.875f);
    EXPECT_EQ(Bottom(g, 1), -0.875f);
    EXPECT_EQ(Top(g, 1), 0.125f);
    // Each line starts again at x 0.
    EXPECT_EQ(Left(g, 1), 0.0f);

    Geometry t;
    t.CreateText("a\n", &f, nullptr);
    ASSERT_EQ(t.quadCount, 1);
    EXPECT_EQ(Bottom(t, 0), -0.125f);
    EXPECT_EQ(Top(t, 0), 0.875f);

    // Line spacing 1: lines 1.75 apart, L = 0.875.
    GeomTextParams p = Params(1, 0, 1);
    Geometry s;
    s.CreateText("a\nb", &f, &p);
    EXPECT_EQ(Bottom(s, 0), 0.375f);
    EXPECT_EQ(Bottom(s, 1), -1.375f);

    // Three lines: the middle one sits at -0.5 .. 0.5.
    Geometry three;
    three.CreateText("a\nb\nc", &f, nullptr);
    EXPECT_EQ(Bottom(three, 0), 0.25f);
    EXPECT_EQ(Bottom(three, 1), -0.5f);
    EXPECT_EQ(Bottom(three, 2), -1.25f);
    // An empty line in between makes no quad but moves the lines.
    Geometry gap;
    gap.CreateText("a\n\nc", &f, nullptr);
    ASSERT_EQ(gap.quadCount, 2);
    EXPECT_EQ(Bottom(gap, 0), 0.25f);
    EXPECT_EQ(Bottom(gap, 1), -1.25f);
}

// Each line's height follows from its index alone. Moving the earlier lines up at every
// line feed costs a pass over them per line and drifts by the rounding of every move.
TEST(TextMesh, EveryLineOfALongTextSitsAtItsOwnHeight) {
    FontProps f;
    const int m = 2000;
    std::string text = "a";
    for (int j = 1; j < m; ++j)
        text += "\na";
    GeomTextParams p = Params(1, 0, 0.1f);
    Geometry g;
    g.CreateText(text.c_str(), &f, &p);
    ASSERT_EQ(g.quadCount, m);
    const float L = (0.1f - 0.25f) * 0.5f + 0.5f;
    double worst = 0;
    for (int j = 0; j < m; ++j)
        worst = std::max(worst, std::fabs(Bottom(g, j) - (-0.5 + (m - 1 - 2 * j) * (double)L)));
    EXPECT_LT(worst, 1e-4); // heights reach 850, where floats are 6e-5 apart
}

TEST(TextMesh, EachLineIsAlignedOnItsOwn) {
    FontProps f;
    GeomTextParams p = Params(-1);
    Geometry g;
    g.CreateText("ab\nc", &f, &p);
    ASSERT_EQ(g.quadCount, 3);
    EXPECT_EQ(Right(g, 1), 0.0f);
    EXPECT_FLOAT_EQ(Left(g, 2), -0.35f);
    EXPECT_EQ(Right(g, 2), 0.0f);
    GeomTextParams c = Params(0);
    Geometry h;
    h.CreateText("ab\nc", &f, &c);
    EXPECT_FLOAT_EQ(Left(h, 0), -0.45f);
    EXPECT_FLOAT_EQ(Left(h, 2), -0.175f);
}

TEST(TextMesh, HighBytesAndOffsets) {
    FontProps f;
    Geometry g;
    const char text[] = {(char)200, 'o', '\t', 0};
    g.CreateText(text, &f, nullptr);
    ASSERT_EQ(g.quadCount, 3);
    // Byte 200: column 8, row 12, width 0.5.
    EXPECT_EQ(Right(g, 0), 0.5f);
    EXPECT_EQ(At(g, 0, 0).u, 0.515625f);
    EXPECT_EQ(At(g, 0, 1).u, 0.546875f);
    EXPECT_EQ(At(g, 0, 0).v, 0.1875f);
    EXPECT_EQ(At(g, 0, 2).v, 0.25f);
    // 'o' (column 15, row 6) has its window shifted by -0.02 cells.
    float uc = (15 + 0.5f - 0.02f) / 16.0f;
    EXPECT_FLOAT_EQ(At(g, 1, 0).u, uc - 0.42f * 0.5f / 16);
    EXPECT_FLOAT_EQ(At(g, 1, 1).u, uc + 0.42f * 0.5f / 16);
    EXPECT_EQ(At(g, 1, 0).v, 0.5625f);
    EXPECT_EQ(Left(g, 1), 0.5f);
    // A control character other than the line feed makes a quad of its own.
    EXPECT_FLOAT_EQ(Left(g, 2), 0.92f);
    EXPECT_EQ(At(g, 2, 2).v, 1.0f);
}

// A text whose quads the array cannot all take is refused whole: no quad is counted and no
// record is moved. The quads stand for an array with room for two of the three glyphs,
// set by hand over a small storage that must not be written.
TEST(TextMesh, ATextTheArrayCannotHoldIsRefusedWhole) {
    FontProps f;
    GeomTextParams p = Params(0);
    Geometry g;
    unsigned char small[512] = {};
    g.quads.ptr = small;
    g.quads.len = g.quads.dim = INT_MAX - 300;
    testing::internal::CaptureStdout();
    g.CreateText("ab\nc", &f, &p);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Mesh too large.\n");
    EXPECT_EQ(g.quadCount, 0);
    EXPECT_EQ(g.quads.len, INT_MAX - 300);
    for (unsigned char b : small)
        ASSERT_EQ(b, 0);
    g.quads.ptr = nullptr; // hand the stand-in back before the destructor
    g.quads.len = g.quads.dim = 0;
}

TEST(FontTexture, GlyphsLieInsideTheirTextureWindows) {
    // The launcher font drawn by tools/makefont must agree with the engine's metrics.
    sf::Image img;
    ASSERT_TRUE(img.loadFromFile(std::string(VELK_SOURCE_DIR) + "/run/media/textures/font.png"));
    ASSERT_EQ(img.getSize().x, img.getSize().y);
    ASSERT_EQ(img.getSize().x % 16, 0u);
    const int cell = (int)img.getSize().x / 16;
    FontProps f;
    for (int c = 0; c < 256; ++c) {
        const int column = c % 16, row = c / 16; // row 0 at the top of the picture
        const double left = (column + 0.5 + f.offset[c] - f.width[c] / 2) * cell;
        const double right = (column + 0.5 + f.offset[c] + f.width[c] / 2) * cell;
        int ink = 0, outside = 0;
        for (int y = row * cell; y < (row + 1) * cell; ++y)
            for (int x = column * cell; x < (column + 1) * cell; ++x) {
                if (img.getPixel(x, y).a == 0) continue;
                ++ink;
                if (x < std::floor(left) || x >= std::ceil(right)) ++outside;
            }
        EXPECT_EQ(outside, 0) << "byte " << c;
        if (c > 32 && c < 127)
            EXPECT_GT(ink, 0) << "byte " << c;
        else if (c <= 32 || (c >= 127 && c < 160))
            EXPECT_EQ(ink, 0) << "byte " << c;
    }
}

TEST(FontTexture, NarrowSFillsItsWindowWithTheStemWeight) {
    // The s is far wider in the typeface than its quarter-cell window. Squeezed into it, it
    // must still span the window and keep vertical strokes as thick as the stem of the l,
    // or it reads as a thin, spaced-out letter among its neighbours.
    sf::Image img;
    ASSERT_TRUE(img.loadFromFile(std::string(VELK_SOURCE_DIR) + "/run/media/textures/font.png"));
    const int cell = (int)img.getSize().x / 16;
    // Lengths of the runs of solid ink (alpha 128 and up) along row y of the glyph's cell.
    auto runs = [&](int c, int y) {
        std::vector<int> found;
        int run = 0;
        for (int x = c % 16 * cell; x <= (c % 16 + 1) * cell; ++x) {
            if (x < (c % 16 + 1) * cell && img.getPixel(x, c / 16 * cell + y).a >= 128) {
                ++run;
            } else if (run) {
                found.push_back(run);
                run = 0;
            }
        }
        return found;
    };
    const int s = 's';
    int inkLeft = cell, inkRight = -1, top = cell, bottom = -1;
    for (int y = 0; y < cell; ++y)
        for (int x = 0; x < cell; ++x)
            if (img.getPixel(s % 16 * cell + x, s / 16 * cell + y).a) {
                inkLeft = std::min(inkLeft, x), inkRight = std::max(inkRight, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    ASSERT_GE(bottom, top);
    FontProps f;
    EXPECT_GE(inkRight - inkLeft + 1, f.width[s] * cell - 1);

    const std::vector<int> stem = runs('l', (top + bottom) / 2);
    ASSERT_EQ(stem.size(), 1u);
    int thinnest = cell; // across the rows that cross one stroke only
    for (int y = top; y <= bottom; ++y) {
        const std::vector<int> r = runs(s, y);
        if (r.size() == 1) thinnest = std::min(thinnest, r[0]);
    }
    EXPECT_GE(thinnest, stem[0] - 1);
}

// ---- The text cache ---------------------------------------------------------------------

class TextCacheGL : public GLTest {
  protected:
    void SetUp() override {
        GLTest::SetUp();
        glMatrixMode(GL_PROJECTION);
        glOrtho(-2, 2, -2, 2, -1, 1);
        glMatrixMode(GL_MODELVIEW);
    }
};

TEST_F(TextCacheGL, NewManager) {
    TextManager tm;
    EXPECT_EQ(tm.texts.Count(), 0);
    EXPECT_EQ(tm.lastId, -1);
    EXPECT_EQ(tm.lifetime, 5.0f);
    EXPECT_EQ(tm.now, 0.0f);
    EXPECT_FLOAT_EQ(tm.font.width[static_cast<unsigned char>('W')], 0.68f);
}

TEST_F(TextCacheGL, DrawingATextPutsPixelsOnScreen) {
    TextManager tm;
    tm.CreateDrawText("WW", nullptr);
    EXPECT_GT(CountNot(RGBA{0, 0, 0, 0}), 1000);
}

TEST_F(TextCacheGL, SameTextAndLayoutReuseOneMesh) {
    TextManager tm;
    tm.CreateDrawText("Hi", nullptr);
    GeomTextParams defaults = Params(1);
    tm.CreateDrawText("Hi", &defaults);
    EXPECT_EQ(tm.texts.Count(), 1);
    GeomTextParams centred = Params(0);
    tm.CreateDrawText("Hi", &centred);
    EXPECT_EQ(tm.texts.Count(), 2);
    tm.CreateDrawText("hi", nullptr);
    EXPECT_EQ(tm.texts.Count(), 3);
    GeomTextParams spaced = Params(1, 0.1f);
    tm.CreateDrawText("Hi", &spaced);
    GeomTextParams lined = Params(1, 0, 0.1f);
    tm.CreateDrawText("Hi", &lined);
    EXPECT_EQ(tm.texts.Count(), 5);
    tm.CreateDrawText("H", nullptr); // a prefix is another text
    tm.CreateDrawText("Hi!", nullptr);
    EXPECT_EQ(tm.texts.Count(), 7);
    TextObj* first = static_cast<TextObj*>(tm.texts.Get(0));
    EXPECT_EQ(first->id, 0);
    EXPECT_TRUE(first->text.IsEqual("Hi"));
    EXPECT_FALSE(first->mesh.needsCompile); // uploaded by its first draw
    TextObj* c = static_cast<TextObj*>(tm.texts.Get(1));
    EXPECT_EQ(c->params.align, 0);
}

TEST_F(TextCacheGL, NullTextIsTheEmptyString) {
    TextManager tm;
    tm.CreateDrawText(nullptr, nullptr);
    tm.CreateDrawText("", nullptr);
    ASSERT_EQ(tm.texts.Count(), 1);
    EXPECT_EQ(static_cast<TextObj*>(tm.texts.Get(0))->mesh.quadCount, 0);
    EXPECT_EQ(tm.AddText(nullptr, nullptr), 1);
}

TEST_F(TextCacheGL, AddTextStoresWithoutDrawing) {
    TextManager tm;
    GeomTextParams p = Params(-1, 0.25f, 2);
    tm.TimeStep(3.5f, 0.1f);
    int id = tm.AddText("stored", &p);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(CountNot(RGBA{0, 0, 0, 0}), 0);
    TextObj* o = static_cast<TextObj*>(tm.texts.Get(0));
    EXPECT_EQ(o->lastDrawn, 0.0f);
    EXPECT_EQ(o->params.align, -1);
    EXPECT_EQ(o->params.letterSpacing, 0.25f);
    EXPECT_EQ(o->params.lineSpacing, 2.0f);
    EXPECT_EQ(o->mesh.quadCount, 6);
    tm.Draw(id);
    EXPECT_EQ(o->lastDrawn, 3.5f);
    EXPECT_GT(CountNot(RGBA{0, 0, 0, 0}), 0);
    tm.Draw(42); // unknown id: nothing
    EXPECT_EQ(tm.texts.Count(), 1);
}

TEST_F(TextCacheGL, ExpiryAtWholeSecondCrossings) {
    TextManager tm;
    tm.TimeStep(10.2f, 0.1f);
    tm.CreateDrawText("x", nullptr);
    tm.TimeStep(15.0f, 0.1f); // 4.8 s: stays
    EXPECT_EQ(tm.texts.Count(), 1);
    tm.TimeStep(15.6f, 0.6f); // 5.4 s, but no crossing: no sweep
    EXPECT_EQ(tm.texts.Count(), 1);
    tm.TimeStep(16.0f, 0.4f); // 5.8 s at the crossing of 16
    EXPECT_EQ(tm.texts.Count(), 0);
}

TEST_F(TextCacheGL, AddedTextsExpireOnceTimePassesFive) {
    TextManager tm;
    tm.AddText("a", nullptr);
    tm.TimeStep(0, 0);       // time staying at 0 never sweeps
    tm.TimeStep(5.0f, 1.0f); // exactly 5 s: not more than the lifetime
    EXPECT_EQ(tm.texts.Count(), 1);
    tm.TimeStep(5.5f, 0.5f);
    EXPECT_EQ(tm.texts.Count(), 1);
    tm.TimeStep(6.0f, 0.5f);
    EXPECT_EQ(tm.texts.Count(), 0);
}

TEST_F(TextCacheGL, SweepRemovesNeighboursAndIdsKeepCounting) {
    TextManager tm;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(tm.AddText("t", nullptr), i);
    tm.TimeStep(4.5f, 0.5f); // no crossing: no sweep yet
    tm.Draw(2);              // only text 2 is fresh
    tm.TimeStep(6.0f, 0.5f);
    ASSERT_EQ(tm.texts.Count(), 1);
    EXPECT_EQ(static_cast<TextObj*>(tm.texts.Get(0))->id, 2);
    tm.TimeStep(20.0f, 1.0f);
    EXPECT_EQ(tm.texts.Count(), 0);
    EXPECT_EQ(tm.AddText("new", nullptr), 5);
}

TEST_F(TextCacheGL, ATextDrawnEveryFrameStays) {
    TextManager tm;
    float t = 0;
    for (int frame = 0; frame < 60 * 8; ++frame) {
        t += 1.0f / 60;
        tm.TimeStep(t, 1.0f / 60);
        tm.CreateDrawText("steady", nullptr);
    }
    EXPECT_EQ(tm.texts.Count(), 1);
    EXPECT_EQ(tm.lastId, 0);
}

TEST_F(TextCacheGL, CachedTextsAreFoundAgainAfterOthersExpireAroundThem) {
    // Several sets of names, so that removals near both ends of the cache's lookup table
    // occur whatever the names hash to.
    const int n = 250, every = 3;
    for (char prefix = 'a'; prefix <= 'h'; ++prefix) {
        TextManager tm;
        auto name = [&](int i) { return prefix + std::to_string(i); };
        for (int i = 0; i < n; ++i)
            tm.AddText(name(i).c_str(), nullptr);
        tm.TimeStep(4.5f, 0.5f);
        for (int i = 0; i < n; i += every)
            tm.CreateDrawText(name(i).c_str(), nullptr);
        tm.TimeStep(6.0f, 0.5f); // the others expire
        ASSERT_EQ(tm.texts.Count(), (n + every - 1) / every);
        for (int i = 0; i < n; i += every)
            tm.CreateDrawText(name(i).c_str(), nullptr);
        EXPECT_EQ(tm.lastId, n - 1) << prefix;
        tm.CreateDrawText(name(1).c_str(), nullptr); // expired: built anew
        EXPECT_EQ(tm.lastId, n);
    }
}

TEST_F(TextCacheGL, TheOldestOfEqualTextsIsDrawnThenTheNextOnceItExpires) {
    TextManager tm;
    for (int i = 0; i < 3; ++i)
        tm.AddText("d", nullptr);
    for (int i = 0; i < 40; ++i)
        tm.AddText(std::to_string(i).c_str(), nullptr);
    auto text = [&](int i) { return static_cast<TextObj*>(tm.texts.Get(i)); };
    tm.TimeStep(0.5f, 0.5f);
    tm.CreateDrawText("d", nullptr);
    EXPECT_EQ(text(0)->lastDrawn, 0.5f);
    EXPECT_EQ(text(1)->lastDrawn, 0.0f);
    tm.TimeStep(4.5f, 0.5f);
    tm.Draw(1);
    tm.Draw(2);
    tm.TimeStep(6.0f, 0.5f); // text 0 expires
    ASSERT_EQ(tm.texts.Count(), 2);
    tm.CreateDrawText("d", nullptr);
    EXPECT_EQ(tm.lastId, 42);
    EXPECT_EQ(text(0)->id, 1);
    EXPECT_EQ(text(0)->lastDrawn, 6.0f);
    EXPECT_EQ(text(1)->lastDrawn, 4.5f);
}

TEST_F(TextCacheGL, LayoutsMatchByFloatEquality) {
    TextManager tm;
    GeomTextParams zero = Params(1, 0.0f, 0.0f), negativeZero[2] = {Params(1, -0.0f), Params(1, 0, -0.0f)};
    tm.CreateDrawText("z", &zero);
    tm.CreateDrawText("z", &negativeZero[0]);
    tm.CreateDrawText("z", &negativeZero[1]);
    EXPECT_EQ(tm.texts.Count(), 1);
    GeomTextParams nan = Params(1, std::nanf(""));
    tm.CreateDrawText("z", &nan);
    tm.CreateDrawText("z", &nan); // NaN equals nothing, itself included
    EXPECT_EQ(tm.texts.Count(), 3);
}

TEST_F(TextCacheGL, ManyCopiesOfATextCostAFewProbesEach) {
    // Copies of one text, and texts with a NaN spacing (each call a new one), are added,
    // reused and expired with a few probes of the lookup each, not one per earlier copy.
    const int n = 1000;
    TextManager tm;
    GeomTextParams nan = Params(1, 0, std::nanf(""));
    for (int i = 0; i < n; ++i) {
        tm.AddText("x", nullptr);
        tm.CreateDrawText("y", &nan);
    }
    tm.TimeStep(4.5f, 0.5f);
    tm.CreateDrawText("x", nullptr);
    EXPECT_EQ(static_cast<TextObj*>(tm.texts.Get(0))->lastDrawn, 4.5f); // the oldest copy
    tm.TimeStep(6.0f, 0.5f);                                           // the others expire
    ASSERT_EQ(tm.texts.Count(), 1);
    tm.CreateDrawText("x", nullptr); // still found
    EXPECT_EQ(tm.lastId, 2 * n - 1);
    EXPECT_LT(tm.IndexProbes(), 10LL * n);
}
