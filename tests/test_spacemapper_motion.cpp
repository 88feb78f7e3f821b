// Tests of the circle motion query: bounces off walls and end points, the pass limit,
// parallel paths, line mode, the overlap case, and the older velkRun order of tests.
#include "programKind.h"
#include "spaceMapperLine2d.h"

#include <gtest/gtest.h>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

namespace {

// The engine's default mapper at one frame's step of 1/60.
struct Mapper {
    SpaceMapperLines2D m;
    explicit Mapper(bool old = false) : m(old) {
        float lo[2] = {-10, -10}, hi[2] = {10, 10};
        m.SetSpaceBounds(lo, hi, 4, 4);
        m.SetTime(5.0f, 1.0f / 60.0f);
    }
    void Wall(float x0, float y0, float x1, float y1) {
        SpMapLine2D l;
        l.x0 = x0;
        l.y0 = y0;
        l.x1 = x1;
        l.y1 = y1;
        m.AddSpaceObject("line2d", &l);
    }
};

// Outputs of one query, pre-filled so that an unwritten output shows.
struct Result {
    int hits = -99;
    float contact[2] = {-77, -77};
    float pos[2] = {-77, -77};
    float vel[2] = {-77, -77};
    std::string printed;
};

Result Point(SpaceMapperLines2D& m, float px, float py, float vx, float vy, float r) {
    Result res;
    float p[2] = {px, py}, v[2] = {vx, vy};
    testing::internal::CaptureStdout();
    res.hits = m.MapPoint(p, v, r, res.contact, res.pos, res.vel, false);
    fflush(stdout);
    res.printed = testing::internal::GetCapturedStdout();
    return res;
}

Result LineTo(SpaceMapperLines2D& m, float px, float py, float ex, float ey, float r) {
    Result res;
    float p[2] = {px, py}, e[2] = {ex, ey};
    testing::internal::CaptureStdout();
    res.hits = m.MapPoint(p, e, r, res.contact, res.pos, res.vel, true);
    fflush(stdout);
    res.printed = testing::internal::GetCapturedStdout();
    return res;
}

const float kTol = 2e-6f;

} // namespace

TEST(SpaceMapperMotion, SingleWallBouncesBack) {
    Mapper w;
    w.Wall(2, -5, 2, 5);
    Result r = Point(w.m, 0, 0, 120, 0, 0.5f);
    EXPECT_EQ(r.hits, 1);
    EXPECT_NEAR(r.contact[0], 1.499999f, kTol);
    EXPECT_NEAR(r.contact[1], 0, kTol);
    EXPECT_LT(r.contact[0], 1.5f); // just off the shifted wall, on the start's side
    EXPECT_NEAR(r.pos[0], 0.999999f, kTol);
    EXPECT_NEAR(r.pos[1], 0, kTol);
    EXPECT_FLOAT_EQ(r.vel[0], -120);
    EXPECT_NEAR(r.vel[1], 0, 1e-4);
    EXPECT_EQ(r.printed, "");
}

TEST(SpaceMapperMotion, ShortMoveMissesTheWall) {
    Mapper w;
    w.Wall(2, -5, 2, 5);
    Result r = Point(w.m, 0, 0, 60, 0, 0.5f);
    EXPECT_EQ(r.hits, 0);
    EXPECT_FLOAT_EQ(r.pos[0], 1);
    EXPECT_FLOAT_EQ(r.pos[1], 0);
    EXPECT_FLOAT_EQ(r.vel[0], 60);
    EXPECT_FLOAT_EQ(r.vel[1], 0);
    // No contact exists: the end of the path is reported.
    EXPECT_FLOAT_EQ(r.contact[0], 1);
    EXPECT_FLOAT_EQ(r.contact[1], 0);
}

