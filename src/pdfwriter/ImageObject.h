#pragma once
// One picture embedded in a document as an image XObject of zlib-compressed pixels: 24-bit RGB, or
// gray samples of 8 or 4 bits (two pixels a byte, the left one in the high half; every row starts
// on a byte of its own).
//
// Two ways to make one:
// - ImageObject(document, picture, format, w, h) extracts, encodes, writes and registers at once.
// - ImageObject(picture, format, w, h) only extracts and encodes. It touches no document, so any
//   thread may do it; the document's thread then hands it to PDF::RegisterImage, in page order.
// After registration the encoded bytes live in the document's buffer, and the image's own copy is
// released. Only x and y change afterwards, before Page::PlaceImage.

#include <cstdint>
#include <memory>
#include <string>

#include "pdfwriter/MemoryStream.h"

namespace PDFWriter {

class PDF;
class PixelSource;

// What an image object stores per pixel, and so its /ColorSpace and /BitsPerComponent.
enum class ImageSamples {
    Rgb8,   // DeviceRGB, 8 bits a component, read with PixelSource::LockBitsBgr
    Gray8,  // DeviceGray, 8 bits, read with PixelSource::LockBitsGray
    Gray4,  // DeviceGray, 4 bits, read with PixelSource::LockBitsGray
};

// Pictures larger than this on either side are not read (treated as a picture that cannot be read).
inline constexpr int32_t kMaxImageSide = 20000;

class ImageObject {
public:
    ImageObject(PDF* document, PixelSource* picture, const std::wstring& format, int32_t requestedWidth,
                int32_t requestedHeight, ImageSamples samples = ImageSamples::Rgb8);
    ImageObject(PixelSource* picture, const std::wstring& format, int32_t requestedWidth,
                int32_t requestedHeight, ImageSamples samples = ImageSamples::Rgb8);
    ~ImageObject();

    ImageObject(const ImageObject&) = delete;
    ImageObject& operator=(const ImageObject&) = delete;

    // Clips the requested size to the picture (from its top-left corner), stores it as width and
    // height, and encodes those pixels as zlib-compressed `samples` into `stream`. With no picture, or a
    // picture that cannot be read, the stream stays empty.
    void LoadPixels(PixelSource* picture, int32_t requestedWidth, int32_t requestedHeight);

    // Writes the object body after its "<n> 0 obj\n": the dictionary, the stream and "endobj\n".
    void WriteObject(MemoryStream& out) const;

    int32_t number = 0;  // object number, set at registration
    double x = 0;        // left edge, units from the page's left edge
    double y = 0;        // top edge, units down from the page's top edge
    double width = 0;    // pixels stored, and units drawn
    double height = 0;
    std::wstring format;  // "PNG": zlib-compressed samples
    ImageSamples samples = ImageSamples::Rgb8;
    MemoryStream stream{32768};
};

}  // namespace PDFWriter
