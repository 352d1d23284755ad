#include "powerpoint/libreoffice/ExportSize.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <optional>

#include "common/PngChunks.h"

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

PixelSize ReadPngSize(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::array<uint8_t, 29> head{};
    if (!in.read(reinterpret_cast<char*>(head.data()), head.size())) {
        return {};
    }
    const std::optional<vellumet::PngHeader> header = vellumet::ReadPngHeader(head.data(), head.size());
    if (!header) {
        return {};
    }
    return {static_cast<int>(header->width), static_cast<int>(header->height)};
}

}  // namespace powerpoint
