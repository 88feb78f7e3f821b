// audioSfml: sound buffers, players and music streams on SFML's audio module.
#include "audioSfml.h"

#include "errfilter.h"

#include <SFML/Audio.hpp>
#include <algorithm>
#include <memory>
#include <sys/stat.h>
#include <vector>

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

// Samples are read in blocks of about this many.
constexpr sf::Uint64 kReadBlock = 1 << 16;

// How many samples a byte of a sound file may believably carry. PCM carries at most one;
// Vorbis and FLAC of ordinary sound some 1 to 60, digital silence up to about 1,000.
// A header claiming no more than this is trusted, and the file goes to the library's own
// loader, which sizes its store from the claim; so a forged header costs at most 2 KiB of
// store per byte of file. A claim beyond it is read as delivered first.
constexpr sf::Uint64 kBelievableSamplesPerByte = 1024;
bool gTrustBelievableHeaders = true;

class SfmlBuffer : public AudioSampleBuffer {
  public:
    sf::SoundBuffer buffer;

    // sf::SoundBuffer::loadFromFile sizes its store from the count in the header, so a
    // 48-byte file claiming gigabytes cost that much memory and time, at every play of the
    // failed sound. Such a claim is read as the file delivers it instead; what loads, and
    // what fails, stays as with loadFromFile. A store the file does fill can still be too
    // big (bad_alloc): no exception may cross the script's frames, and the sound did not load.
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
        std::unique_ptr<sf::InputSoundFile> file(new sf::InputSoundFile);
        if (!file->openFromFile(path)) return false;
        const sf::Uint64 claimed = file->getSampleCount();
        const unsigned channels = file->getChannelCount(), rate = file->getSampleRate();
        // No samples, or a rate or channel count of 0, fail in loadFromFile too, silently.
        if (claimed == 0 || channels == 0 || rate == 0) return false;
        struct stat st;
        sf::Uint64 bytes = stat(path, &st) == 0 && st.st_size > 0 ? (sf::Uint64)st.st_size : 0;
        if (gTrustBelievableHeaders && claimed / kBelievableSamplesPerByte < bytes) {
            file.reset();
            return buffer.loadFromFile(path);
        }
        return DecodeAsDelivered(*file, claimed, channels, rate);
    }

    // Reads into blocks that the file has to fill before the next is taken, and joins them
    // only when all the claimed samples arrived. A block holds whole frames: the Vorbis
    // reader stops short when less than a frame of room is left, and a short read is the
    // end of the data (or an error), as in the library's one read of the whole claim.
    bool DecodeAsDelivered(sf::InputSoundFile& file, sf::Uint64 claimed, unsigned channels, unsigned rate) {
        const sf::Uint64 block = std::max<sf::Uint64>(kReadBlock / channels, 1) * channels;
        std::vector<std::unique_ptr<sf::Int16[]>> blocks;
        sf::Uint64 have = 0;
        while (have < claimed) {
            sf::Uint64 want = std::min(block, claimed - have);
            blocks.emplace_back(new sf::Int16[(std::size_t)want]); // not zeroed: the reader fills it
            sf::Uint64 got = file.read(blocks.back().get(), want);
            have += got;
            if (got < want) return false; // fewer samples than claimed fail, as in loadFromFile
        }
        std::unique_ptr<sf::Int16[]> all(new sf::Int16[(std::size_t)claimed]);
        sf::Uint64 at = 0;
        for (auto& b : blocks) {
            sf::Uint64 n = std::min(block, claimed - at);
            std::copy(b.get(), b.get() + n, all.get() + at);
            b.reset();
            at += n;
        }
        return buffer.loadFromSamples(all.get(), claimed, channels, rate);
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
