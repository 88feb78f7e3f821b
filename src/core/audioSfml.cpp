// audioSfml: sound buffers, players and music streams on SFML's audio module.
#include "audioSfml.h"

#include "errfilter.h"

#include <SFML/Audio.hpp>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

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

// How many samples a byte of a sound file may believably carry. A WAV file carries at
// most one (8-bit PCM). Vorbis and FLAC of ordinary sound carry some 1 to 60, quiet or
// synthetic sound more, digital silence some thousands. A header claiming no more than
// this is trusted: the file goes to the library's own loader, which zero-fills a store of
// the claimed size before it reads, so a forged header costs at most 2 bytes of store per
// byte of a WAV file and 256 per byte of any other. A larger claim is read as delivered.
constexpr sf::Uint64 kPcmSamplesPerByte = 1;
constexpr sf::Uint64 kPackedSamplesPerByte = 128;
bool gTrustBelievableHeaders = true;

// What a first look at a sound file tells: its size, and whether it is a WAV file, with the
// claim its header makes.
struct FirstLook {
    // The library tries its Vorbis reader before its WAV reader, and the Vorbis reader
    // takes a file whose first 64 KiB or so hold a page, whatever comes before it. A file
    // counts as a WAV file only when it starts as one and none of these bytes starts a page.
    static constexpr std::size_t kLook = 128 << 10;
    // A WAV file's claim stands in its header. Opening the whole file to read it would
    // cost a second scan of every byte: the library's FLAC check searches the whole of a
    // file that is no FLAC for a frame, so it is given only the first 4 KiB. A file whose
    // header reaches past them has no claim here (0).
    static constexpr std::size_t kHeader = 4 << 10;

    sf::Uint64 size = 0;
    bool wav = false;
    sf::Uint64 wavClaim = 0;

    explicit FirstLook(const char* path) {
        int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return;
        std::unique_ptr<char[]> head(new char[kLook]);
        struct stat st;
        ssize_t n = fstat(fd, &st) == 0 && st.st_size > 0 ? read(fd, head.get(), kLook) : -1;
        close(fd);
        if (n < 12) return;
        size = (sf::Uint64)st.st_size;
        bool whole = (std::size_t)n == kLook || (sf::Uint64)n == size;
        wav = whole && memcmp(head.get(), "RIFF", 4) == 0 && memcmp(head.get() + 8, "WAVE", 4) == 0 &&
              !memmem(head.get(), (std::size_t)n, "OggS", 4);
        if (!wav) return;
        QuietLibraryErrors quiet; // this look is not the library's open
        sf::InputSoundFile header;
        if (header.openFromMemory(head.get(), std::min((std::size_t)n, kHeader)))
            wavClaim = header.getSampleCount();
    }

    bool Believable(sf::Uint64 claimed) const {
        return claimed / (wav ? kPcmSamplesPerByte : kPackedSamplesPerByte) < size;
    }
};

// Anonymous memory that the system commits page by page as it is written.
class LazyStore {
  public:
    explicit LazyStore(std::size_t bytes) : size(bytes) {
        void* p = bytes ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                               MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0)
                        : MAP_FAILED;
        base = p == MAP_FAILED ? nullptr : p;
    }
    ~LazyStore() {
        if (base) munmap(base, size);
    }
    void* Get() const { return base; }
    LazyStore(const LazyStore&) = delete;
    LazyStore& operator=(const LazyStore&) = delete;

  private:
    void* base;
    std::size_t size;
};

class SfmlBuffer : public AudioSampleBuffer {
  public:
    sf::SoundBuffer buffer;

