// audioSfml: sound buffers, players and music streams on SFML's audio module.
#include "audioSfml.h"

#include <SFML/Audio.hpp>
#include "strfuncs.h"

namespace {

// The library's decoders spin for ever on a folder's stream and block on a pipe, so only a
// regular file is handed to them; anything else fails as an unreadable file does.
class SfmlBuffer : public AudioSampleBuffer {
  public:
    sf::SoundBuffer buffer;

    bool LoadFromFile(const char* path) override { return IsRegularFile(path) && buffer.loadFromFile(path); }
    bool LoadFromSamples(const short* samples, long long count, int channelCount, int sampleRate) override {
        if (!samples || count <= 0 || channelCount <= 0 || sampleRate <= 0) return false;
        return buffer.loadFromSamples(samples, (sf::Uint64)count, (unsigned)channelCount,
                                      (unsigned)sampleRate);
    }
    const short* Samples() override { return buffer.getSamples(); }
    long long SampleCount() override { return (long long)buffer.getSampleCount(); }
    float Duration() override { return buffer.getDuration().asSeconds(); }
};

// The shared controls of an SFML sound source (sf::Sound or sf::Music) behind one of our
// source interfaces.
template <class Interface, class Source> class SfmlSource : public Interface {
  public:
    Source source;

    void Play() override { source.play(); }
    void Stop() override { source.stop(); }
    void SetVolume(float v) override { source.setVolume(v); }
    void SetPitch(float p) override { source.setPitch(p); }
    void SetLoop(bool l) override { source.setLoop(l); }
    void SetPosition(float x, float y, float z) override { source.setPosition(x, y, z); }
    float Volume() override { return source.getVolume(); }
    float Pitch() override { return source.getPitch(); }
    bool Loop() override { return source.getLoop(); }
    void Position(float* x, float* y, float* z) override {
        sf::Vector3f p = source.getPosition();
        *x = p.x;
        *y = p.y;
        *z = p.z;
    }
    bool IsPlaying() override { return source.getStatus() == sf::SoundSource::Playing; }
};

class SfmlPlayer : public SfmlSource<AudioPlayer, sf::Sound> {
  public:
    // Every buffer handed here comes from the same backend.
    void SetBuffer(AudioSampleBuffer* b) override { source.setBuffer(static_cast<SfmlBuffer*>(b)->buffer); }
};

class SfmlMusic : public SfmlSource<MusicStream, sf::Music> {
  public:
    bool OpenFromFile(const char* path) override {
        if (IsRegularFile(path)) return source.openFromFile(path);
        // Refused: the channel still ends as any failed open leaves it (stopped, nothing
        // open), through an open of "" that fails at once; its complaint about "" is not
        // the script's business.
        std::streambuf* complaints = sf::err().rdbuf(nullptr);
        source.openFromFile("");
        sf::err().rdbuf(complaints);
        return false;
    }
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
