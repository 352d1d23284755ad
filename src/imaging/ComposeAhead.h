#pragma once
// The product's PageComposer: pages are encoded while the export still makes the later pictures.
// Each group of slidesPerPage pictures, in the order they were written, is encoded on worker
// threads as soon as it is complete, at a lower priority than the office (YieldToTheOffice). Compose
// takes a page from there only for a group of the same pictures, none of them changed since it was
// read; every other page is encoded then, so the document is ComposeDocument's, byte for byte.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/CancelToken.h"
#include "common/PageColours.h"
#include "job/PageComposer.h"

class ComposeAhead final : public vellumet::PageComposer {
public:
    // `threads`: 0 for one per core.
    ComposeAhead(int32_t pageWidth, int32_t pageHeight, int32_t slidesPerPage, vellumet::PageColours colours,
                 const vellumet::CancelToken* cancel, int32_t threads);
    ~ComposeAhead() override;
    ComposeAhead(const ComposeAhead&) = delete;
    ComposeAhead& operator=(const ComposeAhead&) = delete;

    void PictureWritten(const std::wstring& picture) noexcept override;
    std::unique_ptr<PDFWriter::PDF> Compose(const std::vector<std::wstring>& pictures,
                                            std::vector<vellumet::LeftOutPicture>* leftOut) override;

    // Waits until the pages of every complete group told of so far are encoded (for tests and
    // measurements; Compose waits by itself).
    void WaitForEarlyPages();
    // How many pages the last Compose took from the work begun early.
    size_t PagesTakenEarly() const;

private:
    class Work;
    std::unique_ptr<Work> work_;
};

// A ComposerFunction. `threads`: 0 for one per core.
std::unique_ptr<vellumet::PageComposer> MakeComposeAhead(int32_t pageWidth, int32_t pageHeight,
                                                         int32_t slidesPerPage, vellumet::PageColours colours,
                                                         const vellumet::CancelToken* cancel);
std::unique_ptr<vellumet::PageComposer> MakeComposeAhead(int32_t pageWidth, int32_t pageHeight,
                                                         int32_t slidesPerPage, vellumet::PageColours colours,
                                                         const vellumet::CancelToken* cancel,
                                                         int32_t threads);
