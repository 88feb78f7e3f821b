// audioSfml: sound buffers, players and music streams on SFML's audio module.
#include "audioSfml.h"

#include "errfilter.h"

#include <SFML/Audio.hpp>
#include <sys/stat.h>

namespace {

// Whether a sound file may go to the library by name. Its decoders spin for ever on a
// folder and block on a pipe, so what exists and is no regular file (folder, pipe,
// device) is refused; a regular file, or a name that is no file at all, is handed over
// and the library's complaint names it. Only another process can swap the name between
// this check and the library's open (the engine has one thread): that window is accepted.
bool MayDecode(const char* path) {
    struct stat st;
    return path && (stat(path, &st) != 0 || S_ISREG(st.st_mode));
}

class SfmlBuffer : public AudioSampleBuffer {
  public:
    sf::SoundBuffer buffer;

    // The decoders size their sample store from the file's header, so a forged one makes
    // them throw (bad_alloc); no exception may cross the script's frames, and either way
    // the sound did not load.
    bool LoadFromFile(const char* path) override {
        if (!MayDecode(path)) return false;
        try {
            return buffer.loadFromFile(path);
        } catch (...) {
            return false;
        }
    }
    bool LoadFromSamples(const short* samples, long long count, int channelCount, int sampleRate) override {
        if (!samples || count <= 0 || channelCount <= 0 || sampleRate <= 0) return false;
        try {
            return buffer.loadFromSamples(samples, (sf::Uint64)count, (unsigned)channelCount,
                                          (unsigned)sampleRate);
        } catch (...) {
            return false;
        }
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
        bool ok = false;
        try {
            ok = MayDecode(path) && source.openFromFile(path);
        } catch (...) {
            // Buffers sized from a forged header (bad_alloc): a failed open like any other.
            ok = false;
        }
        // Any open first let go of what the channel held. A failed one ends like any
        // failed open: stopped and nothing open.
        if (!ok) Close();
        return ok;
    }

  private:
    // An open of "" fails at once after closing what the channel held; its complaint
    // about "" is not the script's business.
    void Close() {
        QuietLibraryErrors quiet;
        source.openFromFile("");
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
    // Before any sound object, and so before any of the library's threads.
    InstallErrFilter();
    static SfmlBackend backend;
    return &backend;
}

void InstallSfmlAudio() {
    SetAudioBackend(SfmlAudioBackend());
}