TEST(SpaceMapperMotion, TwentyBouncesStopAtTheLastContact) {
    Mapper w;
    w.Wall(-1, -5, -1, 5);
    w.Wall(1, -5, 1, 5);
    Result r = Point(w.m, 0, 0, 6000, 0, 0.5f);
    EXPECT_EQ(r.hits, 20);
    EXPECT_EQ(r.printed, "max\n");
    EXPECT_NEAR(r.contact[0], -0.499999f, kTol);
    EXPECT_NEAR(r.contact[1], 0, kTol);
    EXPECT_EQ(r.pos[0], r.contact[0]);
    EXPECT_EQ(r.pos[1], r.contact[1]);
    EXPECT_FLOAT_EQ(r.vel[0], 6000);
    EXPECT_NEAR(r.vel[1], 0, 1e-2);
}

TEST(SpaceMapperMotion, EndPointStrikeDeflects) {
    Mapper w;
    w.Wall(3, 0, 3, 5);
    Result r = Point(w.m, 0, -0.3f, 240, 0, 0.5f);
    EXPECT_EQ(r.hits, 1);
    EXPECT_NEAR(r.contact[0], 2.6f, 1e-5);
    EXPECT_NEAR(r.contact[1], -0.3f, 1e-5);
    EXPECT_NEAR(r.pos[0], 2.208f, 1e-4);
    EXPECT_NEAR(r.pos[1], -1.644f, 1e-4);
    EXPECT_NEAR(r.vel[0], -67.2f, 1e-3);
    EXPECT_NEAR(r.vel[1], -230.4f, 1e-3);
}

TEST(SpaceMapperMotion, SlidingAlongTheShiftedWallIsColinear) {
    Mapper w;
    w.Wall(-5, 2, 5, 2);
    Result r = Point(w.m, 0, 1.5f, 60, 0, 0.5f);
    // The pass covers two of the wall's three cells.
    EXPECT_EQ(r.printed, "Warning: colinear point collision!\nWarning: colinear point collision!\n");
    EXPECT_EQ(r.hits, 0);
    EXPECT_FLOAT_EQ(r.pos[0], 0);
    EXPECT_FLOAT_EQ(r.pos[1], 1.5f);
    EXPECT_EQ(r.vel[0], 0);
    EXPECT_EQ(r.vel[1], 0);
}

TEST(SpaceMapperMotion, ColinearAfterAHitStillStopsAtTheStart) {
    Mapper w;
    w.Wall(2, -5, 2, 5);
    w.Wall(-5, 2, 5, 2);
    // Bounce off the vertical wall while sliding along the horizontal one.
    Result r = Point(w.m, 0, 1.5f, 120, 0, 0.5f);
    EXPECT_NE(r.printed.find("Warning: colinear point collision!\n"), std::string::npos);
    EXPECT_GE(r.hits, 1);
    EXPECT_FLOAT_EQ(r.pos[0], 0);
    EXPECT_FLOAT_EQ(r.pos[1], 1.5f);
    EXPECT_EQ(r.vel[0], 0);
    EXPECT_EQ(r.vel[1], 0);
}

TEST(SpaceMapperMotion, LineModeBouncesOnce) {
    Mapper w;
    w.Wall(2, -5, 2, 5);
    Result r = LineTo(w.m, 0, 0, 4, 0, 0.5f);
    EXPECT_EQ(r.hits, 1);
    EXPECT_NEAR(r.contact[0], 1.499999f, kTol);
    EXPECT_NEAR(r.pos[0], -1.000001f, kTol);
    EXPECT_NEAR(r.pos[1], 0, kTol);
    EXPECT_EQ(r.vel[0], 0); // line mode has no velocity: zero
    EXPECT_EQ(r.vel[1], 0);
    EXPECT_EQ(r.printed, "");

    Result miss = LineTo(w.m, 0, 0, 1, 0, 0.5f);
    EXPECT_EQ(miss.hits, 0);
    EXPECT_FLOAT_EQ(miss.contact[0], 1);
    EXPECT_FLOAT_EQ(miss.contact[1], 0);
    EXPECT_FLOAT_EQ(miss.pos[0], 1);
    EXPECT_FLOAT_EQ(miss.pos[1], 0);
}

