// Tests of the line grid: cells, line and end point registration, the corner test,
// bounds and resets, the older velkRun mapper and the debug drawing.
#include "glfixture.h"
#include "programKind.h"
#include "spaceMapperLine2d.h"

#include <SFML/OpenGL.hpp>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace {

SpMapLine2D Line(float x0, float y0, float x1, float y1) {
    SpMapLine2D l;
    l.x0 = x0;
    l.y0 = y0;
    l.x1 = x1;
    l.y1 = y1;
    l.nx = 77.0f; // sentinels: the mapper must overwrite or leave them, never guess
    l.ny = 77.0f;
    l.id = 12345;
    return l;
}

// The engine's default mapper: (-10, -10) to (10, 10) in 4 by 4 cells.
void DefaultBounds(SpaceMapperLines2D& m) {
    float lo[2] = {-10, -10}, hi[2] = {10, 10};
    m.SetSpaceBounds(lo, hi, 4, 4);
}

SpaceSeg& Cell(SpaceMapperLines2D& m, int col, int row) {
    return m.cells[row * m.cols + col];
}

void StartCapture() {
    testing::internal::CaptureStdout();
}
std::string EndCapture() {
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

int TotalLines(SpaceMapperLines2D& m) {
    int n = 0;
    for (int i = 0; i < m.cols * m.rows; i++)
        n += m.cells[i].lineCount;
    return n;
}

int TotalEndPoints(SpaceMapperLines2D& m) {
    int n = 0;
    for (int i = 0; i < m.cols * m.rows; i++)
        n += m.cells[i].endPointCount;
    return n;
}

} // namespace

TEST(SpaceMapperBase, DoesNothingAndKeepsTime) {
    SpaceMapper base;
    EXPECT_EQ(base.time, 0.0f);
    EXPECT_EQ(base.step, 0.0f);
    base.SetTime(3.5f, 0.25f);
    EXPECT_EQ(base.time, 3.5f);
    EXPECT_EQ(base.step, 0.25f);
    float p[2] = {0, 0}, v[2] = {1, 1};
    float out[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_EQ(base.MapPoint(p, v, 1, out, out + 2, out + 4, false), 0);
    EXPECT_EQ(base.MapLine(p, v, 1, out, out + 2), 0);
    for (float f : out)
        EXPECT_EQ(f, 9.0f);
}

TEST(SpaceMapperGrid, NewMapperHasNoGridAndIdZero) {
    SpaceMapperLines2D m(false);
    EXPECT_EQ(m.cells, nullptr);
    EXPECT_EQ(m.lineCounter, 0);
    EXPECT_EQ(m.time, 0.0f);
    EXPECT_EQ(m.GetSegFromPoint(0, 0), nullptr);
}

TEST(SpaceMapperGrid, CellsCoverTheRectangleRowByRow) {
    SpaceMapperLines2D m(false);
    DefaultBounds(m);
    ASSERT_NE(m.cells, nullptr);
    EXPECT_EQ(m.grid.Len(), 16 * (int)sizeof(SpaceSeg));
    SpaceSeg& s = Cell(m, 1, 2);
    EXPECT_EQ(s.col, 1);
    EXPECT_EQ(s.row, 2);
    EXPECT_FLOAT_EQ(s.x0, -5);
    EXPECT_FLOAT_EQ(s.y0, 0);
    EXPECT_FLOAT_EQ(s.x1, 0);
    EXPECT_FLOAT_EQ(s.y1, 5);
    EXPECT_EQ(s.lineCount, 0);
    EXPECT_EQ(s.endPointCount, 0);
    // Neighbours share their edges exactly.
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 3; c++)
            EXPECT_EQ(Cell(m, c, r).x1, Cell(m, c + 1, r).x0);
    EXPECT_FLOAT_EQ(Cell(m, 3, 3).x1, 10);
    EXPECT_FLOAT_EQ(Cell(m, 3, 3).y1, 10);
}

