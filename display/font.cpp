#include "display/font.h"

#include <cstddef>

#include "display/display_internal.h"

namespace veldra {
namespace {

constexpr int32_t rowCapacity = 10;  // bytes per glyph row: up to 9 characters + terminator

struct FontState {
    char rows[glyphCount][glyphRows][rowCapacity];  // glyph row texts; filled by setGlyph
    int32_t characterMap[256];                      // byte -> glyph; built by buildFont
};

FontState font{};

// The font as drawn: the byte that selects each glyph (glyph number = position) and its
// rows from top to bottom.
struct GlyphSource {
    uint8_t character;
    const char* rows[glyphRows];
};

constexpr GlyphSource glyphSources[glyphCount] = {
    {'a', {"oooo:::", "oo:oo::", "oo::oo:", "oo:::oo", "ooooooo", "oo:::oo", "oo:::oo"}},
    {'b', {"oooo:::", "oo:oo::", "oo:o:::", "ooooo::", "oo::oo:", "oo:::oo", "oooooo:"}},
    {'c', {"::ooooo", ":oo::::", "oo:::::", "oo:::::", "oo:::::", "oo:::::", ":oooooo"}},
    {'d', {"oooo:::", "oo:oo::", "oo::oo:", "oo:::oo", "oo:::oo", "oo:::oo", "oooooo:"}},
    {'e', {"ooooooo", "oo:::::", "oo:::::", "ooooooo", "oo:::::", "oo:::::", "ooooooo"}},
    {'f', {"ooooooo", "oo:::::", "oo:::::", "ooooo::", "oo:::::", "oo:::::", "oo:::::"}},
    {'g', {"::oooo:", ":oo::::", "oo:::::", "oo:oooo", "oo:::oo", "oo:::oo", ":oooooo"}},
    {'h', {":o::::o", ":o::::o", ":o::::o", ":oooooo", ":o::::o", ":o::::o", ":o::::o"}},
    {'i', {"::oooo:", ":::oo::", ":::oo::", ":::oo::", ":::oo::", ":::oo::", "::oooo:"}},
    {'j', {"::ooooo", ":::::oo", ":::::oo", ":::::oo", "oo:::oo", ":oo:oo:", "::ooo::"}},
    {'k', {"oo::oo:", "oo:oo::", "oooo:::", "ooo::::", "ooooo::", "oo::oo:", "oo:::oo"}},
    {'l', {"oo:::::", "oo:::::", "oo:::::", "oo:::::", "oo:::::", "oo:::::", "ooooooo"}},
    {'m', {"o:::::o", "oo:::oo", "ooo:ooo", "ooooooo", "oo:o:oo", "oo:::oo", "oo:::oo"}},
    {'n', {"oo:::oo", "ooo::oo", "oooo:oo", "oo:oooo", "oo::ooo", "oo:::oo", "oo:::oo"}},
    {'o', {"::ooo::", ":oo:oo:", "oo:::oo", "oo:::oo", "oo:::oo", "oo:::oo", ":ooooo:"}},
    {'p', {"ooooo::", "oo::oo:", "oo:::oo", "oo:::oo", "oooooo:", "oo:::::", "oo:::::"}},
    {'q', {"::ooo::", ":oo:oo:", "oo:::oo", "oo:o:oo", "oo:oooo", "oo::oo:", ":ooo:oo"}},
    {'r', {"ooooo::", "oo::oo:", "oo:::oo", "oooooo:", "oo:oo::", "oo::oo:", "oo:::oo"}},
    {'s', {"::ooooo", ":oo::::", "oo:::::", "ooooooo", ":::::oo", "::::oo:", "ooooo::"}},
    {'t', {"ooooooo", ":::oo::", ":::oo::", ":::oo::", ":::oo::", ":::oo::", ":::oo::"}},
    {'u', {"oo:::oo", "oo:::oo", "oo:::oo", "oo:::oo", "oo:::oo", "oo::oo:", ":oooo::"}},
    {'v', {"oo:::oo", "oo:::oo", ":oo:oo:", ":oo:oo:", "::ooo::", "::ooo::", ":::o:::"}},
    {'w', {"oo:::oo", "oo:::oo", "oo:::oo", "oo:::oo", "oo:o:oo", ":ooooo:", "::o:o::"}},
    {'x', {"oo::::o", ":oo::oo", "::oooo:", ":::oo::", "::oooo:", ":oo::oo", "oo::::o"}},
    {'y', {"oo::::o", ":oo::oo", "::oooo:", ":::oo::", ":::oo::", ":::oo::", ":::oo::"}},
    {'z', {":::::::", ":::::::", "::ooooo", "::::oo:", ":::oo::", "::oo:::", "::ooooo"}},
    {'0', {":ooooo:", "oo:::oo", "oo:::oo", "oo:::oo", "oo:::oo", "oo:::oo", ":ooooo:"}},
    {'1', {":::::oo", ":::::oo", ":::::oo", ":::::oo", ":::::oo", ":::::oo", ":::::oo"}},
    {'2', {":ooooo:", ":::::oo", ":::::oo", ":ooooo:", "oo:::::", "oo:::::", "ooooooo"}},
    {'3', {":ooooo:", ":::::oo", ":::::oo", ":ooooo:", ":::::oo", ":::::oo", ":ooooo:"}},
    {'4', {"oo:::oo", "oo:::oo", "oo:::oo", "ooooooo", ":::::oo", ":::::oo", ":::::oo"}},
    {'5', {"ooooooo", "oo:::::", "oo:::::", "oooooo:", ":::::oo", ":::::oo", ":ooooo:"}},
    {'6', {":ooooo:", "oo:::::", "oo:::::", "oooooo:", "oo:::oo", "oo:::oo", ":ooooo:"}},
    {'7', {":oooooo", ":::::oo", ":::::oo", ":::::oo", ":::::oo", ":::::oo", ":::::oo"}},
    {'8', {":ooooo:", "oo:::oo", "oo:::oo", ":ooooo:", "oo:::oo", "oo:::oo", ":ooooo:"}},
    {'9', {":ooooo:", "oo:::oo", "oo:::oo", ":oooooo", ":::::oo", ":::::oo", ":ooooo:"}},
    {':', {":::::::", ":::::::", ":::o:::", ":::::::", ":::::::", ":::o:::", ":::::::"}},
    {'!', {":::oo::", ":::oo::", ":::oo::", ":::oo::", ":::::::", ":::oo::", ":::oo::"}},
    {'?', {":oooo::", "::::oo:", "::::oo:", ":::oo::", ":::::::", "::oo:::", "::oo:::"}},
    {'-', {":::::::", ":::::::", ":::::::", ":oooooo", ":::::::", ":::::::", ":::::::"}},
    {'=', {":::::::", ":::::::", ":::::::", ":ooooo:", ":::::::", ":ooooo:", ":::::::"}},
    {'+', {":::::::", "::::o::", "::::o::", ":oooooo", "::::o::", "::::o::", "::::o::"}},
    {'[', {"::ooo::", "::o::::", "::o::::", "::o::::", "::o::::", "::o::::", "::ooo::"}},
    {']', {"::ooo::", "::::o::", "::::o::", "::::o::", "::::o::", "::::o::", "::ooo::"}},
    {' ', {":::::::", ":::::::", ":::::::", ":::::::", ":::::::", ":::::::", ":::::::"}},
    {'.', {":::::::", ":::::::", ":::::::", ":::::::", ":::::::", ":::oo::", ":::oo::"}},
    {',', {":::::::", ":::::::", ":::::::", ":::::::", "::::o::", "::::o::", ":::o:::"}},
    {'>', {":o:::::", "::o::::", ":::o:::", "::::o::", ":::o:::", "::o::::", ":o:::::"}},
    {'<', {"::::o::", ":::o:::", "::o::::", ":o:::::", "::o::::", ":::o:::", "::::o::"}},
    {'#', {"::o:o::", "::o:o::", ":ooooo:", "::o:o::", "::o:o::", ":ooooo:", "::o:o::"}},
    {'\'', {":::o:::", ":::o:::", "::o::::", ":::::::", ":::::::", ":::::::", ":::::::"}},
    {'@', {"::ooo::", ":o:::o:", "o::oo:o", "o:o:::o", "o::oooo", ":o:::::", "::oooo:"}},
    {'/', {"::::::o", ":::::o:", "::::o::", ":::o:::", "::o::::", ":o:::::", "o::::::"}},
    {'\\', {"o::::::", ":o:::::", "::o::::", ":::o:::", "::::o::", ":::::o:", "::::::o"}},
    {228, {"oo:::oo", ":::::::", "oooo:::", "oo::oo:", "ooooooo", "oo:::oo", "oo:::oo"}},
    {252, {"oo:::oo", ":::::::", "oo:::oo", "oo:::oo", "oo:::oo", "oo::oo:", ":oooo::"}},
    {246, {"oo:::oo", ":::::::", "::ooo::", ":oo:oo:", "oo:::oo", "oo:::oo", ":ooooo:"}},
};

void copyRow(char* target, const char* source) {
    int32_t n = 0;
    if (source != nullptr) {
        for (; n < rowCapacity - 1 && source[n] != '\0'; ++n)
            target[n] = source[n];
    }
    for (; n < rowCapacity; ++n)
        target[n] = '\0';
}

// One glyph cell; the element is computed wide so that no x or y can overflow it, and
// writes outside the pixel buffer are dropped. A cell off the surface is counted, as a
// point is (surface.h).
inline void storeCell(Surface& s, int64_t x, int64_t y, uint16_t colour) {
    if (x < 0 || x >= s.width || y < 0 || y >= s.height)
        display_internal::state().offLayerWrites += 1;
    const int64_t element = y * s.width + x;
    if (element < 0 || element >= static_cast<int64_t>(s.width) * s.height) return;
    s.pixels[element] = colour;
}

}  // namespace

void setGlyph(int32_t glyph, const char* row0, const char* row1, const char* row2, const char* row3,
              const char* row4, const char* row5, const char* row6) {
    if (glyph < 0 || glyph >= glyphCount) return;
    const char* const source[glyphRows] = {row0, row1, row2, row3, row4, row5, row6};
    for (int32_t k = 0; k < glyphRows; ++k)
        copyRow(font.rows[glyph][k], source[k]);
}

void buildFont() {
    for (int32_t g = 0; g < glyphCount; ++g) {
        const char* const* r = glyphSources[g].rows;
        setGlyph(g, r[0], r[1], r[2], r[3], r[4], r[5], r[6]);
    }
    for (int32_t& entry : font.characterMap)
        entry = blankGlyph;
    for (int32_t g = 0; g < glyphCount; ++g)
        font.characterMap[glyphSources[g].character] = g;
}

void rasterText(Surface& surface, const char* text, int32_t x0, int32_t y0, uint16_t colour) {
    if (text == nullptr) return;
    // Wide so that no caller's x or y can overflow the advance or a cell's position.
    int64_t x = x0;
    int64_t y = y0;
    for (const char* p = text; *p != '\0'; ++p) {
        uint8_t c = static_cast<uint8_t>(*p);
        if (c == 10 || c == 13) {
            x = 400;
        } else if (c == 8) {
            if (x > 2) x -= glyphAdvance;
        } else {
            if (c >= 'A' && c <= 'Z') c = static_cast<uint8_t>(c + 32);
            const auto& rows = font.rows[font.characterMap[c]];
            for (int32_t k = 0; k < glyphRows; ++k) {
                for (int32_t j = 0; j < glyphRows && rows[k][j] != '\0'; ++j) {
                    if (rows[k][j] == 'o') storeCell(surface, x + j, y + k, colour);
                }
            }
            x += glyphAdvance;
        }
        if (x > 230) {
            x = 2;
            if (y < 300) y += 9;
        }
    }
}

void resetFont() {
    font = FontState{};
}

}  // namespace veldra
