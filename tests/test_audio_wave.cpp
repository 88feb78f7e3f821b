// Listens to what the sound managers really output: OpenAL Soft's wave writer records
// the mix into a file, which is then searched for the tones that were played.
// Its own executable, because the device is configured before the first sound call.
#include "audio.h"
#include "audioSfml.h"
#include "scratch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Points OpenAL Soft at its wave writer for this process (overriding the null driver of
// the test environment) and removes the files it made when done. Must run before anything
// in the process opens the sound device. The sounds to play are made in its folder, the
// working directory meanwhile.
struct WaveDevice {
    ScratchDir scratch{"velk-wave"};
    std::string wavePath, confPath;
    bool ok = false;
    WaveDevice() {
        wavePath = scratch.File("out.wav");
        confPath = scratch.File("alsoft.conf");
        if (!scratch.Enter()) return;
        FILE* f = fopen(confPath.c_str(), "w");
        if (!f) return;
        fprintf(
            f,
            "drivers = wave\nchannels = mono\nsample-type = int16\nfrequency = 44100\n\n[wave]\nfile = %s\n",
            wavePath.c_str());
        fclose(f);
        setenv("ALSOFT_CONF", confPath.c_str(), 1);
        setenv("ALSOFT_DRIVERS", "wave", 1);
        ok = true;
    }
};

// Mono 16-bit samples of a recorded WAV file, read chunk by chunk up to the end of the
// file (the writer may leave the sizes unset).
bool ReadRecording(const std::string& path, std::vector<float>* out, int* rate) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<unsigned char> b;
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        b.insert(b.end(), buf, buf + n);
    fclose(f);
    auto u32 = [&](size_t at) {
        return (unsigned)b[at] | b[at + 1] << 8 | b[at + 2] << 16 | (unsigned)b[at + 3] << 24;
    };
    auto u16 = [&](size_t at) { return (unsigned)(b[at] | b[at + 1] << 8); };
    if (b.size() < 12 || memcmp(b.data(), "RIFF", 4) || memcmp(b.data() + 8, "WAVE", 4)) return false;
    int channels = 0, bits = 0;
    for (size_t at = 12; at + 8 <= b.size();) {
        unsigned size = u32(at + 4);
        if (!memcmp(b.data() + at, "fmt ", 4)) {
            channels = (int)u16(at + 10);
            *rate = (int)u32(at + 12);
            bits = (int)u16(at + 22);
        } else if (!memcmp(b.data() + at, "data", 4)) {
            if (channels < 1 || bits != 16) return false;
            for (size_t p = at + 8; p + 2 * channels <= b.size(); p += 2 * channels)
                out->push_back((short)u16(p) / 32768.0f); // first channel
            return true;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

// Power of one frequency in a window (Goertzel).
double Power(const std::vector<float>& s, size_t from, size_t len, double freq, int rate) {
    double w = 2 * M_PI * freq / rate, c = 2 * std::cos(w), s1 = 0, s2 = 0;
    for (size_t i = from; i < from + len; i++) {
        double s0 = s[i] + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return (s1 * s1 + s2 * s2 - c * s1 * s2) / (double)(len * len);
}

void Wait(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

} // namespace

TEST(AudioOutput, PlayedSoundsAndMusicAreHeard) {
    WaveDevice device;
    ASSERT_TRUE(device.ok);
    ASSERT_EQ(system("sox -n -r 44100 -b 16 -c 1 velk_wave_effect.wav synth 0.4 sine 440 2>/dev/null"), 0);
    ASSERT_EQ(system("sox -n -r 44100 -c 1 velk_wave_music.ogg synth 0.6 sine 1000 2>/dev/null"), 0);
    InstallSfmlAudio();
    {
        AudioManager am;
        MusicManager mm;
        ASSERT_FALSE(am.IsSilent());
        testing::internal::CaptureStdout();
        int effect = -1;
        am.AddContent("velk_wave_effect.wav", "", &effect, nullptr);
        mm.LoadFile(0, "velk_wave_music.ogg");
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

        // A buffer the script fills itself: 0.4 s of 700 Hz at half scale.
        int made = am.NewAudio("made", "");
        std::vector<float> tone(17640);
        for (size_t i = 0; i < tone.size(); i++)
            tone[i] = 0.5f * (float)std::sin(2 * M_PI * 700 * i / 44100.0);
        am.SetAudioData(made, tone.data(), (int)tone.size(), 1, 44100, 1);

        Wait(0.2);
        am.Use(effect);
        Wait(0.6);
        am.Use(made);
        Wait(0.6);
        mm.Play(0);
        Wait(0.8);
        mm.Stop(0);
    } // the last sound object gone closes the device, which completes the file
    SetAudioBackend(nullptr);

    std::vector<float> rec;
    int rate = 0;
    ASSERT_TRUE(ReadRecording(device.wavePath, &rec, &rate)) << device.wavePath;
    ASSERT_GT(rate, 0);
    ASSERT_GT(rec.size(), (size_t)rate); // more than a second was recorded

    // Where each tone stands clearly above the others, in 50 ms windows.
    const double freqs[3] = {440, 700, 1000};
    int firstWindow[3] = {-1, -1, -1}, windows[3] = {0, 0, 0};
    size_t len = (size_t)rate / 20;
    for (size_t w = 0; (w + 1) * len <= rec.size(); w++) {
        double p[3];
        for (int k = 0; k < 3; k++)
            p[k] = Power(rec, w * len, len, freqs[k], rate);
        for (int k = 0; k < 3; k++) {
            double others = 0;
            for (int o = 0; o < 3; o++)
                if (o != k) others += p[o];
            if (p[k] > 1e-3 && p[k] > 20 * others) {
                if (firstWindow[k] < 0) firstWindow[k] = (int)w;
                windows[k]++;
            }
        }
    }
    for (int k = 0; k < 3; k++)
        EXPECT_GE(windows[k], 4) << freqs[k] << " Hz was not heard";
    // And in the order they were played.
    EXPECT_LT(firstWindow[0], firstWindow[1]);
    EXPECT_LT(firstWindow[1], firstWindow[2]);
}
