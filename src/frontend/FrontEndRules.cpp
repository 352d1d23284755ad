#include "frontend/FrontEndRules.h"

#include "frontend/DeviceList.h"

namespace vellumet {

int32_t NextProgressPosition(int32_t position, int32_t step) {
    const int32_t sum = position + step;
    return sum > kProgressMaximum ? sum % kProgressMaximum + 75 : sum;
}

ConversionSettings JobSettingsFromChoice(const settings::SettingsChoice& choice,
                                         std::span<const DeviceProfile> devices, const std::wstring& source,
                                         const std::wstring& outputFolder, const std::wstring& tempFolder) {
    ConversionSettings job;
    job.sourcePath = source;
    job.schemeName = choice.scheme;
    job.pageSize = PageSizeFor(devices, choice.scheme);
    job.outputFolder = outputFolder;
    job.omitBackground = choice.omitBackground ? 1 : 0;
    job.omitShadow = choice.omitShadow ? 1 : 0;
    job.twoSlidesPerPage = choice.twoSlidesPerPage ? 1 : 0;
    job.colours = ColoursFor(devices, choice.scheme);
    if (const DeviceProfile* device = DeviceNamedExactly(devices, choice.scheme)) {
        job.outline = device->outline;
        job.searchable = device->searchable;
        job.notesPages = device->notes;
    }
    job.tempFolder = tempFolder;
    return job;
}

}  // namespace vellumet
