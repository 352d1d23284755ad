#pragma once
// Page composition: slide pictures in slide order become a new document, one page per slide or per
// pair of slides, each picture turned to the page's orientation, fitted and centred.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/CancelToken.h"
#include "pdfwriter/PDF.h"

// Returns the new document (owned by the caller; not yet finished), or null for an empty list, a
// page size below 1, or a cancellation seen between pages. Pictures that cannot be decoded give no
// page. slidesPerPage is 1 or 2.
std::unique_ptr<PDFWriter::PDF> ComposeDocument(const std::vector<std::wstring>& pictures, int32_t pageWidth,
                                                int32_t pageHeight, int32_t slidesPerPage,
                                                const vellumet::CancelToken* cancel = nullptr);
