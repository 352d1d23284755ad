#pragma once
// The one place that talks to zlib and interprets its return codes.

#include <cstddef>
#include <cstdint>

namespace PDFWriter {

// Scratch capacity for compressing n bytes: n + n / 100 + 12 (the documented bound of the format's
// one-shot compressor at the default level).
int64_t CompressScratchSize(int64_t n);

// Compresses n input bytes into the zlib format (RFC 1950) at the default level, writing at most
// `capacity` bytes to `out`. Returns the compressed length, or -1 when zlib reports anything but
// success (including an output that does not fit and an allocation failure).
int64_t CompressZlib(const uint8_t* in, size_t n, uint8_t* out, size_t capacity);

}  // namespace PDFWriter