TEST(SpaceMapperMotion, LineModeIgnoresStepAndPassLimit) {
    Mapper w;
    w.Wall(-1, -5, -1, 5);
    w.Wall(1, -5, 1, 5);
    w.m.SetTime(0, 0);
    Result r = LineTo(w.m, 0, 0, 9, 0, 0.5f);
    EXPECT_EQ(r.hits, 1);
    EXPECT_EQ(r.printed, ""); // no "max" in line mode
    EXPECT_NEAR(r.contact[0], 0.499999f, kTol);
    EXPECT_NEAR(r.pos[0], 0.499999f - 8.5f, 1e-5); // the bounced end, not the contact
}

TEST(SpaceMapperMotion, MapLineIsLineModeThroughTheVirtualSlot) {
    struct Recorder : SpaceMapperLines2D {
        Recorder() : SpaceMapperLines2D(false) {}
        bool lineMode = false;
        float* vel = (float*)1;
        int MapPoint(const float*, const float*, float, float*, float*, float* v, bool lm) override {
            lineMode = lm;
            vel = v;
            return 7;
        }
    } rec;
    SpaceMapper* asBase = &rec;
    float a[2] = {0, 0}, b[2] = {1, 1}, k[2], pos[2];
    EXPECT_EQ(asBase->MapLine(a, b, 0.5f, k, pos), 7);
    EXPECT_TRUE(rec.lineMode);
    EXPECT_EQ(rec.vel, nullptr);

    Mapper w;
    w.Wall(2, -5, 2, 5);
    EXPECT_EQ(w.m.MapLine(a, b, 0.5f, k, pos), 0);
    float to[2] = {4, 0};
    EXPECT_EQ(w.m.MapLine(a, to, 0.5f, k, pos), 1);
    EXPECT_NEAR(pos[0], -1.000001f, kTol);
}

TEST(SpaceMapperMotion, ZeroRadiusSkipsEndPointsAndShifting) {
    Mapper w;
    w.Wall(2, -5, 2, 5);
    Result r = Point(w.m, 0, 0, 120, 0, 0);
    EXPECT_EQ(r.hits, 1);
    EXPECT_NEAR(r.contact[0], 1.999999f, kTol);
    EXPECT_LT(r.contact[0], 2.0f);
    EXPECT_NEAR(r.pos[0], 1.999999f, kTol);
    EXPECT_FLOAT_EQ(r.vel[0], -120);

    // Past a wall's end point: with a radius it strikes the end, without it passes.
    Mapper e;
    e.Wall(3, 0, 3, 5);
    Result pass = Point(e.m, 0, -0.3f, 240, 0, 0);
    EXPECT_EQ(pass.hits, 0);
    EXPECT_FLOAT_EQ(pass.pos[0], 4);
    EXPECT_FLOAT_EQ(pass.pos[1], -0.3f);
}

TEST(SpaceMapperMotion, LineModeNeedsSomeDistance) {
    Mapper w;
    w.Wall(2, -5, 2, 5);
    Result touching = LineTo(w.m, 1.499995f, 0, 4, 0, 0.5f);
    EXPECT_EQ(touching.hits, 0);
    EXPECT_FLOAT_EQ(touching.pos[0], 4);
    Result near = LineTo(w.m, 1.4999f, 0, 4, 0, 0.5f);
    EXPECT_EQ(near.hits, 1);
}

TEST(SpaceMapperMotion, NoMovementNoHit) {
    Mapper w;
    w.Wall(2, -5, 2, 5);
    Result still = Point(w.m, 1.2f, 0, 0, 0, 0.5f);
    EXPECT_EQ(still.hits, 0);
    EXPECT_FLOAT_EQ(still.pos[0], 1.2f);
    EXPECT_FLOAT_EQ(still.vel[0], 0);
    EXPECT_EQ(still.printed, "");

    w.m.SetTime(1, 0);
    Result paused = Point(w.m, 1.2f, 0, 120, 0, 0.5f);
    EXPECT_EQ(paused.hits, 0);
    EXPECT_FLOAT_EQ(paused.pos[0], 1.2f);
    EXPECT_FLOAT_EQ(paused.vel[0], 120);
}

