// Tests of the sound-effect and music managers: the slot choice and the sample
// conversion against a recording backend, the silent variant (velkRun, no backend), and
// the SFML backend on OpenAL's null device with files made here.
#include "audio.h"
#include "audioSfml.h"
#include "programKind.h"
#include "scratch.h"

#include <SFML/Audio/SoundBuffer.hpp>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <sys/resource.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// ---- A backend that records what the managers ask of it -----------------------------

std::vector<std::string> gLog;
int gObjectsMade = 0;
std::string gLastLoadPath;

class MockBuffer : public AudioSampleBuffer {
  public:
    std::vector<short> samples;
    int channels = 0, rate = 0;
    float duration = 0;

    bool LoadFromFile(const char* path) override {
        gLastLoadPath = path;
        FILE* f = fopen(path, "rb");
        if (!f) return false;
        fclose(f);
        duration = 1.0f;
        return true;
    }
    bool LoadFromSamples(const short* s, long long count, int channelCount, int sampleRate) override {
        if (count <= 0 || channelCount <= 0 || sampleRate <= 0) return false;
        samples.assign(s, s + count);
        channels = channelCount;
        rate = sampleRate;
        duration = (float)count / channelCount / sampleRate;
        return true;
    }
    const short* Samples() override { return samples.data(); }
    long long SampleCount() override { return (long long)samples.size(); }
    float Duration() override { return duration; }
};

// What sound players and music streams share: properties and a log of every call.
template <class Source> class MockSource : public Source {
  public:
    std::string id;
    float volume = 100, pitch = 1, x = 0, y = 0, z = 0;
    bool loop = false, playing = false;

    explicit MockSource(std::string name) : id(std::move(name)) {}
    void Note(const std::string& what) { gLog.push_back(id + "." + what); }
    void Play() override {
        playing = true;
        Note("play");
    }
    void Stop() override {
        playing = false;
        Note("stop");
    }
    void SetVolume(float v) override {
        volume = v;
        Note("volume " + std::to_string((int)v));
    }
    void SetPitch(float p) override {
        pitch = p;
        Note("pitch " + std::to_string(p));
    }
    void SetLoop(bool l) override {
        loop = l;
        Note(std::string("loop ") + (l ? "on" : "off"));
    }
    void SetPosition(float px, float py, float pz) override {
        x = px, y = py, z = pz;
        Note("position");
    }
    float Volume() override { return volume; }
    float Pitch() override { return pitch; }
    bool Loop() override { return loop; }
    void Position(float* px, float* py, float* pz) override { *px = x, *py = y, *pz = z; }
    bool IsPlaying() override { return playing; }
};

class MockPlayer : public MockSource<AudioPlayer> {
  public:
    AudioSampleBuffer* buffer = nullptr;
    using MockSource::MockSource;
    void SetBuffer(AudioSampleBuffer* b) override {
        buffer = b;
        Note("buffer");
    }
};

class MockMusic : public MockSource<MusicStream> {
  public:
    std::string openedPath;
    using MockSource::MockSource;
    bool OpenFromFile(const char* path) override {
        Note(std::string("open ") + path);
        FILE* f = fopen(path, "rb");
        if (!f) return false;
        fclose(f);
        openedPath = path;
        return true;
    }
};

class MockBackend : public AudioBackend {
  public:
    int players = 0, musics = 0;
    AudioSampleBuffer* NewBuffer() override {
        gObjectsMade++;
        return new MockBuffer;
    }
    AudioPlayer* NewPlayer() override {
        gObjectsMade++;
        return new MockPlayer("P" + std::to_string(players++));
    }
    MusicStream* NewMusic() override {
        gObjectsMade++;
        return new MockMusic("M" + std::to_string(musics++));
    }
};

MockBackend gMock;

// A file with the given bytes in the working directory.
void WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The header of a PCM WAV file (16-bit unless said), whatever its fields claim.
std::string WavHeader(unsigned channels, unsigned rate, unsigned dataBytes, unsigned bits = 16) {
    auto u32 = [](unsigned v) {
        return std::string{(char)v, (char)(v >> 8), (char)(v >> 16), (char)(v >> 24)};
    };
    auto u16 = [](unsigned v) { return std::string{(char)v, (char)(v >> 8)}; };
    return "RIFF" + u32(36 + dataBytes) + "WAVE" + "fmt " + u32(16) + u16(1) + u16(channels) + u32(rate) +
           u32(rate * channels * bits / 8) + u16(channels * bits / 8) + u16(bits) + "data" + u32(dataBytes);
}

// A 16-bit PCM WAV file with exactly these samples.
void WriteWav(const std::string& path, const std::vector<short>& samples, int channels, int rate) {
    std::string w = WavHeader(channels, rate, (unsigned)samples.size() * 2);
    for (short s : samples)
        w += std::string{(char)s, (char)((unsigned short)s >> 8)};
    WriteFile(path, w);
}

// A FLAC file of only a header: 16-bit samples at 44.1 kHz, as many as it claims, and no
// frame to decode them from.
std::string FlacClaiming(unsigned channels, unsigned long long totalSamples) {
    // Marker; the last metadata block, STREAMINFO, 34 bytes: block sizes 4096, frame sizes 0.
    std::string flac("fLaC\x80\0\0\x22\x10\0\x10\0\0\0\0\0\0\0", 18);
    // Rate, channels - 1, bits - 1, total samples; then the MD5.
    unsigned long long packed =
        44100ull << 44 | (unsigned long long)(channels - 1) << 41 | 15ull << 36 | totalSamples;
    for (int shift = 56; shift >= 0; shift -= 8)
        flac += (char)(packed >> shift);
    return flac + std::string(16, '\0');
}

// An Ogg stream whose last page claims `granule` as its end: the stream's length in
// frames, as the readers compute it. The page's checksum is made anew.
std::string OggEndingAt(std::string ogg, unsigned long long granule) {
    size_t page = ogg.rfind("OggS");
    for (int i = 0; i < 8; i++)
        ogg[page + 6 + i] = (char)(granule >> (8 * i));
    size_t segments = (unsigned char)ogg[page + 26], end = page + 27 + segments;
    for (size_t i = 0; i < segments; i++)
        end += (unsigned char)ogg[page + 27 + i];
    ogg.replace(page + 22, 4, 4, '\0');
    unsigned crc = 0;
    for (size_t i = page; i < end; i++) {
        crc ^= (unsigned)(unsigned char)ogg[i] << 24;
        for (int bit = 0; bit < 8; bit++)
            crc = crc & 0x80000000u ? crc << 1 ^ 0x04c11db7u : crc << 1;
    }
    for (int i = 0; i < 4; i++)
        ogg[page + 22 + i] = (char)(crc >> (8 * i));
    return ogg;
}

