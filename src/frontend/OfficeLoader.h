#pragma once
// The office as both front ends get it: an exporter that loads the office module
// (powerpoint/OfficeModule.h) the first time the job asks for the office, so that help, the device
// list and picture folders work without the office's libraries. When the module cannot be loaded,
// the office counts as missing: the job shows the office's refusal, with why as the detail.
//
// The module is the file named by VELLUMET_OFFICE_MODULE when it is set; else, for a program that
// runs in the build tree it was built in, that build's module; else the one installed beside the
// program's libraries (<libdir>/vellumet/). A loaded module stays loaded until the process ends.

#include <memory>
#include <mutex>
#include <string>

#include "job/SlideExporter.h"

namespace vellumet {

class OfficeLoader : public SlideExporter {
public:
    OfficeLoader();
    ~OfficeLoader() override;

    OfficeLoader(const OfficeLoader&) = delete;
    OfficeLoader& operator=(const OfficeLoader&) = delete;

    // Load the module on their first call; then answer as the module's exporter does.
    int GetPowerPointVersion() override;
    std::wstring VersionRefusal() const override;
    int ExportSlides(int flags, const std::wstring& sourcePath, const std::wstring& folder,
                     int32_t exportWidth, int32_t exportHeight, int32_t openDispId,
                     const CancelToken* cancel) override;
    bool PrepareForExport(const CancelToken* cancel) override;
    std::wstring LastFailure() const override;

private:
    // The loaded exporter, or null with why in loadFailure_.
    SlideExporter* Loaded();

    mutable std::mutex mutex_;
    bool tried_ = false;
    std::unique_ptr<SlideExporter> exporter_;
    std::wstring loadFailure_;
};

}  // namespace vellumet
