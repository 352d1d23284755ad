#pragma once
// Page composition: slide pictures in slide order become a new document, one page per slide or per
// pair of slides, each picture turned to the page's orientation, fitted and centred.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/CancelToken.h"
#include "common/LeftOutPicture.h"
#include "common/PageColours.h"
#include "pdfwriter/PDF.h"

// Returns the new document (owned by the caller; not yet finished), or null for an empty list, a
// page size below 1, a slidesPerPage other than 1 or 2, memory running out, or a cancellation seen
// between pages (nothing is left behind). Pictures that cannot be decoded give no page, and so do
// pictures that cannot be fitted to the page within the image limits. Uses one thread per core.
std::unique_ptr<PDFWriter::PDF> ComposeDocument(const std::vector<std::wstring>& pictures, int32_t pageWidth,
                                                int32_t pageHeight, int32_t slidesPerPage,
                                                const vellumet::CancelToken* cancel = nullptr);

// The same, with the pages encoded on `threads` worker threads (0 or less: one per processor core;
// 1: all on the calling thread). The document is identical byte for byte whatever the thread count:
// images and pages reach it in slide order on the calling thread. At most a few pages are encoded
// ahead of the one being added.
std::unique_ptr<PDFWriter::PDF> ComposeDocument(const std::vector<std::wstring>& pictures, int32_t pageWidth,
                                                int32_t pageHeight, int32_t slidesPerPage,
                                                const vellumet::CancelToken* cancel, int32_t threads);

// The same, with the page pictures stored in `colours` (the overloads above store them as rgb) and
// the pictures that gave no page, or no lower half of a pair, appended to `*leftOut` (when given)
// in list order, each with its reason; the second picture of a pair whose first is left out is
// left out with LeftOutReason::PartnerLeftOut. A pair's rule stays a solid line of one level in the
// gray palettes.
std::unique_ptr<PDFWriter::PDF> ComposeDocument(const std::vector<std::wstring>& pictures, int32_t pageWidth,
                                                int32_t pageHeight, int32_t slidesPerPage,
                                                vellumet::PageColours colours,
                                                const vellumet::CancelToken* cancel,
                                                std::vector<vellumet::LeftOutPicture>* leftOut,
                                                int32_t threads = 0);
