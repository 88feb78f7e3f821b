// Throughput of the OBJ reader on a generated file of about 50 MB: parsing every segment
// from memory, and adding the file through the geometry manager (file read included),
// beside tinyobjloader's LoadObj of the same file.
#include "geometry.h"
#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include <tiny_obj_loader.h>
#include <unistd.h>

namespace {

// Objects of 1000 vertices (position, texture coordinate, normal) and 1000 faces each,
// alternating triangles and quads, until the text reaches `bytes`.
const std::string& ObjText(size_t bytes) {
    static std::string text;
    if (!text.empty()) return text;
    text.reserve(bytes + 4096);
    char line[128];
    int base = 0;
    for (int obj = 0; text.size() < bytes; obj++) {
        snprintf(line, sizeof line, "o Part_%d\nusemtl metal\ns off\n", obj);
        text += line;
        for (int i = 0; i < 1000; i++) {
            float x = (float)(i % 37) * 0.125f - 2.3f, y = (float)(i % 91) * 0.0625f, z = (float)obj * 0.5f;
            snprintf(line, sizeof line, "v %.6f %.6f %.6f\nvt %.6f %.6f\nvn %.6f %.6f %.6f\n", x, y, z,
                     x * 0.1f, y * 0.1f, 0.0f, 0.0f, 1.0f);
            text += line;
        }
        for (int i = 0; i < 1000; i++) {
            int a = base + 1 + i, b = base + 1 + (i + 1) % 1000, c = base + 1 + (i + 2) % 1000,
                d = base + 1 + (i + 3) % 1000;
            if (i % 2)
                snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c);
            else
                snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c,
                         c, d, d, d);
            text += line;
        }
        base += 1000;
    }
    return text;
}

const size_t kBytes = 50u << 20;

void BM_ObjParseAllSegments(benchmark::State& state) {
    const std::string& text = ObjText(kBytes);
    DataBlock data;
    data.Append(text.data(), (int)text.size());
    long long faces = 0;
    for (auto _ : state) {
        data.eof = false; // a fresh read of the same bytes
        ObjCollectedVertData collected;
        collected.smoothing = 0;
        int cursor = 0;
        bool atEnd = false;
        while (!atEnd) {
            Geometry g;
            atEnd = g.LoadOBJFileSegment(&data, &cursor, &collected, nullptr);
            faces += g.triCount + g.quadCount;
        }
        benchmark::DoNotOptimize(faces);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)text.size());
    state.counters["MB"] = (double)text.size() / (1 << 20);
}
BENCHMARK(BM_ObjParseAllSegments)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The generated text written once to a temporary file, removed when the binary ends.
struct ObjFile {
    std::string path = "/tmp/velk_bench_" + std::to_string(getpid()) + ".obj";
    bool ok = false;
    ObjFile() {
        const std::string& text = ObjText(kBytes);
        FILE* f = fopen(path.c_str(), "wb");
        if (!f) return;
        ok = fwrite(text.data(), 1, text.size(), f) == text.size();
        ok = fclose(f) == 0 && ok;
    }
    ~ObjFile() { remove(path.c_str()); }
};
const ObjFile& TheObjFile() {
    static ObjFile file;
    return file;
}

void BM_GeometryManagerAddObj(benchmark::State& state) {
    const ObjFile& file = TheObjFile();
    if (!file.ok) {
        state.SkipWithError("cannot write the OBJ file");
        return;
    }
    for (auto _ : state) {
        GeometryManager manager;
        int count = 0;
        manager.AddContent(file.path.c_str(), "", nullptr, &count);
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)ObjText(kBytes).size());
}
BENCHMARK(BM_GeometryManagerAddObj)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The peer: tinyobjloader reading the same file. Faces are kept as they are (no
// triangulation), as our reader keeps its quads.
void BM_TinyObjLoadObj(benchmark::State& state) {
    const ObjFile& file = TheObjFile();
    if (!file.ok) {
        state.SkipWithError("cannot write the OBJ file");
        return;
    }
    for (auto _ : state) {
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        bool ok =
            tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, file.path.c_str(), nullptr, false);
        if (!ok) state.SkipWithError("tinyobjloader failed");
        benchmark::DoNotOptimize(shapes.data());
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)ObjText(kBytes).size());
}
BENCHMARK(BM_TinyObjLoadObj)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
