// The picture files built into the program (see views/CMakeLists.txt, which lists them,
// and views/embed_pictures.cmake, which turns them into byte arrays). Read through
// views/pictures.h; only pictures.cpp and the generated table include this.
#pragma once

#include <cstddef>
#include <cstdint>

namespace veldra {

struct EmbeddedResource {
    int32_t id;        // the resource number (105 icon, 120 menu-bar image, 124 background)
    const char* name;  // the file it came from, for messages
    const uint8_t* data;
    size_t size;  // bytes
};

extern const EmbeddedResource embeddedResources[];
extern const int32_t embeddedResourceCount;

}  // namespace veldra
