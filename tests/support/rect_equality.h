// Rectangles compared and printed in test assertions: EXPECT_EQ(rect, (Rect{0, 50, 240, 268})).
#pragma once

#include <ostream>

#include "platform/screen/drawing_context.h"

namespace veldra {

inline bool operator==(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline void PrintTo(const Rect& r, std::ostream* out) {
    *out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

}  // namespace veldra