// An end point and a line hit at the same distance in one cell: the end point is
// tested first and keeps the hit; the older mapper tests the line first.
TEST(SpaceMapperMotion, EqualDistanceTieGoesToTheFirstTested) {
    Mapper w;
    w.Wall(2.5f, 0, 2.5f, 5); // its end point (2.5, 0) lies on the path
    Result r = LineTo(w.m, 0, 0, 4, 0, 0.5f);
    EXPECT_EQ(r.hits, 1);
    EXPECT_FLOAT_EQ(r.contact[0], 2.0f); // on the circle around the end point

    Mapper old(true);
    old.Wall(2.5f, 0, 2.5f, 5);
    Result o = LineTo(old.m, 0, 0, 4, 0, 0.5f);
    EXPECT_EQ(o.hits, 1);
    EXPECT_NEAR(o.contact[0], 1.999999f, kTol); // off the shifted wall
    EXPECT_LT(o.contact[0], 2.0f);
}

// A circle already overlapping a wall and staying within it is pushed back out; the
// older mapper lets it sink in.
TEST(SpaceMapperMotion, OverlapIsCaughtExceptByTheOldMapper) {
    Mapper w;
    w.Wall(2, -5, 2, 5);
    Result r = Point(w.m, 1.7f, 0, 6, 0, 0.5f);
    EXPECT_EQ(r.hits, 1);
    EXPECT_NEAR(r.contact[0], 1.499999f, kTol);
    EXPECT_NEAR(r.pos[0], 1.599999f, 1e-5);
    EXPECT_FLOAT_EQ(r.vel[0], -6);

    Mapper old(true);
    old.Wall(2, -5, 2, 5);
    Result o = Point(old.m, 1.7f, 0, 6, 0, 0.5f);
    EXPECT_EQ(o.hits, 0);
    EXPECT_FLOAT_EQ(o.pos[0], 1.8f);
    EXPECT_FLOAT_EQ(o.vel[0], 6);
}

TEST(SpaceMapperMotion, OldMapperAgreesOnPlainCases) {
    Mapper old(true);
    old.Wall(2, -5, 2, 5);
    Result r = Point(old.m, 0, 0, 120, 0, 0.5f);
    EXPECT_EQ(r.hits, 1);
    EXPECT_NEAR(r.pos[0], 0.999999f, kTol);
    Mapper oldEnd(true);
    oldEnd.Wall(3, 0, 3, 5);
    Result e = Point(oldEnd.m, 0, -0.3f, 240, 0, 0.5f);
    EXPECT_EQ(e.hits, 1);
    EXPECT_NEAR(e.pos[0], 2.208f, 1e-4);
    EXPECT_NEAR(e.pos[1], -1.644f, 1e-4);
}

TEST(SpaceMapperMotion, OutputsAreOptional) {
    Mapper w;
    w.Wall(2, -5, 2, 5);
    w.Wall(-5, 2, 5, 2);
    float p[2] = {0, 0}, v[2] = {120, 0};
    testing::internal::CaptureStdout();
    int plain = w.m.MapPoint(p, v, 0.5f, nullptr, nullptr, nullptr, false);
    float p2[2] = {0, 1.5f};
    int colinear = w.m.MapPoint(p2, v, 0.5f, nullptr, nullptr, nullptr, false);
    int line = w.m.MapPoint(p, v, 0.5f, nullptr, nullptr, nullptr, true);
    fflush(stdout);
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(plain, 1);
    EXPECT_GE(colinear, 1);
    EXPECT_EQ(line, 1);
    EXPECT_NE(printed.find("Warning: colinear point collision!"), std::string::npos);
    // The bounce is followed even without a position output.
    float k[2];
    EXPECT_EQ(w.m.MapPoint(p, v, 0.5f, k, nullptr, nullptr, false), 1);
    EXPECT_NEAR(k[0], 1.499999f, kTol);
}

