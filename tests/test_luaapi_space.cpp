// The script API's space mapper functions driven from Lua: creating the mapper, bounds,
// wall lines, resets, events, debug drawing, point and line movement with their output
// tables, calls before the mapper exists, the velkRun subset, and the bounce demo script
// run through the whole host.
#include "corethingy_testing.h"
#include "glfixture.h"
#include "luathingy.h"
#include "luathingy_testing.h"
#include "programKind.h"
#include "spaceMapperLine2d.h"

#include <SFML/OpenGL.hpp>
#include <SFML/Window/Keyboard.hpp>
#include <cmath>
#include <cstring>
#include <string>

namespace {

const char* kBoundsTooFew = "ERR: too few args: set2dspacebounds\n";

// A bare script host (no window, no script) drawing into the GL fixture's context.
class SpaceApiTest : public GLTest, protected BareScriptHost {
  protected:
    TempWorkDir dir;

    void SetUp() override {
        GLTest::SetUp();
        MakeHost(ProgramKind::Engine);
    }
    void TearDown() override {
        DropHost();
        SetCurrentProgram(ProgramKind::Engine);
    }
    void MakeHost(ProgramKind kind) {
        DropHost();
        SetCurrentProgram(kind);
        OpenHost();
    }
    double Num(const char* global) { return GlobalNumber(L, global); }
    SpaceMapperLines2D* Lines() { return dynamic_cast<SpaceMapperLines2D*>(host->spaceMapper); }
    // Creates the mapper and gives it the frame step of a running game.
    void StartMapper() {
        EXPECT_EQ(Lua("SetSpaceMapper(1)"), "");
        ASSERT_NE(Lines(), nullptr);
        host->spaceMapper->SetTime(1.0f, 1.0f / 60.0f);
    }
    // Total of stored line copies over all cells.
    int LineCopies() {
        SpaceMapperLines2D* m = Lines();
        if (!m || !m->cells) return 0;
        int n = 0;
        for (int i = 0; i < m->cols * m->rows; i++)
            n += m->cells[i].lineCount;
        return n;
    }
    // Whether a pixel within one of (x, y) is lit: lines on pixel borders may fall either side.
    static bool LitNear(int x, int y) {
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++)
                if (Pixel(x + dx, y + dy).r > 0) return true;
        return false;
    }
    static int CountLit() {
        int n = 0;
        for (const RGBA& p : ReadAll())
            if (p.r || p.g || p.b) n++;
        return n;
    }
};

TEST_F(SpaceApiTest, SetSpaceMapperCreatesTheDefaultGridOnlyForKindOne) {
    EXPECT_EQ(host->spaceMapper, nullptr);
    // No minimum test: no argument reads as kind 0, which does nothing.
    EXPECT_EQ(Lua("SetSpaceMapper() SetSpaceMapper(0) SetSpaceMapper(2) SetSpaceMapper(-1)"), "");
    EXPECT_EQ(host->spaceMapper, nullptr);

    // The kind is truncated, so 1.9 is kind 1.
    EXPECT_EQ(Lua("SetSpaceMapper(1.9)"), "");
    SpaceMapperLines2D* m = Lines();
    ASSERT_NE(m, nullptr);
    EXPECT_FALSE(m->oldVariant);
    EXPECT_EQ(m->cols, 4);
    EXPECT_EQ(m->rows, 4);
    EXPECT_FLOAT_EQ(m->min[0], -10);
    EXPECT_FLOAT_EQ(m->min[1], -10);
    EXPECT_FLOAT_EQ(m->max[0], 10);
    EXPECT_FLOAT_EQ(m->max[1], 10);

    // Other kinds leave the current mapper alone; kind 1 again gives a fresh, empty one.
    Lua("AddSpaceObject('line2d', -9, -9, 9, -9)");
    EXPECT_EQ(LineCopies(), 4);
    Lua("SetSpaceMapper(2)");
    EXPECT_EQ(LineCopies(), 4);
    Lua("SetSpaceMapper('1')");
    ASSERT_NE(Lines(), nullptr);
    EXPECT_EQ(LineCopies(), 0);
    EXPECT_EQ(Lines()->lineCounter, 0);
}

