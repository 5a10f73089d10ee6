#include "platform/backends/font_loader.h"

#include <SDL2/SDL_ttf.h>
#include <unistd.h>

#include <algorithm>

namespace veldra {
namespace {

constexpr char32_t firstCode = 32;
constexpr char32_t lastCode = 255;

const char* const fontFolders[] = {
    "/usr/share/fonts/truetype/dejavu/",    // Debian, Ubuntu
    "/usr/share/fonts/TTF/",                // Arch
    "/usr/share/fonts/dejavu-sans-fonts/",  // Fedora
    "/usr/share/fonts/dejavu/",             // older Fedora, openSUSE
    "/usr/local/share/fonts/",
};

// Keeps SDL_ttf initialised while fonts are being loaded.
class TtfSession {
  public:
    TtfSession() : ok_(TTF_Init() == 0) {}
    ~TtfSession() {
        if (ok_) TTF_Quit();
    }
    bool ok() const { return ok_; }

  private:
    bool ok_;
};

// Copies one glyph's coverage out of its shaded rendering (palette index = coverage,
// rendered white on black). The rendering starts at the glyph's left edge when that lies
// left of the pen, else at the pen.
void addGlyph(TTF_Font* ttf, char32_t code, GlyphFont& font) {
    Glyph g{};
    int minX = 0, maxX = 0, minY = 0, maxY = 0, advance = 0;
    const bool present = TTF_GlyphIsProvided32(ttf, code) != 0 &&
                         TTF_GlyphMetrics32(ttf, code, &minX, &maxX, &minY, &maxY, &advance) == 0;
    g.offset = static_cast<uint32_t>(font.coverage.size());
    if (!present) {
        font.glyphs.push_back(g);  // width 0: filled in from '?' below
        return;
    }
    g.advance = static_cast<int16_t>(advance);
    g.left = static_cast<int16_t>(std::min(minX, 0));
    SDL_Surface* surface =
        TTF_RenderGlyph32_Shaded(ttf, code, SDL_Color{255, 255, 255, 255}, SDL_Color{0, 0, 0, 255});
    if (surface != nullptr && surface->format->BytesPerPixel == 1) {
        g.width = static_cast<int16_t>(surface->w);
        const int32_t rows = std::min(surface->h, font.lineHeight);
        font.coverage.resize(
            font.coverage.size() + static_cast<size_t>(surface->w) * font.lineHeight, 0);
        const SDL_Color* palette = surface->format->palette->colors;
        for (int32_t y = 0; y < rows; ++y) {
            const uint8_t* row = static_cast<const uint8_t*>(surface->pixels) + y * surface->pitch;
            for (int32_t x = 0; x < surface->w; ++x) {
                font.coverage[g.offset + static_cast<size_t>(y * surface->w + x)] =
                    palette[row[x]].r;
            }
        }
    }
    if (surface != nullptr) SDL_FreeSurface(surface);
    font.glyphs.push_back(g);
}

}  // namespace

std::string findDejaVuFile(const std::string& fileName) {
    for (const char* folder : fontFolders) {
        const std::string path = std::string(folder) + fileName;
        if (access(path.c_str(), R_OK) == 0) return path;
    }
    return {};
}

bool loadGlyphFont(const std::string& path, int32_t pixels, GlyphFont& font, std::string& error) {
    TtfSession session;
    if (!session.ok()) {
        error = std::string("cannot start SDL_ttf: ") + TTF_GetError();
        return false;
    }
    TTF_Font* ttf = TTF_OpenFont(path.c_str(), pixels);
    if (ttf == nullptr) {
        error = "cannot open the font " + path + ": " + TTF_GetError();
        return false;
    }
    TTF_SetFontKerning(ttf, 0);
    font = GlyphFont{};
    font.lineHeight = TTF_FontHeight(ttf);
    font.ascent = TTF_FontAscent(ttf);
    font.firstCode = firstCode;
    for (char32_t code = firstCode; code <= lastCode; ++code)
        addGlyph(ttf, code, font);
    // Characters the face lacks draw as its '?'.
    const Glyph question = font.glyphs[U'?' - firstCode];
    for (Glyph& g : font.glyphs) {
        if (g.advance == 0 && g.width == 0) g = question;
    }
    TTF_CloseFont(ttf);
    return true;
}

bool loadSystemFonts(LoadedFonts& fonts, std::string& error) {
    const std::string regular = findDejaVuFile("DejaVuSans.ttf");
    const std::string bold = findDejaVuFile("DejaVuSans-Bold.ttf");
    if (regular.empty() || bold.empty()) {
        error =
            "cannot find the DejaVu Sans fonts (DejaVuSans.ttf, DejaVuSans-Bold.ttf) in "
            "/usr/share/fonts; install the package fonts-dejavu-core";
        return false;
    }
    return loadGlyphFont(regular, systemFontPixels, fonts.text, error) &&
           loadGlyphFont(bold, systemFontPixels, fonts.title, error) &&
           loadGlyphFont(regular, 11, fonts.small, error) &&
           loadGlyphFont(regular, 13, fonts.large, error);
}

}  // namespace veldra
