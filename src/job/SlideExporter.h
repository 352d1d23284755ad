#pragma once
// The office suite as the job sees it: which release is installed, and the export of every slide
// of a presentation as a PNG picture.

#include <cstdint>
#include <string>

#include "common/CancelToken.h"

namespace vellumet {

class SlideExporter {
public:
    virtual ~SlideExporter() = default;

    // The installed release as a version code: 0 none or unknown, 3 the oldest usable, 4 and
    // above later releases.
    virtual int GetPowerPointVersion() = 0;

    // Exports every slide of `sourcePath` as a `exportWidth` x `exportHeight` PNG picture into
    // `folder` (an existing folder, no trailing separator), one file after another in slide order.
    // `flags` are ExportFlags bits; `openDispId` is the identifier that opens the presentation.
    // Stops at the next slide once `cancel` (may be null) is cancelled. The job does not look at
    // the result: a failed export shows up as missing pictures.
    virtual int ExportSlides(int flags, const std::wstring& sourcePath, const std::wstring& folder,
                             int32_t exportWidth, int32_t exportHeight, int32_t openDispId,
                             const CancelToken* cancel) = 0;
};

}  // namespace vellumet