TEST(SpaceMapperGrid, PointToCellTruncatesAndClamps) {
    SpaceMapperLines2D m(false);
    DefaultBounds(m);
    EXPECT_EQ(m.GetSegFromPoint(10, 0), &Cell(m, 3, 2));       // right edge: last column
    EXPECT_EQ(m.GetSegFromPoint(-10, 10), &Cell(m, 0, 3));     // top edge: last row
    EXPECT_EQ(m.GetSegFromPoint(-1000, 1000), &Cell(m, 0, 3)); // nearest border cell
    EXPECT_EQ(m.GetSegFromPoint(1e30f, -1e30f), &Cell(m, 3, 0));
    EXPECT_EQ(m.GetSegFromPoint(-5.01f, 0), &Cell(m, 0, 2));
    EXPECT_EQ(m.GetSegFromPoint(-5.0f, -0.01f), &Cell(m, 1, 1));
    // Coordinates that are not numbers fall in index 0, infinities at the borders.
    float nan = std::numeric_limits<float>::quiet_NaN();
    float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(m.GetSegFromPoint(nan, nan), &Cell(m, 0, 0));
    EXPECT_EQ(m.GetSegFromPoint(inf, -inf), &Cell(m, 3, 0));
}

TEST(SpaceMapperGrid, AddSpaceObjectMatchesTypeExactly) {
    SpaceMapperLines2D m(false);
    DefaultBounds(m);
    SpMapLine2D l = Line(0, 0, 3, 4);
    m.AddSpaceObject("Line2D", &l);
    m.AddSpaceObject("line2d ", &l);
    m.AddSpaceObject(nullptr, &l);
    m.AddSpaceObject("line2d", nullptr);
    EXPECT_EQ(TotalLines(m), 0);
    EXPECT_EQ(l.id, 12345);
    EXPECT_EQ(m.lineCounter, 0);

    m.AddSpaceObject("line2d", &l);
    EXPECT_EQ(TotalLines(m), 1);
    EXPECT_EQ(l.id, 0);
    EXPECT_FLOAT_EQ(l.nx, 0.8f); // to the right of the direction (3, 4)
    EXPECT_FLOAT_EQ(l.ny, -0.6f);
    SpMapLine2D& stored = Cell(m, 2, 2).Lines()[0];
    EXPECT_EQ(stored.id, 0);
    EXPECT_FLOAT_EQ(stored.nx, 0.8f);
    m.HandleEvent("anything", nullptr); // ignored
    EXPECT_EQ(TotalLines(m), 1);
}

TEST(SpaceMapperGrid, LineAcrossRowZeroIsInAllFourCells) {
    SpaceMapperLines2D m(false);
    DefaultBounds(m);
    SpMapLine2D l = Line(-9, -9, 9, -9);
    m.AddLine(&l);
    for (int c = 0; c < 4; c++) {
        ASSERT_EQ(Cell(m, c, 0).lineCount, 1) << c;
        EXPECT_EQ(Cell(m, c, 0).Lines()[0].id, 0);
        EXPECT_FLOAT_EQ(Cell(m, c, 0).Lines()[0].x1, 9);
    }
    EXPECT_EQ(TotalLines(m), 4);
    ASSERT_EQ(Cell(m, 0, 0).endPointCount, 1);
    ASSERT_EQ(Cell(m, 3, 0).endPointCount, 1);
    EXPECT_EQ(TotalEndPoints(m), 2);
    EXPECT_FLOAT_EQ(Cell(m, 0, 0).EndPoints()[0], -9);
    EXPECT_FLOAT_EQ(Cell(m, 3, 0).EndPoints()[0], 9);
}

TEST(SpaceMapperGrid, DiagonalLineWalksThroughNeighbours) {
    SpaceMapperLines2D m(false);
    DefaultBounds(m);
    SpMapLine2D l = Line(9, 9, -9, -9); // walks left and down
    StartCapture();
    m.AddLine(&l);
    EXPECT_EQ(EndCapture(), "");
    EXPECT_EQ(Cell(m, 3, 3).lineCount, 1);
    EXPECT_EQ(Cell(m, 0, 0).lineCount, 1);
    EXPECT_EQ(Cell(m, 1, 1).lineCount, 1);
    EXPECT_EQ(Cell(m, 3, 0).lineCount, 0);
    EXPECT_EQ(Cell(m, 0, 3).lineCount, 0);
}

