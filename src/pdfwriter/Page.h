#pragma once
// One page of a PDFWriter::PDF. A page is created with `new Page(document, size)`, which hands it to
// the document: the document owns and deletes it. Its content stays uncompressed until Finish.

#include <cstdint>

#include "pdfwriter/MemoryStream.h"

namespace PDFWriter {

class ImageObject;
class PDF;

struct PageSize {
    double width = 0;   // PDF units
    double height = 0;  // PDF units
};

class Page {
public:
    // Appends the page to the end of the document's pages; writes nothing to the document's buffer.
    Page(PDF* document, PageSize size);
    virtual ~Page();

    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    // Appends the operators that draw `image` (registered, with its x, y set) on this page:
    // "q", the matrix placing it width x height units large with its top-left corner x units from
    // the left and y units from the top, "/Im<number> Do", "Q".
    void PlaceImage(const ImageObject& image);

    MemoryStream content{8192};
    double width = 0;
    double height = 0;
    PDF* document = nullptr;  // not owned
};

}  // namespace PDFWriter
