#pragma once
// A size in pixels, width first.

#include <cstdint>

namespace vellumet {

struct PixelSize {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const PixelSize&) const = default;
};

}  // namespace vellumet
