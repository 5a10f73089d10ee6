#include "tests/support/block_font.h"

#include <vector>

namespace veldra {

GlyphFont makeBlockFont() {
    static std::vector<Glyph> glyphs;
    static std::vector<uint8_t> coverage;
    if (glyphs.empty()) {
        for (char32_t code = 32; code < 256; ++code) {
            Glyph g{};
            g.advance = blockAdvance;
            g.left = 1;
            g.offset = static_cast<uint32_t>(coverage.size());
            if (code != U' ') {
                g.width = blockInkColumns;
                for (int32_t row = 0; row < blockLineHeight; ++row) {
                    const bool inked = row >= blockInkTop && row < blockInkTop + blockInkRows;
                    for (int32_t column = 0; column < blockInkColumns; ++column)
                        coverage.push_back(inked ? 255 : 0);
                }
            }
            glyphs.push_back(g);
        }
    }
    return {blockLineHeight, 8, 32, glyphs, coverage};
}

SystemFonts blockSystemFonts() {
    static const GlyphFont font = makeBlockFont();
    return {&font, &font, &font, &font};
}

}  // namespace veldra
