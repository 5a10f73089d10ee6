// The information text: its wording to the character, and how it is drawn.
#include "views/instrument_info.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/headless_screen.h"
#include "platform/headless_window.h"

namespace veldra {
namespace {

class InstrumentInfoTest : public ::testing::Test {
protected:
    void SetUp() override { initOctaveRange(); }
};

TEST_F(InstrumentInfoTest, GuitarListsSixStringsWithRightAlignedFrequencies) {
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
}

TEST_F(InstrumentInfoTest, ModesWithoutStringsShowTheHeaderAlone) {
    EXPECT_EQ(composeInstrumentInfo(InstrumentKind::Bass),
              "You chose Bass,\nwhich ranges from C1 to C4\n\n");
    EXPECT_EQ(composeInstrumentInfo(InstrumentKind::Alto),
              "You chose Alto,\nwhich ranges from C2 to C5\n\n");
    EXPECT_EQ(composeInstrumentInfo(InstrumentKind::Singing),
              "You chose Singing,\nwhich ranges from C3 to C6\n\n");
}

TEST_F(InstrumentInfoTest, ErhuHasExactlyTwoStringLines) {
    EXPECT_EQ(composeInstrumentInfo(InstrumentKind::Erhu),
              "You chose Erhu,\n"
              "which ranges from C3 to C6\n"
              "\n"
              "String 1 is: D 3, i.e.  146.82 Hz.\n"
              "String 2 is: A 3, i.e.  219.98 Hz.\n");
}

TEST_F(InstrumentInfoTest, ViolinNamesItsSecondStringD4) {
    const std::string text = composeInstrumentInfo(InstrumentKind::Violin);
    EXPECT_NE(text.find("String 2 is: D 4, i.e.  293.64 Hz.\n"), std::string::npos) << text;
    EXPECT_NE(text.find("String 3 is: A 4, i.e.  439.96 Hz.\n"), std::string::npos) << text;
}

TEST_F(InstrumentInfoTest, KindOutsideTheCatalogueHasNoText) {
    EXPECT_EQ(composeInstrumentInfo(static_cast<InstrumentKind>(8)), "");
}

// Drawn through a headless window, which records each text with the colours in force.
TEST_F(InstrumentInfoTest, DrawsTheTextFromTop50ThenTheOkBandBlackOnWhite) {
    HeadlessScreen screen;
    HeadlessWindow window(screen, startupWindowRect);
    for (int32_t top : {0, 80}) {
        window.clearTexts();
        ClientDrawing drawing(window);
        ASSERT_NE(drawing.get(), nullptr);
        DrawingContext& context = *drawing.get();
        context.setBackgroundColour(colourBlack);
        context.setTextColour(colourWhite);
        Rect client = {0, top, 240, 268};
        drawInstrumentInfo(context, client, InstrumentKind::Cello);
        EXPECT_EQ(client.top, 50);
        EXPECT_EQ(client.bottom, 268);
        ASSERT_EQ(window.texts().size(), 2u);

        const auto& info = window.texts()[0];
        EXPECT_EQ(info.text, composeInstrumentInfo(InstrumentKind::Cello));
        EXPECT_EQ(info.rect.top, 50);
        EXPECT_EQ(info.rect.right, 240);
        EXPECT_EQ(info.flags, 273u);
        EXPECT_EQ(info.backgroundColour, colourBlack);
        EXPECT_EQ(info.textColour, colourWhite);

        const auto& ok = window.texts()[1];
        EXPECT_EQ(ok.text, " O.K. ");
        EXPECT_EQ(ok.rect.left, 140);
        EXPECT_EQ(ok.rect.top, 200);
        EXPECT_EQ(ok.rect.right, 230);
        EXPECT_EQ(ok.rect.bottom, 230);
        EXPECT_EQ(ok.flags, 273u);
        EXPECT_EQ(ok.backgroundColour, 0x00FFFFFFu);
        EXPECT_EQ(ok.textColour, 0u);
    }
}

}  // namespace
}  // namespace veldra