// From now on this process's address space may grow by `bytes` at most, and an allocation
// past that ends the process (exit code 3) instead of throwing.
void CapMemoryGrowth(size_t bytes) {
    long pages = 0;
    FILE* f = fopen("/proc/self/statm", "r");
    if (!f || fscanf(f, "%ld", &pages) != 1) _exit(4);
    fclose(f);
    rlimit limit;
    limit.rlim_cur = limit.rlim_max = (rlim_t)pages * (rlim_t)sysconf(_SC_PAGESIZE) + bytes;
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(4);
    std::set_new_handler([] {
        fputs("an allocation went past the limit\n", stderr);
        _exit(3);
    });
}

// Managers built with the recording backend installed; a fresh log for every test.
class AudioLogic : public ::testing::Test {
  protected:
    ScratchDir scratch{"velk-audio"}; // sound files are made in the working directory
    std::unique_ptr<AudioManager> am;
    void SetUp() override {
        ASSERT_TRUE(scratch.Enter());
        SetAudioBackend(&gMock);
        gMock.players = 0; // players are named P0 .. P63 after their slots
        am.reset(new AudioManager);
        gLog.clear();
    }
    void TearDown() override {
        am.reset();
        SetAudioBackend(nullptr);
    }
    // A script-made sound lasting `seconds` (ten samples a second).
    int Sound(const char* name, float seconds = 1.0f) {
        int index = am->NewAudio(name, "");
        std::vector<float> data((size_t)(seconds * 10), 0.25f);
        am->SetAudioData(index, data.data(), (int)data.size(), 1, 10, 1);
        return index;
    }
    int Play(int index) {
        am->Use(index);
        return am->GetLastIndex();
    }
    MockPlayer* Player(int slot) { return static_cast<MockPlayer*>(am->slots[slot].sound); }
    SoundBufferItem* Item(int index) { return (SoundBufferItem*)am->GetLoadedItem(index); }
    bool Logged(const std::string& line) {
        for (auto& l : gLog)
            if (l == line) return true;
        return false;
    }
};

} // namespace

// ---- Slot choice ---------------------------------------------------------------------

TEST_F(AudioLogic, NewManagerHas64UnusedSlotsWithPlayers) {
    EXPECT_EQ(am->slotCount, 64);
    EXPECT_EQ(am->GetLastIndex(), -1);
    EXPECT_EQ(am->now, 0.0f);
    EXPECT_FALSE(am->allowUnbind);
    for (int s = 0; s < 64; s++) {
        EXPECT_EQ(am->slots[s].itemIndex, -1);
        EXPECT_EQ(am->slots[s].endTime, -1.0f);
        EXPECT_FALSE(am->slots[s].looping);
        EXPECT_NE(am->slots[s].sound, nullptr);
    }
}

TEST_F(AudioLogic, FirstSoundsTakeSlotsInOrderAndEndByGameTime) {
    int a = Sound("a", 1.0f), b = Sound("b", 2.0f);
    am->SetTime(3.0f, 1 / 60.0f);
    EXPECT_EQ(Play(a), 0);
    EXPECT_EQ(Play(b), 1); // slot 0 still plays a
    EXPECT_EQ(am->slots[0].itemIndex, a);
    EXPECT_EQ(am->slots[1].itemIndex, b);
    EXPECT_FLOAT_EQ(am->slots[0].endTime, 4.0f);
    EXPECT_FLOAT_EQ(am->slots[1].endTime, 5.0f);
    EXPECT_EQ(Item(a)->lastSlot, 0);
    EXPECT_EQ(Item(b)->lastSlot, 1);
    EXPECT_EQ(Player(1)->buffer, Item(b)->buffer);
    EXPECT_TRUE(Player(0)->playing);
}

TEST_F(AudioLogic, ReplayAfterTheEndReusesOwnSlotAndSetsTheBufferAgain) {
    int a = Sound("a"), b = Sound("b");
    Play(a);
    Play(b);
    am->SetTime(1.0f, 0); // endTime 1.0 is not strictly before now: still playing
    EXPECT_EQ(Play(a), 2);
    am->SetTime(5.0f, 0);
    gLog.clear();
    EXPECT_EQ(Play(a), 2); // own last slot
    EXPECT_TRUE(Logged("P2.buffer"));
}

TEST_F(AudioLogic, ReplayWhilePlayingFindsAnEarlierSlotOfTheSameSoundWithoutRebinding) {
    int a = Sound("a");
    EXPECT_EQ(Play(a), 0);
    EXPECT_EQ(Play(a), 1); // slot 0 busy: a never-used slot
    am->SetTime(5.0f, 0);
    EXPECT_EQ(Play(a), 1); // own slot again
    gLog.clear();
    EXPECT_EQ(Play(a), 0); // backwards from slot 2: 2 unused, 1 busy, 0 holds a and is finished
    EXPECT_FALSE(Logged("P0.buffer"));
    EXPECT_TRUE(Logged("P0.play"));
    EXPECT_FLOAT_EQ(am->slots[0].endTime, 6.0f);
}

TEST_F(AudioLogic, WithoutUnusedSlotsAnyFinishedSlotIsTakenSearchingForwards) {
    am->SetMaxChannels(4);
    int a = Sound("a"), b = Sound("b"), c = Sound("c"), d = Sound("d"), e = Sound("e");
    for (int i : {b, c, d, e})
        Play(i);
    am->SetTime(2.0f, 0);
    EXPECT_EQ(Play(a), 0);
    EXPECT_EQ(am->slots[0].itemIndex, a);
    EXPECT_EQ(Play(a), 1); // forwards from the slot after its last one
    EXPECT_EQ(Play(c), 2); // its old slot 1 now holds a: forwards from 2
    EXPECT_EQ(Play(c), 3); // 3 is the only finished slot left
    EXPECT_EQ(Item(e)->lastSlot, 3);
    EXPECT_EQ(am->slots[3].itemIndex, c);
}

