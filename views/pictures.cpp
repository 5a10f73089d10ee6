#include "views/pictures.h"

#include <string>
#include <vector>

#include "views/bmp_decoder.h"
#include "views/embedded_pictures.h"

namespace veldra {
namespace {

struct DecodedResource {
    int32_t id;
    DecodedBitmap bitmap;
};

// Pictures decoded so far; each stays put once decoded, as Bitmap points into it.
std::vector<DecodedResource>& decodedResources() {
    static std::vector<DecodedResource> decoded;
    return decoded;
}

}  // namespace

std::span<const uint8_t> resourceData(int32_t id) {
    for (int32_t i = 0; i < embeddedResourceCount; ++i) {
        if (embeddedResources[i].id == id)
            return {embeddedResources[i].data, embeddedResources[i].size};
    }
    return {};
}

Bitmap loadBitmapResource(int32_t id) {
    auto& decoded = decodedResources();
    for (const DecodedResource& r : decoded) {
        if (r.id == id) return {r.bitmap.width, r.bitmap.height, r.bitmap.pixels.data()};
    }
    const std::span<const uint8_t> data = resourceData(id);
    DecodedBitmap bitmap;
    std::string error;
    if (data.empty() || !decodeBmp(data, bitmap, error)) return {0, 0, nullptr};
    // Moving the vector keeps its buffer, so bitmaps handed out earlier stay valid.
    decoded.push_back({id, std::move(bitmap)});
    const DecodedBitmap& kept = decoded.back().bitmap;
    return {kept.width, kept.height, kept.pixels.data()};
}

}  // namespace veldra