TEST(SpaceMapperGrid, ShortLineStaysInOneCell) {
    SpaceMapperLines2D m(false);
    DefaultBounds(m);
    SpMapLine2D l = Line(1, 1, 1.5f, 1.2f);
    m.AddLine(&l);
    EXPECT_EQ(TotalLines(m), 1);
    EXPECT_EQ(Cell(m, 2, 2).lineCount, 1);
    ASSERT_EQ(Cell(m, 2, 2).endPointCount, 2);
    EXPECT_FLOAT_EQ(Cell(m, 2, 2).EndPoints()[2], 1.5f);
    EXPECT_FLOAT_EQ(Cell(m, 2, 2).EndPoints()[3], 1.2f);
}

TEST(SpaceMapperGrid, NearbyEndPointsMerge) {
    SpaceMapperLines2D m(false);
    DefaultBounds(m);
    SpMapLine2D a = Line(1, 1, 3, 1);
    m.AddLine(&a);
    EXPECT_EQ(Cell(m, 2, 2).endPointCount, 2);
    SpMapLine2D b = Line(3.005f, 1, 3, 4); // starts within 0.01, ends 3 away
    m.AddLine(&b);
    EXPECT_EQ(Cell(m, 2, 2).endPointCount, 3);
    SpMapLine2D c = Line(3.02f, 1, 4, 2); // starts 0.02 away; its end is new as well
    m.AddLine(&c);
    EXPECT_EQ(Cell(m, 2, 2).endPointCount, 5);
    SpMapLine2D d = Line(3, 4.009f, 1, 1.004f); // both ends merge
    m.AddLine(&d);
    EXPECT_EQ(Cell(m, 2, 2).endPointCount, 5);
    EXPECT_EQ(d.id, 3);
}

TEST(SpaceMapperGrid, LineOutsideTheRectangleReportsTheWalk) {
    SpaceMapperLines2D m(false);
    DefaultBounds(m);
    SpMapLine2D l = Line(-20, 15, 20, 15);
    StartCapture();
    m.AddLine(&l);
    EXPECT_EQ(EndCapture(), "ERR: LineSegIntersection Err\n");
    EXPECT_EQ(Cell(m, 0, 3).lineCount, 1);
    EXPECT_EQ(TotalLines(m), 1);
    EXPECT_EQ(Cell(m, 0, 3).endPointCount, 1);
    EXPECT_EQ(Cell(m, 3, 3).endPointCount, 1);
    EXPECT_EQ(l.id, 0);
}

TEST(SpaceMapperGrid, CornerTestCountsPointsOnTheLineByCorner) {
    SpaceSeg s;
    s.x0 = 0;
    s.y0 = 0;
    s.x1 = 1;
    s.y1 = 1;
    // Through the strict corner (x0, y0), every other corner on the negative side: the
    // point on the line counts as negative, so the cell is not crossed...
    SpMapLine2D a = Line(-1, 1, 1, -1);
    EXPECT_FALSE(LineIntersectsSeg(&s, &a));
    // ...but with the direction reversed the other corners are positive: crossed.
    SpMapLine2D b = Line(1, -1, -1, 1);
    EXPECT_TRUE(LineIntersectsSeg(&s, &b));
    // Through the non-strict corner (x0, y1): the point on the line counts as positive.
    SpMapLine2D c = Line(-1, 0, 1, 2);
    EXPECT_FALSE(LineIntersectsSeg(&s, &c));
    SpMapLine2D d = Line(1, 2, -1, 0);
    EXPECT_TRUE(LineIntersectsSeg(&s, &d));
    // The infinite extension counts, not the segment.
    SpMapLine2D e = Line(5, 0.5f, 6, 0.5f);
    EXPECT_TRUE(LineIntersectsSeg(&s, &e));
    SpMapLine2D f = Line(5, 2, 6, 2);
    EXPECT_FALSE(LineIntersectsSeg(&s, &f));
}

TEST(SpaceMapperGrid, NewBoundsEmptyTheGridButKeepIds) {
    SpaceMapperLines2D m(false);
    DefaultBounds(m);
    SpMapLine2D a = Line(-9, -9, 9, -9), b = Line(1, 1, 2, 2);
    m.AddLine(&a);
    m.AddLine(&b);
    float lo[2] = {0, 0}, hi[2] = {8, 4};
    m.SetSpaceBounds(lo, hi, 2, 1);
    EXPECT_EQ(m.cols, 2);
    EXPECT_EQ(m.rows, 1);
    EXPECT_EQ(TotalLines(m), 0);
    EXPECT_EQ(TotalEndPoints(m), 0);
    EXPECT_FLOAT_EQ(Cell(m, 1, 0).x0, 4);
    SpMapLine2D c = Line(1, 1, 7, 1);
    m.AddLine(&c);
    EXPECT_EQ(c.id, 2);
    EXPECT_EQ(TotalLines(m), 2);
}

