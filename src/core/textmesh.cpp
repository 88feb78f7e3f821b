// textmesh: Geometry::CreateText, the font metrics and the text mesh cache.
#include "textmesh.h"
#include "strfuncs.h"
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

FontProps::FontProps() {
    for (int c = 0; c < 256; ++c) {
        width[c] = 0.5f;
        offset[c] = 0;
    }
    for (int c = 'a'; c <= 'z'; ++c)
        width[c] = 0.45f;
    static const struct {
        unsigned char c;
        float w;
    } widths[] = {{' ', 0.23f}, {'!', 0.18f}, {',', 0.18f}, {'.', 0.18f}, {'I', 0.3f},  {'J', 0.3f},
                  {'M', 0.55f}, {'O', 0.58f}, {'Q', 0.55f}, {'S', 0.45f}, {'V', 0.58f}, {'W', 0.68f},
                  {'c', 0.35f}, {'e', 0.38f}, {'f', 0.32f}, {'i', 0.25f}, {'j', 0.25f}, {'l', 0.25f},
                  {'m', 0.62f}, {'n', 0.5f},  {'o', 0.42f}, {'r', 0.35f}, {'s', 0.25f}, {'t', 0.4f},
                  {'w', 0.62f}, {'x', 0.4f},  {'y', 0.4f},  {'z', 0.4f}};
    for (const auto& e : widths)
        width[e.c] = e.w;
    offset[(unsigned char)'o'] = -0.02f;
    offset[(unsigned char)'t'] = -0.05f;
    offset[(unsigned char)'r'] = -0.025f;
}

