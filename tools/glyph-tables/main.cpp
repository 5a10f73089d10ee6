// veldra-glyph-tables OUTPUT.cpp: renders the program's fonts from DejaVu Sans (Debian's
// fonts-dejavu-core) through SDL2_ttf once, when the program is built, and writes them as
// constant glyph tables (platform/canvas/glyph_font.h) with builtInFonts() returning them
// (platform/fonts/fonts.h). The programs then draw text without SDL_ttf or a font file,
// the same pixels on the desktop and in the browser.
//
// Each glyph is its shaded rendering's coverage (white on black: palette index = coverage),
// lineHeight rows tall, starting at the glyph's left edge when that lies left of the pen;
// glyphs the face lacks are its '?'. Kerning is off, as glyph-by-glyph drawing needs.
// The output depends only on SDL_ttf and the font files, so a rebuild gives the same bytes.
#include <SDL2/SDL_ttf.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

const char* const fontFolders[] = {
    "/usr/share/fonts/truetype/dejavu/",    // Debian, Ubuntu
    "/usr/share/fonts/TTF/",                // Arch
    "/usr/share/fonts/dejavu-sans-fonts/",  // Fedora
    "/usr/share/fonts/dejavu/",             // older Fedora, openSUSE
};

// One font to bake: its name in the tables, the face, its size in pixels, the codes.
struct Bake {
    const char* name;
    const char* file;
    int pixels;
    char32_t lastCode;
};

// The window system's four (9 point = 12 pixels at the handheld's 96 dots per inch, 8
// points = 11, 10 points = 13, the title bold at 12), and the desktop readout's two, which
// only ever show ASCII.
constexpr Bake bakes[] = {
    {"text", "DejaVuSans.ttf", 12, 255},
    {"title", "DejaVuSans-Bold.ttf", 12, 255},
    {"small", "DejaVuSans.ttf", 11, 255},
    {"large", "DejaVuSans.ttf", 13, 255},
    {"readoutNote", "DejaVuSans-Bold.ttf", 30, 126},
    {"readoutText", "DejaVuSans-Bold.ttf", 13, 126},
};

constexpr char32_t firstCode = 32;

struct Glyph {
    int advance = 0, left = 0, width = 0;
    size_t offset = 0;
};

std::string findFont(const char* file) {
    for (const char* folder : fontFolders) {
        const std::string path = std::string(folder) + file;
        if (access(path.c_str(), R_OK) == 0) return path;
    }
    return {};
}

// Writes one font's tables; false with the reason on standard error.
bool bake(const Bake& b, std::ostream& out) {
    const std::string path = findFont(b.file);
    if (path.empty()) {
        std::fprintf(stderr,
                     "veldra-glyph-tables: no %s in /usr/share/fonts; install fonts-dejavu-core\n",
                     b.file);
        return false;
    }
    TTF_Font* ttf = TTF_OpenFont(path.c_str(), b.pixels);
    if (ttf == nullptr) {
        std::fprintf(stderr, "veldra-glyph-tables: cannot open %s: %s\n", path.c_str(),
                     TTF_GetError());
        return false;
    }
    TTF_SetFontKerning(ttf, 0);
    const int lineHeight = TTF_FontHeight(ttf);
    std::vector<Glyph> glyphs;
    std::vector<unsigned> coverage;
    for (char32_t code = firstCode; code <= b.lastCode; ++code) {
        Glyph g;
        g.offset = coverage.size();
        int minX = 0, maxX = 0, minY = 0, maxY = 0;
        if (TTF_GlyphIsProvided32(ttf, code) == 0 ||
            TTF_GlyphMetrics32(ttf, code, &minX, &maxX, &minY, &maxY, &g.advance) != 0) {
            glyphs.push_back({});  // filled in from '?' below
            continue;
        }
        g.left = std::min(minX, 0);
        SDL_Surface* s = TTF_RenderGlyph32_Shaded(ttf, code, {255, 255, 255, 255}, {0, 0, 0, 255});
        if (s != nullptr && s->format->BytesPerPixel == 1) {
            g.width = s->w;
            coverage.resize(coverage.size() + static_cast<size_t>(s->w) * lineHeight, 0);
            for (int y = 0; y < std::min(s->h, lineHeight); ++y) {
                const auto* row = static_cast<const unsigned char*>(s->pixels) + y * s->pitch;
                for (int x = 0; x < s->w; ++x)
                    coverage[g.offset + static_cast<size_t>(y * s->w + x)] =
                        s->format->palette->colors[row[x]].r;
            }
        }
        SDL_FreeSurface(s);
        glyphs.push_back(g);
    }
    const Glyph question = glyphs[U'?' - firstCode];
    for (Glyph& g : glyphs) {
        if (g.advance == 0 && g.width == 0) g = question;
    }
    out << "constexpr Glyph " << b.name << "Glyphs[] = {\n";
    for (const Glyph& g : glyphs)
        out << "    {" << g.advance << ", " << g.left << ", " << g.width << ", " << g.offset
            << "},\n";
    out << "};\nconstexpr uint8_t " << b.name << "Coverage[] = {";
    for (size_t i = 0; i < coverage.size(); ++i)
        out << (i % 24 == 0 ? "\n    " : " ") << coverage[i] << ",";
    out << "\n};\nconstexpr GlyphFont " << b.name << "Font{" << lineHeight << ", "
        << TTF_FontAscent(ttf) << ", " << static_cast<unsigned>(firstCode) << ", " << b.name
        << "Glyphs, " << b.name << "Coverage};\n\n";
    TTF_CloseFont(ttf);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: veldra-glyph-tables OUTPUT.cpp\n");
        return 2;
    }
    if (TTF_Init() != 0) {
        std::fprintf(stderr, "veldra-glyph-tables: cannot start SDL_ttf: %s\n", TTF_GetError());
        return 1;
    }
    const std::string path = argv[1], partial = path + ".partial";
    std::ofstream out(partial);
    out << "// Made by tools/glyph-tables from DejaVu Sans; do not edit.\n"
           "// clang-format off\n"
           "#include \"platform/fonts/fonts.h\"\n\nnamespace veldra {\nnamespace {\n\n";
    bool ok = true;
    for (const Bake& b : bakes)
        ok = ok && bake(b, out);
    out << "}  // namespace\n\nconst BuiltInFonts& builtInFonts() {\n    static const BuiltInFonts "
           "fonts{";
    for (const Bake& b : bakes)
        out << b.name << "Font, ";
    out << "};\n    return fonts;\n}\n\n}  // namespace veldra\n";
    out.close();
    TTF_Quit();
    if (!ok || !out || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        std::fprintf(stderr, "veldra-glyph-tables: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
