#include "pdfwriter/Zlib.h"

#include <zlib.h>

#include <climits>

namespace PDFWriter {

int64_t CompressScratchSize(int64_t n) {
    return n + n / 100 + 12;
}

int64_t CompressZlib(const uint8_t* in, size_t n, uint8_t* out, size_t capacity) {
    // zlib counts in uLong (64 bits here), so no size is truncated on the way in.
    uLongf outLength = capacity;
    const int result = compress2(out, &outLength, in, n, Z_DEFAULT_COMPRESSION);
    switch (result) {
        case Z_OK:
            return static_cast<int64_t>(outLength);
        case Z_MEM_ERROR:  // zlib could not allocate its state
        case Z_BUF_ERROR:  // the output did not fit the scratch area
        default:
            return -1;
    }
}

}  // namespace PDFWriter
