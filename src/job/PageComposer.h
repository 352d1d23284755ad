#pragma once
// Composition that may begin before the export has ended. The job makes one composer per
// presentation, tells it of each slide picture as soon as the exporter has finished writing it, and
// composes through it once the export is over. The document is the one ComposeFunction would make
// from the same pictures, whatever was begun early.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/CancelToken.h"
#include "common/LeftOutPicture.h"
#include "common/PageColours.h"
#include "pdfwriter/PDF.h"

namespace vellumet {

class PageComposer {
public:
    virtual ~PageComposer() = default;

    // `picture` (a full path) is complete. Pictures come in the order they were completed, from one
    // thread at a time, all before Compose. Never throws.
    virtual void PictureWritten(const std::wstring& picture) noexcept = 0;

    // As ComposeFunction (ConversionJob.h) with the composer's page, slides per page, colours and
    // cancel token, for `pictures` in slide order. Called once; nothing began early runs after it
    // returns.
    virtual std::unique_ptr<PDFWriter::PDF> Compose(const std::vector<std::wstring>& pictures,
                                                    std::vector<LeftOutPicture>* leftOut) = 0;
};

// Makes the composer of one run (MakeComposeAhead, imaging/ComposeAhead.h, in the product).
// `cancel` may be null and outlives the composer.
using ComposerFunction = std::unique_ptr<PageComposer> (*)(int32_t pageWidth, int32_t pageHeight,
                                                           int32_t slidesPerPage, PageColours colours,
                                                           const CancelToken* cancel);

}  // namespace vellumet
