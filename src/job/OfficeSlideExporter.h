#pragma once
// The installed office suite as the job's SlideExporter: the version probe and the slide-export
// conversation answered by a private LibreOffice started for each export.

#include "job/SlideExporter.h"

namespace vellumet {

class OfficeSlideExporter : public SlideExporter {
public:
    int GetPowerPointVersion() override;

    // Starts a LibreOffice of its own for this export and ends it (killing it on cancellation)
    // before returning. Returns the conversation's result (powerpoint/SlideExport.h).
    int ExportSlides(int flags, const std::wstring& sourcePath, const std::wstring& folder,
                     int32_t exportWidth, int32_t exportHeight, int32_t openDispId,
                     const CancelToken* cancel) override;
};

}  // namespace vellumet