TEST_F(AudioLogic, AllSlotsBusyCutsOffTheSlotBeforeTheSearchStart) {
    int x = Sound("x"), y = Sound("y");
    for (int i = 0; i < 11; i++)
        Play(x);
    for (int i = 0; i < 53; i++)
        Play(y);
    EXPECT_EQ(Item(x)->lastSlot, 10);
    EXPECT_EQ(Item(y)->lastSlot, 63);
    am->SetTime(0.5f, 0);
    gLog.clear();
    EXPECT_EQ(Play(x), 10); // (11 + 63) % 64
    EXPECT_TRUE(Logged("P10.buffer"));
    EXPECT_FLOAT_EQ(am->slots[10].endTime, 1.5f);

    // A sound never played starts at 0 and so cuts off the last slot.
    int z = Sound("z");
    EXPECT_EQ(Play(z), 63);
    EXPECT_EQ(am->slots[63].itemIndex, z);
    EXPECT_EQ(Item(z)->lastSlot, 63);
}

TEST_F(AudioLogic, LoopingSlotIsSkippedUntilStoppedAndStopIsNotFinishedInTheSameFrame) {
    am->SetMaxChannels(3);
    int a = Sound("a"), b = Sound("b"), d = Sound("d"), e = Sound("e"), f = Sound("f");
    EXPECT_EQ(Play(a), 0);
    am->SetAudProps(0, 1, 1, true, 0, 0, 0);
    EXPECT_TRUE(am->slots[0].looping);
    am->SetTime(5.0f, 0);
    EXPECT_EQ(Play(a), 1); // steps 1 and 2 skip the looping slot 0
    EXPECT_EQ(Play(b), 2);
    am->SetTime(10.0f, 0);
    EXPECT_EQ(Play(d), 1); // step 4 skips slot 0
    am->StopAudio(0);
    EXPECT_FALSE(am->slots[0].looping);
    EXPECT_FLOAT_EQ(am->slots[0].endTime, 10.0f);
    EXPECT_FALSE(Player(0)->playing);
    EXPECT_EQ(Play(e), 2); // slot 0 ended exactly now: not yet finished
    am->SetTime(10.5f, 0);
    EXPECT_EQ(Play(f), 0);
}

TEST_F(AudioLogic, OnlyTheCutOffCaseLandsOnALoopingSlotAndKeepsItsFlag) {
    am->SetMaxChannels(1);
    int a = Sound("a"), b = Sound("b");
    Play(a);
    am->SetAudProps(0, 1, 1, true, 0, 0, 0);
    am->SetTime(50.0f, 0);
    EXPECT_EQ(Play(b), 0);
    EXPECT_TRUE(am->slots[0].looping); // the flag is left as it was ...
    EXPECT_FALSE(Player(0)->loop);     // ... while the new play does not loop
    EXPECT_EQ(am->slots[0].itemIndex, b);
}

TEST_F(AudioLogic, PropsReachThePlayerAndEachPlayResetsThemInOrder) {
    int a = Sound("a", 2.0f);
    int slot = Play(a);
    am->SetAudProps(slot, 0.5f, 1.5f, true, 1, 2, 3);
    EXPECT_FLOAT_EQ(Player(slot)->volume, 50);
    EXPECT_FLOAT_EQ(Player(slot)->pitch, 1.5f);
    EXPECT_TRUE(Player(slot)->loop);
    EXPECT_EQ(Player(slot)->z, 3);
    am->StopAudio(slot);
    am->SetTime(1.0f, 0);
    gLog.clear();
    Play(a);
    std::vector<std::string> expected = {"P0.buffer",         "P0.play",     "P0.volume 100",
                                         "P0.pitch 1.000000", "P0.loop off", "P0.position"};
    EXPECT_EQ(gLog, expected);
    EXPECT_EQ(Player(0)->x, 0);
    // Pitch is not reflected in the end time.
    EXPECT_FLOAT_EQ(am->slots[0].endTime, 3.0f);
}

TEST_F(AudioLogic, SlotNumbersOutsideTheArrayAreIgnored) {
    int a = Sound("a");
    Play(a);
    gLog.clear();
    for (int bad : {-1, 64, 1000, INT_MIN, INT_MAX}) {
        am->SetAudProps(bad, 0.1f, 2, true, 1, 1, 1);
        am->StopAudio(bad);
    }
    EXPECT_TRUE(gLog.empty());
    EXPECT_FLOAT_EQ(am->slots[0].endTime, 1.0f);
    for (int s = 0; s < 64; s++)
        EXPECT_FALSE(am->slots[s].looping);
}

TEST_F(AudioLogic, FewerChannelsLaterNeverIndexPastTheNewArray) {
    int a = Sound("a");
    for (int i = 0; i < 51; i++)
        Play(a);
    EXPECT_EQ(Item(a)->lastSlot, 50);
    am->SetMaxChannels(4);
    EXPECT_EQ(am->slotCount, 4);
    EXPECT_EQ(Item(a)->lastSlot, 50); // the item keeps its stale slot ...
    EXPECT_EQ(Play(a), 3);            // ... and the search starts at 51 % 4
    EXPECT_EQ(Play(a), 0);
    am->SetTime(5, 0);
    EXPECT_EQ(Play(a), 0); // own slot again, now a real one

    am->SetMaxChannels(0); // treated as one slot
    EXPECT_EQ(am->slotCount, 1);
    EXPECT_EQ(Play(a), 0);
}

TEST_F(AudioLogic, EmptyOrNoItemPlaysNothing) {
    int a = Sound("a");
    EXPECT_EQ(Play(a), 0);
    gLog.clear();
    am->Use(-1);
    am->priv_Use(nullptr);
    EXPECT_TRUE(gLog.empty());
    EXPECT_EQ(am->GetLastIndex(), 0);
}

// ---- Files -----------------------------------------------------------------------------