TEST(SpaceMapperGrid, ResetKeepingBoundsRestartsIds) {
    SpaceMapperLines2D m(false);
    DefaultBounds(m);
    SpMapLine2D a = Line(-9, -9, 9, -9);
    m.AddLine(&a);
    m.Reset(true);
    ASSERT_NE(m.cells, nullptr);
    EXPECT_EQ(m.cols, 4);
    EXPECT_EQ(m.rows, 4);
    EXPECT_FLOAT_EQ(Cell(m, 3, 3).x1, 10);
    EXPECT_EQ(TotalLines(m), 0);
    EXPECT_EQ(TotalEndPoints(m), 0);
    SpMapLine2D b = Line(1, 1, 2, 2);
    m.AddLine(&b);
    EXPECT_EQ(b.id, 0);
}

// Without a grid, adding, moving and drawing do nothing; bounds given later or a
// Reset(true) bring the grid back.
TEST(SpaceMapperGrid, WithoutGridNothingIsAddedOrHit) {
    SpaceMapperLines2D m(false);
    DefaultBounds(m);
    SpMapLine2D wall = Line(2, -5, 2, 5);
    m.AddLine(&wall);
    m.Reset(false);
    EXPECT_EQ(m.cells, nullptr);
    EXPECT_EQ(m.lineCounter, 0);
    EXPECT_EQ(m.grid.Len(), 0);

    SpMapLine2D l = Line(2, -5, 2, 5);
    m.AddSpaceObject("line2d", &l);
    EXPECT_EQ(l.id, 12345); // untouched
    EXPECT_EQ(l.nx, 77.0f);
    EXPECT_EQ(m.lineCounter, 0);

    m.SetTime(0, 1.0f / 60);
    float p[2] = {0, 0}, v[2] = {120, 0}, k[2], pos[2], vel[2];
    EXPECT_EQ(m.MapPoint(p, v, 0.5f, k, pos, vel, false), 0);
    EXPECT_FLOAT_EQ(pos[0], 2);
    EXPECT_FLOAT_EQ(vel[0], 120);
    m.DebugDrawSegments(); // no GL context needed: nothing is drawn

    m.Reset(true);
    ASSERT_NE(m.cells, nullptr);
    EXPECT_EQ(m.cols * m.rows, 16);
    EXPECT_EQ(TotalLines(m), 0);
}

TEST(SpaceMapperGrid, ResetKeepingBoundsWithoutAnyBoundsStaysEmpty) {
    SpaceMapperLines2D m(false);
    m.Reset(true);
    EXPECT_EQ(m.cells, nullptr);
}

// A line without a direction is refused: no id, no end points, no copies.
TEST(SpaceMapperGrid, DegenerateLinesAreRefused) {
    SpaceMapperLines2D m(false);
    DefaultBounds(m);
    SpMapLine2D point = Line(1, 1, 1, 1);
    m.AddLine(&point);
    EXPECT_EQ(point.id, 12345);
    EXPECT_EQ(point.nx, 77.0f);
    float nan = std::numeric_limits<float>::quiet_NaN();
    float inf = std::numeric_limits<float>::infinity();
    SpMapLine2D bad = Line(nan, 0, 1, 1), far = Line(-inf, 0, 1, 0);
    m.AddLine(&bad);
    m.AddLine(&far);
    EXPECT_EQ(m.lineCounter, 0);
    EXPECT_EQ(TotalLines(m), 0);
    EXPECT_EQ(TotalEndPoints(m), 0);
    SpMapLine2D ok = Line(1, 1, 1.001f, 1);
    m.AddLine(&ok);
    EXPECT_EQ(ok.id, 0);
}

