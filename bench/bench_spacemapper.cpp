// Movement queries against 1,000 random short walls: the 16 x 16 grid against a single
// cell holding every wall (the same query testing every wall), plus 4 x 4 for scale.
#include "spaceMapperLine2d.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <random>
#include <vector>

namespace {

const int kWalls = 1000;
const int kQueries = 4096;
// A 100 x 100 area: with radius 0.5 the walls' reach covers about a fifth of it, so
// most circles move freely and some bounce, as in a game level.
const float kHalf = 50.0f;

struct Query {
    float p[2];
    float v[2];
};

// Walls of length 0.5 to 2 in any direction, wholly inside the area.
std::vector<SpMapLine2D> FillWalls(SpaceMapperLines2D& m) {
    std::vector<SpMapLine2D> walls;
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> pos(-kHalf + 2.0f, kHalf - 2.0f), len(0.5f, 2.0f),
        ang(0.0f, 6.2831853f);
    for (int i = 0; i < kWalls; i++) {
        SpMapLine2D l;
        float a = ang(rng), d = len(rng);
        l.x0 = pos(rng);
        l.y0 = pos(rng);
        l.x1 = l.x0 + std::cos(a) * d;
        l.y1 = l.y0 + std::sin(a) * d;
        m.AddSpaceObject("line2d", &l);
        walls.push_back(l);
    }
    return walls;
}

float DistanceToWall(const float* p, const SpMapLine2D& l) {
    float dx = l.x1 - l.x0, dy = l.y1 - l.y0;
    float t = ((p[0] - l.x0) * dx + (p[1] - l.y0) * dy) / (dx * dx + dy * dy);
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    float cx = l.x0 + t * dx - p[0], cy = l.y0 + t * dy - p[1];
    return std::sqrt(cx * cx + cy * cy);
}

// Circles anywhere in the area but clear of every wall (as a game keeps them), moving
// 0 to 1.5 units in one 1/60 s frame.
std::vector<Query> MakeQueries(const std::vector<SpMapLine2D>& walls) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> pos(-kHalf + 0.5f, kHalf - 0.5f), speed(0.0f, 90.0f),
        ang(0.0f, 6.2831853f);
    std::vector<Query> q(kQueries);
    for (Query& x : q) {
        float a = ang(rng), s = speed(rng);
        bool clear;
        do {
            x.p[0] = pos(rng);
            x.p[1] = pos(rng);
            clear = true;
            for (const SpMapLine2D& l : walls)
                clear = clear && DistanceToWall(x.p, l) > 0.51f;
        } while (!clear);
        x.v[0] = std::cos(a) * s;
        x.v[1] = std::sin(a) * s;
    }
    return q;
}

void BM_MapPoint(benchmark::State& state) {
    const int cells = (int)state.range(0);
    SpaceMapperLines2D m(false);
    float lo[2] = {-kHalf, -kHalf}, hi[2] = {kHalf, kHalf};
    m.SetSpaceBounds(lo, hi, cells, cells);
    std::vector<SpMapLine2D> walls = FillWalls(m);
    m.SetTime(0, 1.0f / 60.0f);
    std::vector<Query> qs = MakeQueries(walls);
    size_t i = 0;
    long hits = 0;
    for (auto _ : state) {
        const Query& q = qs[i++ % qs.size()];
        float k[2], pos[2], vel[2];
        hits += m.MapPoint(q.p, q.v, 0.5f, k, pos, vel, false);
        benchmark::DoNotOptimize(pos);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["hits/query"] = benchmark::Counter((double)hits / (double)state.iterations());
}

} // namespace

// 1 x 1: every wall in the one cell, so each query tests every wall.
BENCHMARK(BM_MapPoint)->Arg(1)->Arg(4)->Arg(16);