TEST_F(AudioLogic, SoundFilesAreLoadedWhenAddedAndMissingOnesReportedAtEachAttempt) {
    WriteFile("velk_audio_present.wav", "x");
    int first = -7, count = -7;
    testing::internal::CaptureStdout();
    am->AddContent("velk_audio_present.wav", "", &first, &count);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(first, 0);
    EXPECT_EQ(count, 1);
    ASSERT_NE(Item(0), nullptr);
    EXPECT_EQ(Item(0)->itemIndex, 0);
    EXPECT_EQ(Item(0)->lastSlot, -1);
    EXPECT_FLOAT_EQ(Item(0)->duration, 1.0f);
    MediaManagerGroup* g = am->GetGroup("");
    EXPECT_EQ(((GroupFileItem*)g->files.Get(0))->state, 1);
    EXPECT_TRUE(g->entryPtr[0].loaded);

    testing::internal::CaptureStdout();
    am->AddContent("velk_audio_missing.wav", "fx", &first, &count);
    am->Use(first);
    am->Use("fx", "velk_audio_missing");
    EXPECT_EQ(
        testing::internal::GetCapturedStdout(),
        "Error: Audio File Not Loaded.\nError: Audio File Not Loaded.\nError: Audio File Not Loaded.\n");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(Item(1), nullptr);
    EXPECT_EQ(((GroupFileItem*)am->GetGroup("fx")->files.Get(0))->state, 2);
    EXPECT_EQ(am->GetLastIndex(), -1); // nothing was played
    remove("velk_audio_present.wav");
}

TEST_F(AudioLogic, PathPrefixIsPrependedToSoundFiles) {
    am->SetPathPrefix("nowhere/");
    testing::internal::CaptureStdout();
    am->AddContent("boom.wav", "", nullptr, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Audio File Not Loaded.\n");
    EXPECT_EQ(gLastLoadPath, "nowhere/boom.wav");
    EXPECT_EQ(Item(0), nullptr);
}

// ---- Sample data -------------------------------------------------------------------------

TEST(AudioSamples, ConversionTruncatesAndMapsOutOfRangeToMinimum) {
    EXPECT_EQ(AudioSampleFromFloat(1.0f), 16383);
    EXPECT_EQ(AudioSampleFromFloat(-1.0f), -16383);
    EXPECT_EQ(AudioSampleFromFloat(1.5f), 24574);
    EXPECT_EQ(AudioSampleFromFloat(-1.5f), -24574);
    EXPECT_EQ(AudioSampleFromFloat(2.0f), 32766);
    EXPECT_EQ(AudioSampleFromFloat(2.5f), -32768);
    EXPECT_EQ(AudioSampleFromFloat(-2.5f), -32768);
    EXPECT_EQ(AudioSampleFromFloat(0.00009f), 1);   // 1.47 -> 1
    EXPECT_EQ(AudioSampleFromFloat(-0.00009f), -1); // toward zero, not down
    EXPECT_EQ(AudioSampleFromFloat(NAN), -32768);
    EXPECT_EQ(AudioSampleFromFloat(INFINITY), -32768);
}

TEST_F(AudioLogic, SetAudioDataAveragesByFactorAndDropsTheRemainder) {
    int a = am->NewAudio("made", "");
    float data[10] = {0.5f, 1.0f, 1.5f, -1, -1, -1, 0, 0, 0.3f, 2.0f};
    am->SetAudioData(a, data, 10, 1, 3, 3);
    MockBuffer* buf = static_cast<MockBuffer*>(Item(a)->buffer);
    std::vector<short> expected = {16383, -16383, (short)(int)(0.3f * (1.0f / 3) * 16383.0)};
    EXPECT_EQ(buf->samples, expected);
    EXPECT_EQ(buf->channels, 1);
    EXPECT_EQ(buf->rate, 3);
    EXPECT_FLOAT_EQ(Item(a)->duration, 1.0f);

    am->SetAudioData(a, data, 10, 2, 5, 1); // every value one sample
    EXPECT_EQ(buf->samples.size(), 10u);
    EXPECT_EQ(buf->samples[2], 24574);
    EXPECT_EQ(buf->samples[9], 32766);
    EXPECT_FLOAT_EQ(Item(a)->duration, 1.0f);

    float big[2] = {2.5f, 1.5f};
    am->SetAudioData(a, big, 2, 1, 10, 1);
    EXPECT_EQ(buf->samples, (std::vector<short>{-32768, 24574}));
}

TEST_F(AudioLogic, FactorBelowOneCountsAsOne) {
    int a = am->NewAudio("made", "");
    float data[3] = {1.0f, -1.0f, 0.5f};
    for (int factor : {0, -4}) {
        am->SetAudioData(a, data, 3, 1, 100, factor);
        MockBuffer* buf = static_cast<MockBuffer*>(Item(a)->buffer);
        EXPECT_EQ(buf->samples, (std::vector<short>{16383, -16383, 8191}));
    }
}

TEST_F(AudioLogic, GetAudioDataAppendsScaledSamplesWithoutClearing) {
    int a = am->NewAudio("made", "grp");
    float data[3] = {1.0f, -1.0f, 0.0f};
    am->SetAudioData(a, data, 3, 1, 100, 1);
    FloatDataBlock out;
    out.AddVal(7.0f);
    am->GetAudioData(a, &out);
    ASSERT_EQ(out.ValCount(), 4);
    EXPECT_EQ(out.GetVal(0), 7.0f);
    EXPECT_EQ(out.GetVal(1), 1.0f);
    EXPECT_EQ(out.GetVal(2), -1.0f);
    EXPECT_EQ(out.GetVal(3), 0.0f);
}

TEST_F(AudioLogic, SampleDataOnIndicesWithoutAnItemDoesNothing) {
    int a = am->NewAudio("made", "");
    testing::internal::CaptureStdout();
    am->AddContent("velk_audio_missing.wav", "", nullptr, nullptr); // index 1 stays empty
    testing::internal::GetCapturedStdout();
    float data[2] = {1.0f, 1.0f};
    gObjectsMade = 0;
    testing::internal::CaptureStdout();
    for (int bad : {-1, 1, 2, 500, INT_MIN, INT_MAX}) {
        am->SetAudioData(bad, data, 2, 1, 10, 1);
        FloatDataBlock out;
        am->GetAudioData(bad, &out);
        EXPECT_EQ(out.ValCount(), 0) << bad;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), ""); // and loads nothing
    EXPECT_EQ(gObjectsMade, 0);
    EXPECT_EQ(Item(1), nullptr);
    EXPECT_EQ(static_cast<MockBuffer*>(Item(a)->buffer)->samples.size(), 0u);
}

