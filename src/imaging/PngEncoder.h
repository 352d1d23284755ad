#pragma once
// A fast encoder for short-lived slide pictures: 8-bit RGB, not interlaced, each row filtered with
// "Up", compressed as runs (RunLengthDeflate.h) or, where runs do not pay, at the general
// compressor's fastest level. What PngDecoder reads back to the same pixels.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imaging {

// The PNG file of a `width` x `height` picture whose rows of width * 3 bytes (red, green, blue)
// lie `stride` bytes apart from `firstRow` on. Empty when a side is below 1 or above
// PDFWriter::kMaxImageSide, or when memory runs out. Thread-safe: keeps no state between calls.
std::vector<uint8_t> EncodeRgbPng(const uint8_t* firstRow, ptrdiff_t stride, int32_t width, int32_t height);

}  // namespace imaging