// Bounds that cannot make a grid are ignored and the old grid keeps its lines.
TEST(SpaceMapperGrid, BadBoundsKeepTheOldGrid) {
    SpaceMapperLines2D m(false);
    DefaultBounds(m);
    SpMapLine2D l = Line(-9, -9, 9, -9);
    m.AddLine(&l);
    SpaceSeg* before = m.cells;
    float lo[2] = {-5, -5}, hi[2] = {5, 5}, same[2] = {-5, 5}, low[2] = {-6, -6};
    float nan = std::numeric_limits<float>::quiet_NaN();
    float inf = std::numeric_limits<float>::infinity();
    float nanHi[2] = {nan, 5}, infHi[2] = {inf, 5};
    float huge0[2] = {-3e38f, -1}, huge1[2] = {3e38f, 1};
    m.SetSpaceBounds(lo, hi, 1, 0);
    m.SetSpaceBounds(lo, hi, 0, 1);
    m.SetSpaceBounds(lo, hi, -3, 2);
    m.SetSpaceBounds(lo, same, 2, 2);
    m.SetSpaceBounds(lo, low, 2, 2);
    m.SetSpaceBounds(lo, nanHi, 2, 2);
    m.SetSpaceBounds(lo, infHi, 2, 2);
    m.SetSpaceBounds(huge0, huge1, 2, 2);     // width overflows
    m.SetSpaceBounds(lo, hi, 100000, 100000); // more cells than a block holds
    EXPECT_EQ(m.cells, before);
    EXPECT_EQ(m.cols, 4);
    EXPECT_EQ(m.rows, 4);
    EXPECT_FLOAT_EQ(m.min[0], -10);
    EXPECT_FLOAT_EQ(m.max[1], 10);
    EXPECT_EQ(TotalLines(m), 4);
    m.SetSpaceBounds(lo, hi, 1, 1);
    EXPECT_EQ(m.cols * m.rows, 1);
    EXPECT_EQ(TotalLines(m), 0);
}

TEST(SpaceMapperGrid, HugeCellCountsKeepTheOldGrid) {
    for (bool oldVariant : {false, true}) {
        SpaceMapperLines2D m(oldVariant);
        DefaultBounds(m);
        SpaceSeg* before = m.cells;
        float lo[2] = {0, 0}, hi[2] = {1, 1};
        m.SetSpaceBounds(lo, hi, 1 << 30, 1 << 30); // the byte count passes even 64 bits
        m.SetSpaceBounds(lo, hi, INT_MAX, 1);
        m.SetSpaceBounds(lo, hi, 1, INT_MAX);
        EXPECT_EQ(m.cells, before);
        EXPECT_EQ(m.cols * m.rows, 16);
    }
}

TEST(SpaceMapperHelpers, SameSignCountsZeroAsBoth) {
    EXPECT_TRUE(same_sign(2, 3));
    EXPECT_TRUE(same_sign(-2, -3));
    EXPECT_TRUE(same_sign(0, -3));
    EXPECT_TRUE(same_sign(0, 0));
    EXPECT_FALSE(same_sign(-1, 1));
    EXPECT_FALSE(same_sign(std::numeric_limits<float>::quiet_NaN(), 1));
}

TEST(SpaceMapperHelpers, FindDirectionsGivesSideValues) {
    float o0, o1, o2, o3, o4;
    // P from (0, -1) to (0, 1) along line A (x = 0: a = 2, b = 0, c = 0);
    // Q from (-1, 0.5) to (3, 0.5): a = 0, b = -4, c computed = 2.
    FindDirections(o0, o1, o2, o3, o4, 0, 0, -1, 0, 1, -1, 0.5f, 3, 0.5f, 2, 0, 0, -4, 99);
    EXPECT_FLOAT_EQ(o4, 2);
    EXPECT_FLOAT_EQ(o0, 6);  // (0, -1) against Q's line
    EXPECT_FLOAT_EQ(o1, -2); // (0, 1)
    EXPECT_FLOAT_EQ(o2, -2); // (-1, 0.5) against P's line
    EXPECT_FLOAT_EQ(o3, 6);  // (3, 0.5)
    SpMapLine2D l = Line(0, 0, 0, -2);
    CalcLineNorm(&l);
    EXPECT_FLOAT_EQ(l.nx, -1);
    EXPECT_FLOAT_EQ(l.ny, 0);
}

TEST(SpaceMapperHelpers, FloatPrintFormats) {
    float v[4] = {1, -2.5f, 0, 3};
    StartCapture();
    fa_print(1, v);
    fa_print(2, v);
    fa_print(3, v);
    fa_print(4, v);
    fa_print(0, v);
    fa_print(5, v);
    EXPECT_EQ(EndCapture(), "1.000000 \n1.000000 -2.500000 \n1.000000 -2.500000 0.000000 \n"
                            "1.000000 -2.500000 0.000000 3.000000 \n");
}

