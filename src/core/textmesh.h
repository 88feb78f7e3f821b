// textmesh: text drawn as meshes of textured quads cut from a 16 x 16 glyph grid, the
// per-character metrics of the font, and the text manager that caches the meshes it
// builds and drops those not drawn for a while.
#pragma once
#include "datablock.h"
#include "geometry.h"
#include "vlq.h"

// Layout of a text; a null record means these defaults.
struct GeomTextParams {
    int align = 1;           // above 0 left, -1 right, 0 and other negatives centred
    float letterSpacing = 0; // extra advance after every character, in glyph units
    float lineSpacing = 0;   // lines are lineSpacing + 0.75 apart
};

// Per-byte quad width (glyph units; a cell is 1) and texture window shift (cells).
struct FontProps {
    float width[256];
    float offset[256];

    FontProps();
    ~FontProps() {}
};

// One cached text and its mesh.
class TextObj {
  public:
    DataBlock text;        // the string the mesh was built from (terminated)
    GeomTextParams params; // the layout it was built with
    Geometry mesh;
    int id;
    float lastDrawn; // game time of the last draw

    TextObj();
    ~TextObj();
};

class TextManager {
  public:
    VLQ texts; // TextObj, oldest first, owned
    FontProps font;
    int lastId;
    float lifetime;
    float now;

    TextManager();
    ~TextManager();

    // A null text is taken as the empty string throughout.
    int AddText(char const* text, GeomTextParams* params);
    void Draw(int id);
    void CreateDrawText(char const* text, GeomTextParams* params);
    void TimeStep(float now, float step);

    // Slots examined so far by the lookup of texts by string and layout; the tests read it
    // to see that adding, finding and expiring a text stays short however many copies of
    // it there are.
    long long IndexProbes() const;

  private:
    // `texts` by string and layout, so that a text is found without walking the cache.
    struct Index;
    Index* index;

    TextManager(const TextManager&) = delete;
    TextManager& operator=(const TextManager&) = delete;
};
