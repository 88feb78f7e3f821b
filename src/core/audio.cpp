// audio: the sound-effect manager (slot choice, sample conversion) and the music
// channels, driving whatever audio backend was installed when they were built.
#include "audio.h"

#include "programKind.h"

#include <cstdio>
#include <string>

static AudioBackend* gAudioBackend = nullptr;

void SetAudioBackend(AudioBackend* backend) {
    gAudioBackend = backend;
}
AudioBackend* GetAudioBackend() {
    return gAudioBackend;
}

// velkRun has no sound output at all; elsewhere the installed backend decides.
static AudioBackend* BackendForNewManager() {
    return IsVelkRun() ? nullptr : gAudioBackend;
}

short AudioSampleFromFloat(float value) {
    double product = value * 16383.0;
    // Truncation toward zero keeps -32768.9 .. 32767.9 in range; anything else,
    // NaN included, becomes -32768.
    if (product > -32769.0 && product < 32768.0) return (short)(int)product;
    return -32768;
}

// ---- AudioManager ------------------------------------------------------------------

AudioManager::AudioManager()
    : slots(nullptr), slotCount(0), now(0), lastSlot(-1), backend(BackendForNewManager()) {
    SetMaxChannels(64);
}

AudioManager::~AudioManager() {
    // Players go first so that no player still refers to a buffer being destroyed.
    ReleaseSlots();
    // The registry never destroys items; this manager made every one of them, and they
    // live exactly as long as the manager (the whole run).
    for (int i = 0; i < itemCount; i++)
        delete (SoundBufferItem*)GetLoadedItem(i);
}

void AudioManager::ReleaseSlots() {
    for (int s = 0; s < slotCount; s++)
        delete slots[s].sound;
    delete[] slots;
    slots = nullptr;
    slotCount = 0;
}

void AudioManager::SetMaxChannels(int count) {
    // The slot choice works modulo the slot count, so there is always at least one slot.
    if (count < 1) count = 1;
    ReleaseSlots();
    slots = new SoundSlot[count];
    for (int s = 0; s < count; s++) {
        slots[s].sound = backend ? backend->NewPlayer() : nullptr;
        slots[s].itemIndex = -1;
        slots[s].endTime = -1.0f;
        slots[s].looping = false;
    }
    slotCount = count;
}

void AudioManager::QueryFile(const char* path, MediaManagerGroup* group, int* outFirst, int* outCount) {
    QueryFileOneItem(path, group, outFirst, outCount);
    // Sounds are decoded as they are added, so a bad file is reported at once.
    GroupFileItem* file = (GroupFileItem*)group->files.Get(group->files.Count() - 1);
    if (file) LoadFile(file, group);
}

void AudioManager::LoadFile(GroupFileItem* file, MediaManagerGroup* group) {
    int e = file->firstEntry;
    if (e < 0 || e >= group->entryCount) return;
    GroupItemEntry* entry = &group->entryPtr[e];
    if (!backend) {
        // No decoder: a sound file never becomes playable, and nothing is said.
        file->state = 2;
        return;
    }
    int i = entry->itemIndex;
    SoundBufferItem* item = new SoundBufferItem;
    item->buffer = backend->NewBuffer();
    if (!item->buffer->LoadFromFile((const char*)file->path.CStr())) {
        delete item;
        file->state = 2;
        puts("Error: Audio File Not Loaded.");
        return;
    }
    item->lastSlot = -1;
    item->itemIndex = i;
    item->duration = item->buffer->Duration();
    *GetItemPtr(i) = (int*)item;
    file->state = 1;
    entry->loaded = true;
}

// The slot search. A slot is finished when its play ended strictly before now, and free
// to take when it is finished and not looping. *keepsBuffer is set when the slot already
// holds this item's buffer and must not be given it again.
int AudioManager::ChooseSlot(SoundBufferItem* item, bool* keepsBuffer) {
    const int n = slotCount;
    const int k = item->itemIndex;
    auto freeToTake = [this](int s) { return slots[s].endTime < now && !slots[s].looping; };
    *keepsBuffer = false;

    // 1. Its own last slot. After a smaller SetMaxChannels an item may remember a slot
    // that no longer exists: that one is not its own slot any more.
    int own = item->lastSlot;
    if (own >= 0 && own < n && slots[own].itemIndex == k && freeToTake(own)) return own;

    // Searches start after its last slot, modulo the slot count (stale values included).
    int start = own >= 0 ? (int)(((long long)own + 1) % n) : 0;

    // 2. Backwards, a free slot that already holds this sound.
    for (int j = 0; j > -n; j--) {
        int s = (start + j + n) % n;
        if (slots[s].itemIndex == k && freeToTake(s)) {
            *keepsBuffer = true;
            return s;
        }
    }
    // 3. Forwards, a never-used slot.
    for (int j = 0; j < n; j++) {
        int s = (start + j) % n;
        if (slots[s].itemIndex < 0) return s;
    }
    // 4. Forwards, any free slot.
    for (int j = 0; j < n; j++) {
        int s = (start + j) % n;
        if (freeToTake(s)) return s;
    }
    // 5. None: cut off the last slot that step 4 looked at.
    return (start + n - 1) % n;
}

void AudioManager::priv_Use(int* p) {
    if (!p) return;
    SoundBufferItem* item = (SoundBufferItem*)p;
    bool keepsBuffer = false;
    int s = ChooseSlot(item, &keepsBuffer);
    SoundSlot& slot = slots[s];
    slot.itemIndex = item->itemIndex;
    item->lastSlot = s;
    lastSlot = s;
    if (!backend) {
        // Nothing plays, but the slot stays taken for a tenth of a second.
        slot.endTime = (float)(now + 0.1);
        return;
    }
    if (!keepsBuffer && item->buffer) slot.sound->SetBuffer(item->buffer);
    slot.sound->Play();
    slot.sound->SetVolume(100);
    slot.sound->SetPitch(1);
    slot.sound->SetLoop(false);
    slot.sound->SetPosition(0, 0, 0);
    // The looping flag stays as it was: only SetAudProps and StopAudio change it.
    slot.endTime = now + item->duration;
}

