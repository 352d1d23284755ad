#include "pdfwriter/ScratchBuffer.h"

#include <cstdlib>

namespace PDFWriter {
namespace {

struct Area {
    uint8_t* data = nullptr;
    size_t size = 0;
    ~Area() { std::free(data); }
};

thread_local Area areas[2];

}  // namespace

uint8_t* ThreadScratch(int slot, size_t size) {
    Area& area = areas[slot & 1];
    if (area.size < size) {
        std::free(area.data);
        area.data = static_cast<uint8_t*>(std::malloc(size));
        area.size = area.data != nullptr ? size : 0;
    }
    return area.data;
}

void ReleaseLargeScratch(int slot) {
    Area& area = areas[slot & 1];
    if (area.size > kKeptScratchBytes) {
        std::free(area.data);
        area.data = nullptr;
        area.size = 0;
    }
}

}  // namespace PDFWriter
