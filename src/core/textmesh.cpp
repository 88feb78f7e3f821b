// textmesh: Geometry::CreateText, the font metrics and the text mesh cache.
#include "textmesh.h"
#include "strfuncs.h"
#include <climits>
#include <cmath>
#include <cstring>

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

TextManager::TextManager() : lastId(-1), lifetime(5.0f), now(0), index(nullptr), indexSize(0), indexUsed(0) {
    texts.freeItem = VLQ::DeleteAs<TextObj>;
}

TextManager::~TextManager() {
    delete[] index;
}

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

unsigned TextManager::privHash(const char* text, const GeomTextParams& params) {
    // FNV-1a over the bytes and the layout, then mixed so that the low bits, which pick
    // the slot, depend on all of them.
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

TextObj* TextManager::privFind(const char* text, const GeomTextParams& params, unsigned hash) {
    if (!index) return nullptr;
    unsigned mask = (unsigned)indexSize - 1;
    for (unsigned i = hash & mask; index[i].obj; i = (i + 1) & mask)
        if (index[i].hash == hash && SameText(index[i].obj, text, params)) return index[i].obj;
    return nullptr;
}

void TextManager::privIndex(TextObj* obj, unsigned hash) {
    // At most half full, so that probe runs stay short. A resize indexes `obj` with the
    // others: it is already in `texts`.
    if ((indexUsed + 1) * 2 > indexSize)
        privResizeIndex(indexSize ? indexSize * 2 : 64);
    else
        privPlace(obj, hash);
}

void TextManager::privPlace(TextObj* obj, unsigned hash) {
    unsigned mask = (unsigned)indexSize - 1;
    unsigned i = hash & mask;
    while (index[i].obj)
        i = (i + 1) & mask;
    index[i].obj = obj;
    index[i].hash = hash;
    indexUsed += 1;
}

void TextManager::privUnindex(TextObj* obj) {
    if (!index) return;
    unsigned mask = (unsigned)indexSize - 1;
    unsigned i = privHash(obj->text.CStr(), obj->params) & mask;
    // A text is on the run from its home slot; one put into `texts` from outside is not
    // indexed, and the run ends without it.
    for (; index[i].obj != obj; i = (i + 1) & mask)
        if (!index[i].obj) return;
    // Move later entries of the run back into the hole when their home slot allows it,
    // so that no run is broken; entries keep their order along the run.
    for (unsigned j = (i + 1) & mask; index[j].obj; j = (j + 1) & mask) {
        unsigned home = index[j].hash & mask;
        bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
        if (stays) continue;
        index[i] = index[j];
        i = j;
    }
    index[i].obj = nullptr;
    indexUsed -= 1;
}

void TextManager::privResizeIndex(int size) {
    delete[] index;
    index = new IndexSlot[size];
    for (int i = 0; i < size; ++i)
        index[i].obj = nullptr;
    indexSize = size;
    indexUsed = 0;
    // Oldest first, so that texts with the same key keep their order along a run.
    for (int i = 0; i < texts.Count(); ++i) {
        TextObj* obj = static_cast<TextObj*>(texts.Get(i));
        privPlace(obj, privHash(obj->text.CStr(), obj->params));
    }
}

TextObj* TextManager::privAdd(const char* text, GeomTextParams* params, unsigned hash) {
    TextObj* obj = new TextObj();
    lastId += 1;
    texts.Add(obj);
    obj->mesh.CreateText(text, &font, params);
    obj->id = lastId;
    obj->params = GeomTextParams();
    if (params) obj->params = *params;
    obj->text.SetString(text);
    privIndex(obj, hash);
    return obj;
}

int TextManager::AddText(char const* text, GeomTextParams* params) {
    if (!text) text = "";
    GeomTextParams key;
    if (params) key = *params;
    return privAdd(text, params, privHash(text, key))->id;
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
    unsigned hash = privHash(text, wanted);
    TextObj* obj = privFind(text, wanted, hash);
    // A new text has the newest id, so it is the one a lookup of that id would draw.
    if (!obj) obj = privAdd(text, params, hash);
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
            privUnindex(obj);
            delete obj;
        } else {
            texts.items[kept++] = obj;
        }
    }
    while (texts.Count() > kept)
        texts.Pop(-1);
    // Give back most of the index once the cache has emptied out.
    if (indexSize > 64 && indexUsed * 8 < indexSize) {
        int size = 64; // at most a quarter full, well below the next growth
        while (indexUsed * 4 > size)
            size *= 2;
        privResizeIndex(size);
    }
}