TEST(SpaceMapperMotion, WildInputsStayInTheGrid) {
    Mapper w;
    w.Wall(-1, -5, -1, 5);
    w.Wall(1, -5, 1, 5);
    w.Wall(-9, 9, 9, -9);
    float nan = std::numeric_limits<float>::quiet_NaN();
    float inf = std::numeric_limits<float>::infinity();
    const float starts[][2] = {{0, 0}, {nan, 0}, {1e30f, -1e30f}, {inf, inf}};
    const float vels[][2] = {{1e30f, 3}, {nan, nan}, {-inf, 0}, {0, 0}, {3e38f, 3e38f}};
    for (auto& s : starts) {
        for (auto& v : vels) {
            for (float rad : {0.0f, 0.5f, -1.0f, nan, 1e20f}) {
                Result r = Point(w.m, s[0], s[1], v[0], v[1], rad);
                EXPECT_GE(r.hits, 0);
                EXPECT_LE(r.hits, 20);
                Result l = LineTo(w.m, s[0], s[1], v[0], v[1], rad);
                EXPECT_GE(l.hits, 0);
                EXPECT_LE(l.hits, 1);
            }
        }
    }
}

TEST(SpaceMapperMotion, QueriesOnlyReadTheGrid) {
    Mapper w;
    w.Wall(2, -5, 2, 5);
    int before = w.m.cells[2 * 4 + 2].lineCount;
    Point(w.m, 0, 0, 120, 0, 0.5f);
    EXPECT_EQ(w.m.cells[2 * 4 + 2].lineCount, before);
    EXPECT_EQ(w.m.lineCounter, 1);
    // A second wall after a query gets the next id and is hit.
    w.Wall(-2, -5, -2, 5);
    Result r = Point(w.m, 0, 0, -120, 0, 0.5f);
    EXPECT_EQ(r.hits, 1);
    EXPECT_NEAR(r.contact[0], -1.499999f, kTol);
}

// The grid only narrows the search: any grid shape must give exactly the answers of a
// single cell that holds every wall, bounces, overlaps and ties included.
TEST(SpaceMapperMotion, GridGivesTheSameAnswersAsTestingEveryWall) {
    const int shapes[][2] = {{1, 1}, {8, 8}, {5, 3}};
    SpaceMapperLines2D maps[3] = {SpaceMapperLines2D(false), SpaceMapperLines2D(false),
                                  SpaceMapperLines2D(false)};
    float lo[2] = {-20, -20}, hi[2] = {20, 20};
    for (int s = 0; s < 3; s++) {
        maps[s].SetSpaceBounds(lo, hi, shapes[s][0], shapes[s][1]);
        maps[s].SetTime(0, 1.0f / 60.0f);
    }
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> pos(-18, 18), len(0.5f, 3), ang(0, 6.2831853f), speed(0, 600);
    for (int i = 0; i < 300; i++) {
        float a = ang(rng), d = len(rng);
        SpMapLine2D l;
        l.x0 = pos(rng);
        l.y0 = pos(rng);
        l.x1 = l.x0 + std::cos(a) * d;
        l.y1 = l.y0 + std::sin(a) * d;
        for (auto& m : maps) {
            SpMapLine2D copy = l;
            m.AddSpaceObject("line2d", &copy);
        }
    }
    int hits = 0, mismatches = 0;
    testing::internal::CaptureStdout(); // "max" lines of trapped circles
    for (int q = 0; q < 2000; q++) {
        float a = ang(rng), s = speed(rng);
        float p[2] = {pos(rng), pos(rng)}, v[2] = {std::cos(a) * s, std::sin(a) * s};
        bool lineMode = q % 4 == 0;
        float out[3][6];
        int n[3];
        for (int m = 0; m < 3; m++)
            n[m] = maps[m].MapPoint(p, v, 0.5f, out[m], out[m] + 2, out[m] + 4, lineMode);
        hits += n[0];
        for (int m = 1; m < 3; m++) {
            bool same = n[m] == n[0];
            for (int k = 0; k < 6; k++)
                same = same && out[m][k] == out[0][k];
            if (!same) mismatches++;
        }
    }
    fflush(stdout);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(hits, 100); // the sample must actually bounce
}
