#include "tools/artwork/pictures.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace veldra::artwork {
namespace {

// The dial's geometry, in pixels.
constexpr double centreX = 120.0;
constexpr double centreY = 128.0;
constexpr double innerRadius = 40.0;
constexpr double turnSpacing = 22.0;  // (106 - 40) / 3
constexpr int turns = 3;

// Where the dial's integer arithmetic puts a point on average: its x shift rounds down,
// which keeps x on the exact value's pixel; its y is the centre minus a rounded-down
// term, one pixel lower; and the radius is rounded down, half a pixel inward on average.
constexpr double printedOffsetX = 0.0;
constexpr double printedOffsetY = 1.0;
constexpr double printedRadiusOffset = -0.5;

constexpr double lineHalfWidth = 1.0;
constexpr double tickHalfWidth = 0.6;
constexpr double tickHalfLength = 3.5;
constexpr double letterDistance =
    15.0;  // from the outer turn to a letter's centre, clear of the rings

// turn is the position in turns from the spiral's start (0 .. 3).
Point printedPoint(double turn, double radialOffset = 0.0) {
    const double angle = 2.0 * std::numbers::pi * turn;  // clockwise from the top
    const double r = innerRadius + turnSpacing * turn + printedRadiusOffset + radialOffset;
    return {centreX + printedOffsetX + r * std::sin(angle),
            centreY + printedOffsetY - r * std::cos(angle)};
}

// A spiral around (cx, cy), clockwise from the top, radius r0 to r1 over the given turns.
std::vector<Point> spiralPath(double cx, double cy, double r0, double r1, double turnCount) {
    std::vector<Point> path;
    const int steps = static_cast<int>(turnCount * 720);
    for (int i = 0; i <= steps; ++i) {
        const double t = turnCount * i / steps;
        const double r = r0 + (r1 - r0) * t / turnCount;
        path.push_back({cx + r * std::sin(2.0 * std::numbers::pi * t),
                        cy - r * std::cos(2.0 * std::numbers::pi * t)});
    }
    return path;
}

void fillDisc(ShadeCanvas& canvas, Point centre, double radius) {
    strokeSegment(canvas, centre, centre, radius);
}

// Capital letters in the weight of the dial's digits: two-pixel stems, 7 x 7.
const Glyph letterC = {"::ooooo", ":oo::::", "oo:::::", "oo:::::", "oo:::::", ":oo::::", "::ooooo"};
const Glyph letterD = {"ooooo::", "oo::oo:", "oo:::oo", "oo:::oo", "oo:::oo", "oo::oo:", "ooooo::"};
const Glyph letterE = {"ooooooo", "oo:::::", "oo:::::", "oooooo:", "oo:::::", "oo:::::", "ooooooo"};
const Glyph letterF = {"ooooooo", "oo:::::", "oo:::::", "oooooo:", "oo:::::", "oo:::::", "oo:::::"};
const Glyph letterG = {"::ooooo", ":oo::::", "oo:::::", "oo::ooo", "oo:::oo", ":oo::oo", "::ooooo"};
const Glyph letterA = {"::ooo::", ":oo:oo:", "oo:::oo", "oo:::oo", "ooooooo", "oo:::oo", "oo:::oo"};
const Glyph letterB = {"oooooo:", "oo:::oo", "oo:::oo", "oooooo:", "oo:::oo", "oo:::oo", "oooooo:"};

// The dial writes its octave digits at (120, 95) and (126, 8); each C stands one blank
// column to the left of its digit, on the same rows.
constexpr int innerLetterLeft = 112, innerLetterTop = 95;
constexpr int outerLetterLeft = 118, outerLetterTop = 8;

}  // namespace

ShadeCanvas drawBackground() {
    ShadeCanvas canvas(backgroundWidth, backgroundHeight);
    std::vector<Point> line;
    constexpr int stepsPerTurn = 4096;
    for (int i = 0; i <= turns * stepsPerTurn; ++i)
        line.push_back(printedPoint(double(i) / stepsPerTurn));
    strokePath(canvas, line, lineHalfWidth);

    for (int semitone = 0; semitone <= turns * 12; ++semitone) {
        const double turn = semitone / 12.0;
        strokeSegment(canvas, printedPoint(turn, -tickHalfLength),
                      printedPoint(turn, tickHalfLength), tickHalfWidth);
    }

    stampGlyph(canvas, letterC, innerLetterLeft, innerLetterTop);
    stampGlyph(canvas, letterC, outerLetterLeft, outerLetterTop);
    struct Letter {
        const Glyph* glyph;
        int semitone;
    };
    const Letter outerLetters[] = {{&letterD, 2}, {&letterE, 4}, {&letterF, 5},
                                   {&letterG, 7}, {&letterA, 9}, {&letterB, 11}};
    for (const Letter& letter : outerLetters) {
        const Point centre = printedPoint(turns - 1 + letter.semitone / 12.0, letterDistance);
        stampGlyph(canvas, *letter.glyph, static_cast<int>(std::lround(centre.x - 3.5)),
                   static_cast<int>(std::lround(centre.y - 3.5)));
    }
    return canvas;
}

ShadeCanvas drawMenuBarImage() {
    ShadeCanvas canvas(16, 16);
    strokePath(canvas, spiralPath(8.0, 8.0, 1.5, 7.0, 1.75), 0.6);
    return canvas;
}

ShadeCanvas drawIcon(int size) {
    ShadeCanvas canvas(size, size);
    const double scale = size / 32.0;
    const double c = size / 2.0;
    strokePath(canvas, spiralPath(c, c, 3.0 * scale, 13.0 * scale, 2.0), 0.9 * scale);
    // A string ring on the outer turn with the needle's disc in its hole, as on the dial.
    const double angle = 2.0 * std::numbers::pi * 0.375;
    const double r = (3.0 + 10.0 * 1.375 / 2.0) * scale;
    const Point ring = {c + r * std::sin(angle), c - r * std::cos(angle)};
    fillDisc(canvas, ring, 2.0 * scale);
    strokeSegment(
        canvas, ring,
        {c + (r + 4.5 * scale) * std::sin(angle), c - (r + 4.5 * scale) * std::cos(angle)},
        0.8 * scale);
    return canvas;
}

bool insideIconFace(int x, int y, int width, int height) {
    const double dx = x + 0.5 - width / 2.0, dy = y + 0.5 - height / 2.0;
    return std::hypot(dx, dy) <= width / 2.0;
}

}  // namespace veldra::artwork
