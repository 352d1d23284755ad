#pragma once
// Page labels: the names a reader shows for the pages and accepts in "go to page", given as ranges.
// Each range starts at a page and labels it and every page up to the next range's start.

#include <cstdint>
#include <string>

namespace PDFWriter {

struct PageLabelRange {
    int32_t firstPage = 0;  // counting from 0; ranges must be given in ascending order of it
    std::wstring prefix;    // put before the number (or alone when there is none)
    // Decimal numbers from `firstNumber` on, one more per page of the range; with false, every page
    // of the range is labelled with the prefix alone.
    bool numbered = true;
    int32_t firstNumber = 1;
};

}  // namespace PDFWriter
