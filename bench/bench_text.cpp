// Cost of a frame of 200 texts drawn through the text manager, as a script's Text calls
// do: texts that change every frame (each one a new mesh, cached until it expires)
// against the same 200 texts every frame (each one found in the cache). One run is 10 s
// of game time at 60 frames per second, so the cache fills, sweeps and expires as in a
// game. Also the cost of many copies of one text (as AddText makes them) against as many
// different texts, added and expired, and the cost of laying out one text of many lines.
// Needs an X display for the GL context.
#include "textmesh.h"

#include <SFML/OpenGL.hpp>
#include <SFML/Window/Window.hpp>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <string>
#include <vector>

namespace {

const int kTextsPerFrame = 200;
const int kFrames = 600; // 10 s of game time
const int kFramesPerSecond = 60;

sf::Window& Window() {
    static sf::Window* window = new sf::Window(sf::VideoMode(1024, 768, 32), "bench_text");
    return *window;
}

// A white 256 x 256 font picture with alpha, bound and blended like the font.
void SetUpGL() {
    static GLuint font = 0;
    bool first = false;
    Window().setActive(true);
    if (!font) {
        std::vector<unsigned char> pixels(256 * 256 * 4, 255);
        glGenTextures(1, &font);
        glBindTexture(GL_TEXTURE_2D, font);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 256, 256, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        first = true;
    }
    glViewport(0, 0, 1024, 768);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1024, 0, 768, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glBindTexture(GL_TEXTURE_2D, font);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (first) {
        // The driver's one-time set-up for this state happens here, not in a timed frame.
        TextManager warm;
        warm.CreateDrawText("warm up", nullptr);
        glFinish();
    }
}

// One run; `changing` puts the frame number into every text. Reports per-frame
// milliseconds over the whole run, its first and last second, and the worst frame.
void RunTexts(benchmark::State& state, bool changing) {
    SetUpGL();
    GeomTextParams params; // what Text('...') hands on: align 1, no spacing
    char text[32];
    double sum = 0, first = 0, last = 0, worst = 0, cached = 0;
    for (auto _ : state) {
        TextManager* tm = new TextManager();
        float now = 0;
        double total = 0;
        for (int frame = 0; frame < kFrames; ++frame) {
            auto start = std::chrono::steady_clock::now();
            now += 1.0f / kFramesPerSecond;
            tm->TimeStep(now, 1.0f / kFramesPerSecond);
            glClear(GL_COLOR_BUFFER_BIT);
            for (int i = 0; i < kTextsPerFrame; ++i) {
                snprintf(text, sizeof text, "t%05d item %03d", changing ? frame : 99999, i);
                glPushMatrix();
                glTranslatef(8.0f + (i % 10) * 101.0f, 12.0f + (i / 10) * 37.0f, 0);
                glScalef(12, 12, 1);
                tm->CreateDrawText(text, &params);
                glPopMatrix();
            }
            glFinish(); // the frame's drawing is part of its cost
            double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            total += ms;
            if (frame < kFramesPerSecond) first += ms;
            if (frame >= kFrames - kFramesPerSecond) last += ms;
            if (ms > worst) worst = ms;
        }
        cached += tm->texts.Count();
        state.SetIterationTime(total / 1000);
        sum += total;
        delete tm; // outside the frames: not timed
    }
    double runs = (double)state.iterations();
    state.counters["frame_ms"] = sum / runs / kFrames;
    state.counters["first_s_ms"] = first / runs / kFramesPerSecond;
    state.counters["last_s_ms"] = last / runs / kFramesPerSecond;
    state.counters["worst_ms"] = worst;
    state.counters["cached"] = cached / runs;
}

void BM_TextsChanging(benchmark::State& state) {
    RunTexts(state, true);
}
void BM_TextsFixed(benchmark::State& state) {
    RunTexts(state, false);
}

// 40,000 texts added, then expired by one sweep: all the same string and layout
// (`same` true) or each one different, of the same length.
void AddAndExpire(bool same) {
    const int kTexts = 40000;
    char text[32];
    TextManager tm;
    for (int i = 0; i < kTexts; ++i) {
        snprintf(text, sizeof text, "copy %05d", same ? 0 : i);
        tm.AddText(text, nullptr);
    }
    tm.TimeStep(6.0f, 1.0f);
    if (tm.texts.Count() != 0) abort();
}

void RunCopies(benchmark::State& state, bool same) {
    // The run's 100 MB or so of meshes would otherwise be handed back to the system after
    // each run and touched afresh in the next, page by page, which costs far more than the
    // cache itself (and more than in a game, whose heap has long grown). One untimed run
    // grows the heap, which then keeps its pages.
    static bool warm = false;
    if (!warm) {
#ifdef __GLIBC__
        mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
        AddAndExpire(false);
        warm = true;
    }
    for (auto _ : state)
        AddAndExpire(same);
}

void BM_TextCopiesSame(benchmark::State& state) {
    RunCopies(state, true);
}
void BM_TextCopiesDifferent(benchmark::State& state) {
    RunCopies(state, false);
}

// One text of state.range(0) short lines built into a fresh mesh: no cache, no GL. Ten
// times the lines should cost about ten times as much.
void BM_TextManyLines(benchmark::State& state) {
    const int lines = (int)state.range(0);
    std::string text;
    char line[16];
    for (int i = 0; i < lines; ++i) {
        snprintf(line, sizeof line, "%sl%05d", i ? "\n" : "", i);
        text += line;
    }
    for (auto _ : state) {
        Geometry g;
        g.CreateText(text.c_str(), nullptr, nullptr);
        benchmark::DoNotOptimize(g.quadPtr);
    }
    state.counters["lines"] = lines;
}

BENCHMARK(BM_TextsChanging)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextsFixed)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextCopiesSame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextCopiesDifferent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextManyLines)->Arg(4000)->Arg(40000)->Unit(benchmark::kMillisecond);

} // namespace
