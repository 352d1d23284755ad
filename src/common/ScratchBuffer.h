#pragma once
// A per-thread scratch area for the large, short-lived buffers of one page (RGB rows, compression
// output), so that encoding page after page does not map and fault in fresh memory each time.

#include <cstddef>
#include <cstdint>

namespace PDFWriter {

// Returns `size` bytes of this thread's scratch area `slot` (0 or 1), or null when memory runs
// out. The contents are unspecified. The area stays valid until the next ThreadScratch or
// ReleaseLargeScratch for the same slot on the same thread.
uint8_t* ThreadScratch(int slot, size_t size);

// Frees this thread's scratch area `slot` if it is larger than kKeptScratchBytes: a rare huge
// picture does not pin its memory for the life of the thread.
void ReleaseLargeScratch(int slot);

// The slots: one for a picture's RGB rows, one for compression output.
inline constexpr int kRgbScratchSlot = 0;
inline constexpr int kCompressScratchSlot = 1;

inline constexpr size_t kKeptScratchBytes = 16 * 1024 * 1024;

}  // namespace PDFWriter
