// The information text: its wording to the character, and how it is drawn.
#include "views/instrument_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// Records what is drawn, with the colours in force at each text.
class RecordingContext : public DrawingContext {
public:
    struct Text {
        std::string text;
        Rect rect;
        uint32_t flags;
        ColourRef background, foreground;
    };
    ColourRef setBackgroundColour(ColourRef colour) override { return exchange(background, colour); }
    ColourRef setTextColour(ColourRef colour) override { return exchange(foreground, colour); }
    void fillRect(const Rect&, ColourRef) override { ++otherCalls; }
    void copyBitmap(const Bitmap&, int32_t, int32_t) override { ++otherCalls; }
    void drawText(std::string_view text, const Rect& rect, uint32_t flags) override {
        texts.push_back({std::string(text), rect, flags, background, foreground});
    }

    ColourRef background = colourBlack;
    ColourRef foreground = colourWhite;
    std::vector<Text> texts;
    int otherCalls = 0;

private:
    static ColourRef exchange(ColourRef& slot, ColourRef colour) {
        const ColourRef old = slot;
        slot = colour;
        return old;
    }
};

TEST_F(InstrumentInfoTest, DrawsTheTextFromTop50ThenTheOkBandBlackOnWhite) {
    for (int32_t top : {0, 80}) {
        RecordingContext context;
        Rect client = {0, top, 240, 268};
        drawInstrumentInfo(context, client, InstrumentKind::Cello);
        EXPECT_EQ(client.top, 50);
        EXPECT_EQ(client.left, 0);
        EXPECT_EQ(client.right, 240);
        EXPECT_EQ(client.bottom, 268);
        ASSERT_EQ(context.texts.size(), 2u);

        const auto& info = context.texts[0];
        EXPECT_EQ(info.text, composeInstrumentInfo(InstrumentKind::Cello));
        EXPECT_EQ(info.rect.top, 50);
        EXPECT_EQ(info.rect.bottom, 268);
        EXPECT_EQ(info.flags, 273u);
        EXPECT_EQ(info.background, colourBlack);
        EXPECT_EQ(info.foreground, colourWhite);

        const auto& ok = context.texts[1];
        EXPECT_EQ(ok.text, " O.K. ");
        EXPECT_EQ(ok.rect.left, 140);
        EXPECT_EQ(ok.rect.top, 200);
        EXPECT_EQ(ok.rect.right, 230);
        EXPECT_EQ(ok.rect.bottom, 230);
        EXPECT_EQ(ok.flags, 273u);
        EXPECT_EQ(ok.background, 0x00FFFFFFu);
        EXPECT_EQ(ok.foreground, 0u);

        EXPECT_EQ(context.background, colourWhite);  // left that way for the caller
        EXPECT_EQ(context.foreground, colourBlack);
        EXPECT_EQ(context.otherCalls, 0);
    }
}

}  // namespace
}  // namespace veldra
