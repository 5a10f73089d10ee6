#include "tools/veldra-file/window_picture.h"

#include "tuner/tuner.h"
#include "views/views.h"

namespace veldra {

std::vector<uint16_t> windowPicture(const HeadlessScreen& screen, bool screenOnly) {
    std::vector<uint16_t> picture = screen.snapshot();
    if (screenOnly) return picture;
    const size_t screenPixels = picture.size();
    picture.resize(screenPixels + static_cast<size_t>(readoutWidth) * readoutHeight);
    drawReadoutStrip(picture.data() + screenPixels, tunerState().readout);
    return picture;
}

}  // namespace veldra