TEST_F(AudioLogic, RefusedSamplesKeepTheOldOnes) {
    int a = Sound("a", 1.0f);
    float one = 1.0f;
    am->SetAudioData(a, &one, 1, 0, 10, 1);    // no channels
    am->SetAudioData(a, &one, 1, 1, 10, 2);    // fewer values than the factor
    am->SetAudioData(a, nullptr, 5, 1, 10, 1); // no data
    EXPECT_EQ(static_cast<MockBuffer*>(Item(a)->buffer)->samples.size(), 10u);
    EXPECT_FLOAT_EQ(Item(a)->duration, 1.0f);
}

// ---- Music --------------------------------------------------------------------------------

class MusicLogic : public ::testing::Test {
  protected:
    ScratchDir scratch{"velk-audio"};
    std::unique_ptr<MusicManager> mm;
    void SetUp() override {
        ASSERT_TRUE(scratch.Enter());
        SetAudioBackend(&gMock);
        gMock.musics = 0; // streams are named M0 .. M7 after their channels
        mm.reset(new MusicManager);
        gLog.clear();
    }
    void TearDown() override {
        mm.reset();
        SetAudioBackend(nullptr);
    }
    MockMusic* Channel(int c) { return static_cast<MockMusic*>(mm->channels[c]); }
};

TEST_F(MusicLogic, LoadFileOpensThePrefixedPath) {
    EXPECT_EQ(mm->channelCount, 8);
    ASSERT_EQ(system("mkdir -p media/music && : > media/music/theme.ogg"), 0);
    mm->SetPathPrefix("media/");
    testing::internal::CaptureStdout();
    mm->LoadFile(0, "music/theme.ogg");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(Channel(0)->openedPath, "media/music/theme.ogg");
    mm->Play(0);
    EXPECT_TRUE(Channel(0)->playing);
    mm->Stop(0);
    EXPECT_FALSE(Channel(0)->playing);
    remove("media/music/theme.ogg");
    rmdir("media/music"); // left alone when others keep files there
    rmdir("media");
}

TEST_F(MusicLogic, PropsAreSetInOrder) {
    mm->SetMusicProps(3, 0.25f, 0.5f, true, 1, 2, 3);
    EXPECT_FLOAT_EQ(Channel(3)->volume, 25);
    EXPECT_FLOAT_EQ(Channel(3)->pitch, 0.5f);
    EXPECT_TRUE(Channel(3)->loop);
    EXPECT_EQ(Channel(3)->y, 2);
    std::vector<std::string> expected = {"M3.volume 25", "M3.pitch 0.500000", "M3.loop on", "M3.position"};
    EXPECT_EQ(gLog, expected);
}

TEST_F(MusicLogic, MissingFileIsReportedOncePerCallAndTouchesNoOtherChannel) {
    WriteFile("velk_music_ok.ogg", "x");
    mm->LoadFile(1, "velk_music_ok.ogg");
    testing::internal::CaptureStdout();
    mm->LoadFile(2, "velk_music_missing.ogg");
    mm->LoadFile(2, "velk_music_missing.ogg");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error: Music failed to load\nError: Music failed to load\n");
    EXPECT_EQ(Channel(1)->openedPath, "velk_music_ok.ogg");
    for (int c = 0; c < 8; c++)
        if (c != 1) EXPECT_EQ(Channel(c)->openedPath, "") << c;
    remove("velk_music_ok.ogg");
}

TEST_F(MusicLogic, ChannelsOutsideTheArrayAreIgnored) {
    testing::internal::CaptureStdout();
    for (int bad : {-1, 8, 100, INT_MIN, INT_MAX}) {
        mm->LoadFile(bad, "velk_music_missing.ogg");
        mm->Play(bad);
        mm->Stop(bad);
        mm->SetMusicProps(bad, 1, 1, false, 0, 0, 0);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(gLog.empty());
}

// ---- The silent variant (velkRun, or no backend) ----------------------------------------

class SilentAudio : public ::testing::TestWithParam<bool> {
  protected:
    ScratchDir scratch{"velk-audio"};
    // true: built as velkRun with a backend installed; false: velkEngine without one.
    void SetUp() override {
        ASSERT_TRUE(scratch.Enter());
        if (GetParam()) {
            SetCurrentProgram(ProgramKind::Run);
            SetAudioBackend(&gMock);
        }
        gObjectsMade = 0;
    }
    void TearDown() override {
        SetCurrentProgram(ProgramKind::Engine);
        SetAudioBackend(nullptr);
    }
};

TEST_P(SilentAudio, SlotChoiceWithoutSoundHoldsSlotsForATenth) {
    AudioManager am;
    EXPECT_TRUE(am.IsSilent());
    EXPECT_EQ(am.slotCount, 64);
    EXPECT_EQ(am.slots[0].sound, nullptr);
    int a = am.NewAudio("a", ""), b = am.NewAudio("b", "");
    am.SetTime(2.0f, 0);
    am.Use(a);
    EXPECT_EQ(am.GetLastIndex(), 0);
    am.Use(b);
    EXPECT_EQ(am.GetLastIndex(), 1);
    EXPECT_FLOAT_EQ(am.slots[0].endTime, 2.1f);
    am.SetTime(2.05f, 0);
    am.Use(a); // slot 0 still held: a never-used slot after its last one
    EXPECT_EQ(am.GetLastIndex(), 2);
    am.SetTime(2.5f, 0);
    am.Use(a); // own last slot
    EXPECT_EQ(am.GetLastIndex(), 2);
    EXPECT_EQ(((SoundBufferItem*)am.GetLoadedItem(a))->lastSlot, 2);
    EXPECT_EQ(am.slots[2].itemIndex, a);
    EXPECT_EQ(gObjectsMade, 0);
}

TEST_P(SilentAudio, PropsDoNothingStopStillEnds) {
    AudioManager am;
    int a = am.NewAudio("a", "");
    am.Use(a);
    am.SetAudProps(0, 0.5f, 1, true, 0, 0, 0);
    EXPECT_FALSE(am.slots[0].looping);
    am.slots[0].looping = true;
    am.SetTime(0.05f, 0);
    am.StopAudio(0);
    EXPECT_FALSE(am.slots[0].looping);
    EXPECT_FLOAT_EQ(am.slots[0].endTime, 0.05f);
    am.StopAudio(64); // ignored
    am.StopAudio(-1);
}

TEST_P(SilentAudio, FilesNeverLoadAndSampleDataIsEmpty) {
    WriteFile("velk_audio_silent.wav", "x");
    AudioManager am;
    testing::internal::CaptureStdout();
    int first = -1;
    am.AddContent("velk_audio_silent.wav", "", &first, nullptr);
    am.Use(first);
    am.PreLoad(first);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(am.GetLoadedItem(first), nullptr);
    EXPECT_EQ(((GroupFileItem*)am.GetGroup("")->files.Get(0))->state, 2);
    EXPECT_EQ(am.GetLastIndex(), -1);

    int made = am.NewAudio("made", "");
    SoundBufferItem* item = (SoundBufferItem*)am.GetLoadedItem(made);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->itemIndex, made);
    EXPECT_EQ(item->lastSlot, -1);
    EXPECT_EQ(item->duration, 0.0f);
    float data[4] = {1, 1, 1, 1};
    am.SetAudioData(made, data, 4, 1, 10, 1);
    EXPECT_FLOAT_EQ(item->duration, 0.1f);
    FloatDataBlock out;
    am.GetAudioData(made, &out);
    EXPECT_EQ(out.ValCount(), 0);
    EXPECT_EQ(gObjectsMade, 0);
    remove("velk_audio_silent.wav");
}

