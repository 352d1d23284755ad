#include "pdfwriter/ImageObject.h"

#include <memory>

#include "common/ScratchBuffer.h"
#include "pdfwriter/NumberFormat.h"
#include "pdfwriter/PDF.h"
#include "pdfwriter/PixelSource.h"

namespace PDFWriter {
namespace {

int32_t ClipToPicture(int32_t requested, int32_t pictureSide) {
    if (requested < 0) {
        return 0;
    }
    return requested >= pictureSide ? pictureSide : requested;
}

}  // namespace

ImageObject::ImageObject(PDF* document, PixelSource* picture, const std::wstring& formatName,
                         int32_t requestedWidth, int32_t requestedHeight)
    : ImageObject(picture, formatName, requestedWidth, requestedHeight) {
    // The caller made this object with new; from here on the document owns it.
    if (document != nullptr) {
        document->RegisterImage(std::unique_ptr<ImageObject>(this));
    }
}

ImageObject::ImageObject(PixelSource* picture, const std::wstring& formatName, int32_t requestedWidth,
                         int32_t requestedHeight)
    : format(formatName) {
    if (picture != nullptr) {
        LoadPixels(picture, requestedWidth, requestedHeight);
    }
}

ImageObject::~ImageObject() = default;

void ImageObject::LoadPixels(PixelSource* picture, int32_t requestedWidth, int32_t requestedHeight) {
    const int32_t pictureWidth = picture->Width();
    const int32_t pictureHeight = picture->Height();
    const int32_t w = ClipToPicture(requestedWidth, pictureWidth > 0 ? pictureWidth : 0);
    const int32_t h = ClipToPicture(requestedHeight, pictureHeight > 0 ? pictureHeight : 0);
    width = w;
    height = h;
    stream.Reset();
    if (w == 0 || h == 0 || w > kMaxImageSide || h > kMaxImageSide) {
        return;
    }

    const uint8_t* firstRow = nullptr;
    ptrdiff_t stride = 0;
    if (!picture->LockBitsBgr(w, h, firstRow, stride)) {
        return;
    }
    // At most 20000 x 20000 x 3 bytes: within 32 bits, checked above.
    const size_t rowBytes = static_cast<size_t>(w) * 3;
    const size_t size = rowBytes * static_cast<size_t>(h);
    thread_local vellumet::ScratchBuffer rgbRows;
    uint8_t* rgb = rgbRows.Get(size);
    if (rgb != nullptr) {
        for (int32_t r = 0; r < h; ++r) {
            const uint8_t* source = firstRow + r * stride;
            uint8_t* target = rgb + static_cast<size_t>(r) * rowBytes;
            for (int32_t c = 0; c < w; ++c, source += 3, target += 3) {
                target[0] = source[2];
                target[1] = source[1];
                target[2] = source[0];
            }
        }
    }
    picture->UnlockBits();
    if (rgb != nullptr) {
        stream.Append(rgb, static_cast<int32_t>(size), true);
        stream.ShrinkToFit();
    }
    rgbRows.Trim();
}

void ImageObject::WriteObject(MemoryStream& out) const {
    out.AppendText("<<\n");
    out.AppendText("/Type /XObject\n");
    out.AppendText("/Subtype /Image\n");
    out.AppendText("/Filter /FlateDecode\n");
    out.AppendText("/Width ");
    AppendInteger(out, static_cast<int64_t>(width));
    out.AppendText("\n");
    out.AppendText("/Height ");
    AppendInteger(out, static_cast<int64_t>(height));
    out.AppendText("\n");
    out.AppendText("/ColorSpace /DeviceRGB\n");
    out.AppendText("/BitsPerComponent 8\n");
    out.AppendText("/Length ");
    AppendInteger(out, stream.Length());
    out.AppendText("\n");
    out.AppendText(">>\n");
    out.AppendText("stream\n");
    out.Append(stream.Data(), stream.Length());
    out.AppendText("\nendstream\n");
    out.AppendText("endobj\n");
}

}  // namespace PDFWriter
