// Composition begun while the pictures are still being written must give ComposeDocument's
// document byte for byte, whatever happened to the pictures after they were offered.

#include "imaging/ComposeAhead.h"

#include <gtest/gtest.h>

#include <QColor>
#include <algorithm>
#include <string>
#include <vector>

#include "ImagingTestSupport.h"
#include "imaging/ComposeDocument.h"

using namespace imaging_test;

namespace {

std::string FinishedBytes(PDFWriter::PDF& document) {
    FixClock(document);
    document.Finish();
    return std::string(reinterpret_cast<const char*>(document.Buffer().Data()),
                       static_cast<size_t>(document.Buffer().Length()));
}

struct Composed {
    std::string bytes;
    std::vector<vellumet::LeftOutPicture> leftOut;
};

Composed Reference(const std::vector<std::wstring>& pictures, int32_t perPage,
                   vellumet::PageColours colours) {
    Composed composed;
    auto document = ComposeDocument(pictures, 600, 800, perPage, colours, nullptr, &composed.leftOut, 1);
    EXPECT_TRUE(document);
    composed.bytes = document ? FinishedBytes(*document) : "";
    return composed;
}

Composed Ahead(ComposeAhead& composer, const std::vector<std::wstring>& pictures) {
    Composed composed;
    auto document = composer.Compose(pictures, &composed.leftOut);
    EXPECT_TRUE(document);
    composed.bytes = document ? FinishedBytes(*document) : "";
    return composed;
}

void ExpectSame(const Composed& ahead, const Composed& reference) {
    EXPECT_TRUE(ahead.bytes == reference.bytes);
    ASSERT_EQ(ahead.leftOut.size(), reference.leftOut.size());
    for (size_t i = 0; i < ahead.leftOut.size(); ++i) {
        EXPECT_EQ(ahead.leftOut[i].index, reference.leftOut[i].index);
        EXPECT_EQ(ahead.leftOut[i].path, reference.leftOut[i].path);
        EXPECT_EQ(ahead.leftOut[i].reason, reference.leftOut[i].reason);
    }
}

class ComposeAheadTest : public ::testing::TestWithParam<int32_t> {
protected:
    // Seven pictures, the fourth damaged.
    void SetUp() override {
        for (int i = 0; i < 7; ++i) {
            const std::wstring path = folder_.File("Slide" + std::to_string(i + 1) + ".png");
            if (i == 3) {
                WriteBytes(path, "damaged");
            } else {
                SavePng(Solid(320 + 8 * i, 240, QColor(30 * i, 200 - 20 * i, 90)), path);
            }
            pictures_.push_back(path);
        }
    }

    TempFolder folder_;
    std::vector<std::wstring> pictures_;
};

}  // namespace

TEST_P(ComposeAheadTest, PagesBegunEarlyGiveTheSameDocument) {
    const int32_t perPage = GetParam();
    using vellumet::Palette;
    for (const Palette palette : {Palette::Rgb, Palette::Gray16}) {
        const vellumet::PageColours colours{palette, vellumet::Dither::Ordered};
        ComposeAhead composer(600, 800, perPage, colours, nullptr, 2);
        for (const std::wstring& picture : pictures_) {
            composer.PictureWritten(picture);
        }
        ExpectSame(Ahead(composer, pictures_), Reference(pictures_, perPage, colours));
        // Every complete group; an odd last picture of a pair waits for Compose.
        EXPECT_EQ(composer.PagesTakenEarly(), perPage == 1 ? 7u : 3u);
    }
}

TEST_P(ComposeAheadTest, PicturesRewrittenOrReorderedAfterTheyWereOfferedAreComposedAgain) {
    const int32_t perPage = GetParam();
    ComposeAhead composer(600, 800, perPage, {}, nullptr, 2);
    // Offered in another order than the final list (the second and third swapped), and the first
    // picture written again, of another size and colour, after its early page was made.
    std::vector<std::wstring> offered = pictures_;
    std::swap(offered[1], offered[2]);
    for (const std::wstring& picture : offered) {
        composer.PictureWritten(picture);
    }
    composer.WaitForEarlyPages();
    SavePng(Solid(500, 300, QColor(255, 0, 0)), pictures_[0]);
    ExpectSame(Ahead(composer, pictures_), Reference(pictures_, perPage, {}));
    // Single pages: the six untouched ones; pairs: only (5, 6), the others were offered as (1, 3)
    // and (2, 4).
    EXPECT_EQ(composer.PagesTakenEarly(), perPage == 1 ? 6u : 1u);
}

INSTANTIATE_TEST_SUITE_P(SlidesPerPage, ComposeAheadTest, ::testing::Values(1, 2));

TEST(ComposeAheadCancelTest, ACancelledCompositionGivesNoDocument) {
    TempFolder folder;
    vellumet::CancelToken cancel;
    ComposeAhead composer(600, 800, 1, {}, &cancel, 2);
    std::vector<std::wstring> pictures;
    for (int i = 0; i < 6; ++i) {
        pictures.push_back(
            SavePng(Solid(400, 300, QColor(10, 20, 30)), folder.File(std::to_string(i) + ".png")));
        composer.PictureWritten(pictures.back());
    }
    cancel.RequestCancel();
    EXPECT_FALSE(composer.Compose(pictures, nullptr));
}
