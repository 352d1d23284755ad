#pragma once
// A scratch area for the large, short-lived buffers of one picture or page (file bytes, inflated
// rows, RGB rows, compression output), so that working through picture after picture does not map
// and fault in fresh memory each time.
//
// Each use declares its own `thread_local ScratchBuffer`: the area belongs to that use on that
// thread, and two uses never share one. After each picture the user calls Trim, so a rare huge
// picture does not pin its memory for the life of the thread.

#include <cstddef>
#include <cstdint>

namespace vellumet {

// Areas up to this size stay with the thread for its next picture; larger ones go at Trim.
inline constexpr size_t kKeptScratchBytes = 16 * 1024 * 1024;

class ScratchBuffer {
public:
    ScratchBuffer() = default;
    ~ScratchBuffer();
    ScratchBuffer(const ScratchBuffer&) = delete;
    ScratchBuffer& operator=(const ScratchBuffer&) = delete;

    // At least `size` bytes, or null when memory runs out (the area is then empty). The contents are
    // unspecified. The pointer stays valid until the next Get or Trim.
    uint8_t* Get(size_t size);

    // Frees the area when it is larger than kKeptScratchBytes.
    void Trim();

    // Bytes held now.
    size_t Capacity() const { return size_; }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace vellumet
