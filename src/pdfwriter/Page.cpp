#include "pdfwriter/Page.h"

#include "pdfwriter/ImageObject.h"
#include "pdfwriter/NumberFormat.h"
#include "pdfwriter/PDF.h"

namespace PDFWriter {

Page::Page(PDF* owner, PageSize size) : width(size.width), height(size.height), document(owner) {
    if (document != nullptr) {
        document->pages_.emplace_back(this);
    }
}

Page::~Page() = default;

void Page::PlaceImage(const ImageObject& image) {
    // The matrix maps the unit square onto the picture; PDF measures y from the page's bottom.
    content.AppendText("q\n");
    AppendReal(content, image.width);
    content.AppendText(" 0 0 ");
    AppendReal(content, image.height);
    content.AppendByte(' ');
    AppendReal(content, image.x);
    content.AppendByte(' ');
    AppendReal(content, height - image.y - image.height);
    content.AppendText(" cm\n");
    content.AppendText("/Im");
    AppendInteger(content, image.number);
    content.AppendText(" Do\n");
    content.AppendText("Q\n");
}

}  // namespace PDFWriter
