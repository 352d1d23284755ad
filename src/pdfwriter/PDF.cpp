#include "pdfwriter/PDF.h"

#include "pdfwriter/ImageObject.h"
#include "pdfwriter/NumberFormat.h"
#include "pdfwriter/Page.h"

namespace PDFWriter {

PDF::PDF() {
    // "%PDF-1.4", then a comment of five bytes with the high bit set: the file is binary.
    static constexpr uint8_t kHeader[16] = {0x25, 0x50, 0x44, 0x46, 0x2D, 0x31, 0x2E, 0x34,
                                            0x0A, 0x25, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0x0A};
    buffer_.Append(kHeader, sizeof kHeader);
}

PDF::~PDF() {
    images_.clear();
    pages_.clear();
}

void PDF::BeginObject() {
    offsets_.push_back(buffer_.Length());
    ++objectCount_;
    AppendInteger(buffer_, objectCount_);
    buffer_.AppendText(" 0 obj\n");
}

void PDF::RegisterImage(std::unique_ptr<ImageObject> image) {
    if (!image) {
        return;
    }
    BeginObject();
    image->WriteObject(buffer_);
    image->number = objectCount_;
    // The encoded bytes now live in the buffer; the image's own copy is never read again.
    image->stream.Reset();
    images_.push_back(std::move(image));
}

TextFont& PDF::InvisibleTextFont() {
    if (!textFont_) {
        textFont_ = std::make_unique<TextFont>();
    }
    return *textFont_;
}

}  // namespace PDFWriter
