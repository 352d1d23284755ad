#pragma once
// The page of one group of slide pictures (one slide, or a pair), turned, fitted, scaled and
// encoded as the page's image object: the work of composition that does not depend on the other
// pages, so it may run on any thread, in any order, and ahead of the document.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/CancelToken.h"
#include "common/LeftOutPicture.h"
#include "common/PageColours.h"
#include "imaging/PageLayout.h"
#include "pdfwriter/ImageObject.h"
#include "pdfwriter/PDF.h"

namespace imaging {

// What one group of slides (one page) turned into.
struct PageResult {
    enum class Outcome { NoPage, Page, OutOfMemory };
    Outcome outcome = Outcome::NoPage;
    std::unique_ptr<PDFWriter::ImageObject> image;  // encoded, not yet registered
    Fit fit;
    std::vector<vellumet::LeftOutPicture> leftOut;  // the group's pictures that gave no page
    bool done = false;                              // set by the worker that made it
};

// The fixed inputs of one composition; shared read-only by every worker.
struct CompositionJob {
    const std::vector<std::wstring>& pictures;
    int32_t pageWidth;
    int32_t pageHeight;
    int32_t slidesPerPage;
    vellumet::PageColours colours;
    const vellumet::CancelToken* cancel;
    std::vector<vellumet::LeftOutPicture>* leftOut;  // filled on the calling thread only

    size_t GroupCount() const {
        return (pictures.size() + static_cast<size_t>(slidesPerPage) - 1) /
               static_cast<size_t>(slidesPerPage);
    }
    bool Cancelled() const { return cancel != nullptr && cancel->IsCancelled(); }
};

// Encodes the page of group `group` (pictures group * slidesPerPage on). Allocation failures give
// Outcome::OutOfMemory. Reads only `job` and the group's picture files.
PageResult EncodeGroupNoThrow(const CompositionJob& job, size_t group) noexcept;

// A group's page encoded before the composition asked for it, or nothing (then it is encoded as
// usual). Called on composition threads, once per group at most.
using EncodedEarlier = std::function<std::optional<PageResult>(size_t group)>;

// The composition of ComposeDocument (ComposeDocument.h), with its checks of the arguments, taking
// each group's page from `earlier` when it has one.
std::unique_ptr<PDFWriter::PDF> ComposeJob(const CompositionJob& job, int32_t threads,
                                           const EncodedEarlier& earlier);

}  // namespace imaging
