#include "pdfwriter/MemoryStream.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "common/ScratchBuffer.h"
#include "pdfwriter/Zlib.h"

namespace PDFWriter {

MemoryStream::MemoryStream(int32_t initialCapacity) {
    if (initialCapacity > 0) {
        data_ = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(initialCapacity)));
        if (data_ == nullptr) {
            failed_ = true;
        } else {
            capacity_ = initialCapacity;
        }
    }
}

MemoryStream::~MemoryStream() {
    std::free(data_);
}

bool MemoryStream::Reserve(int64_t n) {
    if (failed_) {
        return false;
    }
    const int64_t needed = static_cast<int64_t>(length_) + n;
    if (needed > INT32_MAX) {
        failed_ = true;
        return false;
    }
    if (needed > capacity_) {
        // Doubling is capped at the largest 32-bit size, which still holds `needed`.
        int64_t newCapacity = 2 * static_cast<int64_t>(capacity_);
        if (newCapacity <= needed) {
            newCapacity = needed;
        }
        if (newCapacity > INT32_MAX) {
            newCapacity = INT32_MAX;
        }
        // realloc keeps the first `length` bytes; large blocks move without a copy.
        auto* grown = static_cast<uint8_t*>(std::realloc(data_, static_cast<size_t>(newCapacity)));
        if (grown == nullptr) {
            failed_ = true;
            return false;
        }
        data_ = grown;
        capacity_ = static_cast<int32_t>(newCapacity);
    }
    return true;
}

MemoryStream& MemoryStream::Append(const void* bytes, int32_t size, bool compress) {
    if (size < 0 || failed_) {
        return *this;
    }
    if (!compress) {
        if (size > 0 && Reserve(size)) {
            std::memcpy(data_ + length_, bytes, static_cast<size_t>(size));
            length_ += size;
        }
        return *this;
    }

    // The compressor writes into a scratch area of the documented bound, reused per thread; only
    // the bytes it produced are appended.
    const int64_t scratchSize = CompressScratchSize(size);
    thread_local vellumet::ScratchBuffer compressed;
    uint8_t* scratch = compressed.Get(static_cast<size_t>(scratchSize));
    if (scratch == nullptr) {
        return *this;
    }
    const int64_t compressedLength =
        CompressZlib(static_cast<const uint8_t*>(bytes), static_cast<size_t>(size), scratch,
                     static_cast<size_t>(scratchSize));
    if (compressedLength >= 0 && compressedLength <= INT32_MAX) {
        Append(scratch, static_cast<int32_t>(compressedLength));
    }
    compressed.Trim();
    return *this;
}

MemoryStream& MemoryStream::AppendText(const char* text) {
    const size_t size = std::strlen(text);
    if (size > INT32_MAX) {
        failed_ = true;
        return *this;
    }
    return Append(text, static_cast<int32_t>(size));
}

void MemoryStream::AppendByte(uint8_t byte) {
    if (Reserve(1)) {
        data_[length_++] = byte;
    }
}

void MemoryStream::Reset() {
    std::free(data_);
    data_ = nullptr;
    capacity_ = 0;
    length_ = 0;
    failed_ = false;
}

void MemoryStream::ShrinkToFit() {
    if (length_ == 0) {
        const bool failed = failed_;
        Reset();
        failed_ = failed;
        return;
    }
    if (length_ < capacity_) {
        if (auto* shrunk = static_cast<uint8_t*>(std::realloc(data_, static_cast<size_t>(length_)))) {
            data_ = shrunk;
            capacity_ = length_;
        }
    }
}

}  // namespace PDFWriter
