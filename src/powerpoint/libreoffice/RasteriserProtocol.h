#pragma once
// What the rasteriser (PdfRasteriser.h) and its worker processes (vellumet-rasterise) say to each
// other over the worker's standard input and output: fixed records in the machine's own byte order
// (both ends are built together and run on one machine).
//
// The worker is started as `vellumet-rasterise` and reads requests until its input ends. An open
// request (page kOpenFile, width the length of the path, followed by the path's bytes) makes it
// drop the file it had and open that one (none for an empty path); it answers with a Hello. Every other
// request asks for a page of the open file and is answered, in the order asked, with a PageAnswer followed by
// `pngBytes` bytes of a PNG file. It ends after its input ends or after a failure it has reported.

#include <cstdint>

namespace powerpoint::rasteriser {

struct Hello {
    int32_t pageCount;  // the pages of the PDF file (0 for none); -1 when it cannot be opened
};

struct PageRequest {
    int32_t page;   // 0-based, or kOpenFile
    int32_t width;  // of the picture, in pixels; the page is stretched to it
    int32_t height;
};

inline constexpr int32_t kOpenFile = -1;
inline constexpr int32_t kMaxPathBytes = 4096;

struct PageAnswer {
    int32_t page;
    int32_t status;     // kPageDone, or why no picture follows
    uint32_t pngBytes;  // 0 unless kPageDone
};

inline constexpr int32_t kPageDone = 0;
inline constexpr int32_t kPageNotRendered = 1;  // no such page, a bad size, or the renderer failed
inline constexpr int32_t kPageNotEncoded = 2;

// Larger answers are refused: no slide picture of the largest export size comes near it.
inline constexpr uint32_t kMaxPngBytes = 512u << 20;

}  // namespace powerpoint::rasteriser
