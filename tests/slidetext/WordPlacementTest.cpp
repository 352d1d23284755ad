// Words go through the same steps as their slide's picture: stacking, the quarter turn, the fit
// and the centring. Expected places are worked out by hand from the page layout rules.

#include "slidetext/WordPlacement.h"

#include "common/WideText.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vellumet {
namespace {

SlideText OneWord(SlideBox box, int quarterTurns = 0, std::wstring text = L"word") {
    SlideText slide;
    slide.words.push_back({std::move(text), box, quarterTurns, false});
    return slide;
}

std::vector<PagePicture> Pages(const std::vector<PixelSize>& pictures,
                               const std::vector<PDFWriter::PageBox>& boxes, int perPage, PixelSize page) {
    const auto pages = PagePicturesOf(pictures, {}, boxes, perPage, page);
    EXPECT_TRUE(pages.has_value());
    return pages.value_or(std::vector<PagePicture>{});
}

TEST(WordPlacement, AnUnturnedSlideScalesAndShiftsItsWords) {
    // 400 x 300 on a square page: no turn, fitted 1000 x 750, 125 down.
    const auto pages = Pages({{400, 300}}, {{0, 125, 1000, 875}}, 1, {1000, 1000});
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_FALSE(pages[0].turned);
    const auto words = PlaceWords(OneWord({0.1, 0.2, 0.3, 0.25}), 0, pages[0]);
    ASSERT_EQ(words.size(), 1u);
    EXPECT_DOUBLE_EQ(words[0].length, 200);
    EXPECT_DOUBLE_EQ(words[0].size, 37.5);
    EXPECT_DOUBLE_EQ(words[0].x, 100);
    // The box's bottom is 312.5 down; the baseline a fifth of the size above it, from the bottom.
    EXPECT_DOUBLE_EQ(words[0].y, 1000 - 312.5 + 7.5);
    EXPECT_EQ(words[0].dx, 1);
    EXPECT_EQ(words[0].dy, 0);
}

TEST(WordPlacement, ATurnedSlidesWordsRunUpThePage) {
    // 800 x 600 on a 600 x 800 page: turned a quarter to the left, filling the page.
    const auto pages = Pages({{800, 600}}, {{0, 0, 600, 800}}, 1, {600, 800});
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].turned);
    // The slide's top-left corner ends at the page's bottom-left; its top edge on the left.
    const auto words = PlaceWords(OneWord({0, 0, 0.5, 0.1}), 0, pages[0]);
    ASSERT_EQ(words.size(), 1u);
    EXPECT_DOUBLE_EQ(words[0].size, 60);
    EXPECT_DOUBLE_EQ(words[0].length, 400);
    EXPECT_DOUBLE_EQ(words[0].x, 48) << "the glyphs' tops face the page's left edge";
    EXPECT_DOUBLE_EQ(words[0].y, 0) << "the word starts at the page's bottom";
    EXPECT_EQ(words[0].dx, 0);
    EXPECT_EQ(words[0].dy, 1);

    // A word running down its slide runs left to right once turned.
    const auto down = PlaceWords(OneWord({0.5, 0.5, 0.6, 1.0}, 1), 0, pages[0]);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(down[0].dx, 1);
    EXPECT_EQ(down[0].dy, 0);
    EXPECT_DOUBLE_EQ(down[0].length, 300);
    EXPECT_DOUBLE_EQ(down[0].size, 80);
}

TEST(WordPlacement, PairsStackTheirSlidesBeforeTheTurn) {
    // Upright pair on a portrait page: the second slide fills the lower half of the picture.
    const auto upright = Pages({{800, 600}, {800, 600}}, {{33, 0, 566, 800}}, 2, {600, 800});
    ASSERT_EQ(upright.size(), 1u);
    EXPECT_FALSE(upright[0].turned);
    const auto lower = PlaceWords(OneWord({0, 0, 1, 1}), 1, upright[0]);
    ASSERT_EQ(lower.size(), 1u);
    EXPECT_DOUBLE_EQ(lower[0].x, 33);
    EXPECT_DOUBLE_EQ(lower[0].size, 400);
    EXPECT_DOUBLE_EQ(lower[0].length, 533);

    // On a landscape page the pair is turned: the upper slide goes to the left half.
    const auto turned =
        Pages({{800, 600}, {800, 600}, {800, 600}}, {{0, 33, 800, 566}, {0, 33, 800, 566}}, 2, {800, 600});
    ASSERT_EQ(turned.size(), 2u);
    EXPECT_TRUE(turned[0].turned);
    EXPECT_EQ(turned[1].firstSlide, 2u);
    const auto left = PlaceWords(OneWord({0, 0, 1, 1}), 0, turned[0]);
    const auto right = PlaceWords(OneWord({0, 0, 1, 1}), 1, turned[0]);
    ASSERT_EQ(left.size(), 1u);
    ASSERT_EQ(right.size(), 1u);
    EXPECT_DOUBLE_EQ(left[0].size, 400) << "the slide's height now runs across the left half";
    EXPECT_DOUBLE_EQ(left[0].x, 0 + 400 * 0.8);
    EXPECT_DOUBLE_EQ(right[0].x, 400 + 400 * 0.8);
    EXPECT_DOUBLE_EQ(right[0].y, 600 - 566);
}

