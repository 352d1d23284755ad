#pragma once
// Target devices and the picture sizes derived from them. All sizes are in pixels, width first.

#include <cstdint>
#include <string_view>

#include "common/PixelSize.h"
#include "job/ConversionSettings.h"

namespace vellumet {

struct DeviceScheme {
    const wchar_t* schemeName;
    int32_t pageWidth;
    int32_t pageHeight;
};

// The known devices, in lookup order.
inline constexpr DeviceScheme kDeviceSchemes[] = {
    {L"Amazon Kindle DX", 784, 1150},  {L"Amazon Kindle 2", 560, 750},     {L"Small (600*800)", 600, 800},
    {L"Medium (900*1200)", 900, 1200}, {L"Large (1200*1600)", 1200, 1600},
};

// The page of any name that is not in the table.
inline constexpr DeviceScheme kDefaultDevice = {L"", 600, 800};

// The largest page side, in pixels, that a page size given instead of a table row may have.
inline constexpr int32_t kMaxPageSide = 20000;

// True when both sides of `page` lie within 1..kMaxPageSide.
bool IsPageSizeInRange(PixelSize page);

// The page size of the first row whose name equals `schemeName` exactly (case-sensitive),
// else that of kDefaultDevice.
PixelSize LookupDevice(std::wstring_view schemeName);

// The page a job's settings ask for: settings.pageSize when set, else LookupDevice(schemeName).
PixelSize PageSizeOf(const ConversionSettings& settings);

// The slide picture size asked of the export for a page: the largest landscape 4:3 rectangle that
// fits the page turned on its side (integer arithmetic, truncating). Page sizes are positive.
PixelSize ComputeExportSize(PixelSize page);

// The picture size a job asks of the export: the page itself for notes pages (portrait pictures
// that are not turned), else ComputeExportSize(page).
PixelSize ExportSizeOf(const ConversionSettings& settings, PixelSize page);

// ExportFlags bits for the settings' omitBackground, omitShadow and notesPages.
int ExportFlagsOf(const ConversionSettings& settings);

// 2 when twoSlidesPerPage is set without notesPages, else 1.
int32_t SlidesPerPageOf(const ConversionSettings& settings);

}  // namespace vellumet
