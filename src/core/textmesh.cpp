// textmesh: Geometry::CreateText, the font metrics and the text mesh cache.
#include "textmesh.h"
#include "strfuncs.h"
#include <climits>
#include <cmath>
#include <cstdio>

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
        puts("Error: Mesh too large.");
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

TextManager::TextManager() : lastId(-1), lifetime(5.0f), now(0) {
    texts.freeItem = VLQ::DeleteAs<TextObj>;
}

TextManager::~TextManager() {}

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
    for (int i = 0; i < texts.Count(); ++i) {
        TextObj* obj = static_cast<TextObj*>(texts.Get(i));
        if (obj->params.align == wanted.align && obj->params.letterSpacing == wanted.letterSpacing &&
            obj->params.lineSpacing == wanted.lineSpacing && obj->text.IsEqual(text)) {
            obj->mesh.Draw();
            obj->lastDrawn = now;
            return;
        }
    }
    Draw(AddText(text, params));
}

void TextManager::TimeStep(float newNow, float step) {
    now = newNow;
    float before = newNow - step;
    // Expiry is checked once per whole second of game time.
    if (std::trunc(newNow) == std::trunc(before)) return;
    for (int i = 0; i < texts.Count();) {
        TextObj* obj = static_cast<TextObj*>(texts.Get(i));
        if (now - obj->lastDrawn > lifetime) {
            texts.Delete(i);
            delete obj;
        } else {
            ++i;
        }
    }
}
