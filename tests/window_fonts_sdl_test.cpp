// The built-in fonts, rendered from DejaVu Sans through SDL_ttf when the program was built:
// sizes, the information text's widest line fitting the screen, and lines drawn glyph by
// glyph from the tables matching SDL_ttf's own rendering of the same line now.
#include <SDL2/SDL_ttf.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/canvas/glyph_font.h"
#include "platform/fonts/fonts.h"

namespace veldra {
namespace {

// About the handheld's system fonts: the text 13 to 16 pixels a line, small below, large
// above, the title bolder. The information text's widest line fits the 240-pixel client
// area unbroken; a character outside the faces' range draws as their '?'. Lines drawn
// glyph by glyph match SDL_ttf's own rendering of the same line: only where the edges of
// neighbouring glyphs overlap may the two differ. SDL_ttf moves a line right by the
// overhang of its first glyph; ours starts at the pen, so ours is drawn at that offset.
TEST(SystemFontsTest, SizesOfTheHandheldsFontsAndLinesAsSdlTtfDrawsThem) {
    const BuiltInFonts& fonts = builtInFonts();
    EXPECT_GE(fonts.text.lineHeight, 13);
    EXPECT_LE(fonts.text.lineHeight, 16);
    EXPECT_LT(fonts.small.lineHeight, fonts.text.lineHeight);
    EXPECT_GT(fonts.large.lineHeight, fonts.text.lineHeight);
    EXPECT_LT(textWidth(fonts.text, "String 1 is: E 2, i.e.   82.40 Hz."), 240);
    EXPECT_GT(textWidth(fonts.title, "Veldra -- Guitar"),
              textWidth(fonts.text, "Veldra -- Guitar"));
    EXPECT_EQ(textWidth(fonts.text, "\xE4\xB8\xAD"), textWidth(fonts.text, "?"));
    ASSERT_EQ(TTF_Init(), 0);
    TTF_Font* ttf = TTF_OpenFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 12);
    ASSERT_NE(ttf, nullptr);
    TTF_SetFontKerning(ttf, 0);
    for (const char* line :
         {"Veldra -- Guitar", "String 4 is: G 3, i.e.  195.98 Hz.", "You chose Cello, AVAT Wo"}) {
        SDL_Surface* s = TTF_RenderUTF8_Shaded(ttf, line, {255, 255, 255, 255}, {0, 0, 0, 255});
        ASSERT_NE(s, nullptr);
        const int32_t start = -glyphFor(fonts.text, static_cast<unsigned char>(line[0]))->left,
                      width = s->w + 8;
        std::vector<uint16_t> memory(static_cast<size_t>(width * s->h), 0);
        drawTextLine({memory.data(), 1, width, {0, 0, width, s->h}}, fonts.text, line, start, 0,
                     0xFFFFFF, 0x000000);
        int32_t differing = 0, inked = 0;
        for (int32_t y = 0; y < s->h; ++y) {
            for (int32_t x = 0; x < s->w; ++x) {
                const uint8_t theirs =
                    s->format->palette->colors[static_cast<uint8_t*>(s->pixels)[y * s->pitch + x]]
                        .r;
                const int32_t ours = (memory[static_cast<size_t>(y * width + x)] >> 5 & 0x3F)
                                     << 2;  // green, 8 bits
                inked += theirs > 128;
                differing += std::abs((theirs & 0xFC) - ours) > 4;
            }
        }
        EXPECT_GT(inked, 50) << line;
        EXPECT_LE(differing, inked / 50) << line << ": " << differing << " of " << inked;
        EXPECT_NEAR(textWidth(fonts.text, line) + start, s->w, 1) << line;
        SDL_FreeSurface(s);
    }
    TTF_CloseFont(ttf);
    TTF_Quit();
}

}  // namespace
}  // namespace veldra
