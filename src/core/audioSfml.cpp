// audioSfml: sound buffers, players and music streams on SFML's audio module.
#include "audioSfml.h"

#include <SFML/Audio.hpp>

namespace {

class SfmlBuffer : public AudioSampleBuffer {
  public:
    sf::SoundBuffer buffer;

    bool LoadFromFile(const char* path) override { return path && buffer.loadFromFile(path); }
    bool LoadFromSamples(const short* samples, long long count, int channelCount, int sampleRate) override {
        if (!samples || count <= 0 || channelCount <= 0 || sampleRate <= 0) return false;
        return buffer.loadFromSamples(samples, (sf::Uint64)count, (unsigned)channelCount,
                                      (unsigned)sampleRate);
    }
    const short* Samples() override { return buffer.getSamples(); }
    long long SampleCount() override { return (long long)buffer.getSampleCount(); }
    float Duration() override { return buffer.getDuration().asSeconds(); }
};

class SfmlPlayer : public AudioPlayer {
  public:
    sf::Sound sound;

    // Every buffer handed here comes from the same backend.
    void SetBuffer(AudioSampleBuffer* b) override { sound.setBuffer(static_cast<SfmlBuffer*>(b)->buffer); }
    void Play() override { sound.play(); }
    void Stop() override { sound.stop(); }
    void SetVolume(float v) override { sound.setVolume(v); }
    void SetPitch(float p) override { sound.setPitch(p); }
    void SetLoop(bool l) override { sound.setLoop(l); }
    void SetPosition(float x, float y, float z) override { sound.setPosition(x, y, z); }
    float Volume() override { return sound.getVolume(); }
    float Pitch() override { return sound.getPitch(); }
    bool Loop() override { return sound.getLoop(); }
    void Position(float* x, float* y, float* z) override {
        sf::Vector3f p = sound.getPosition();
        *x = p.x;
        *y = p.y;
        *z = p.z;
    }
    bool IsPlaying() override { return sound.getStatus() == sf::SoundSource::Playing; }
};

class SfmlMusic : public MusicStream {
  public:
    sf::Music music;

    bool OpenFromFile(const char* path) override { return path && music.openFromFile(path); }
    void Play() override { music.play(); }
    void Stop() override { music.stop(); }
    void SetVolume(float v) override { music.setVolume(v); }
    void SetPitch(float p) override { music.setPitch(p); }
    void SetLoop(bool l) override { music.setLoop(l); }
    void SetPosition(float x, float y, float z) override { music.setPosition(x, y, z); }
    float Volume() override { return music.getVolume(); }
    float Pitch() override { return music.getPitch(); }
    bool Loop() override { return music.getLoop(); }
    void Position(float* x, float* y, float* z) override {
        sf::Vector3f p = music.getPosition();
        *x = p.x;
        *y = p.y;
        *z = p.z;
    }
    bool IsPlaying() override { return music.getStatus() == sf::SoundSource::Playing; }
};

class SfmlBackend : public AudioBackend {
  public:
    AudioSampleBuffer* NewBuffer() override { return new SfmlBuffer; }
    AudioPlayer* NewPlayer() override { return new SfmlPlayer; }
    MusicStream* NewMusic() override { return new SfmlMusic; }
};

} // namespace

AudioBackend* SfmlAudioBackend() {
    static SfmlBackend backend;
    return &backend;
}

void InstallSfmlAudio() {
    SetAudioBackend(SfmlAudioBackend());
}
