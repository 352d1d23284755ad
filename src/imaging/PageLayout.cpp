#include "imaging/PageLayout.h"

namespace imaging {
namespace {

// Truncates toward zero into [0, limit]; the value is never above limit but for rounding.
int32_t TruncateToSide(double value, int32_t limit) {
    if (!(value > 0)) {
        return 0;
    }
    if (value >= static_cast<double>(limit)) {
        return limit;
    }
    return static_cast<int32_t>(value);
}

}  // namespace

bool NeedsQuarterTurn(int32_t w, int32_t h, int32_t pageWidth, int32_t pageHeight) {
    const int64_t picture = int64_t{w} - h;
    const int64_t page = int64_t{pageWidth} - pageHeight;
    return (picture < 0 && page > 0) || (picture > 0 && page < 0);
}

Fit FitToPage(int32_t w, int32_t h, int32_t pageWidth, int32_t pageHeight) {
    const double r = static_cast<double>(w) / static_cast<double>(h);
    const double p = static_cast<double>(pageWidth) / static_cast<double>(pageHeight);
    Fit fit;
    if (p > r) {
        fit.width = TruncateToSide(static_cast<double>(pageHeight) * r, pageWidth);
        fit.height = pageHeight;
    } else if (p < r) {
        fit.width = pageWidth;
        fit.height = TruncateToSide(static_cast<double>(pageWidth) / r, pageHeight);
    } else {
        fit.width = pageWidth;
        fit.height = pageHeight;
    }
    return fit;
}

Placement CentreOnPage(Fit fit, int32_t pageWidth, int32_t pageHeight) {
    return {static_cast<double>((int64_t{pageWidth} - fit.width) / 2),
            static_cast<double>((int64_t{pageHeight} - fit.height) / 2)};
}

}  // namespace imaging