TEST(WordPlacement, WordsOutsideTheSlideOrWithoutVisibleCharactersAreLeftOut) {
    const auto pages = Pages({{400, 300}}, {{0, 0, 400, 300}}, 1, {400, 300});
    SlideText slide;
    slide.words = {
        {L"beyond", {1.1, 0.1, 1.3, 0.2}, 0, true},        // wholly to the right
        {L"half", {0.9, 0.1, 1.1, 0.2}, 0, true},          // centre on the edge: cut to the slide
        {L"\x01\x02\x7f", {0.1, 0.1, 0.2, 0.2}, 0, true},  // controls only
        {L"a\x07"
         L"b",
         {0.1, 0.3, 0.2, 0.4},
         0,
         false},                                              // a bell inside a word
        {L"nan", {std::nan(""), 0.1, 0.2, 0.2}, 0, false},    // not a box
        {L"\x05D0\x05D1", {-0.5, -0.5, 0.5, 0.5}, 0, false},  // right to left, reaching out top-left
    };
    const auto words = PlaceWords(slide, 0, pages[0]);
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].text, L"half");
    EXPECT_DOUBLE_EQ(words[0].length, 40) << "cut at the slide's right edge";
    EXPECT_TRUE(words[0].spaceAfter);
    EXPECT_EQ(words[1].text, L"ab");
    EXPECT_EQ(words[2].text, L"\x05D0\x05D1");
    EXPECT_DOUBLE_EQ(words[2].length, 200);
}

TEST(WordPlacement, WordsEndWithASpaceUnlessTheNextGoesOnWithTheirLine) {
    const auto pages = Pages({{400, 300}}, {{0, 0, 400, 300}}, 1, {400, 300});
    SlideText slide;
    slide.words = {
        {L"box", {0.40, 0.50, 0.45, 0.55}, 0, false},  // a footnote mark follows, raised a little
        {L"1", {0.45, 0.49, 0.46, 0.54}, 0, false},
        {L"ab", {0.10, 0.10, 0.15, 0.15}, 0, false},  // a smaller word lower down, just after it
        {L"c", {0.15, 0.14, 0.17, 0.18}, 0, false},
        {L"end", {0.50, 0.10, 0.60, 0.15}, 0, false},  // the next starts a line further left
        {L"next", {0.10, 0.20, 0.20, 0.25}, 0, true},
        {L"down", {0.30, 0.20, 0.40, 0.25}, 1, false},  // another direction
        {L"last", {0.50, 0.20, 0.60, 0.25}, 0, false},
    };
    const auto words = PlaceWords(slide, 0, pages[0]);
    ASSERT_EQ(words.size(), 8u);
    const bool expected[] = {false, true, true, true, true, true, true, true};
    for (size_t i = 0; i < words.size(); ++i) {
        EXPECT_EQ(words[i].spaceAfter, expected[i]) << vellumet::ToNative(words[i].text);
    }
}

TEST(WordPlacement, PagesThatCannotBeMatchedToTheirSlidesGiveNothing) {
    // Three pictures, but one gave no page; and a picture whose size is unknown.
    const std::vector<PixelSize> three = {{4, 3}, {4, 3}, {4, 3}};
    const std::vector<PDFWriter::PageBox> two = {{0, 0, 1, 1}, {0, 0, 1, 1}};
    EXPECT_FALSE(PagePicturesOf(three, {}, two, 1, {3, 4}).has_value())
        << "a page missing, none said left out";
    EXPECT_FALSE(PagePicturesOf(std::vector<PixelSize>{{0, 0}}, {},
                                std::vector<PDFWriter::PageBox>{{0, 0, 1, 1}}, 1, {3, 4})
                     .has_value());
    EXPECT_FALSE(PagePicturesOf(three, {}, two, 3, {3, 4}).has_value());
}

TEST(WordPlacement, PicturesLeftOutByCompositionShiftTheLaterPages) {
    const std::vector<PixelSize> five = {{4, 3}, {4, 3}, {4, 3}, {4, 3}, {4, 3}};
    const std::vector<size_t> leftOut = {1};
    const auto single = PagePicturesOf(five, leftOut, std::vector<PDFWriter::PageBox>(4), 1, {3, 4});
    ASSERT_TRUE(single.has_value());
    EXPECT_EQ((*single)[1].firstSlide, 2u) << "the second page shows the third slide";
    // Pairs: the first pair lost its lower slide; the second pair is gone with its first slide.
    const std::vector<size_t> pairLeftOut = {1, 2, 3};
    const auto pairs = PagePicturesOf(five, pairLeftOut, std::vector<PDFWriter::PageBox>(2), 2, {3, 4});
    ASSERT_TRUE(pairs.has_value());
    EXPECT_EQ((*pairs)[0].shownSlots, 1);
    EXPECT_EQ((*pairs)[1].firstSlide, 4u);
    EXPECT_EQ((*pairs)[1].shownSlots, 1) << "the deck's last slide alone";
}

}  // namespace
}  // namespace vellumet