TEST_F(SpaceApiTest, CallsBeforeTheMapperExistsDoNothing) {
    std::string out = Lua("AddSpaceObject('line2d', 0, -5, 0, 5)\n"
                          "SpaceEvent('boom')\n"
                          "SpaceMapperReset(1)\n"
                          "DebugDrawSegments()\n"
                          "Set2DSpaceBounds(-5, -5, 5, 5, 2, 2)\n"
                          "c, p, v = {}, {}, {}\n"
                          "hits = MapPoint({0, 0, 0}, {120, 0, 0}, 0.5, c, p, v)\n"
                          "lhits = MapLine({0, 0, 0}, {4, 0, 0}, 0.5, c, p)\n"
                          "untouched = next(c) == nil and next(p) == nil and next(v) == nil\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(host->spaceMapper, nullptr);
    EXPECT_EQ(Num("hits"), 0);
    EXPECT_EQ(Num("lhits"), 0);
    Lua("untouched = untouched and 1 or 0");
    EXPECT_EQ(Num("untouched"), 1);
    EXPECT_EQ(CountLit(), 0);
    // The minimum test still speaks: it is about the call, not the mapper.
    EXPECT_EQ(Lua("Set2DSpaceBounds(1)"), kBoundsTooFew);
    // Even without output tables there is nothing to store, so no error either.
    EXPECT_EQ(Lua("hits = MapPoint()"), "");
    EXPECT_EQ(Num("hits"), 0);
}

TEST_F(SpaceApiTest, AddSpaceObjectTakesOnlyTheExactKind) {
    StartMapper();
    EXPECT_EQ(Lua("AddSpaceObject('Line2D', -9, -9, 9, -9)\n"
                  "AddSpaceObject('line2d ', -9, -9, 9, -9)\n"
                  "AddSpaceObject(5, -9, -9, 9, -9)\n"
                  "AddSpaceObject({}, -9, -9, 9, -9)\n"
                  "AddSpaceObject()"),
              "");
    EXPECT_EQ(LineCopies(), 0);
    EXPECT_EQ(Lines()->lineCounter, 0);

    // Along the bottom row: stored in its four cells, coordinates as given, first id 0.
    EXPECT_EQ(Lua("AddSpaceObject('line2d', -9, '-9', 9, -9)"), "");
    SpaceMapperLines2D* m = Lines();
    EXPECT_EQ(LineCopies(), 4);
    for (int c = 0; c < 4; c++) {
        ASSERT_EQ(m->cells[c].lineCount, 1) << c;
        SpMapLine2D* l = m->cells[c].Lines();
        EXPECT_FLOAT_EQ(l->x0, -9);
        EXPECT_FLOAT_EQ(l->y0, -9);
        EXPECT_FLOAT_EQ(l->x1, 9);
        EXPECT_FLOAT_EQ(l->y1, -9);
        EXPECT_FLOAT_EQ(l->nx, 0);
        EXPECT_FLOAT_EQ(l->ny, -1);
        EXPECT_EQ(l->id, 0);
    }
    // No minimum test: missing coordinates read as 0, so this is (1, 2) to (0, 0).
    EXPECT_EQ(Lua("AddSpaceObject('line2d', 1, 2)"), "");
    EXPECT_EQ(m->lineCounter, 2);
    SpaceSeg* s = m->GetSegFromPoint(0.5f, 1.0f);
    ASSERT_EQ(s->lineCount, 1);
    EXPECT_FLOAT_EQ(s->Lines()->x0, 1);
    EXPECT_FLOAT_EQ(s->Lines()->y0, 2);
    EXPECT_FLOAT_EQ(s->Lines()->x1, 0);
    EXPECT_FLOAT_EQ(s->Lines()->y1, 0);
    EXPECT_EQ(s->Lines()->id, 1);
}

TEST_F(SpaceApiTest, MapPointBouncesOffAWallAndFillsAllThreeTables) {
    StartMapper();
    Lua("AddSpaceObject('line2d', 2, -5, 2, 5)\n"
        "c, p, v = {}, {}, {}\n"
        "hits = MapPoint({0, 0, 0}, {120, 0, 0}, 0.5, c, p, v)\n"
        "cx, cy, px, py, vx, vy = c[1], c[2], p[1], p[2], v[1], v[2]\n"
        "extra = (c[3] or 0) + (p[3] or 0) + (v[3] or 0) + #c + #p + #v\n");
    EXPECT_EQ(Num("hits"), 1);
    EXPECT_NEAR(Num("cx"), 1.499999, 1e-5);
    EXPECT_NEAR(Num("cy"), 0, 1e-6);
    EXPECT_NEAR(Num("px"), 0.999999, 1e-5);
    EXPECT_NEAR(Num("py"), 0, 1e-6);
    EXPECT_FLOAT_EQ(Num("vx"), -120);
    EXPECT_NEAR(Num("vy"), 0, 1e-4);
    EXPECT_EQ(Num("extra"), 6); // keys 1 and 2 only, in each table

    // Too slow to reach the wall this frame: moves freely.
    Lua("c, p, v = {}, {}, {}\n"
        "hits = MapPoint({0, 0, 0}, {60, 0, 0}, 0.5, c, p, v)\n"
        "px, py, vx, vy = p[1], p[2], v[1], v[2]\n");
    EXPECT_EQ(Num("hits"), 0);
    EXPECT_FLOAT_EQ(Num("px"), 1);
    EXPECT_FLOAT_EQ(Num("py"), 0);
    EXPECT_FLOAT_EQ(Num("vx"), 60);
    EXPECT_FLOAT_EQ(Num("vy"), 0);
}

TEST_F(SpaceApiTest, MapLineFillsOnlyContactAndPosition) {
    StartMapper();
    Lua("AddSpaceObject('line2d', 2, -5, 2, 5)\n"
        "c, p, v = {}, {}, {}\n"
        "hits = MapLine({0, 0, 0}, {4, 0, 0}, 0.5, c, p, v)\n"
        "cx, cy, px, py = c[1], c[2], p[1], p[2]\n"
        "vempty = next(v) == nil and 1 or 0\n");
    EXPECT_EQ(Num("hits"), 1);
    EXPECT_NEAR(Num("cx"), 1.499999, 1e-5);
    EXPECT_NEAR(Num("cy"), 0, 1e-6);
    EXPECT_NEAR(Num("px"), -1.000001, 1e-5);
    EXPECT_NEAR(Num("py"), 0, 1e-6);
    EXPECT_EQ(Num("vempty"), 1);

    // Short of the wall: the contact is the end point; five arguments are enough.
    Lua("c, p = {}, {}\n"
        "hits = MapLine({0, 0}, {1, 0}, 0.5, c, p)\n"
        "cx, cy, px, py = c[1], c[2], p[1], p[2]\n");
    EXPECT_EQ(Num("hits"), 0);
    EXPECT_FLOAT_EQ(Num("cx"), 1);
    EXPECT_FLOAT_EQ(Num("cy"), 0);
    EXPECT_FLOAT_EQ(Num("px"), 1);
    EXPECT_FLOAT_EQ(Num("py"), 0);
}

TEST_F(SpaceApiTest, PointTablesOfAnyLengthAndRadiusForms) {
    StartMapper();
    Lua("AddSpaceObject('line2d', 2, -5, 2, 5)");
    // Fewer than three values: the missing coordinates are 0. More than three: the extra
    // values are walked over and ignored. Numeric strings count as their numbers.
    const char* forms[] = {
        "MapPoint({}, {120}, 0.5, c, p, v)",
        "MapPoint({0, 0, 0, 50, 60, 70}, {120, 0, 0, 1, 2, 3, 4}, 0.5, c, p, v)",
        "MapPoint({'0', '0'}, {'120', '0'}, '0.5', c, p, v)",
        "MapPoint(nil, {120, 0}, 0.5, c, p, v)",
        "MapPoint(7, {120}, 0.5, c, p, v)",
    };
    for (const char* form : forms) {
        Lua(std::string("c, p, v = {}, {}, {}\nhits = ") + form + "\npx, vx = p[1], v[1]\n");
        EXPECT_EQ(Num("hits"), 1) << form;
        EXPECT_NEAR(Num("px"), 0.999999, 1e-5) << form;
        EXPECT_FLOAT_EQ(Num("vx"), -120) << form;
    }
    // From (0, 7) the ball passes 2 units above the wall's top end: no hit.
    Lua("c, p, v = {}, {}, {}\nhits = MapPoint({0, 7}, {120}, 0.5, c, p, v)\npx, py = p[1], p[2]\n");
    EXPECT_EQ(Num("hits"), 0);
    EXPECT_FLOAT_EQ(Num("px"), 2);
    EXPECT_FLOAT_EQ(Num("py"), 7);

    // A radius that is not a number counts as 0: the ball touches the wall itself.
    Lua("c, p, v = {}, {}, {}\nhits = MapPoint({0, 0}, {180, 0}, {}, c, p, v)\ncx = c[1]\n");
    EXPECT_EQ(Num("hits"), 1);
    EXPECT_NEAR(Num("cx"), 1.999999, 1e-5);
    // The traversal leaves the stack balanced: only the hit count comes back.
    Lua("n = select('#', MapPoint({1, 2, 3, 4, 5}, {6, 7, 8, 9}, 0.5, {}, {}, {}, 'extra', 9))");
    EXPECT_EQ(Num("n"), 1);
}

TEST_F(SpaceApiTest, MissingOutputTableIsALuaErrorAfterTheEarlierStores) {
    StartMapper();
    Lua("AddSpaceObject('line2d', 2, -5, 2, 5)\nc, p = {}, {}");
    testing::internal::CaptureStdout();
    std::string error = RunLua(L, "MapPoint({0, 0}, {120, 0}, 0.5, c, p)");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(error.find("index"), std::string::npos) << error;
    Lua("cx, px = c[1], p[1]");
    EXPECT_NEAR(Num("cx"), 1.499999, 1e-5);
    EXPECT_NEAR(Num("px"), 0.999999, 1e-5);

    // Line mode needs only two tables; a number in place of the second is an error too.
    error = RunLua(L, "MapLine({0, 0}, {1, 0}, 0.5, {}, 5)");
    EXPECT_NE(error, "");
}

TEST_F(SpaceApiTest, SpaceMapperResetKeepsOrDropsTheGrid) {
    StartMapper();
    Lua("AddSpaceObject('line2d', -9, -9, 9, -9) AddSpaceObject('line2d', 2, -5, 2, 5)");
    EXPECT_EQ(Lines()->lineCounter, 2);

    // Keep: same shape, empty, ids start again; no results.
    EXPECT_EQ(Lua("n = select('#', SpaceMapperReset(1))"), "");
    EXPECT_EQ(Num("n"), 0);
    SpaceMapperLines2D* m = Lines();
    ASSERT_NE(m->cells, nullptr);
    EXPECT_EQ(m->cols, 4);
    EXPECT_EQ(m->rows, 4);
    EXPECT_EQ(LineCopies(), 0);
    EXPECT_EQ(m->lineCounter, 0);
    Lua("AddSpaceObject('line2d', 2, -5, 2, 5)");
    EXPECT_EQ(m->cells[m->GetSegFromPoint(2, 0) - m->cells].Lines()->id, 0);

    // The flag is an integer: 0.5 reads as 0 and drops the grid.
    Lua("SpaceMapperReset(0.5)");
    EXPECT_EQ(m->cells, nullptr);

    Lua("SpaceMapperReset(1)"); // nothing to keep after a drop is still a valid call
    Lua("SetSpaceMapper(1) AddSpaceObject('line2d', 2, -5, 2, 5)");
    m = Lines();
    // Without arguments: keep is false, the mapper is left without a grid; later calls on
    // the grid-less mapper do nothing and move freely.
    EXPECT_EQ(Lua("SpaceMapperReset()"), "");
    EXPECT_EQ(m->cells, nullptr);
    m->SetTime(1.0f, 1.0f / 60.0f);
    EXPECT_EQ(Lua("AddSpaceObject('line2d', 2, -5, 2, 5) DebugDrawSegments()\n"
                  "c, p, v = {}, {}, {}\nhits = MapPoint({0, 0}, {120, 0}, 0.5, c, p, v)\npx = p[1]"),
              "");
    EXPECT_EQ(Num("hits"), 0);
    EXPECT_FLOAT_EQ(Num("px"), 2);
    EXPECT_EQ(CountLit(), 0);
}

TEST_F(SpaceApiTest, Set2DSpaceBoundsCellCountsFollowTheArgumentCount) {
    StartMapper();
    Lua("AddSpaceObject('line2d', 2, -5, 2, 5)");
    SpaceMapperLines2D* m = Lines();

    // Four arguments: one cell; lines are gone, the next id goes on.
    EXPECT_EQ(Lua("Set2DSpaceBounds(-5, -5, 5, 5)"), "");
    EXPECT_EQ(m->cols, 1);
    EXPECT_EQ(m->rows, 1);
    EXPECT_FLOAT_EQ(m->min[0], -5);
    EXPECT_FLOAT_EQ(m->max[1], 5);
    EXPECT_EQ(LineCopies(), 0);
    Lua("AddSpaceObject('line2d', 2, -5, 2, 5)");
    EXPECT_EQ(m->cells[0].Lines()->id, 1);

    // Six arguments, counts truncated.
    EXPECT_EQ(Lua("Set2DSpaceBounds(-6, -4, 6, 4, 3.9, '2')"), "");
    EXPECT_EQ(m->cols, 3);
    EXPECT_EQ(m->rows, 2);
    EXPECT_FLOAT_EQ(m->min[0], -6);
    EXPECT_FLOAT_EQ(m->min[1], -4);
    EXPECT_FLOAT_EQ(m->max[0], 6);
    EXPECT_FLOAT_EQ(m->max[1], 4);
    EXPECT_FLOAT_EQ(m->cells[5].x0, 2);

    // Five arguments: the row count reads 0, which makes no grid; the mapper keeps its own.
    EXPECT_EQ(Lua("Set2DSpaceBounds(-5, -5, 5, 5, 2)"), "");
    EXPECT_EQ(m->cols, 3);
    EXPECT_EQ(m->rows, 2);
    ASSERT_NE(m->cells, nullptr);

    // Too few: the message with its tag, then missing values read 0: max (0, 0) is not
    // beyond min (1, 2), so again nothing changes.
    EXPECT_EQ(Lua("Set2DSpaceBounds(1, 2)"), kBoundsTooFew);
    EXPECT_EQ(Lua("Set2DSpaceBounds()"), kBoundsTooFew);
    EXPECT_EQ(m->cols, 3);
    EXPECT_FLOAT_EQ(m->min[0], -6);
    // Three arguments still make a grid when the missing max y of 0 lies above min y.
    EXPECT_EQ(Lua("Set2DSpaceBounds(-1, -1, 1)"), kBoundsTooFew);
    EXPECT_EQ(m->cols, 1);
    EXPECT_FLOAT_EQ(m->max[1], 0);
}

// Only the line mapper has bounds: any other mapper behind the pointer is left alone.
TEST_F(SpaceApiTest, Set2DSpaceBoundsIgnoresOtherMappers) {
    struct CountingMapper : SpaceMapper {
        int events = 0;
        int resets = 0;
        const char* lastEvent = nullptr;
        void HandleEvent(const char* name, void*) override {
            events++;
            lastEvent = name;
        }
        void Reset(bool) override { resets++; }
    };
    auto* mapper = new CountingMapper();
    host->spaceMapper = mapper; // the host frees it
    EXPECT_EQ(Lua("Set2DSpaceBounds(-5, -5, 5, 5, 2, 2) SpaceEvent('hello') SpaceEvent(12) SpaceEvent()"),
              "");
    EXPECT_EQ(mapper->events, 3);
    EXPECT_EQ(mapper->lastEvent, nullptr); // no argument: no name
    EXPECT_EQ(Lua("SpaceMapperReset(1)"), "");
    EXPECT_EQ(mapper->resets, 1);
    // The base mapper's movement reports no hit and writes nothing.
    Lua("c, p, v = {}, {}, {}\nhits = MapPoint({0, 0}, {1, 0}, 1, c, p, v)\nx = p[1] or -1");
    EXPECT_EQ(Num("hits"), 0);
    EXPECT_EQ(Num("x"), 0); // the API stores its zero-initialized outputs
}

TEST_F(SpaceApiTest, SpaceEventReachesTheLineMapperHarmlessly) {
    StartMapper();
    Lua("AddSpaceObject('line2d', 2, -5, 2, 5)");
    int copies = LineCopies();
    EXPECT_EQ(copies, 3); // rows 1 to 3 of column 2
    EXPECT_EQ(Lua("SpaceEvent('explode') SpaceEvent() SpaceEvent({})"), "");
    EXPECT_EQ(LineCopies(), copies);
    EXPECT_EQ(Lines()->lineCounter, 1);
}

// Converting an argument can run a finalizer, and a finalizer can replace the mapper: the
// call takes the mapper only once its arguments are read. Here every allocation finishes a
// whole collection, and the first finalizer leaves a second proxy behind for the next one,
// which is the conversion of SpaceEvent's number.
TEST_F(SpaceApiTest, AFinalizerReplacingTheMapperDuringAConversion) {
    StartMapper();
    EXPECT_EQ(Lua("collectgarbage('setpause', 0) collectgarbage('setstepmul', 10000000) collectgarbage()\n"
                  "local function second() SetSpaceMapper(1) replaced = 1 end\n"
                  "local function first() getmetatable(newproxy(true)).__gc = second end\n"
                  "local a = newproxy(true) getmetatable(a).__gc = first a = nil\n"
                  "SpaceEvent(5)\n"),
              "");
    EXPECT_EQ(Num("replaced"), 1);
}

TEST_F(SpaceApiTest, DebugDrawSegmentsDrawsCellsAndLines) {
    glMatrixMode(GL_PROJECTION);
    glOrtho(-10.5, 10.5, -10.5, 10.5, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    auto px = [](float x) { return (int)((x + 10.5f) / 21.0f * kWidth); };

    Lua("DebugDrawSegments()");
    EXPECT_EQ(CountLit(), 0);

    StartMapper();
    Lua("Color(1, 0, 0) DebugDrawSegments()");
    int cellsOnly = CountLit();
    EXPECT_GT(cellsOnly, 0);
    // The grid line x = 0 is drawn; the middle of a cell is not.
    EXPECT_TRUE(LitNear(px(0), px(2.5f)));
    EXPECT_FALSE(LitNear(px(2.5f), px(2.5f)));

    glClear(GL_COLOR_BUFFER_BIT);
    Lua("AddSpaceObject('line2d', -7.5, 2.5, 7.5, 2.5) DebugDrawSegments()");
    EXPECT_GT(CountLit(), cellsOnly);
    EXPECT_TRUE(LitNear(px(2.5f), px(2.5f)));
}

TEST_F(SpaceApiTest, OnlySet2DSpaceBoundsHasAMinimumTest) {
    StartMapper();
    EXPECT_EQ(Lua("SetSpaceMapper() SpaceMapperReset() AddSpaceObject() SpaceEvent() DebugDrawSegments()"),
              "");
    EXPECT_EQ(Lua("Set2DSpaceBounds(1, 2, 3)"), kBoundsTooFew);
    EXPECT_EQ(Lua("Set2DSpaceBounds(-1, -2, 3, 4)"), "");
    // MapPoint has no minimum: without tables its stores fail as Lua errors, silently.
    testing::internal::CaptureStdout();
    std::string error = RunLua(L, "MapPoint()");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(error, "");
}

TEST_F(SpaceApiTest, RowsSitInTheirRegistrationPlaces) {
    const char* names[] = {"SetSpaceMapper", "SpaceMapperReset", "AddSpaceObject",    "SpaceEvent",
                           "MapPoint",       "MapLine",          "DebugDrawSegments", "Set2DSpaceBounds"};
    lua_CFunction functions[] = {pubLSetSpaceMapper,    pubLSpaceReset,      pubLAddSpaceObject,
                                 pubLSpaceEvent,        pubLMapPoint,        pubLMapLine,
                                 pubLDebugDrawSegments, pubLSet2DSpaceBounds};
    int first = -1;
    for (int i = 0; i < kLuaApiCount; i++)
        if (strcmp(kLuaApi[i].name, "SetSpaceMapper") == 0) first = i;
    ASSERT_GE(first, 0);
    ASSERT_LE(first + 8, kLuaApiCount);
    for (int k = 0; k < 8; k++) {
        EXPECT_STREQ(kLuaApi[first + k].name, names[k]);
        EXPECT_EQ(kLuaApi[first + k].function, functions[k]) << names[k];
        EXPECT_EQ(kLuaApi[first + k].inVelkRun, k != 1) << names[k];
    }
    // Positions 71 to 78 of the full table: after WriteSaveString, before Text.
    if (kLuaApiCount == 83) EXPECT_EQ(first, 70);
    EXPECT_STREQ(kLuaApi[first - 1].name, "WriteSaveString");
    if (first + 8 < kLuaApiCount) EXPECT_STREQ(kLuaApi[first + 8].name, "Text");
}

// velkRun: seven of the eight, bounds without a minimum test and with the counts always
// from arguments 5 and 6, and the older mapper.
TEST_F(SpaceApiTest, VelkRunSubset) {
    MakeHost(ProgramKind::Run);
    ASSERT_TRUE(host->runVariant);
    Lua("kinds = type(SetSpaceMapper) .. type(SpaceMapperReset) .. type(AddSpaceObject) ..\n"
        "  type(SpaceEvent) .. type(MapPoint) .. type(MapLine) .. type(DebugDrawSegments) ..\n"
        "  type(Set2DSpaceBounds)");
    lua_getglobal(L, "kinds");
    EXPECT_STREQ(lua_tostring(L, -1), "functionnilfunctionfunctionfunctionfunctionfunctionfunction");
    lua_pop(L, 1);
    EXPECT_NE(RunLua(L, "SpaceMapperReset()"), ""); // a nil global

    StartMapper();
    SpaceMapperLines2D* m = Lines();
    EXPECT_TRUE(m->oldVariant);
    // Four arguments give counts 0 here: no grid can be made and the default one stays.
    EXPECT_EQ(Lua("Set2DSpaceBounds(-5, -5, 5, 5)"), "");
    EXPECT_EQ(m->cols, 4);
    EXPECT_FLOAT_EQ(m->min[0], -10);
    EXPECT_EQ(Lua("Set2DSpaceBounds(1)"), "");
    EXPECT_EQ(Lua("Set2DSpaceBounds(-5, -5, 5, 5, 2, 3)"), "");
    EXPECT_EQ(m->cols, 2);
    EXPECT_EQ(m->rows, 3);
    EXPECT_FLOAT_EQ(m->max[0], 5);

    // Movement works the same through the older mapper for a plain wall.
    Lua("SetSpaceMapper(1) AddSpaceObject('line2d', 2, -5, 2, 5)");
    host->spaceMapper->SetTime(1.0f, 1.0f / 60.0f);
    Lua("c, p, v = {}, {}, {}\nhits = MapPoint({0, 0, 0}, {120, 0, 0}, 0.5, c, p, v)\npx, vx = p[1], v[1]");
    EXPECT_EQ(Num("hits"), 1);
    EXPECT_NEAR(Num("px"), 0.999999, 1e-5);
    EXPECT_FLOAT_EQ(Num("vx"), -120);
}

// ---- The bounce demo, run through the whole host -------------------------------------------

// The host draws into the GL fixture's context instead of a window of its own: a context
// that drew vertex-buffer meshes and is then destroyed leaves driver memory behind, and the
// fixture's back buffer can be read after each frame (presenting an unopened window does
// nothing).
class BounceDemoTest : public GLTest {
  protected:
    TempWorkDir dir;
    FakePlatform clock;
    LuaThingy* host = nullptr;

    void TearDown() override {
        delete host;
        SetCurrentProgram(ProgramKind::Engine);
    }
    std::string Start() {
        std::string src = VELK_SOURCE_DIR;
        dir.Script("bounce.lua", TempWorkDir::ReadAll(src + "/run/scripts/bounce.lua"));
        TempWorkDir::Mkdir("media/textures");
        TempWorkDir::Write("media/textures/font.png",
                           TempWorkDir::ReadAll(src + "/run/media/textures/font.png"));
        SetCurrentProgram(ProgramKind::Engine);
        host = new LuaThingy();
        host->width = kWidth;
        host->height = kHeight;
        clock.perRead = 0.005f;
        host->platform = &clock;
        host->SetLoadScript("bounce.lua");
        testing::internal::CaptureStdout();
        int result = host->Init();
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(result, 0) << out;
        return out;
    }
    // Runs frames, returns what they printed; stops at the first non-zero frame result.
    std::string Frames(int n) {
        testing::internal::CaptureStdout();
        for (int i = 0; i < n; i++) {
            int r = host->TimeStep();
            EXPECT_EQ(r, 0) << "frame " << host->frameCount;
            if (r != 0) break;
        }
        return testing::internal::GetCapturedStdout();
    }
    double Field(const char* table, const char* key) {
        lua_State* L = host->luaState;
        lua_getglobal(L, table);
        lua_getfield(L, -1, key);
        double v = lua_tonumber(L, -1);
        lua_pop(L, 2);
        return v;
    }
    static bool HasScriptError(const std::string& out) {
        return out.find("Lua Err") != std::string::npos || out.find("LUA ERR") != std::string::npos;
    }
};

TEST_F(BounceDemoTest, RunsSteersAndStaysInsideTheRoom) {
    // The script's input codes are SFML's arrow keys.
    ASSERT_EQ((int)sf::Keyboard::Left, 71);
    ASSERT_EQ((int)sf::Keyboard::Down, 74);

    std::string out = Start();
    EXPECT_FALSE(HasScriptError(out)) << out;
    ASSERT_NE(host->spaceMapper, nullptr);
    EXPECT_EQ(host->input.keyState.binding[71], 0); // Left
    EXPECT_EQ(host->input.keyState.binding[0], 0);  // A
    EXPECT_EQ(host->input.keyState.binding[73], 2); // Up
    EXPECT_EQ(host->input.keyState.binding[22], 2); // W
    EXPECT_EQ(host->input.keyState.binding[74], 3); // Down
    EXPECT_EQ(host->input.keyState.binding[3], 1);  // D

    out = Frames(60);
    EXPECT_FALSE(HasScriptError(out)) << out;
    double x0 = Field("ball", "x");
    EXPECT_GT(x0, 0); // it has been moving right

    // Hold Right for a second: the ball speeds up sideways (or bounces back off the wall).
    double before = Field("ball", "vx");
    host->KeyHappen(72, true);
    out = Frames(20);
    host->KeyHappen(72, false);
    EXPECT_FALSE(HasScriptError(out)) << out;
    EXPECT_NE(Field("ball", "vx"), before);

    // Hold Down (S) for a while, then let it roll: it must hit walls and never leave the room.
    host->KeyHappen(18, true);
    out = Frames(60);
    host->KeyHappen(18, false);
    for (int i = 0; i < 12; i++) {
        out += Frames(20);
        double x = Field("ball", "x"), y = Field("ball", "y");
        ASSERT_LT(std::abs(x), 8.0) << "frame " << host->frameCount;
        ASSERT_LT(std::abs(y), 8.0) << "frame " << host->frameCount;
    }
    EXPECT_FALSE(HasScriptError(out)) << out;
    EXPECT_GT(GlobalNumber(host->luaState, "bounces"), 0);
    // Its status line went through the text manager.
    EXPECT_GT(host->textManager.texts.Count(), 0);

    // The last frame is still in the back buffer: the ball in orange at its place (the
    // camera shows -10 .. 10 both ways), the right wall in white.
    auto px = [](double v) { return (int)((v + 10.0) / 20.0 * kWidth); };
    RGBA ball = Pixel(px(Field("ball", "x")), px(Field("ball", "y")));
    EXPECT_GT(ball.r, 200);
    EXPECT_LT(ball.b, 100);
    bool wall = false;
    for (int dx = -1; dx <= 1; dx++) {
        RGBA p = Pixel(px(8) + dx, px(-6));
        wall = wall || (p.r > 200 && p.g > 200 && p.b > 200);
    }
    EXPECT_TRUE(wall);
}

} // namespace
