// audio: sound effects (AudioManager: decoded or script-made sample buffers played on a
// fixed set of reusable playback slots) and streamed music (MusicManager: eight channels).
//
// All bookkeeping (slot choice, end times, sample conversion) lives here, in velkcore.
// Real playback and decoding go through the small AudioBackend interface below; the SFML
// implementation is in audioSfml.cpp, a separate library, because velkRun must not link
// the sound library at all. A manager built while no backend is installed, or in velkRun,
// is the silent variant: it makes the same slot choices, plays nothing, loads no file.
#pragma once

#include "datablock.h"
#include "manager.h"

// ---- Backend interface -------------------------------------------------------------

// Decoded 16-bit samples, channels interleaved.
class AudioSampleBuffer {
  public:
    virtual ~AudioSampleBuffer() {}
    virtual bool LoadFromFile(const char* path) = 0;
    virtual bool LoadFromSamples(const short* samples, long long count, int channelCount, int sampleRate) = 0;
    virtual const short* Samples() = 0;
    virtual long long SampleCount() = 0;
    virtual float Duration() = 0; // seconds
};

// One sound player (what a SoundSlot drives).
// The controls that sound players and music streams share.
class AudioSource {
  public:
    virtual ~AudioSource() {}
    virtual void Play() = 0;
    virtual void Stop() = 0;
    virtual void SetVolume(float volume) = 0; // 0 .. 100
    virtual void SetPitch(float pitch) = 0;
    virtual void SetLoop(bool loop) = 0;
    virtual void SetPosition(float x, float y, float z) = 0;
    virtual float Volume() = 0;
    virtual float Pitch() = 0;
    virtual bool Loop() = 0;
    virtual void Position(float* x, float* y, float* z) = 0;
    virtual bool IsPlaying() = 0;
};

class AudioPlayer : public AudioSource {
  public:
    virtual void SetBuffer(AudioSampleBuffer* buffer) = 0;
};

// One streamed music player.
class MusicStream : public AudioSource {
  public:
    virtual bool OpenFromFile(const char* path) = 0;
};

class AudioBackend {
  public:
    virtual ~AudioBackend() {}
    virtual AudioSampleBuffer* NewBuffer() = 0;
    virtual AudioPlayer* NewPlayer() = 0;
    virtual MusicStream* NewMusic() = 0;
};

// The backend that managers built from now on use; null (the default) gives silent
// managers. velkEngine installs the SFML backend (InstallSfmlAudio) before it builds the
// engine core; velkRun installs none. The backend must outlive the managers built with it.
void SetAudioBackend(AudioBackend* backend);
AudioBackend* GetAudioBackend();

// ---- Sound effects -----------------------------------------------------------------

// A playback channel. `sound` is null in the silent variant.
struct SoundSlot {
    AudioPlayer* sound;
    int itemIndex; // item last given to this slot; -1 when never used
    float endTime; // game time at which its current play ends; -1 when never used
    bool looping;  // set through SetAudProps; keeps the slot out of the normal searches
};

// The item of the audio manager. `buffer` is null in the silent variant.
struct SoundBufferItem {
    AudioSampleBuffer* buffer;
    int lastSlot;   // slot of its last play; -1 until played
    int itemIndex;  // its own item index
    float duration; // seconds

    SoundBufferItem() : buffer(nullptr), lastSlot(-1), itemIndex(0), duration(0) {}
    ~SoundBufferItem() { delete buffer; }
    SoundBufferItem(const SoundBufferItem&) = delete;
    SoundBufferItem& operator=(const SoundBufferItem&) = delete;
};

class AudioManager : public MediaManager {
  public:
    SoundSlot* slots;
    int slotCount;
    float now;             // game time from the last SetTime
    int lastSlot;          // slot chosen by the last play; -1 before any
    AudioBackend* backend; // null: silent variant (velkRun, or no backend installed)

    AudioManager();
    ~AudioManager();
    AudioManager(const AudioManager&) = delete;
    AudioManager& operator=(const AudioManager&) = delete;

    void SetMaxChannels(int count);
    void QueryFile(const char* path, MediaManagerGroup* group, int* outFirst, int* outCount) override;
    void LoadFile(GroupFileItem* file, MediaManagerGroup* group) override;
    void priv_Use(int* item) override;

    void SetAudProps(int slot, float volume, float pitch, bool loop, float x, float y, float z);
    void StopAudio(int slot);
    int NewAudio(const char* name, const char* groupName);
    void GetAudioData(int index, FloatDataBlock* out);
    void SetAudioData(int index, float* data, int count, int channelCount, int sampleRate, int factor);
    void SetTime(float time, float step);
    int GetLastIndex() { return lastSlot; }

    bool IsSilent() const { return backend == nullptr; }

  private:
    SoundBufferItem* ItemAt(int index);
    int ChooseSlot(SoundBufferItem* item, bool* keepsBuffer);
    void ReleaseSlots();
};

// Converts one averaged sample value (1.0 = 16383) to 16 bits; out of range gives -32768.
short AudioSampleFromFloat(float value);

// ---- Music -------------------------------------------------------------------------

class MusicManager {
  public:
    DataBlock pathPrefix;
    int channelCount;
    MusicStream** channels; // null in the silent variant
    AudioBackend* backend;  // null: silent variant (velkRun, or no backend installed)

    MusicManager();
    ~MusicManager();
    MusicManager(const MusicManager&) = delete;
    MusicManager& operator=(const MusicManager&) = delete;

    void SetPathPrefix(const char* prefix);
    void SetMaxChannels(int count);
    void LoadFile(int channel, const char* path);
    void Play(int channel);
    void Stop(int channel);
    void SetMusicProps(int channel, float volume, float pitch, bool loop, float x, float y, float z);

    bool IsSilent() const { return backend == nullptr; }

  private:
    MusicStream* Channel(int channel);
    void ReleaseChannels();
};
