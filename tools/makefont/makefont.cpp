// makefont: draws the launcher font texture, a 16 x 16 grid of glyph cells (byte c in
// column c % 16, row c / 16 from the top), from a TrueType font through FreeType.
//
// Each glyph is drawn inside the texture window that the text meshes cut from its cell:
// w cells wide (the engine's FontProps width), centred on the cell centre shifted by the
// FontProps offset, and the full cell high. Glyphs whose ink is wider than their window
// are squeezed horizontally to fit. Bytes 160 to 255 are the Latin-1 characters; control
// bytes and the space stay empty. White ink, coverage in every channel, on transparent black.
//
// Usage: makefont <font.ttf> <out.png> [cell size in pixels, default 64]
#include <SFML/Graphics/Image.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ft2build.h>
#include FT_FREETYPE_H

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

    sf::Image image;
    image.create(16 * cell, 16 * cell, sf::Color(0, 0, 0, 0));
    for (int c = 0; c < 256; ++c) {
        if (!Drawn(c)) continue;
        const int column = c % 16, row = c / 16;
        const double centre = (column + 0.5 + offset[c]) * cell;
        const double room = width[c] * cell - 2 * margin;
        // First at natural width; squeezed when the ink does not fit the window.
        double scale = 1.0;
        for (int attempt = 0; attempt < 2; ++attempt) {
            FT_Matrix m = {(FT_Fixed)std::lround(scale * 0x10000), 0, 0, 0x10000};
            FT_Set_Transform(face, &m, nullptr);
            if (FT_Load_Char(face, (FT_ULong)c, FT_LOAD_RENDER)) break;
            const FT_Bitmap& bm = face->glyph->bitmap;
            if (attempt == 0 && bm.width > room) {
                scale = room / (double)(bm.width + 1);
                continue;
            }
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
            break;
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
