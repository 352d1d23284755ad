#include "powerpoint/libreoffice/ExportSize.h"

#include <algorithm>
#include <cmath>

namespace powerpoint {

PixelSize FitSlideSize(int64_t slideWidth, int64_t slideHeight, PixelSize requested) {
    if (slideWidth <= 0 || slideHeight <= 0 || requested.width <= 0 || requested.height <= 0) {
        return requested;
    }
    const double sw = static_cast<double>(slideWidth);
    const double sh = static_cast<double>(slideHeight);
    PixelSize fit;
    // Width-limited when the slide is at least as wide, relative to its height, as the request.
    if (sw * requested.height >= sh * requested.width) {
        fit.width = requested.width;
        fit.height = static_cast<int>(std::lround(requested.width * sh / sw));
    } else {
        fit.height = requested.height;
        fit.width = static_cast<int>(std::lround(requested.height * sw / sh));
    }
    fit.width = std::clamp(fit.width, 1, requested.width);
    fit.height = std::clamp(fit.height, 1, requested.height);
    if (std::abs(fit.width - requested.width) <= 1 && std::abs(fit.height - requested.height) <= 1) {
        return requested;
    }
    return fit;
}

}  // namespace powerpoint
