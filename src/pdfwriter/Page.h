#pragma once
// One page of a PDFWriter::PDF. A page is created with `new Page(document, size)`, which hands it to
// the document: the document owns and deletes it. Its content stays uncompressed until Finish.

#include <cstdint>
#include <span>

#include "pdfwriter/InvisibleText.h"
#include "pdfwriter/MemoryStream.h"

namespace PDFWriter {

class ImageObject;
class PDF;

// Words smaller than this (in units) along either side are not drawn.
inline constexpr double kMinInvisibleExtent = 0.01;

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

    // Appends one text object ("BT" ... "ET") that draws `words` invisibly, in order, each in the
    // document's TextFont at its size with the horizontal scaling that makes it span its length.
    // Words without text, or whose size, length or position is not a finite number with size and
    // length at least kMinInvisibleExtent, are left out; nothing is appended when none is left.
    // Requires a document.
    void DrawInvisibleText(std::span<const InvisibleWord> words);

    MemoryStream content{8192};
    double width = 0;
    double height = 0;
    PDF* document = nullptr;  // not owned
};

}  // namespace PDFWriter
