#include "platform/canvas/glyph_font.h"

#include <algorithm>

namespace veldra {

const GlyphFont& fontForPoints(const SystemFonts& fonts, int32_t points) {
    if (points <= 8) return *fonts.small;
    if (points >= 10) return *fonts.large;
    return *fonts.text;
}

const Glyph* glyphFor(const GlyphFont& font, char32_t code) {
    const size_t count = font.glyphs.size();
    if (code >= font.firstCode && code - font.firstCode < count)
        return &font.glyphs[code - font.firstCode];
    if (U'?' >= font.firstCode && U'?' - font.firstCode < count)
        return &font.glyphs[U'?' - font.firstCode];
    return nullptr;
}

char32_t nextCodePoint(std::string_view text, size_t& position) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(position++);
    if (lead < 0x80) return lead;
    int32_t followers = 0;
    char32_t code = 0;
    if ((lead & 0xE0) == 0xC0) {
        followers = 1;
        code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        followers = 2;
        code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        followers = 3;
        code = lead & 0x07;
    } else {
        return U'?';
    }
    for (int32_t i = 0; i < followers; ++i) {
        if (position >= text.size() || (byte(position) & 0xC0) != 0x80) return U'?';
        code = (code << 6) | (byte(position++) & 0x3F);
    }
    return code;
}

int32_t textWidth(const GlyphFont& font, std::string_view text) {
    int32_t width = 0;
    for (size_t i = 0; i < text.size();) {
        const char32_t code = nextCodePoint(text, i);
        if (code == U'\n') continue;
        if (const Glyph* glyph = glyphFor(font, code)) width += glyph->advance;
    }
    return width;
}

namespace {

// An RGB565 pixel as a colour reference, each channel widened by repeating its top bits.
ColourRef colourOf(uint16_t pixel) {
    const uint32_t r = (pixel >> 11) & 0x1F;
    const uint32_t g = (pixel >> 5) & 0x3F;
    const uint32_t b = pixel & 0x1F;
    return ((r << 3) | (r >> 2)) | (((g << 2) | (g >> 4)) << 8) | (((b << 3) | (b >> 2)) << 16);
}

// Pen positions and maps of a line, handed to plot(x, y, coverage) for each covered pixel.
template <typename Plot>
void rasterizeLine(const GlyphFont& font, std::string_view line, int32_t x, int32_t top,
                   Plot&& plot) {
    int32_t pen = x;
    for (size_t i = 0; i < line.size();) {
        const char32_t code = nextCodePoint(line, i);
        if (code == U'\n') continue;
        const Glyph* glyph = glyphFor(font, code);
        if (glyph == nullptr) continue;
        const uint8_t* map = font.coverage.data() + glyph->offset;
        for (int32_t row = 0; row < font.lineHeight; ++row) {
            for (int32_t column = 0; column < glyph->width; ++column) {
                const uint8_t amount = map[row * glyph->width + column];
                if (amount != 0) plot(pen + glyph->left + column, top + row, amount);
            }
        }
        pen += glyph->advance;
    }
}

}  // namespace

void drawTextLine(const PixelCanvas& canvas, const GlyphFont& font, std::string_view line,
                  int32_t x, int32_t top, ColourRef textColour, ColourRef backgroundColour) {
    fillRect(canvas, {x, top, x + textWidth(font, line), top + font.lineHeight},
             blendColours(backgroundColour, textColour, 0));
    rasterizeLine(font, line, x, top, [&](int32_t px, int32_t py, uint8_t amount) {
        putPixel(canvas, px, py, blendColours(backgroundColour, textColour, amount));
    });
}

void drawTextLineOver(const PixelCanvas& canvas, const GlyphFont& font, std::string_view line,
                      int32_t x, int32_t top, ColourRef textColour) {
    rasterizeLine(font, line, x, top, [&](int32_t px, int32_t py, uint8_t amount) {
        if (!rectContains(canvas.clip, px, py)) return;
        putPixel(canvas, px, py,
                 blendColours(colourOf(pixelAt(canvas, px, py)), textColour, amount));
    });
}

namespace text_detail {

size_t wordEnd(std::string_view text, size_t position) {
    while (position < text.size() && text[position] != ' ' && text[position] != '\n')
        ++position;
    return position;
}

size_t fittingEnd(const GlyphFont& font, std::string_view text, size_t begin, size_t stop,
                  int32_t width) {
    const auto nextCharacter = [&](size_t at) {
        ++at;
        while (at < stop && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
            ++at;  // a UTF-8 continuation byte belongs to the character before
        return at;
    };
    size_t end = nextCharacter(begin);
    for (size_t next = nextCharacter(end);
         next <= stop && textWidth(font, text.substr(begin, next - begin)) <= width;
         next = nextCharacter(next)) {
        end = next;
        if (next == stop) break;
    }
    const size_t slash = text.substr(0, end).rfind('/');
    return slash != std::string_view::npos && slash > begin ? slash + 1 : end;
}

}  // namespace text_detail

void drawText(const PixelCanvas& canvas, const GlyphFont& font, std::string_view text,
              const Rect& rect, uint32_t flags, ColourRef textColour, ColourRef backgroundColour) {
    const PixelCanvas target = (flags & textNoClip) != 0 ? canvas : clippedCanvas(canvas, rect);
    const int32_t width = rect.right - rect.left;
    int32_t top = rect.top;
    layOutText(
        font, text, width, (flags & textWordBreak) != 0,
        [&](const TextLine& line) {
            const int32_t x =
                (flags & textCentre) != 0 ? rect.left + (width - line.width) / 2 : rect.left;
            drawTextLine(target, font, text.substr(line.begin, line.end - line.begin), x, top,
                         textColour, backgroundColour);
            top += font.lineHeight;
        },
        (flags & textBreakLongWords) != 0);
}

int32_t textHeight(const GlyphFont& font, std::string_view text, int32_t width, bool wordBreak,
                   bool breakLongWords) {
    return layOutText(
               font, text, width, wordBreak, [](const TextLine&) {}, breakLongWords) *
           font.lineHeight;
}

}  // namespace veldra
