// Foundation benchmarks: byte-buffer appends, the word scanner over a large text and
// the simplex noise query beside stb_perlin's 3D noise.
#include "datablock.h"
#include "numericfuncs.h"

#include <benchmark/benchmark.h>

// The noise peer, compiled into this binary only; the engine never links it.
#define STB_PERLIN_IMPLEMENTATION
#include <stb/stb_perlin.h>

#include <string>

// One byte per append into a block that grows from empty (includes the doublings).
static void BM_DataBlockAppendByte(benchmark::State& state) {
    const int n = (int)state.range(0);
    for (auto _ : state) {
        DataBlock b;
        for (int k = 0; k < n; k++)
            b.Append((char)k);
        benchmark::DoNotOptimize(b.ptr);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DataBlockAppendByte)->Arg(1 << 16);

// 32-byte records (one vertex) per append.
static void BM_DataBlockAppendRecord(benchmark::State& state) {
    const int n = (int)state.range(0);
    unsigned char rec[32] = {};
    for (auto _ : state) {
        DataBlock b;
        for (int k = 0; k < n; k++)
            b.Append(rec, 32);
        benchmark::DoNotOptimize(b.ptr);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DataBlockAppendRecord)->Arg(1 << 14);

// An OBJ-like text of about 10 MB, read word by word to its end.
static void BM_WordScan10MB(benchmark::State& state) {
    std::string text;
    const std::string lines[3] = {"v 1.250000 -0.500000 3.750000\n", "vn 0.000000 1.000000 0.000000\r\n",
                                  "f 1/1/1 2/2/2 3/3/3\n"};
    for (int k = 0; text.size() < 10u * 1024 * 1024; k++)
        text += lines[k % 3];
    DataBlock b;
    b.Append(text.c_str(), (int)text.size());
    long long words = 0;
    for (auto _ : state) {
        b.eof = false;
        int cur = 0;
        char w[32];
        words = 0;
        while (!b.EOFile()) {
            b.GetData(&cur, "w", w);
            words++;
        }
        benchmark::DoNotOptimize(w[0]);
    }
    state.SetItemsProcessed(state.iterations() * words);
    state.SetBytesProcessed(state.iterations() * (long long)text.size());
    state.counters["words"] = (double)words;
}
BENCHMARK(BM_WordScan10MB)->Unit(benchmark::kMillisecond);

static void BM_SimplexNoise(benchmark::State& state) {
    SimplexNoise n(1);
    float x = 0.1f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(n.Noise(x, 0.37f * x, 2.3f - x));
        x += 0.013f;
        if (x > 100.0f) x = 0.1f;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SimplexNoise);

// The peer in the same loop over the same points.
static void BM_StbPerlinNoise3(benchmark::State& state) {
    float x = 0.1f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(stb_perlin_noise3(x, 0.37f * x, 2.3f - x, 0, 0, 0));
        x += 0.013f;
        if (x > 100.0f) x = 0.1f;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StbPerlinNoise3);
