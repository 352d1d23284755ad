#pragma once
// The installed LibreOffice as the job's SlideExporter: the version probe, and the slide-export
// conversation answered by a private office started for each export.

#include <string>
#include <utility>

#include "job/SlideExporter.h"
#include "powerpoint/libreoffice/OfficeOptions.h"

namespace powerpoint {

class LibreOfficeExporter : public vellumet::SlideExporter {
public:
    // `options` for every office it starts; their cancel token is replaced by each export's own.
    explicit LibreOfficeExporter(LibreOfficeOptions options = {}) : options_(std::move(options)) {}

    int GetPowerPointVersion() override;
    std::wstring VersionRefusal() const override;

    // Refuses a source that is not a readable file before any office starts. Otherwise starts a
    // LibreOffice of its own for this export and ends it (killing it on cancellation) before
    // returning. An office that fails on its own (a crash, or one that cannot be reached while
    // starting) is replaced by a fresh one for a second and last attempt; the pictures of a failed
    // attempt are gone by then, so none is doubled.
    // Returns the conversation's result (powerpoint/SlideExport.h).
    int ExportSlides(int flags, const std::wstring& sourcePath, const std::wstring& folder,
                     int32_t exportWidth, int32_t exportHeight, int32_t openDispId,
                     const vellumet::CancelToken* cancel) override;

    // The office's own words for the first thing that failed in the last export, or what is wrong
    // with the installed office after GetPowerPointVersion refused it.
    std::wstring LastFailure() const override { return lastFailure_; }

private:
    LibreOfficeOptions options_;
    std::wstring lastFailure_;
};

}  // namespace powerpoint
