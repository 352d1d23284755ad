#include "common/ScratchBuffer.h"

#include <cstdlib>

namespace vellumet {

ScratchBuffer::~ScratchBuffer() {
    std::free(data_);
}

uint8_t* ScratchBuffer::Get(size_t size) {
    if (size_ < size) {
        // Freed first: the old contents are not kept, and both areas need not fit at once.
        std::free(data_);
        data_ = static_cast<uint8_t*>(std::malloc(size));
        size_ = data_ != nullptr ? size : 0;
    }
    return data_;
}

void ScratchBuffer::Trim() {
    if (size_ > kKeptScratchBytes) {
        std::free(data_);
        data_ = nullptr;
        size_ = 0;
    }
}

}  // namespace vellumet
