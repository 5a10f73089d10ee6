#include "platform/screen/headless_screen.h"

#include <algorithm>
#include <cstdio>

namespace veldra {
namespace {

constexpr int32_t standardXPitchBytes = 2;
constexpr int32_t standardYPitchBytes = 2 * screenWidth;
constexpr int32_t maxPitchBytes = 4096;

// 12 characters, then the model mark at 12..14.
constexpr char16_t fixedModelOemText[] = u"Headless    H38 fixed frame buffer";

}  // namespace

HeadlessScreen::HeadlessScreen()
    : baseOffset_(0),
      layoutXPitch_(0),
      layoutYPitch_(0),
      reportedXPitchBytes_(standardXPitchBytes),
      reportedYPitchBytes_(standardYPitchBytes),
      bitsPerPixel_(16),
      fixedModel_(false),
      oemText_(u"Veldra headless screen"),
      oemFails_(false),
      openFails_(false),
      beginDrawFails_(false),
      open_(false),
      closeCalls_(0),
      beginDrawCalls_(0),
      endDrawCalls_(0),
      viewportHeight_(0) {
    layOut(standardXPitchBytes / 2, standardYPitchBytes / 2);
}

// Sizes the memory so that every pixel's offset, base + x * xPitch + y * yPitch, lands in
// it, whatever the signs of the pitches. Keeps the picture.
void HeadlessScreen::layOut(int32_t xPitch, int32_t yPitch) {
    const std::vector<uint16_t> picture = memory_.empty() ? std::vector<uint16_t>() : snapshot();
    const ptrdiff_t xSpan = static_cast<ptrdiff_t>(screenWidth - 1) * xPitch;
    const ptrdiff_t ySpan = static_cast<ptrdiff_t>(screenHeight - 1) * yPitch;
    const ptrdiff_t lowest = std::min<ptrdiff_t>(0, xSpan) + std::min<ptrdiff_t>(0, ySpan);
    const ptrdiff_t highest = std::max<ptrdiff_t>(0, xSpan) + std::max<ptrdiff_t>(0, ySpan);
    layoutXPitch_ = xPitch;
    layoutYPitch_ = yPitch;
    baseOffset_ = -lowest;
    memory_.assign(static_cast<size_t>(highest - lowest + 1), 0);
    if (picture.empty()) return;
    for (int32_t y = 0; y < screenHeight; ++y) {
        for (int32_t x = 0; x < screenWidth; ++x)
            setPixel(x, y, picture[y * screenWidth + x]);
    }
}

ptrdiff_t HeadlessScreen::offsetOf(int32_t x, int32_t y) const {
    return baseOffset_ + static_cast<ptrdiff_t>(x) * layoutXPitch_ +
           static_cast<ptrdiff_t>(y) * layoutYPitch_;
}

bool HeadlessScreen::openDisplay(Window&, uint32_t) {
    if (openFails_) return false;
    open_ = true;
    return true;
}

void HeadlessScreen::closeDisplay() {
    ++closeCalls_;
    open_ = false;
}

void HeadlessScreen::setViewport(int32_t, int32_t height) {
    viewportHeight_ = height;
}

DisplayProperties HeadlessScreen::displayProperties() const {
    return {screenWidth, screenHeight, reportedXPitchBytes_, reportedYPitchBytes_, bitsPerPixel_};
}

uint16_t* HeadlessScreen::beginDraw() {
    ++beginDrawCalls_;
    if (beginDrawFails_ || !open_) return nullptr;
    return memory_.data() + baseOffset_;
}

void HeadlessScreen::endDraw() {
    ++endDrawCalls_;
}

uint16_t* HeadlessScreen::fixedFrameBuffer() {
    return fixedModel_ ? memory_.data() + baseOffset_ : nullptr;
}

bool HeadlessScreen::oemInfo(char16_t* buffer, size_t capacity) const {
    if (oemFails_ || capacity == 0) return false;
    const size_t n = std::min(oemText_.size(), capacity - 1);
    std::copy_n(oemText_.data(), n, buffer);
    buffer[n] = u'\0';
    return true;
}

int32_t HeadlessScreen::messageBox(Window* owner, std::string_view text, std::string_view caption,
                                   uint32_t style) {
    messageBoxes_.push_back({owner, std::string(text), std::string(caption), style});
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
    return messageBoxOk;
}

uint16_t HeadlessScreen::pixel(int32_t x, int32_t y) const {
    if (x < 0 || x >= screenWidth || y < 0 || y >= screenHeight) return 0;
    return memory_[static_cast<size_t>(offsetOf(x, y))];
}

void HeadlessScreen::setPixel(int32_t x, int32_t y, uint16_t colour) {
    if (x < 0 || x >= screenWidth || y < 0 || y >= screenHeight) return;
    memory_[static_cast<size_t>(offsetOf(x, y))] = colour;
}

void HeadlessScreen::fill(uint16_t colour) {
    for (int32_t y = 0; y < screenHeight; ++y) {
        for (int32_t x = 0; x < screenWidth; ++x)
            setPixel(x, y, colour);
    }
}

std::vector<uint16_t> HeadlessScreen::snapshot() const {
    std::vector<uint16_t> picture(static_cast<size_t>(screenWidth) * screenHeight);
    for (int32_t y = 0; y < screenHeight; ++y) {
        for (int32_t x = 0; x < screenWidth; ++x)
            picture[y * screenWidth + x] = pixel(x, y);
    }
    return picture;
}

void HeadlessScreen::setBitsPerPixel(int32_t bits) {
    bitsPerPixel_ = bits;
}

bool HeadlessScreen::setPitches(int32_t xPitchBytes, int32_t yPitchBytes) {
    if (xPitchBytes < -maxPitchBytes || xPitchBytes > maxPitchBytes ||
        yPitchBytes < -maxPitchBytes || yPitchBytes > maxPitchBytes) {
        return false;
    }
    reportedXPitchBytes_ = xPitchBytes;
    reportedYPitchBytes_ = yPitchBytes;
    fixedModel_ = false;
    // The same halving as the display engine's; a pitch of 0 pixels cannot hold a picture.
    const int32_t x = xPitchBytes / 2;
    const int32_t y = yPitchBytes / 2;
    if (x != 0 && y != 0) {
        layOut(x, y);
    } else {
        layOut(standardXPitchBytes / 2, standardYPitchBytes / 2);
    }
    return true;
}

void HeadlessScreen::emulateFixedFrameBuffer() {
    layOut(-screenHeight, 1);
    reportedXPitchBytes_ = -2 * screenHeight;
    reportedYPitchBytes_ = 2;
    fixedModel_ = true;
    oemText_ = fixedModelOemText;
}

void HeadlessScreen::setOemInfo(std::u16string text) {
    oemText_ = std::move(text);
}
void HeadlessScreen::setOemInfoFails(bool fails) {
    oemFails_ = fails;
}
void HeadlessScreen::setOpenFails(bool fails) {
    openFails_ = fails;
}
void HeadlessScreen::setBeginDrawFails(bool fails) {
    beginDrawFails_ = fails;
}

}  // namespace veldra
