#include "tests/support/block_font.h"

namespace veldra {

GlyphFont makeBlockFont() {
    GlyphFont font;
    font.lineHeight = blockLineHeight;
    font.ascent = 8;
    font.firstCode = 32;
    for (char32_t code = 32; code < 256; ++code) {
        Glyph g{};
        g.advance = blockAdvance;
        g.left = 1;
        g.offset = static_cast<uint32_t>(font.coverage.size());
        if (code != U' ') {
            g.width = blockInkColumns;
            for (int32_t row = 0; row < blockLineHeight; ++row) {
                const bool inked = row >= blockInkTop && row < blockInkTop + blockInkRows;
                for (int32_t column = 0; column < blockInkColumns; ++column)
                    font.coverage.push_back(inked ? 255 : 0);
            }
        }
        font.glyphs.push_back(g);
    }
    return font;
}

SystemFonts blockSystemFonts() {
    static const GlyphFont font = makeBlockFont();
    return {&font, &font, &font, &font};
}

}  // namespace veldra
