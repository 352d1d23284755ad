#pragma once
// What makes a device name and a page size acceptable, for the device editor, the stored list of the
// user's devices and the command line alike. Each check returns the reason, in one sentence for
// the user, or the empty text when the input is acceptable.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "common/PixelSize.h"

namespace vellumet {

inline constexpr size_t kMaxDeviceNameLength = 60;
// A device's page may be at most this many times as high as it is wide.
inline constexpr int32_t kMaxPageAspect = 4;

// A name: 1..kMaxDeviceNameLength characters, no control characters, no space at either end, and
// never two spaces in a row (listings separate their columns with two spaces).
std::wstring CheckDeviceName(std::wstring_view name);

// A device's page: each side within 1..kMaxPageSide (job/DeviceTable.h), in portrait (not wider
// than high), and at most kMaxPageAspect times as high as wide.
std::wstring CheckDevicePage(PixelSize page);

// The number written in `text`: 1 to `maxDigits` (at most 9) decimal digits and nothing else;
// nothing otherwise.
std::optional<int32_t> ParseDecimal(std::wstring_view text, size_t maxDigits);

// A page side written as decimal digits only, within 1..kMaxPageSide; nothing otherwise.
std::optional<int32_t> ParsePageSide(std::wstring_view text);

// "WxH" (or "WXH"): two page sides as ParsePageSide reads them; nothing otherwise. Any width and
// height within range is taken, landscape too: this is the size for one conversion, not a device.
std::optional<PixelSize> ParsePageSize(std::wstring_view text);

}  // namespace vellumet
