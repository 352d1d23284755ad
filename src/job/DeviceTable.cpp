#include "job/DeviceTable.h"

#include <algorithm>

#include "common/ExportFlags.h"

namespace vellumet {

PixelSize LookupDevice(std::wstring_view schemeName) {
    for (const DeviceScheme& row : kDeviceSchemes) {
        if (schemeName == row.schemeName) {
            return {row.pageWidth, row.pageHeight};
        }
    }
    return {kDefaultDevice.pageWidth, kDefaultDevice.pageHeight};
}

bool IsPageSizeInRange(PixelSize page) {
    return page.width >= 1 && page.width <= kMaxPageSide && page.height >= 1 && page.height <= kMaxPageSide;
}

PixelSize PageSizeOf(const ConversionSettings& settings) {
    return settings.pageSize ? *settings.pageSize : LookupDevice(settings.schemeName);
}

PixelSize ComputeExportSize(PixelSize page) {
    // 64-bit intermediates: the products must not overflow for any int32 page.
    const int64_t h = page.height;
    const int64_t m = std::min(page.width, page.height);
    if (3 * h > 4 * m) {
        return {static_cast<int32_t>(4 * m / 3), static_cast<int32_t>(m)};
    }
    return {static_cast<int32_t>(h), static_cast<int32_t>(3 * h / 4)};
}

PixelSize ExportSizeOf(const ConversionSettings& settings, PixelSize page) {
    return settings.notesPages ? page : ComputeExportSize(page);
}

int ExportFlagsOf(const ConversionSettings& settings) {
    int flags = 0;
    if (settings.omitBackground != 0) {
        flags |= ExportFlags::OmitBackground;
    }
    if (settings.omitShadow != 0) {
        flags |= ExportFlags::OmitShadow;
    }
    if (settings.notesPages) {
        flags |= ExportFlags::NotesPages;
    }
    return flags;
}

int32_t SlidesPerPageOf(const ConversionSettings& settings) {
    return settings.twoSlidesPerPage != 0 && !settings.notesPages ? 2 : 1;
}

}  // namespace vellumet
