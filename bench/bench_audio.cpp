// Cost of loading a sound effect through the engine's SFML backend, beside the library's
// own sf::SoundBuffer::loadFromFile of the same file in the same run: a 10-minute stereo
// OGG, a 100 MB WAV, 200 loads each of a 2-second stereo OGG and WAV, and a minute of
// 8-channel FLAC silence. Time is the benchmark's; peak_MB is how far a fresh process's
// peak resident memory rises during the loads, measured in a child per repetition (this
// binary run again with --peak), with the audio device open before and throughout. Needs
// sox; run with ALSOFT_DRIVERS=null.
#include "audioSfml.h"

#include <SFML/Audio/SoundBuffer.hpp>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

struct Case {
    const char* name;
    const char* make; // sox arguments after the output name
    int loads;
};
const Case kCases[] = {
    {"ogg_10min", "-r 44100 -c 2 -b 16 %s synth 600 sine 440 sine 661", 1},
    {"wav_100MB", "-r 44100 -c 2 -b 16 %s synth 567 sine 440 sine 661", 1},
    {"ogg_2s_x200", "-r 44100 -c 2 -b 16 %s synth 2 sine 440 sine 661", 200},
    {"wav_2s_x200", "-r 44100 -c 2 -b 16 %s synth 2 sine 440 sine 661", 200},
    // Digital silence packs more samples into a byte than the loader believes of a header:
    // read as delivered, not by the library's loader.
    {"flac_silence_8ch_1min", "-r 48000 -c 8 -b 16 %s trim 0 60", 1},
};

std::string gDir;

std::string FileOf(const Case& c) {
    return gDir + "/" + c.name + "." + std::string(c.name, strcspn(c.name, "_"));
}

bool MakeFiles() {
    char pattern[] = "/tmp/velk-bench-audio-XXXXXX";
    if (!mkdtemp(pattern)) return false;
    gDir = pattern;
    for (const Case& c : kCases) {
        char args[256];
        snprintf(args, sizeof args, c.make, FileOf(c).c_str());
        if (system(("sox -D -n " + std::string(args) + " 2>/dev/null").c_str()) != 0) return false;
    }
    return true;
}

bool LoadOnce(bool ours, const std::string& path) {
    if (ours) {
        std::unique_ptr<AudioSampleBuffer> b(SfmlAudioBackend()->NewBuffer());
        return b->LoadFromFile(path.c_str());
    }
    sf::SoundBuffer b;
    return b.loadFromFile(path);
}

// Holds the audio device open for the whole process: the first sound object opens it, the
// last one to go closes it.
void HoldDevice() {
    static sf::SoundBuffer held;
    (void)held;
}

long StatusKB(const char* field) {
    FILE* f = fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    size_t n = strlen(field);
    while (fgets(line, sizeof line, f))
        if (strncmp(line, field, n) == 0) kb = atol(line + n);
    fclose(f);
    return kb;
}

// The child: how many kB the peak resident memory rose by over `loads` loads.
int PeakChild(bool ours, const char* path, int loads) {
    HoldDevice();
    FILE* reset = fopen("/proc/self/clear_refs", "w"); // "5" resets the peak to the current size
    if (!reset || fputs("5", reset) < 0 || fclose(reset) != 0) return 2;
    long base = StatusKB("VmRSS:");
    for (int i = 0; i < loads; i++)
        if (!LoadOnce(ours, path)) return 3;
    printf("%ld\n", StatusKB("VmHWM:") - base);
    return 0;
}

double PeakMB(bool ours, const Case& c) {
    char cmd[512];
    snprintf(cmd, sizeof cmd, "/proc/%d/exe --peak %s %s %d", (int)getpid(), ours ? "ours" : "lib",
             FileOf(c).c_str(), c.loads);
    FILE* p = popen(cmd, "r");
    long kb = -1;
    if (!p || fscanf(p, "%ld", &kb) != 1) kb = -1;
    if (p && pclose(p) != 0) kb = -1;
    return kb / 1024.0;
}

void BM_Load(benchmark::State& state, bool ours, const Case* c) {
    HoldDevice();
    std::string path = FileOf(*c);
    for (auto _ : state)
        for (int i = 0; i < c->loads; i++)
            if (!LoadOnce(ours, path)) {
                state.SkipWithError("the file did not load");
                return;
            }
    double mb = PeakMB(ours, *c);
    if (mb < 0) state.SkipWithError("the peak memory child failed");
    state.counters["peak_MB"] = mb;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && strcmp(argv[1], "--peak") == 0)
        return PeakChild(strcmp(argv[2], "ours") == 0, argv[3], atoi(argv[4]));
    for (const Case& c : kCases)
        for (bool ours : {false, true})
            benchmark::RegisterBenchmark((std::string(c.name) + (ours ? "/velk" : "/sfml")).c_str(), BM_Load,
                                         ours, &c)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Iterations(3)
                ->Repetitions(5)
                ->ReportAggregatesOnly(true);
    benchmark::Initialize(&argc, argv); // ends the process on --help
    if (!MakeFiles()) {
        fprintf(stderr, "bench_audio: could not make the sound files (is sox installed?)\n");
        if (!gDir.empty()) system(("rm -rf '" + gDir + "'").c_str());
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    system(("rm -rf '" + gDir + "'").c_str());
    return 0;
}
