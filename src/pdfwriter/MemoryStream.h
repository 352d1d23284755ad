#pragma once
// A growable byte buffer: the whole output file, each page's content and each image's encoded
// pixels are assembled in one before anything reaches the disk.
//
// Growth rule for every write of n bytes: when length + n exceeds the capacity, the capacity becomes
// the larger of twice the old capacity and length + n (an exact fit does not grow; 0 bytes never
// allocate). Sizes are signed 32-bit. A write that would take the length past INT32_MAX, or an
// allocation that fails, poisons the stream: it keeps its bytes, ignores every later write and
// reports Failed(), so a truncated result can never be mistaken for a whole one.

#include <cstdint>

namespace PDFWriter {

class MemoryStream {
public:
    // Allocates initialCapacity bytes (none for 0). Length starts at 0.
    explicit MemoryStream(int32_t initialCapacity);
    virtual ~MemoryStream();

    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    // Appends `size` bytes (size >= 0), or with `compress` their zlib compression (default level).
    // A failed compression appends nothing.
    MemoryStream& Append(const void* bytes, int32_t size, bool compress = false);
    // Appends the text's bytes without the terminating NUL.
    MemoryStream& AppendText(const char* text);
    void AppendByte(uint8_t byte);

    // Frees the bytes and returns to the empty state: no data, capacity 0, length 0, not failed.
    void Reset();
    // Frees bytes beyond the length (the stream keeps its content).
    void ShrinkToFit();

    const uint8_t* Data() const { return data_; }
    int32_t Capacity() const { return capacity_; }
    int32_t Length() const { return length_; }
    bool Failed() const { return failed_; }

private:
    // Makes room for n more bytes by the growth rule; false (and poisoned) when it cannot.
    bool Reserve(int64_t n);

    uint8_t* data_ = nullptr;
    int32_t capacity_ = 0;
    int32_t length_ = 0;
    bool failed_ = false;
};

}  // namespace PDFWriter
