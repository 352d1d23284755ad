#pragma once
// The picture size of one slide in an export of a requested size.

#include <cstdint>

#include "common/PixelSize.h"

namespace powerpoint {

using vellumet::PixelSize;

// The largest size with the slide's own aspect that fits within `requested`. A slide whose aspect
// equals the requested one (within one pixel of rounding) gets exactly `requested`, so a slide is
// never stretched. slideWidth and slideHeight are in any one unit and must be positive; the
// requested size must be positive. Each side of the result is at least 1.
PixelSize FitSlideSize(int64_t slideWidth, int64_t slideHeight, PixelSize requested);

}  // namespace powerpoint