// Slot numbers come from scripts unchecked; one outside the array is ignored.
void AudioManager::SetAudProps(int slot, float volume, float pitch, bool loop, float x, float y, float z) {
    if (!backend || slot < 0 || slot >= slotCount) return;
    AudioPlayer* player = slots[slot].sound;
    player->SetVolume(volume * 100);
    player->SetPitch(pitch);
    player->SetLoop(loop);
    player->SetPosition(x, y, z);
    slots[slot].looping = loop;
}

void AudioManager::StopAudio(int slot) {
    if (slot < 0 || slot >= slotCount) return;
    if (slots[slot].sound) slots[slot].sound->Stop();
    slots[slot].endTime = now;
    slots[slot].looping = false;
}

int AudioManager::NewAudio(const char* name, const char* groupName) {
    int** itemSlot = nullptr;
    int index = CreateEmptyItem(groupName, name, &itemSlot);
    SoundBufferItem* item = new SoundBufferItem;
    item->buffer = backend ? backend->NewBuffer() : nullptr;
    item->lastSlot = -1;
    item->itemIndex = index;
    item->duration = 0;
    *itemSlot = (int*)item;
    return index;
}

// The item already in the slot of an item index, never loading it; null for an index
// outside the registry or an item that is not there (a failed file).
SoundBufferItem* AudioManager::ItemAt(int index) {
    if (index < 0 || index >= itemCount) return nullptr;
    return (SoundBufferItem*)GetLoadedItem(index);
}

// Without an item, nothing is appended.
void AudioManager::GetAudioData(int index, FloatDataBlock* out) {
    SoundBufferItem* item = ItemAt(index);
    if (!item || !item->buffer || !out) return;
    const short* samples = item->buffer->Samples();
    long long n = item->buffer->SampleCount();
    if (!samples) return;
    for (long long i = 0; i < n; i++)
        out->AddVal((float)((float)samples[i] / 16383.0));
}

// Without an item, nothing happens. A factor below 1 (the script's default when the
// argument is left out) counts as 1. When the backend refuses the samples (none at all,
// a channel count or rate it cannot take) the item keeps its previous samples.
void AudioManager::SetAudioData(int index, float* data, int count, int channelCount, int sampleRate,
                                int factor) {
    SoundBufferItem* item = ItemAt(index);
    if (!item) return;
    if (!backend) {
        item->duration = 0.1f;
        return;
    }
    if (factor < 1) factor = 1;
    int m = (data && count > 0) ? count / factor : 0;
    short* samples = new short[m > 0 ? m : 1];
    float scale = 1.0f / (float)factor;
    for (int s = 0; s < m; s++) {
        float sum = 0;
        for (int f = 0; f < factor; f++)
            sum += data[s * factor + f];
        samples[s] = AudioSampleFromFloat(sum * scale);
    }
    if (item->buffer) {
        item->buffer->LoadFromSamples(samples, m, channelCount, sampleRate);
        item->duration = item->buffer->Duration();
    }
    delete[] samples;
}

void AudioManager::SetTime(float time, float step) {
    now = time;
}

// ---- MusicManager ------------------------------------------------------------------

MusicManager::MusicManager() : channelCount(0), channels(nullptr), backend(BackendForNewManager()) {
    SetMaxChannels(8);
}

MusicManager::~MusicManager() {
    ReleaseChannels();
}

void MusicManager::ReleaseChannels() {
    for (int c = 0; c < channelCount; c++)
        delete channels[c];
    delete[] channels;
    channels = nullptr;
    channelCount = 0;
}

void MusicManager::SetPathPrefix(const char* prefix) {
    if (prefix)
        pathPrefix.Assign(prefix);
    else
        pathPrefix.Delete();
}

void MusicManager::SetMaxChannels(int count) {
    if (!backend) return; // the silent variant keeps no channels
    if (count < 0) count = 0;
    ReleaseChannels();
    channels = new MusicStream*[count > 0 ? count : 1];
    for (int c = 0; c < count; c++)
        channels[c] = backend->NewMusic();
    channelCount = count;
}

// Channel numbers come from scripts unchecked; one outside the array selects nothing.
MusicStream* MusicManager::Channel(int channel) {
    if (!channels || channel < 0 || channel >= channelCount) return nullptr;
    return channels[channel];
}

void MusicManager::LoadFile(int channel, const char* path) {
    MusicStream* stream = Channel(channel);
    if (!stream) return;
    std::string full;
    if (pathPrefix.Ptr()) full.assign((const char*)pathPrefix.Ptr(), pathPrefix.Len());
    // A kept terminator is not part of the folder text.
    while (!full.empty() && full.back() == '\0')
        full.pop_back();
    if (path) full += path;
    if (!path || !stream->OpenFromFile(full.c_str())) puts("Error: Music failed to load");
}

void MusicManager::Play(int channel) {
    if (MusicStream* stream = Channel(channel)) stream->Play();
}

void MusicManager::Stop(int channel) {
    if (MusicStream* stream = Channel(channel)) stream->Stop();
}

void MusicManager::SetMusicProps(int channel, float volume, float pitch, bool loop, float x, float y,
                                 float z) {
    MusicStream* stream = Channel(channel);
    if (!stream) return;
    stream->SetVolume(volume * 100);
    stream->SetPitch(pitch);
    stream->SetLoop(loop);
    stream->SetPosition(x, y, z);
}
