#include "powerpoint/libreoffice/ExportSize.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>

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
    static constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::ifstream in(file, std::ios::binary);
    std::array<unsigned char, 24> head{};
    if (!in.read(reinterpret_cast<char*>(head.data()), head.size())) {
        return {};
    }
    if (std::memcmp(head.data(), kSignature, sizeof kSignature) != 0 ||
        std::memcmp(head.data() + 12, "IHDR", 4) != 0) {
        return {};
    }
    auto be32 = [&](size_t at) {
        return (uint32_t{head[at]} << 24) | (uint32_t{head[at + 1]} << 16) | (uint32_t{head[at + 2]} << 8) |
               uint32_t{head[at + 3]};
    };
    const uint32_t width = be32(16);
    const uint32_t height = be32(20);
    if (width == 0 || height == 0 || width > 0x7fffffff || height > 0x7fffffff) {
        return {};
    }
    return {static_cast<int>(width), static_cast<int>(height)};
}

}  // namespace powerpoint