    // sf::SoundBuffer::loadFromFile sizes its store from the count in the header, so a
    // 48-byte file claiming gigabytes cost that much memory and time, at every play of the
    // failed sound. Only a claim that the file's size makes believable goes there; a larger
    // one is read as the file delivers it. What loads, and what fails, stays as with
    // loadFromFile. A store the file does fill can still be too big (bad_alloc): no
    // exception may cross the script's frames, and the sound did not load.
    bool LoadFromFile(const char* path) override {
        if (!MayDecode(path)) return false;
        try {
            return Decode(path);
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

  private:
    bool Decode(const char* path) {
        if (gTrustBelievableHeaders) {
            FirstLook look(path);
            if (look.wavClaim && look.Believable(look.wavClaim)) return buffer.loadFromFile(path);
            if (!look.wav) return OpenAndDecode(path, &look);
        }
        return OpenAndDecode(path, nullptr);
    }

    // `look` is given where the file's header is to be trusted when believable.
    bool OpenAndDecode(const char* path, const FirstLook* look) {
        std::unique_ptr<sf::InputSoundFile> file(new sf::InputSoundFile);
        if (!file->openFromFile(path)) return false;
        const sf::Uint64 claimed = file->getSampleCount();
        const unsigned channels = file->getChannelCount(), rate = file->getSampleRate();
        // No samples, or a rate or channel count of 0, fail in loadFromFile too, silently.
        if (claimed == 0 || channels == 0 || rate == 0) return false;
        if (look && look->Believable(claimed)) {
            file.reset();
            return buffer.loadFromFile(path);
        }
        return DecodeAsDelivered(*file, claimed, channels, rate);
    }

    // One read of the whole claim, as loadFromFile makes it: read in pieces, a Vorbis chain
    // whose links differ in channel count stops short where a piece has no room for a whole
    // frame. The store is committed only as the reader fills it, so a claim the file does
    // not fill costs what it delivered, and one beyond the address space fails. An honest
    // file read this way holds its samples once more than in loadFromFile, while the
    // library copies them.
    bool DecodeAsDelivered(sf::InputSoundFile& file, sf::Uint64 claimed, unsigned channels, unsigned rate) {
        if (claimed > SIZE_MAX / sizeof(sf::Int16)) return false;
        LazyStore store((std::size_t)claimed * sizeof(sf::Int16));
        sf::Int16* samples = static_cast<sf::Int16*>(store.Get());
        if (!samples || file.read(samples, claimed) != claimed) return false;
        return buffer.loadFromSamples(samples, claimed, channels, rate);
    }
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

// What audio devices play. SFML keeps one second of samples for a stream and hands OpenAL
// buffers of that size, so a header's rate times its channel count could ask for
// gigabytes, or wrap round to a size whose every refill OpenAL refuses. 1 Hz to 768 kHz,
// the highest rate that audio interfaces (and ALSA) offer; SFML gives OpenAL mono,
// stereo, quad, 5.1, 6.1 and 7.1 (1, 2, 4, 6, 7 and 8 channels) and no other layout. A
// second at the top is 12 MB, so a playing channel holds some 50 MB at most.
const unsigned kMaxMusicRate = 768000;
bool PlayableStream(unsigned channels, unsigned rate) {
    bool layout = channels == 1 || channels == 2 || channels == 4 || (channels >= 6 && channels <= 8);
    return layout && rate >= 1 && rate <= kMaxMusicRate;
}

class SfmlMusic : public SfmlSource<MusicStream, sf::Music> {
  public:
    bool OpenFromFile(const char* path) override {
        bool ok = false;
        try {
            ok = MayDecode(path) && HeaderPlayable(path) && source.openFromFile(path);
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
    // Read before the music's own open, which sizes the stream's buffers at once. A file
    // the library cannot open is named in its complaint here, once, as that open would.
    static bool HeaderPlayable(const char* path) {
        sf::InputSoundFile header;
        return header.openFromFile(path) && PlayableStream(header.getChannelCount(), header.getSampleRate());
    }

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

void TrustBelievableSoundHeaders(bool trust) {
    gTrustBelievableHeaders = trust;
}

void InstallSfmlAudio() {
    SetAudioBackend(SfmlAudioBackend());
}
