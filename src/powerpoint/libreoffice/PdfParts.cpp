#include "powerpoint/libreoffice/PdfParts.h"

#include <algorithm>
#include <cmath>

namespace powerpoint {

namespace {

constexpr int kShortestSplitDeck = 24;
constexpr int kFirstPart = 6;
constexpr int kMostParts = 16;

}  // namespace

std::vector<SlideSpan> PlanPdfParts(int slides) {
    std::vector<SlideSpan> parts;
    if (slides <= 0) {
        return parts;
    }
    if (slides < kShortestSplitDeck) {
        parts.push_back({1, slides});
        return parts;
    }
    const int count = std::clamp(static_cast<int>(std::lround(std::sqrt(slides * 0.6))), 3, kMostParts);
    parts.push_back({1, kFirstPart});
    const int rest = slides - kFirstPart;
    const int equal = count - 1;
    int next = kFirstPart + 1;
    for (int k = 0; k < equal; ++k) {
        // The first `rest % equal` parts take one slide more.
        const int size = rest / equal + (k < rest % equal ? 1 : 0);
        parts.push_back({next, next + size - 1});
        next += size;
    }
    return parts;
}

}  // namespace powerpoint
