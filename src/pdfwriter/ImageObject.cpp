#include "pdfwriter/ImageObject.h"

#include <cstring>
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

size_t RowBytes(ImageSamples samples, int32_t w) {
    const auto width = static_cast<size_t>(w);
    switch (samples) {
        case ImageSamples::Gray8:
            return width;
        case ImageSamples::Gray4:
            return (width + 1) / 2;
        case ImageSamples::Rgb8:
            break;
    }
    return width * 3;
}

void BgrToRgb(const uint8_t* source, int32_t w, uint8_t* target) {
    for (int32_t c = 0; c < w; ++c, source += 3, target += 3) {
        target[0] = source[2];
        target[1] = source[1];
        target[2] = source[0];
    }
}

// Two samples (each below 16) a byte, the left one high; an odd row ends with a low half of zero.
void PackNibbles(const uint8_t* source, int32_t w, uint8_t* target) {
    int32_t c = 0;
    for (; c + 1 < w; c += 2) {
        *target++ = static_cast<uint8_t>((source[c] << 4) | (source[c + 1] & 0x0F));
    }
    if (c < w) {
        *target = static_cast<uint8_t>(source[c] << 4);
    }
}

}  // namespace

ImageObject::ImageObject(PDF* document, PixelSource* picture, const std::wstring& formatName,
                         int32_t requestedWidth, int32_t requestedHeight, ImageSamples kind)
    : ImageObject(picture, formatName, requestedWidth, requestedHeight, kind) {
    // The caller made this object with new; from here on the document owns it.
    if (document != nullptr) {
        document->RegisterImage(std::unique_ptr<ImageObject>(this));
    }
}

ImageObject::ImageObject(PixelSource* picture, const std::wstring& formatName, int32_t requestedWidth,
                         int32_t requestedHeight, ImageSamples kind)
    : format(formatName), samples(kind) {
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
    const bool gray = samples != ImageSamples::Rgb8;
    if (!(gray ? picture->LockBitsGray(w, h, firstRow, stride)
               : picture->LockBitsBgr(w, h, firstRow, stride))) {
        return;
    }
    // At most 20000 x 20000 x 3 bytes: within 32 bits, checked above.
    const size_t rowBytes = RowBytes(samples, w);
    const size_t size = rowBytes * static_cast<size_t>(h);
    thread_local vellumet::ScratchBuffer packedRows;
    uint8_t* packed = packedRows.Get(size);
    if (packed != nullptr) {
        for (int32_t r = 0; r < h; ++r) {
            const uint8_t* source = firstRow + r * stride;
            uint8_t* target = packed + static_cast<size_t>(r) * rowBytes;
            switch (samples) {
                case ImageSamples::Rgb8:
                    BgrToRgb(source, w, target);
                    break;
                case ImageSamples::Gray8:
                    std::memcpy(target, source, rowBytes);
                    break;
                case ImageSamples::Gray4:
                    PackNibbles(source, w, target);
                    break;
            }
        }
    }
    picture->UnlockBits();
    if (packed != nullptr) {
        stream.Append(packed, static_cast<int32_t>(size), true);
        stream.ShrinkToFit();
    }
    packedRows.Trim();
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
    out.AppendText(samples == ImageSamples::Rgb8 ? "/ColorSpace /DeviceRGB\n" : "/ColorSpace /DeviceGray\n");
    out.AppendText(samples == ImageSamples::Gray4 ? "/BitsPerComponent 4\n" : "/BitsPerComponent 8\n");
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
