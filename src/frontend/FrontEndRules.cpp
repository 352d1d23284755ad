#include "frontend/FrontEndRules.h"

#include <cwctype>

#include "job/DeviceTable.h"

namespace vellumet {

namespace {

wchar_t FoldCase(wchar_t c) {
    if (c >= L'A' && c <= L'Z') {
        return static_cast<wchar_t>(c - L'A' + L'a');
    }
    if (c < 0x80) {
        return c;
    }
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix) {
    if (prefix.size() > text.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (FoldCase(text[i]) != FoldCase(prefix[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<std::wstring> DeviceListEntries() {
    std::vector<std::wstring> entries;
    for (const DeviceScheme& row : kDeviceSchemes) {
        entries.emplace_back(row.schemeName);
    }
    return entries;
}

int FindDeviceEntry(std::span<const std::wstring> entries, std::wstring_view remembered) {
    for (size_t i = 0; i < entries.size(); ++i) {
        if (StartsWithIgnoringCase(entries[i], remembered)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::wstring DeviceForRemembered(std::wstring_view remembered) {
    const std::vector<std::wstring> entries = DeviceListEntries();
    const int entry = FindDeviceEntry(entries, remembered);
    return entry >= 0 ? entries[static_cast<size_t>(entry)] : std::wstring();
}

int32_t NextProgressPosition(int32_t position, int32_t step) {
    const int32_t sum = position + step;
    return sum > kProgressMaximum ? sum % kProgressMaximum + 75 : sum;
}

ConversionSettings JobSettingsFromChoice(const settings::SettingsChoice& choice, const std::wstring& source,
                                         const std::wstring& outputFolder, const std::wstring& tempFolder) {
    ConversionSettings job;
    job.sourcePath = source;
    job.schemeName = choice.scheme;
    job.outputFolder = outputFolder;
    job.omitBackground = choice.omitBackground ? 1 : 0;
    job.omitShadow = choice.omitShadow ? 1 : 0;
    job.twoSlidesPerPage = choice.twoSlidesPerPage ? 1 : 0;
    job.tempFolder = tempFolder;
    return job;
}

}  // namespace vellumet
