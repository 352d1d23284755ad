#pragma once
// The arithmetic that puts one picture on one page. Sizes are pixels, which are also PDF units.

#include <cstdint>

namespace imaging {

// True when a w x h picture must be turned a quarter to match the page's orientation: one is
// landscape and the other portrait. A square picture or a square page never turns.
bool NeedsQuarterTurn(int32_t w, int32_t h, int32_t pageWidth, int32_t pageHeight);

// The largest size with the picture's aspect ratio that fits the page, truncated toward zero.
struct Fit {
    int32_t width = 0;
    int32_t height = 0;
};

// Fits a w x h picture (both at least 1) to a page (both at least 1). The result never exceeds the
// page; a side may come out as 0 for an extreme aspect ratio.
Fit FitToPage(int32_t w, int32_t h, int32_t pageWidth, int32_t pageHeight);

// The distance of the picture's left edge from the page's left edge, and of its top edge from the
// page's top edge: half the leftover, truncated toward zero.
struct Placement {
    double x = 0;
    double y = 0;
};

Placement CentreOnPage(Fit fit, int32_t pageWidth, int32_t pageHeight);

}  // namespace imaging
