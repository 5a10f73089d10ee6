// Headless screen: a Screen kept in memory only, for tests and tools.
//
// Display memory is a 240 x 320 RGB565 array laid out by the pitches it reports, so that
// the display engine's address arithmetic is exercised for real: by default 16 bits per
// pixel, x pitch 2 bytes, y pitch 480 bytes (row-major). pixel / setPixel / snapshot read
// and write through the same layout, as a viewer would see the screen.
//
// Message boxes are recorded and printed to standard error ("caption: text"); they answer
// OK at once. Its OEM text is "Veldra headless screen".
//
// Test controls make it misbehave the ways a device can: another bit depth, other pitches
// (pitches that halve to 0 pixels are reported but the memory stays row-major), a failing
// open, begin-draw returning null, a failing OEM query, and the fixed-frame-buffer model:
// OEM text with 'H38' at characters 12-14, memory rotated so that screen pixel (x, y) lies
// at fixedFrameBuffer() + y - 320 x (x pitch -320, y pitch 1 pixels), the base sitting
// 320 * 239 pixels into the buffer.
//
// Thread: main thread only. Allocates only when its layout changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/screen/game_display.h"

namespace veldra {

class HeadlessScreen final : public Screen {
  public:
    HeadlessScreen();

    // Screen
    bool openDisplay(Window& window, uint32_t flags) override;
    void closeDisplay() override;
    void setViewport(int32_t top, int32_t height) override;
    DisplayProperties displayProperties() const override;
    uint16_t* beginDraw() override;
    void endDraw() override;
    uint16_t* fixedFrameBuffer() override;
    bool oemInfo(char16_t* buffer, size_t capacity) const override;
    int32_t messageBox(Window* owner, std::string_view text, std::string_view caption,
                       uint32_t style) override;

    // The picture, through the current layout; coordinates off the screen are ignored
    // (reads give 0).
    uint16_t pixel(int32_t x, int32_t y) const;
    void setPixel(int32_t x, int32_t y, uint16_t colour);
    void fill(uint16_t colour);
    // All 240 x 320 pixels, row-major.
    std::vector<uint16_t> snapshot() const;

    // Test controls.
    void setBitsPerPixel(int32_t bits);
    // Pitches beyond +-4096 bytes are refused (false, nothing changes).
    bool setPitches(int32_t xPitchBytes, int32_t yPitchBytes);
    void emulateFixedFrameBuffer();
    void setOemInfo(std::u16string text);
    void setOemInfoFails(bool fails);
    void setOpenFails(bool fails);
    void setBeginDrawFails(bool fails);

    // What happened.
    struct MessageBoxCall {
        Window* owner;
        std::string text;
        std::string caption;
        uint32_t style;
    };
    const std::vector<MessageBoxCall>& messageBoxes() const { return messageBoxes_; }
    bool isOpen() const { return open_; }
    int32_t closeCalls() const { return closeCalls_; }
    int32_t beginDrawCalls() const { return beginDrawCalls_; }
    int32_t endDrawCalls() const { return endDrawCalls_; }
    int32_t viewportHeight() const { return viewportHeight_; }

  private:
    void layOut(int32_t xPitchPixels, int32_t yPitchPixels);
    ptrdiff_t offsetOf(int32_t x, int32_t y) const;

    std::vector<uint16_t> memory_;  // display memory, laid out by the pitches below
    ptrdiff_t baseOffset_;          // element of memory_ that holds pixel (0, 0)
    int32_t layoutXPitch_;          // pixels; what the memory really uses
    int32_t layoutYPitch_;
    int32_t reportedXPitchBytes_;  // what displayProperties says
    int32_t reportedYPitchBytes_;
    int32_t bitsPerPixel_;
    bool fixedModel_;  // fixedFrameBuffer() gives the base
    std::u16string oemText_;
    bool oemFails_;
    bool openFails_;
    bool beginDrawFails_;
    bool open_;
    int32_t closeCalls_;
    int32_t beginDrawCalls_;
    int32_t endDrawCalls_;
    int32_t viewportHeight_;
    std::vector<MessageBoxCall> messageBoxes_;
};

}  // namespace veldra
