#include "views/instrument_info.h"

#include <cstdio>

namespace veldra {

std::string composeInstrumentInfo(InstrumentKind kind) {
    if (modeEntry(kind) == nullptr) return {};
    std::string name;
    instrumentName(name, kind);
    const OctaveBounds range = octaveRange(kind);

    // Sized like the handheld's buffers: 400 characters for the text, 52 per line.
    char text[400];
    std::snprintf(text, sizeof text, "You chose %s,\nwhich ranges from C%d to C%d\n\n",
                  name.c_str(), static_cast<int>(range.low), static_cast<int>(range.high));
    std::string result = text;

    float frequencies[maxStringCount];
    const int32_t count = stringFrequencies(frequencies, kind);
    for (int32_t i = 0; i < count; ++i) {
        char note[4];
        stringNoteName(note, kind, i);
        char line[52];
        std::snprintf(line, sizeof line, "String %d is: %s, i.e. %7.2f Hz.\n",
                      static_cast<int>(i + 1), note, static_cast<double>(frequencies[i]));
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