TEST_P(SilentAudio, MusicHasNoChannelsAndSaysNothing) {
    MusicManager mm;
    EXPECT_TRUE(mm.IsSilent());
    EXPECT_EQ(mm.channelCount, 0);
    EXPECT_EQ(mm.channels, nullptr);
    mm.SetMaxChannels(8);
    EXPECT_EQ(mm.channelCount, 0);
    testing::internal::CaptureStdout();
    mm.LoadFile(0, "velk_music_missing.ogg");
    mm.Play(0);
    mm.SetMusicProps(0, 1, 1, true, 0, 0, 0);
    mm.Stop(0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(gObjectsMade, 0);
}

INSTANTIATE_TEST_SUITE_P(VelkRunOrNoBackend, SilentAudio, ::testing::Bool());

// ---- The SFML backend on OpenAL's null device ---------------------------------------------

class SfmlAudio : public ::testing::Test {
  protected:
    ScratchDir scratch{"velk-audio"};
    void SetUp() override {
        ASSERT_TRUE(scratch.Enter());
        InstallSfmlAudio();
    }
    void TearDown() override { SetAudioBackend(nullptr); }
};

TEST_F(SfmlAudio, DecodesAFileWhenAddedToTheExactSamples) {
    WriteWav("velk_sfml_exact.wav", {16383, -16383, 0, 8191}, 1, 8000);
    AudioManager am;
    EXPECT_FALSE(am.IsSilent());
    int first = -1;
    testing::internal::CaptureStdout();
    am.AddContent("velk_sfml_exact.wav", "", &first, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    FloatDataBlock out;
    am.GetAudioData(first, &out); // before any play
    ASSERT_EQ(out.ValCount(), 4);
    EXPECT_EQ(out.GetVal(0), 1.0f);
    EXPECT_EQ(out.GetVal(1), -1.0f);
    EXPECT_EQ(out.GetVal(2), 0.0f);
    EXPECT_FLOAT_EQ(out.GetVal(3), 8191 / 16383.0f);
    EXPECT_FLOAT_EQ(((SoundBufferItem*)am.GetLoadedItem(first))->duration, 4 / 8000.0f);
    remove("velk_sfml_exact.wav");
}

TEST_F(SfmlAudio, MissingAndUndecodableSoundsAreReported) {
    WriteFile("velk_sfml_garbage.wav", "this is not a sound file at all, only words");
    AudioManager am;
    testing::internal::CaptureStdout();
    int missing = -1, garbage = -1;
    am.AddContent("velk_sfml_missing.wav", "", &missing, nullptr);
    am.AddContent("velk_sfml_garbage.wav", "", &garbage, nullptr);
    am.Use(garbage);
    EXPECT_EQ(
        testing::internal::GetCapturedStdout(),
        "Error: Audio File Not Loaded.\nError: Audio File Not Loaded.\nError: Audio File Not Loaded.\n");
    EXPECT_EQ(am.GetLoadedItem(missing), nullptr);
    EXPECT_EQ(am.GetLoadedItem(garbage), nullptr);
    remove("velk_sfml_garbage.wav");
}

// A FLAC header claiming 2^36 - 1 samples in 8 channels, and no samples at all: a sound
// that did not load, at every attempt, and no exception through the script's frames.
TEST_F(SfmlAudio, HeaderClaimingTooManySamplesIsAFailedLoad) {
    WriteFile("velk_sfml_huge.flac", FlacClaiming(8, (1ull << 36) - 1));
    AudioManager am;
    testing::internal::CaptureStdout();
    int huge = -1;
    am.AddContent("velk_sfml_huge.flac", "", &huge, nullptr);
    am.Use(huge);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error: Audio File Not Loaded.\nError: Audio File Not Loaded.\n");
    EXPECT_EQ(am.GetLoadedItem(huge), nullptr);
}

// Files whose headers claim gigabytes: WAVs whose data size is 0xFFFFFFF0, of a few bytes
// and of 1 MiB (32-bit samples: a claim of 1,024 samples a byte), an Ogg stream of 2^32
// frames behind a small WAV header, and a FLAC of 2^28
// samples in 8 channels as sounds (tried twice, as a play tries a failed sound again), and
// a WAV at 0xFFFFFFFF Hz as music. Each is refused without the memory it claims: in a
// child process that may grow by 300 MB at most. Music at a rate or in a channel layout
// that no device plays is refused, without the library's complaint about the close.
TEST_F(SfmlAudio, FilesClaimingGigabytesAreRefused) {
    WriteFile("velk_claims_data.wav", WavHeader(1, 22050, 0xFFFFFFF0) + std::string(4, '\0'));
    WriteFile("velk_claims_more.wav", WavHeader(1, 22050, 0xFFFFFFF0, 32) + std::string(1 << 20, '\1'));
    // A WAV header of 2 samples before an Ogg stream, which the library reads as Ogg.
    ASSERT_EQ(system("sox -n -r 8000 -c 1 velk_part.ogg synth 20 sine 440 2>/dev/null"), 0);
    WriteFile("velk_claims_behind.wav", WavHeader(1, 8000, 4) + std::string(4 + 8192, '\0') +
                                            OggEndingAt(ReadAll("velk_part.ogg"), 1ull << 32));
    WriteFile("velk_claims_samples.flac", FlacClaiming(8, 1ull << 28));
    WriteFile("velk_claims_rate.wav", WavHeader(1, 0xFFFFFFFF, 4) + std::string(4, '\0'));
    std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // a fresh process, whatever threads run here
    EXPECT_EXIT(
        {
            CapMemoryGrowth(300 << 20);
            int refused = 0;
            {
                std::unique_ptr<AudioSampleBuffer> sound(SfmlAudioBackend()->NewBuffer());
                std::unique_ptr<MusicStream> music(SfmlAudioBackend()->NewMusic());
                for (int attempt = 0; attempt < 2; attempt++) {
                    refused += !sound->LoadFromFile("velk_claims_data.wav");
                    refused += !sound->LoadFromFile("velk_claims_more.wav");
                    refused += !sound->LoadFromFile("velk_claims_behind.wav");
                    refused += !sound->LoadFromFile("velk_claims_samples.flac");
                    refused += !music->OpenFromFile("velk_claims_rate.wav");
                }
            }
            scratch.Remove(); // this process's own folder: the fixture ran again here
            fprintf(stderr, "%d of 10 refused\n", refused);
            _exit(0);
        },
        testing::ExitedWithCode(0), "10 of 10 refused");
    GTEST_FLAG_SET(death_test_style, style);

    WriteFile("velk_music_top.wav", WavHeader(8, 768000, 16) + std::string(16, '\0'));
    WriteFile("velk_music_above.wav", WavHeader(8, 768001, 16) + std::string(16, '\0'));
    WriteFile("velk_music_three.wav", WavHeader(3, 44100, 6) + std::string(6, '\0'));
    std::unique_ptr<MusicStream> music(SfmlAudioBackend()->NewMusic());
    testing::internal::CaptureStderr();
    EXPECT_TRUE(music->OpenFromFile("velk_music_top.wav"));
    EXPECT_FALSE(music->OpenFromFile("velk_music_above.wav"));
    EXPECT_FALSE(music->OpenFromFile("velk_music_three.wav"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// Valid files decode to the very samples and duration of the library's own loader, and
// those it refuses (3 and 5 channels, a file that ends before its header's count, one
// without samples) fail with the same words on standard error: trusted by the header, and
// read as delivered. Every channel count the formats hold, at lengths around one and two
// blocks of 65,536 samples; and a Vorbis chain of a 7-channel and an 8-channel stream.
TEST_F(SfmlAudio, FilesLoadAsTheLibraryLoadsThemAtEveryChannelCountAndLength) {
    std::vector<std::string> names;
    std::string make;
    for (int channels = 1; channels <= 8; channels++) {
        long block = 65536 / channels; // frames
        for (long frames : {block - 1, block, block + 1, 2 * block, 2 * block + 1}) {
            std::string base = "c" + std::to_string(channels) + "_" + std::to_string(frames);
            make += "sox -n -r 44100 -c " + std::to_string(channels) + " -b 16 " + base + ".wav synth " +
                    std::to_string(frames) + "s sine 440 sine 660 && sox " + base + ".wav " + base +
                    ".flac && sox " + base + ".wav " + base + ".ogg && ";
            for (const char* ext : {".wav", ".flac", ".ogg"})
                names.push_back(base + ext);
        }
    }
    make += "sox -n -r 44100 -c 7 link7.ogg synth 64000s sine 440 && sox -n -r 44100 -c 8 link8.ogg synth "
            "64000s sine 660 && cat link7.ogg link8.ogg > chain.ogg && ";
    names.push_back("chain.ogg");
    ASSERT_EQ(system((make + "true 2>/dev/null").c_str()), 0);
    WriteFile("velk_short.wav", WavHeader(1, 8000, 200) + std::string(100, '\1'));
    WriteFile("velk_empty.wav", WavHeader(1, 8000, 0));
    names.push_back("velk_short.wav");
    names.push_back("velk_empty.wav");
    int loaded = 0;
    for (const std::string& name : names) {
        sf::SoundBuffer theirs;
        testing::internal::CaptureStderr();
        bool loads = theirs.loadFromFile(name);
        std::string theirWords = testing::internal::GetCapturedStderr();
        loaded += loads;
        for (bool trust : {true, false}) {
            TrustBelievableSoundHeaders(trust);
            std::unique_ptr<AudioSampleBuffer> ours(SfmlAudioBackend()->NewBuffer());
            testing::internal::CaptureStderr();
            bool ourLoad = ours->LoadFromFile(name.c_str());
            std::string ourWords = testing::internal::GetCapturedStderr();
            TrustBelievableSoundHeaders(true);
            SCOPED_TRACE(name + (trust ? " trusted" : " as delivered"));
            EXPECT_EQ(ourLoad, loads);
            EXPECT_EQ(ourWords, theirWords);
            if (!loads || !ourLoad) continue;
            ASSERT_EQ(ours->SampleCount(), (long long)theirs.getSampleCount());
            EXPECT_EQ(memcmp(ours->Samples(), theirs.getSamples(), theirs.getSampleCount() * sizeof(short)),
                      0);
            EXPECT_EQ(ours->Duration(), theirs.getDuration().asSeconds());
        }
    }
    // All but the 3- and 5-channel files and the two broken ones.
    EXPECT_EQ(loaded, 6 * 5 * 3 + 1);
}

TEST_F(SfmlAudio, PlaysSetsPropsAndConvertsScriptSamples) {
    AudioManager am;
    int a = am.NewAudio("tone", "");
    std::vector<float> data(4410);
    for (size_t i = 0; i < data.size(); i++)
        data[i] = 0.5f * std::sin(i * 0.0627f);
    data[0] = 1.5f;
    data[1] = 2.5f;
    am.SetAudioData(a, data.data(), (int)data.size(), 1, 44100, 1);
    SoundBufferItem* item = (SoundBufferItem*)am.GetLoadedItem(a);
    EXPECT_NEAR(item->duration, 0.1f, 1e-4);
    FloatDataBlock out;
    am.GetAudioData(a, &out);
    ASSERT_EQ(out.ValCount(), 4410);
    EXPECT_FLOAT_EQ(out.GetVal(0), 24574 / 16383.0f);
    EXPECT_FLOAT_EQ(out.GetVal(1), -32768 / 16383.0f);

    am.Use(a);
    AudioPlayer* p = am.slots[0].sound;
    EXPECT_TRUE(p->IsPlaying());
    EXPECT_FLOAT_EQ(p->Volume(), 100);
    am.SetAudProps(0, 0.5f, 1.25f, true, 1, 2, 3);
    EXPECT_FLOAT_EQ(p->Volume(), 50);
    EXPECT_FLOAT_EQ(p->Pitch(), 1.25f);
    EXPECT_TRUE(p->Loop());
    float x, y, z;
    p->Position(&x, &y, &z);
    EXPECT_EQ(z, 3);
    am.StopAudio(0);
    EXPECT_FALSE(p->IsPlaying());
}

TEST_F(SfmlAudio, MusicStreamsAnOggFile) {
    ASSERT_EQ(system("sox -n -r 44100 velk_sfml_music.ogg synth 0.5 sine 440 2>/dev/null"), 0);
    MusicManager mm;
    EXPECT_EQ(mm.channelCount, 8);
    testing::internal::CaptureStdout();
    mm.LoadFile(7, "velk_sfml_music.ogg");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    mm.SetMusicProps(7, 0.25f, 1, false, 0, 0, 0);
    EXPECT_FLOAT_EQ(mm.channels[7]->Volume(), 25);
    mm.Play(7);
    EXPECT_TRUE(mm.channels[7]->IsPlaying());
    EXPECT_FALSE(mm.channels[6]->IsPlaying());
    mm.Stop(7);
    EXPECT_FALSE(mm.channels[7]->IsPlaying());
    testing::internal::CaptureStdout();
    mm.LoadFile(6, "velk_sfml_music_missing.ogg");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Music failed to load\n");
    remove("velk_sfml_music.ogg");
}

// A folder (what "" or a missing name becomes under the media prefix) would make the
// decoders spin for ever: it fails like an unreadable file, at every attempt. The alarm
// ends the test program should a load hang.
TEST_F(SfmlAudio, FoldersAreRefusedWithoutHanging) {
    ASSERT_EQ(system("mkdir -p velk_sfml_folder && "
                     "sox -n -r 44100 velk_sfml_folder/m.ogg synth 5 sine 440 2>/dev/null"),
              0);
    alarm(30);
    AudioManager am;
    MusicManager mm;
    mm.SetPathPrefix("velk_sfml_folder/");
    mm.LoadFile(0, "m.ogg");
    mm.Play(0);
    testing::internal::CaptureStdout();
    int folder = -1;
    am.AddContent("velk_sfml_folder", "", &folder, nullptr);
    am.Use(folder);
    mm.LoadFile(0, "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error: Audio File Not Loaded.\nError: Audio File Not Loaded.\nError: Music failed to load\n");
    alarm(0);
    EXPECT_EQ(am.GetLoadedItem(folder), nullptr);
    // The channel ends as after any failed open: its old piece stopped.
    EXPECT_FALSE(mm.channels[0]->IsPlaying());
    EXPECT_EQ(system("rm -rf velk_sfml_folder"), 0);
}

// A missing sound or music file, or one that exists and does not decode, reaches the sound
// library by its name, and the library's own complaint names it (on standard error); a pipe
// is refused at once instead of waiting for a writer (the alarm ends a hang), with nothing of
// its own said. A link to a sound file decodes and opens as music.
TEST_F(SfmlAudio, FilesReachTheLibraryByNamePipesAreRefusedLinksDecode) {
    ScratchDir dir("velk-sfml");
    ASSERT_EQ(mkfifo(dir.File("pipe.wav").c_str(), 0600), 0);
    WriteWav(dir.File("real.wav"), {16383, 0}, 1, 8000);
    WriteFile(dir.File("words.ogg"), "only words, no sound");
    ASSERT_EQ(symlink("real.wav", dir.File("link.wav").c_str()), 0);
    AudioManager am;
    MusicManager mm;
    mm.SetPathPrefix((dir.Path() + "/").c_str());
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    alarm(30);
    am.AddContent(dir.File("missing.wav").c_str(), "", nullptr, nullptr);
    am.AddContent(dir.File("pipe.wav").c_str(), "", nullptr, nullptr);
    am.AddContent(dir.File("words.ogg").c_str(), "", nullptr, nullptr);
    mm.LoadFile(0, "missing.ogg");
    mm.LoadFile(1, "pipe.wav");
    mm.LoadFile(2, "link.wav");
    mm.LoadFile(3, "words.ogg");
    alarm(0);
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out,
              "Error: Audio File Not Loaded.\nError: Audio File Not Loaded.\nError: Audio File Not Loaded.\n"
              "Error: Music failed to load\nError: Music failed to load\nError: Music failed to load\n");
    EXPECT_NE(err.find('"' + dir.File("missing.wav") + '"'), std::string::npos) << err;
    EXPECT_NE(err.find('"' + dir.File("missing.ogg") + '"'), std::string::npos) << err;
    std::string named =
        "Failed to open sound file \"" + dir.File("words.ogg") + "\" (format not supported)\n";
    size_t at = err.find(named);
    ASSERT_NE(at, std::string::npos) << err;
    EXPECT_NE(err.find(named, at + 1), std::string::npos) << err; // by the sound and by the music
    EXPECT_EQ(err.find("pipe.wav"), std::string::npos) << err;
    int link = -1;
    am.AddContent(dir.File("link.wav").c_str(), "", &link, nullptr);
    FloatDataBlock samples;
    am.GetAudioData(link, &samples);
    ASSERT_EQ(samples.ValCount(), 2);
    EXPECT_EQ(samples.GetVal(0), 1.0f);
}
