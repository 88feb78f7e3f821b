// makefont: draws the launcher font texture, a 16 x 16 grid of glyph cells (byte c in
// column c % 16, row c / 16 from the top), from a TrueType font through FreeType.
//
// Each glyph is drawn inside the texture window that the text meshes cut from its cell:
// w cells wide (the engine's FontProps width), centred on the cell centre shifted by the
// FontProps offset, and the full cell high. Glyphs whose ink is wider than their window
// are squeezed horizontally to fill it, bar a hairline on each side, and widened again by
// what the squeeze took from their vertical strokes, so that they keep the weight of their
// unsqueezed neighbours. Bytes 160 to 255 are the Latin-1 characters; control bytes and the
// space stay empty. White ink, coverage in every channel, on transparent black.
//
// Usage: makefont <font.ttf> <out.png> [cell size in pixels, default 64]
#include <SFML/Graphics/Image.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BBOX_H
#include FT_OUTLINE_H

namespace {

// Must match FontProps in src/core/textmesh.cpp; tests/test_textmesh.cpp checks the
// committed texture against the engine's tables.
void Metrics(float width[256], float offset[256]) {
    for (int c = 0; c < 256; ++c) {
        width[c] = 0.5f;
        offset[c] = 0;
    }
    for (int c = 'a'; c <= 'z'; ++c)
        width[c] = 0.45f;
    const struct {
        unsigned char c;
        float w;
    } table[] = {{' ', 0.23f}, {'!', 0.18f}, {',', 0.18f}, {'.', 0.18f}, {'I', 0.3f},  {'J', 0.3f},
                 {'M', 0.55f}, {'O', 0.58f}, {'Q', 0.55f}, {'S', 0.45f}, {'V', 0.58f}, {'W', 0.68f},
                 {'c', 0.35f}, {'e', 0.38f}, {'f', 0.32f}, {'i', 0.25f}, {'j', 0.25f}, {'l', 0.25f},
                 {'m', 0.62f}, {'n', 0.5f},  {'o', 0.42f}, {'r', 0.35f}, {'s', 0.25f}, {'t', 0.4f},
                 {'w', 0.62f}, {'x', 0.4f},  {'y', 0.4f},  {'z', 0.4f}};
    for (const auto& e : table)
        width[e.c] = e.w;
    offset['o'] = -0.02f;
    offset['t'] = -0.05f;
    offset['r'] = -0.025f;
}

bool Drawn(int c) {
    return (c > 32 && c < 127) || c >= 160;
}

// Loads the glyph's outline, squeezed to scale across and widened by extra pixels.
bool LoadOutline(FT_Face face, int c, double scale, double extra) {
    FT_Matrix m = {(FT_Fixed)std::lround(scale * 0x10000), 0, 0, 0x10000};
    FT_Set_Transform(face, &m, nullptr);
    if (FT_Load_Char(face, (FT_ULong)c, FT_LOAD_DEFAULT) || face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
        return false;
    if (extra > 0) FT_Outline_EmboldenXY(&face->glyph->outline, (FT_Pos)std::lround(extra * 64), 0);
    return true;
}

double OutlineWidth(FT_Face face) {
    FT_BBox box;
    FT_Outline_Get_BBox(&face->glyph->outline, &box);
    return (box.xMax - box.xMin) / 64.0;
}

// The font's vertical stroke: the width of its 'l', a plain stem in most sans faces.
double StemWidth(FT_Face face) {
    return LoadOutline(face, 'l', 1.0, 0) ? OutlineWidth(face) : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: %s <font.ttf> <out.png> [cell]\n", argv[0]);
        return 2;
    }
    const int cell = argc > 3 ? atoi(argv[3]) : 64;
    if (cell < 8 || cell > 512) {
        fprintf(stderr, "cell size must be 8 to 512\n");
        return 2;
    }
    float width[256], offset[256];
    Metrics(width, offset);

    FT_Library lib;
    FT_Face face;
    if (FT_Init_FreeType(&lib) || FT_New_Face(lib, argv[1], 0, &face)) {
        fprintf(stderr, "cannot open font %s\n", argv[1]);
        return 1;
    }
    // Ascender and descender fit the cell with a small margin; the baseline sits where
    // the descender just fits.
    const int pixelSize = (int)std::lround(cell * 0.72);
    FT_Set_Pixel_Sizes(face, 0, pixelSize);
    const int baseline = (int)std::lround(cell * 0.78);
    const int margin = cell / 32 > 0 ? cell / 32 : 1;

    const double stem = StemWidth(face);
    // A squeezed glyph's outline stops this far short of each window edge.
    const double hairline = cell / 128.0;

    sf::Image image;
    image.create(16 * cell, 16 * cell, sf::Color(0, 0, 0, 0));
    for (int c = 0; c < 256; ++c) {
        if (!Drawn(c)) continue;
        const int column = c % 16, row = c / 16;
        const double centre = (column + 0.5 + offset[c]) * cell;
        const double window = width[c] * cell;
        const double room = window - 2 * margin;
        // The pixels that the window touches.
        const int first = (int)std::floor(centre - window / 2), end = (int)std::ceil(centre + window / 2);
        // First at natural width; squeezed when the ink does not fit the window.
        if (!LoadOutline(face, c, 1.0, 0)) continue;
        const double natural = OutlineWidth(face);
        if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL)) continue;
        if (face->glyph->bitmap.width > room) {
            // Squeezing by k thins the vertical strokes to k * stem; widening by
            // (1 - k) * stem gives their weight back. k is chosen so that the widened
            // outline spans the window less the hairlines; rounding may ask for less.
            for (double target = window - 2 * hairline; target > 1; target -= 0.25) {
                double k =
                    stem < target && stem < natural ? (target - stem) / (natural - stem) : target / natural;
                if (k > 1) k = 1; // never wider than drawn
                if (!LoadOutline(face, c, k, (1 - k) * stem) ||
                    FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL))
                    break;
                const int w = (int)face->glyph->bitmap.width;
                const int left = (int)std::floor(centre - w / 2.0 + 0.5);
                if (left >= first && left + w <= end) break;
            }
        }
        const FT_Bitmap& bm = face->glyph->bitmap;
        const int left = (int)std::floor(centre - bm.width / 2.0 + 0.5);
        const int top = row * cell + baseline - face->glyph->bitmap_top;
        for (unsigned y = 0; y < bm.rows; ++y)
            for (unsigned x = 0; x < bm.width; ++x) {
                const int px = left + (int)x, py = top + (int)y;
                // Never outside the glyph's own cell.
                if (px < column * cell || px >= (column + 1) * cell || py < row * cell ||
                    py >= (row + 1) * cell)
                    continue;
                const unsigned char a = bm.buffer[y * bm.pitch + x];
                if (a) image.setPixel(px, py, sf::Color(a, a, a, a));
            }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    if (!image.saveToFile(argv[2])) {
        fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
