// The information text: its wording to the character, and how it is drawn.
#include "views/instrument_info.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/headless_screen.h"
#include "platform/headless_window.h"
#include "tests/support/rect_equality.h"

namespace veldra {
namespace {

TEST(InstrumentInfoTest, TextOfEachKindOfMode) {
    initOctaveRange();
    EXPECT_EQ(composeInstrumentInfo(InstrumentKind::Guitar),
              "You chose Guitar,\n"
              "which ranges from C2 to C5\n"
              "\n"
              "String 1 is: E 2, i.e.   82.40 Hz.\n"
              "String 2 is: A 2, i.e.  109.99 Hz.\n"
              "String 3 is: D 3, i.e.  146.82 Hz.\n"
              "String 4 is: G 3, i.e.  195.98 Hz.\n"
              "String 5 is: B 3, i.e.  246.92 Hz.\n"
              "String 6 is: E 4, i.e.  329.60 Hz.\n");
    EXPECT_EQ(composeInstrumentInfo(InstrumentKind::Erhu),
              "You chose Erhu,\nwhich ranges from C3 to C6\n\n"
              "String 1 is: D 3, i.e.  146.82 Hz.\n"
              "String 2 is: A 3, i.e.  219.98 Hz.\n");
    const std::string violin = composeInstrumentInfo(InstrumentKind::Violin);
    EXPECT_NE(violin.find("String 2 is: D 4, i.e.  293.64 Hz.\n"), std::string::npos) << violin;
    // Modes without strings show the header alone; a kind outside the catalogue nothing.
    EXPECT_EQ(composeInstrumentInfo(InstrumentKind::Bass), "You chose Bass,\nwhich ranges from C1 to C4\n\n");
    EXPECT_EQ(composeInstrumentInfo(InstrumentKind::Alto), "You chose Alto,\nwhich ranges from C2 to C5\n\n");
    EXPECT_EQ(composeInstrumentInfo(InstrumentKind::Singing), "You chose Singing,\nwhich ranges from C3 to C6\n\n");
    EXPECT_EQ(composeInstrumentInfo(static_cast<InstrumentKind>(8)), "");
}

// Drawn through a headless window, which records each text with the colours in force:
// the text from row 50 whatever the rectangle's top, then the O.K. band black on white.
TEST(InstrumentInfoTest, DrawsTheTextFromTop50ThenTheOkBandBlackOnWhite) {
    initOctaveRange();
    HeadlessScreen screen;
    HeadlessWindow window(screen, startupWindowRect);
    for (int32_t top : {0, 80}) {
        window.clearTexts();
        ClientDrawing drawing(window);
        ASSERT_NE(drawing.get(), nullptr);
        drawing.get()->setBackgroundColour(colourBlack);
        drawing.get()->setTextColour(colourWhite);
        Rect client = {0, top, 240, 268};
        drawInstrumentInfo(*drawing.get(), client, InstrumentKind::Cello);
        EXPECT_EQ(client, (Rect{0, 50, 240, 268}));
        ASSERT_EQ(window.texts().size(), 2u);
        const auto& info = window.texts()[0];
        EXPECT_EQ(std::tie(info.text, info.rect, info.flags, info.textColour, info.backgroundColour),
                  std::tuple(composeInstrumentInfo(InstrumentKind::Cello), Rect{0, 50, 240, 268}, 273u, colourWhite,
                             colourBlack));
        const auto& ok = window.texts()[1];
        EXPECT_EQ(std::tie(ok.text, ok.rect, ok.flags, ok.textColour, ok.backgroundColour),
                  std::tuple(" O.K. ", Rect{140, 200, 230, 230}, 273u, 0u, 0x00FFFFFFu));
    }
}

}  // namespace
}  // namespace veldra