// ---------------------------------------------------------------------------------------
// The older mapper of velkRun

class SpaceMapperVariant : public ::testing::Test {
  protected:
    void TearDown() override { SetCurrentProgram(ProgramKind::Engine); }
};

TEST_F(SpaceMapperVariant, ProgramKindIsTakenWhenBuilt) {
    SetCurrentProgram(ProgramKind::Run);
    SpaceMapperLines2D old;
    SetCurrentProgram(ProgramKind::Engine);
    SpaceMapperLines2D current;
    EXPECT_TRUE(old.oldVariant);
    EXPECT_FALSE(current.oldVariant);
    SetCurrentProgram(ProgramKind::Run);
    EXPECT_FALSE(current.oldVariant); // later changes do not matter
}

TEST_F(SpaceMapperVariant, OldMapperHasNoReset) {
    SpaceMapperLines2D m(true);
    DefaultBounds(m);
    SpMapLine2D l = Line(-9, -9, 9, -9);
    m.AddLine(&l);
    m.Reset(false);
    m.Reset(true);
    ASSERT_NE(m.cells, nullptr);
    EXPECT_EQ(TotalLines(m), 4);
    EXPECT_EQ(m.lineCounter, 1);
    // Everything else of the grid is shared with the current mapper.
    SpMapLine2D out = Line(-20, 15, 20, 15);
    StartCapture();
    m.AddLine(&out);
    EXPECT_EQ(EndCapture(), "ERR: LineSegIntersection Err\n");
    EXPECT_EQ(out.id, 1);
}

// ---------------------------------------------------------------------------------------
// Debug drawing

namespace {

// Maps the default grid's (-10, -10)..(10, 10) onto the whole window.
void GridView() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-10.5, 10.5, -10.5, 10.5, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);
}

// Window pixel of a plane point under GridView.
int Px(float x) {
    return (int)((x + 10.5f) / 21.0f * GLTest::kWidth);
}

} // namespace

class SpaceMapperDrawing : public GLTest {
  protected:
    void TearDown() override { SetCurrentProgram(ProgramKind::Engine); }

    // Lines may land a pixel either side of their exact position.
    static bool LitNear(int x, int y) {
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++)
                if (Pixel(x + dx, y + dy).r > 0) return true;
        return false;
    }
};

TEST_F(SpaceMapperDrawing, DrawsCellOutlinesAndLines) {
    SpaceMapperLines2D m(false);
    DefaultBounds(m);
    SpMapLine2D l = Line(-7, 2.5f, 7, 2.5f); // mid-cell height, away from grid lines
    m.AddLine(&l);
    GridView();
    m.DebugDrawSegments();
    EXPECT_TRUE(LitNear(Px(-5), Px(-7.5f)));    // a vertical cell edge
    EXPECT_TRUE(LitNear(Px(-7.5f), Px(0)));     // a horizontal cell edge
    EXPECT_TRUE(LitNear(Px(3.3f), Px(2.5f)));   // the wall
    EXPECT_FALSE(LitNear(Px(3.3f), Px(-2.5f))); // inside a cell, nothing
    float lw = 0;
    glGetFloatv(GL_LINE_WIDTH, &lw);
    EXPECT_EQ(lw, 1.0f);
}

TEST_F(SpaceMapperDrawing, OldMapperDrawsCellsOnly) {
    SpaceMapperLines2D m(true);
    DefaultBounds(m);
    SpMapLine2D l = Line(-7, 2.5f, 7, 2.5f);
    m.AddLine(&l);
    GridView();
    m.DebugDrawSegments();
    EXPECT_TRUE(LitNear(Px(-5), Px(-7.5f)));
    EXPECT_FALSE(LitNear(Px(3.3f), Px(2.5f)));
}

TEST_F(SpaceMapperDrawing, NoGridDrawsNothing) {
    SpaceMapperLines2D m(false);
    GridView();
    m.DebugDrawSegments();
    DefaultBounds(m);
    m.Reset(false);
    m.DebugDrawSegments();
    EXPECT_EQ(CountNot(RGBA{0, 0, 0, 255}), 0);
}
