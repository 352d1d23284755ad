#include "frontend/DeviceRules.h"

#include "job/DeviceTable.h"

namespace vellumet {

namespace {

bool IsControl(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

}  // namespace

std::wstring CheckDeviceName(std::wstring_view name) {
    if (name.empty()) {
        return L"Please enter a name for the device.";
    }
    if (name.size() > kMaxDeviceNameLength) {
        return L"The name is too long: at most " + std::to_wstring(kMaxDeviceNameLength) + L" characters.";
    }
    for (size_t i = 0; i < name.size(); ++i) {
        if (IsControl(name[i])) {
            return L"The name contains a control character (a tab, a line break or the like).";
        }
        // Lone surrogates stand for bytes that were not UTF-8 (WideText.h); a name must be text.
        if (name[i] >= 0xD800 && name[i] <= 0xDFFF) {
            return L"The name contains a character that is not text.";
        }
        if (name[i] == L' ' && i + 1 < name.size() && name[i + 1] == L' ') {
            return L"The name contains two spaces in a row.";
        }
    }
    if (name.front() == L' ' || name.back() == L' ') {
        return L"The name begins or ends with a space.";
    }
    return {};
}

std::wstring CheckDevicePage(PixelSize page) {
    const std::wstring range = L" must be from 1 to " + std::to_wstring(kMaxPageSide) + L" pixels.";
    if (page.width < 1 || page.width > kMaxPageSide) {
        return L"The width" + range;
    }
    if (page.height < 1 || page.height > kMaxPageSide) {
        return L"The height" + range;
    }
    if (page.width > page.height) {
        return L"Enter the page upright: the width may not exceed the height.";
    }
    if (page.height > kMaxPageAspect * page.width) {
        return L"The page is too narrow: it may be at most " + std::to_wstring(kMaxPageAspect) +
               L" times as high as it is wide.";
    }
    return {};
}

std::optional<int32_t> ParseDecimal(std::wstring_view text, size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits || maxDigits > 9) {
        return std::nullopt;
    }
    int32_t number = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        number = number * 10 + (c - L'0');
    }
    return number;
}

std::optional<int32_t> ParsePageSide(std::wstring_view text) {
    const std::optional<int32_t> side = ParseDecimal(text, 5);
    if (!side || *side < 1 || *side > kMaxPageSide) {
        return std::nullopt;
    }
    return side;
}

std::optional<PixelSize> ParsePageSize(std::wstring_view text) {
    const size_t x = text.find_first_of(L"xX");
    if (x == std::wstring_view::npos) {
        return std::nullopt;
    }
    const std::optional<int32_t> width = ParsePageSide(text.substr(0, x));
    const std::optional<int32_t> height = ParsePageSide(text.substr(x + 1));
    if (!width || !height) {
        return std::nullopt;
    }
    return PixelSize{*width, *height};
}

}  // namespace vellumet