void Geometry::CreateText(char const* text, FontProps* font, GeomTextParams* params) {
    // A null text builds nothing, like the empty string; a null font uses the default metrics.
    if (!text) text = "";
    static FontProps defaultFont;
    if (!font) font = &defaultFont;
    float letterSpacing = params ? params->letterSpacing : 0.0f;
    int align = params ? params->align : 1;
    float a = params ? params->lineSpacing - 0.25f : -0.25f;
    float L = a * 0.5f + 0.5f;
    float penX = 0;
    int q0 = 0, lines = 0;
    int n = strlength(text);
    static const float corner[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    const float cell = 1.0f / 16.0f;

    // A text whose quads the array cannot take (past the int range) is refused whole, before
    // any record is made or moved: the line passes below then only walk records that exist.
    long long glyphs = 0, feeds = 0;
    for (int i = 0; i < n; ++i) {
        if (text[i] != 10)
            glyphs++;
        else
            feeds++;
    }
    if (quads.Len() + glyphs * 4 * kVertexBytes > INT_MAX) {
        SayMeshTooLarge();
        return;
    }

    // Line j of m sits at its final height from the start, so no line is moved once made.
    // Worked out in double, rounded once: exact where the steps are (as with the default
    // spacing). A single line never depends on the spacing, whatever its value.
    auto lineY = [&](long long j) -> float {
        if (feeds == 0) return -0.5f;
        return (float)(-0.5 + (double)(feeds - 2 * j) * L);
    };
    float penY = lineY(0);

    for (int i = 0; i <= n; ++i) {
        unsigned char c = i < n ? (unsigned char)text[i] : 10;
        if (c == 10) {
            lines += 1;
            float* rec = reinterpret_cast<float*>(quads.Ptr());
            if (align <= 0) {
                float s = align == -1 ? penX : penX * 0.5f;
                for (int r = q0 * 4; r < quadCount * 4; ++r)
                    rec[r * kFloatsPerVertex] -= s;
            }
            q0 = i - lines + 1;
            penX = 0;
            penY = lineY(lines);
            continue;
        }
        float w = font->width[c];
        float o = font->offset[c];
        int column = c % 16, row = c / 16;
        float uc = (column + 0.5f + o) / 16.0f;
        float vt = row / 16.0f;
        for (int k = 0; k < 4; ++k) {
            quads.AddVal(corner[k][0] * w + penX);
            quads.AddVal(corner[k][1] + penY);
            quads.AddVal(corner[k][2]);
            quads.AddVal(0);
            quads.AddVal(0);
            quads.AddVal(1);
            quads.AddVal(k == 0 || k == 3 ? uc - w * 0.5f * cell : uc + w * 0.5f * cell);
            quads.AddVal(k < 2 ? 1 - (vt + cell) : 1 - vt);
        }
        penX = (w + letterSpacing) + penX;
        quadCount += 1;
    }
    quadPtr = reinterpret_cast<float*>(quads.Ptr());
    needsCompile = true;
}

TextObj::TextObj() : id(0), lastDrawn(0) {}

// The mesh (with its GL buffers) goes first, then the text.
TextObj::~TextObj() {}

namespace {

// Layouts match by float equality: -0 finds 0, and a NaN spacing finds nothing.
bool SameText(TextObj* obj, const char* text, const GeomTextParams& params) {
    return obj->params.align == params.align && obj->params.letterSpacing == params.letterSpacing &&
           obj->params.lineSpacing == params.lineSpacing && obj->text.IsEqual(text);
}

unsigned FloatKey(float f) {
    if (f == 0) return 0; // -0 and 0 are equal, so they hash alike
    unsigned bits;
    memcpy(&bits, &f, sizeof bits);
    return bits;
}

} // namespace

// The cached texts by string and layout: open addressing with linear probing, at most half
// full, one slot per key. A slot holds the key's oldest text and its later copies oldest
// first, so the text a walk of `texts` from the oldest would meet is the slot's oldest,
// and adding a copy costs the same however many the key has. Expired texts leave during
// the sweep, which walks every cached text anyway: each slot they leave is filtered once.
// A cached text's `text` and `params` are its key: they stay as built. A layout with a
// NaN spacing equals no other, so such texts are never looked up and not kept here.
struct TextManager::Index {
    struct Slot {
        TextObj* oldest;              // null: free
        std::vector<TextObj*>* later; // null while the key has one text
        unsigned hash;
        bool leaving; // has texts that expire in the current sweep
    };
    // A slot marked in the sweep, known by its oldest text: removals move slots.
    struct Leaving {
        TextObj* oldest;
        unsigned hash;
    };

    Slot* slots = nullptr; // null until the first text
    int size = 0;          // a power of two, or 0
    int used = 0;
    long long probes = 0;
    std::vector<Leaving> left;     // the slots marked in the current sweep
    std::vector<TextObj*> expired; // the texts leaving in the current sweep

    ~Index() {
        for (int i = 0; i < size; ++i)
            delete slots[i].later;
        delete[] slots;
    }

    static bool Unmatchable(const GeomTextParams& params) {
        return std::isnan(params.letterSpacing) || std::isnan(params.lineSpacing);
    }

    // FNV-1a over the bytes and the layout, then mixed so that the low bits, which pick
    // the slot, depend on all of them.
    static unsigned Hash(const char* text, const GeomTextParams& params) {
        unsigned h = 2166136261u;
        for (const unsigned char* c = (const unsigned char*)text; *c; ++c)
            h = (h ^ *c) * 16777619u;
        unsigned layout[3] = {(unsigned)params.align, FloatKey(params.letterSpacing), FloatKey(params.lineSpacing)};
        const unsigned char* bytes = (const unsigned char*)layout;
        for (int i = 0; i < (int)sizeof layout; ++i)
            h = (h ^ bytes[i]) * 16777619u;
        h ^= h >> 16;
        h *= 0x85ebca6bu;
        h ^= h >> 13;
        h *= 0xc2b2ae35u;
        h ^= h >> 16;
        return h;
    }

    // The slot of the key, or -1.
    int Find(const char* text, const GeomTextParams& params, unsigned hash) {
        if (!slots) return -1;
        unsigned mask = (unsigned)size - 1;
        for (unsigned i = hash & mask; ++probes, slots[i].oldest; i = (i + 1) & mask)
            if (slots[i].hash == hash && SameText(slots[i].oldest, text, params)) return (int)i;
        return -1;
    }

    TextObj* Oldest(const char* text, const GeomTextParams& params) {
        if (Unmatchable(params)) return nullptr;
        int i = Find(text, params, Hash(text, params));
        return i < 0 ? nullptr : slots[i].oldest;
    }

    // `obj` is the newest text: it goes last among its key's.
    void Add(TextObj* obj) {
        if (Unmatchable(obj->params)) return;
        const char* text = obj->text.CStr();
        unsigned hash = Hash(text, obj->params);
        int i = Find(text, obj->params, hash);
        if (i >= 0) {
            if (!slots[i].later) slots[i].later = new std::vector<TextObj*>();
            slots[i].later->push_back(obj);
            return;
        }
        if ((used + 1) * 2 > size) Resize(size ? size * 2 : 64);
        Place(Slot{obj, nullptr, hash, false});
    }

    void Place(const Slot& slot) {
        unsigned mask = (unsigned)size - 1;
        unsigned i = slot.hash & mask;
        while (++probes, slots[i].oldest)
            i = (i + 1) & mask;
        slots[i] = slot;
        used += 1;
    }

    void Resize(int newSize) {
        Slot* old = slots;
        int oldSize = size;
        slots = new Slot[newSize]();
        size = newSize;
        used = 0;
        for (int i = 0; i < oldSize; ++i)
            if (old[i].oldest) Place(old[i]);
        delete[] old;
    }

    // Moves later slots of the run back into the hole when their home slot allows it, so
    // that no run is broken.
    void Remove(unsigned i) {
        unsigned mask = (unsigned)size - 1;
        for (unsigned j = (i + 1) & mask; ++probes, slots[j].oldest; j = (j + 1) & mask) {
            unsigned home = slots[j].hash & mask;
            bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
            if (stays) continue;
            slots[i] = slots[j];
            i = j;
        }
        slots[i] = Slot{};
        used -= 1;
    }

    // Takes out a text about to expire. The only text of its key goes at once; another
    // one's slot is marked for Prune, and the text must stay until then (false). A text
    // put into `texts` from outside was never added: its key may find no slot, or one it
    // is not in.
    bool Leave(TextObj* obj) {
        if (Unmatchable(obj->params)) return true;
        const char* text = obj->text.CStr();
        int i = Find(text, obj->params, Hash(text, obj->params));
        if (i < 0) return true;
        Slot& slot = slots[i];
        if (slot.oldest == obj && !slot.later && !slot.leaving) {
            Remove(i);
            return true;
        }
        if (!slot.leaving) {
            slot.leaving = true;
            left.push_back(Leaving{slot.oldest, slot.hash});
        }
        return false;
    }

    // Drops the expired texts from the marked slots, before any of them is freed.
    template <class Expired> void Prune(Expired isExpired) {
        unsigned mask = (unsigned)size - 1;
        for (const Leaving& leaving : left) {
            unsigned i = leaving.hash & mask;
            while (++probes, slots[i].oldest && slots[i].oldest != leaving.oldest)
                i = (i + 1) & mask;
            if (!slots[i].oldest) continue; // not indexed after all
            Slot& slot = slots[i];
            slot.leaving = false;
            std::vector<TextObj*>* later = slot.later;
            if (later) later->erase(std::remove_if(later->begin(), later->end(), isExpired), later->end());
            if (isExpired(slot.oldest)) {
                if (later && !later->empty()) {
                    slot.oldest = later->front();
                    later->erase(later->begin());
                } else {
                    delete later;
                    Remove(i);
                    continue;
                }
            }
            if (later && later->empty()) {
                delete later;
                slot.later = nullptr;
            }
        }
        left.clear();
        // Gives back most of the table once the cache has emptied out.
        if (size > 64 && used * 8 < size) {
            int newSize = 64; // at most a quarter full, well below the next growth
            while (used * 4 > newSize)
                newSize *= 2;
            Resize(newSize);
        }
    }
};

TextManager::TextManager() : lastId(-1), lifetime(5.0f), now(0), index(new Index()) {
    texts.freeItem = VLQ::DeleteAs<TextObj>;
}

TextManager::~TextManager() {
    delete index;
}

long long TextManager::IndexProbes() const {
    return index->probes;
}

int TextManager::AddText(char const* text, GeomTextParams* params) {
    if (!text) text = "";
    TextObj* obj = new TextObj();
    lastId += 1;
    texts.Add(obj);
    obj->mesh.CreateText(text, &font, params);
    obj->id = lastId;
    obj->params = GeomTextParams();
    if (params) obj->params = *params;
    obj->text.SetString(text);
    index->Add(obj);
    return obj->id;
}

void TextManager::Draw(int id) {
    for (int i = 0; i < texts.Count(); ++i) {
        TextObj* obj = static_cast<TextObj*>(texts.Get(i));
        if (obj->id == id) {
            obj->mesh.Draw();
            obj->lastDrawn = now;
            return;
        }
    }
}

void TextManager::CreateDrawText(char const* text, GeomTextParams* params) {
    if (!text) text = "";
    GeomTextParams wanted;
    if (params) wanted = *params;
    TextObj* obj = index->Oldest(text, wanted);
    // A new text has the newest id and is the last in `texts`: the one a lookup of its
    // id would draw, found without the walk.
    if (!obj) {
        AddText(text, params);
        obj = static_cast<TextObj*>(texts.Get(texts.Count() - 1));
    }
    obj->mesh.Draw();
    obj->lastDrawn = now;
}

void TextManager::TimeStep(float newNow, float step) {
    now = newNow;
    float before = newNow - step;
    // Expiry is checked once per whole second of game time.
    if (std::trunc(newNow) == std::trunc(before)) return;
    auto isExpired = [this](TextObj* obj) { return now - obj->lastDrawn > lifetime; };
    // One pass, oldest first: the texts that stay move forward in order, then the freed
    // tail is popped, so the list ends (and shrinks) as removing them one by one would,
    // without moving the rest once per removal. The expired ones leave the index before
    // they are freed; those with copies are freed once the index has seen all of them.
    std::vector<TextObj*>& expired = index->expired;
    int kept = 0;
    for (int i = 0; i < texts.Count(); ++i) {
        TextObj* obj = static_cast<TextObj*>(texts.Get(i));
        if (isExpired(obj)) {
            if (index->Leave(obj))
                delete obj;
            else
                expired.push_back(obj);
        } else {
            texts.items[kept++] = obj;
        }
    }
    index->Prune(isExpired);
    for (TextObj* obj : expired)
        delete obj;
    expired.clear();
    while (texts.Count() > kept)
        texts.Pop(-1);
}
