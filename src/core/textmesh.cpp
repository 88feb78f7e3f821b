// textmesh: Geometry::CreateText, the font metrics and the text mesh cache.
#include "textmesh.h"
#include "strfuncs.h"
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

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
    float penX = 0, penY = -0.5f;
    int q0 = 0, lines = 0;
    int n = strlength(text);
    static const float corner[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    const float cell = 1.0f / 16.0f;

    // A text whose quads the array cannot take (past the int range) is refused whole, before
    // any record is made or moved: the line passes below then only walk records that exist.
    long long glyphs = 0;
    for (int i = 0; i < n; ++i)
        if (text[i] != 10) glyphs++;
    if (quads.Len() + glyphs * 4 * kVertexBytes > INT_MAX) {
        SayMeshTooLarge();
        return;
    }

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
            if (i < n)
                for (int r = 0; r < quadCount * 4; ++r)
                    rec[r * kFloatsPerVertex + 1] += L;
            penX = 0;
            penY = penY - L;
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

// The cached texts by string and layout. Each key has one group that lists its texts
// oldest first, so the text a walk of `texts` from the oldest would meet is the group's
// first, and adding or removing one copy costs the same however many the key has. A
// cached text's `text` and `params` are its key: they stay as built. A layout with a NaN
// spacing equals no other (float equality), so such texts are never looked up and not
// kept here; -0 finds 0.
struct TextManager::Index {
    struct Key {
        std::string_view text;
        GeomTextParams params;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const {
            size_t h = std::hash<std::string_view>()(k.text);
            for (unsigned v : {(unsigned)k.params.align, FloatBits(k.params.letterSpacing),
                               FloatBits(k.params.lineSpacing)})
                h = (h ^ v) * 0x100000001b3ull;
            return h ^ (h >> 29);
        }
        static unsigned FloatBits(float f) {
            if (f == 0) return 0; // -0 and 0 are equal, so they hash alike
            unsigned bits;
            memcpy(&bits, &f, sizeof bits);
            return bits;
        }
    };
    struct KeyEqual {
        long long* compares;
        bool operator()(const Key& a, const Key& b) const {
            *compares += 1;
            return a.params.align == b.params.align && a.params.letterSpacing == b.params.letterSpacing &&
                   a.params.lineSpacing == b.params.lineSpacing && a.text == b.text;
        }
    };
    struct PtrEqual {
        long long* compares;
        bool operator()(const TextObj* a, const TextObj* b) const {
            *compares += 1;
            return a == b;
        }
    };

    struct Copy;
    struct Group {
        std::string text; // what the key's view shows
        GeomTextParams params;
        Copy* oldest = nullptr;
        Copy* newest = nullptr;
    };
    struct Copy {
        TextObj* obj;
        Group* group;
        Copy* older;
        Copy* newer;
    };

    long long compares = 0;
    std::unordered_map<Key, std::unique_ptr<Group>, KeyHash, KeyEqual> groups;
    std::unordered_map<const TextObj*, Copy, std::hash<const TextObj*>, PtrEqual> copies;

    Index() : groups(0, KeyHash(), KeyEqual{&compares}), copies(0, std::hash<const TextObj*>(), PtrEqual{&compares}) {}

    static bool Unmatchable(const GeomTextParams& p) {
        return std::isnan(p.letterSpacing) || std::isnan(p.lineSpacing);
    }

    TextObj* Oldest(const char* text, const GeomTextParams& params) {
        if (Unmatchable(params)) return nullptr;
        auto it = groups.find(Key{text, params});
        return it == groups.end() ? nullptr : it->second->oldest->obj;
    }

    // `obj` is the newest text: it goes last in its group.
    void Add(TextObj* obj) {
        if (Unmatchable(obj->params)) return;
        Key key{obj->text.CStr(), obj->params};
        auto it = groups.find(key);
        if (it == groups.end()) {
            auto group = std::make_unique<Group>();
            group->text = key.text;
            group->params = key.params;
            Key own{group->text, group->params};
            it = groups.emplace(own, std::move(group)).first;
        }
        Group* group = it->second.get();
        Copy& copy = copies[obj];
        copy = Copy{obj, group, group->newest, nullptr};
        (group->newest ? group->newest->newer : group->oldest) = &copy;
        group->newest = &copy;
    }

    // A text put into `texts` from outside was never added, and is not found here.
    void Remove(TextObj* obj) {
        auto it = copies.find(obj);
        if (it == copies.end()) return;
        Copy& copy = it->second;
        Group* group = copy.group;
        (copy.older ? copy.older->newer : group->oldest) = copy.newer;
        (copy.newer ? copy.newer->older : group->newest) = copy.older;
        copies.erase(it);
        if (!group->oldest) groups.erase(groups.find(Key{group->text, group->params}));
    }

    // Gives back most of the tables once the cache has emptied out.
    void Shrink() {
        if (copies.bucket_count() > 64 && copies.size() * 8 < copies.bucket_count()) copies.rehash(0);
        if (groups.bucket_count() > 64 && groups.size() * 8 < groups.bucket_count()) groups.rehash(0);
    }
};

TextManager::TextManager() : lastId(-1), lifetime(5.0f), now(0), index(new Index()) {
    texts.freeItem = VLQ::DeleteAs<TextObj>;
}

TextManager::~TextManager() {
    delete index;
}

long long TextManager::IndexCompares() const {
    return index->compares;
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
    // One pass, oldest first: the texts that stay move forward in order, then the freed
    // tail is popped, so the list ends (and shrinks) as removing them one by one would,
    // without moving the rest once per removal.
    int kept = 0;
    for (int i = 0; i < texts.Count(); ++i) {
        TextObj* obj = static_cast<TextObj*>(texts.Get(i));
        if (now - obj->lastDrawn > lifetime) {
            index->Remove(obj);
            delete obj;
        } else {
            texts.items[kept++] = obj;
        }
    }
    while (texts.Count() > kept)
        texts.Pop(-1);
    index->Shrink();
}
