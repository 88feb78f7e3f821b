// audioSfml: sound buffers, players and music streams on SFML's audio module.
#include "audioSfml.h"

#include <SFML/Audio.hpp>
#include "strfuncs.h"
#include <cerrno>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A sound file read through a descriptor that OpenRegularFile checked: the decoders see
// exactly the file that was checked, never a name that may have been swapped meanwhile.
class FdStream : public sf::InputStream {
  public:
    explicit FdStream(int fd) : fd(fd) {}
    ~FdStream() override { close(fd); }
    FdStream(const FdStream&) = delete;
    FdStream& operator=(const FdStream&) = delete;

    sf::Int64 read(void* data, sf::Int64 size) override {
        sf::Int64 total = 0;
        while (total < size) {
            ssize_t n = ::read(fd, static_cast<char*>(data) + total, (size_t)(size - total));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return total > 0 ? total : -1;
            if (n == 0) break;
            total += n;
        }
        return total;
    }
    sf::Int64 seek(sf::Int64 position) override { return (sf::Int64)lseek(fd, (off_t)position, SEEK_SET); }
    sf::Int64 tell() override { return (sf::Int64)lseek(fd, 0, SEEK_CUR); }
    sf::Int64 getSize() override {
        struct stat st;
        return fstat(fd, &st) == 0 ? (sf::Int64)st.st_size : -1;
    }

  private:
    int fd;
};

// Opens a sound file for decoding. The library's decoders spin for ever on a folder and
// block on a pipe, so a path that opens as anything but a regular file is refused
// (`refused` set, null result), and so is one that cannot be opened for another reason.
// A missing file gives null with `refused` clear: the library may try it by name, fails
// as quickly, and names the file in its complaint.
std::unique_ptr<FdStream> OpenSoundFile(const char* path, bool* refused) {
    bool notRegular = false;
    int fd = path ? OpenRegularFile(path, &notRegular) : -1;
    bool missing = path && !notRegular && fd < 0 && (errno == ENOENT || errno == ENOTDIR);
    *refused = fd < 0 && !missing;
    return fd < 0 ? nullptr : std::unique_ptr<FdStream>(new FdStream(fd));
}

class SfmlBuffer : public AudioSampleBuffer {
  public:
    sf::SoundBuffer buffer;

    bool LoadFromFile(const char* path) override {
        bool refused = false;
        std::unique_ptr<FdStream> file = OpenSoundFile(path, &refused);
        if (file) return buffer.loadFromStream(*file);
        return !refused && buffer.loadFromFile(path);
    }
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

// The file a music channel streams from. A base listed before the player, so that it is
// destroyed after the player, which stops and lets go of it first.
struct MusicFile {
    std::unique_ptr<FdStream> file;
};

class SfmlMusic : private MusicFile, public SfmlSource<MusicStream, sf::Music> {
  public:
    bool OpenFromFile(const char* path) override {
        bool refused = false;
        std::unique_ptr<FdStream> next = OpenSoundFile(path, &refused);
        bool ok = false;
        if (next) {
            // The channel reads `next` for as long as it stays open.
            ok = source.openFromStream(*next);
        } else if (!refused) {
            ok = source.openFromFile(path);
        }
        // Any open first let go of what the channel held. A failed one ends like any
        // failed open: stopped, nothing open, and no reader left on a stream freed here.
        if (!ok) Close();
        file = ok ? std::move(next) : nullptr;
        return ok;
    }

  private:
    // An open of "" fails at once after closing what the channel held; its complaint
    // about "" is not the script's business.
    void Close() {
        std::streambuf* complaints = sf::err().rdbuf(nullptr);
        source.openFromFile("");
        sf::err().rdbuf(complaints);
        sf::err().clear();
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
