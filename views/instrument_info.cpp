#include "views/instrument_info.h"

#include <cstdio>

#include "views/player_choices.h"

namespace veldra {

std::string composeInstrumentInfo(InstrumentKind kind) {
    if (modeEntry(kind) == nullptr) return {};
    std::string name;
    instrumentName(name, kind);
    const OctaveBounds range = octaveRange(kind);

    // A tuning other than the default is named after the mode, and a chosen A4 takes the
    // blank line before the strings, so the text keeps its lines and clears the O.K. band.
    const Tuning* tuning = playedTuning(kind);
    if (tuning != modeTuning(kind, 0)) name = name + " (" + tuning->name + ")";
    char reference[32] = "";
    if (const int32_t a4 = playerChoices().referenceA4; a4 != 0)
        std::snprintf(reference, sizeof reference, "with A4 at %d Hz", static_cast<int>(a4));

    // Sized like the handheld's buffers: 400 characters for the text, 52 per line.
    char text[400];
    std::snprintf(text, sizeof text, "You chose %s,\nwhich ranges from C%d to C%d\n%s\n",
                  name.c_str(), static_cast<int>(range.low), static_cast<int>(range.high),
                  reference);
    std::string result = text;

    float frequencies[maxStringCount];
    const int32_t count = stringFrequencies(frequencies, kind);
    // String 1 first, whichever end the player counts from.
    for (int32_t number = 1; number <= count; ++number) {
        int32_t i = 0;
        while (stringNumber(i, count) != number)
            ++i;
        char note[4];
        stringNoteName(note, kind, i);
        char line[52];
        std::snprintf(line, sizeof line, "String %d is: %s, i.e. %7.2f Hz.\n",
                      static_cast<int>(number), note, static_cast<double>(frequencies[i]));
        result += line;
    }
    return result;
}

void drawInstrumentInfo(DrawingContext& context, Rect& rect, InstrumentKind kind) {
    const std::string text = composeInstrumentInfo(kind);
    rect.top = infoTextTop;
    context.drawText(text, rect, infoTextFlags);
    context.setBackgroundColour(colourWhite);
    context.setTextColour(colourBlack);
    context.drawText(okBandText, okBandRect, infoTextFlags);
}

}  // namespace veldra
