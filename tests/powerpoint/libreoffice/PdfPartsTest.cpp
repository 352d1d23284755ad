#include "powerpoint/libreoffice/PdfParts.h"

#include <gtest/gtest.h>

namespace powerpoint {
namespace {

TEST(PdfParts, EverySlideOnceInOrderInASmallFirstPartAndEqualOnes) {
    EXPECT_TRUE(PlanPdfParts(0).empty());
    for (int slides : {1, 23}) {
        const std::vector<SlideSpan> parts = PlanPdfParts(slides);
        ASSERT_EQ(parts.size(), 1u) << slides;
        EXPECT_EQ(parts[0].first, 1);
        EXPECT_EQ(parts[0].last, slides);
    }
    size_t previousCount = 0;
    for (int slides : {24, 37, 100, 1000, 100000}) {
        SCOPED_TRACE(slides);
        const std::vector<SlideSpan> parts = PlanPdfParts(slides);
        EXPECT_GE(parts.size(), std::max<size_t>(3, previousCount));
        EXPECT_LE(parts.size(), 16u);
        previousCount = parts.size();
        EXPECT_EQ(parts.front().last, 6);
        int next = 1;
        for (size_t k = 0; k < parts.size(); ++k) {
            EXPECT_EQ(parts[k].first, next);
            const int size = parts[k].last - parts[k].first + 1;
            const int equal = parts[1].last - parts[1].first + 1;
            EXPECT_TRUE(k == 0 || size == equal || size == equal - 1) << k;
            next = parts[k].last + 1;
        }
        EXPECT_EQ(next, slides + 1);
    }
}

}  // namespace
}  // namespace powerpoint
