// Headless window: a Window on a HeadlessScreen, for tests and tools.
//
// It is created at the handheld's default main-window rectangle (0, 26)-(240, 320); the
// start-up placement (place(startupWindowRect)) then shrinks it by the 26-row menu bar to
// 240 x 268, its client area covering screen rows 26..293.
//
// Its drawing context draws into the screen's display memory, clipped to the client area
// and the screen: fillRect and copyBitmap write pixels (colour references become RGB565
// by dropping low bits). drawText is recorded, with its rectangle, flags and the
// context's colours at the time, and not rendered; the tests read texts(). Each
// getDrawingContext starts with text colour black and background colour white.
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/screen/drawing_context.h"
#include "platform/screen/headless_screen.h"
#include "platform/screen/window.h"

namespace veldra {

// Where the tuner's start-up puts the main window: the default rectangle less the menu bar.
inline constexpr Rect startupWindowRect{0, navigationBarHeight, screenWidth,
                                        screenHeight - menuBarHeight};

class HeadlessWindow final : public Window {
  public:
    explicit HeadlessWindow(HeadlessScreen& screen, Rect screenRect = defaultWindowRect);

    // Window
    Rect screenRect() const override { return rect_; }
    Rect clientRect() const override;
    Screen& screen() override { return screen_; }
    DrawingContext* getDrawingContext() override;
    void releaseDrawingContext(DrawingContext& context) override;

    // Moves and sizes the window (screen pixels).
    void place(const Rect& screenRect) { rect_ = screenRect; }

    struct TextCall {
        std::string text;
        Rect rect;  // client coordinates
        uint32_t flags;
        ColourRef textColour;
        ColourRef backgroundColour;
    };
    const std::vector<TextCall>& texts() const { return texts_; }
    void clearTexts() { texts_.clear(); }
    // Contexts handed out and not yet released.
    int32_t contextsOut() const { return contextsOut_; }

  private:
    class Context final : public DrawingContext {
      public:
        explicit Context(HeadlessWindow& window) : window_(window) {}
        void start();
        ColourRef setBackgroundColour(ColourRef colour) override;
        ColourRef setTextColour(ColourRef colour) override;
        void fillRect(const Rect& rect, ColourRef colour) override;
        void copyBitmap(const Bitmap& bitmap, int32_t x, int32_t y) override;
        void drawText(std::string_view text, const Rect& rect, uint32_t flags) override;

      private:
        // A client pixel, if it lies on the client area (and so on the screen).
        void put(int32_t x, int32_t y, uint16_t colour);

        HeadlessWindow& window_;
        ColourRef textColour_ = colourBlack;
        ColourRef backgroundColour_ = colourWhite;
    };

    HeadlessScreen& screen_;
    Rect rect_;
    Context context_;
    int32_t contextsOut_ = 0;
    std::vector<TextCall> texts_;
};

}  // namespace veldra
