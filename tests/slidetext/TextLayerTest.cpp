// Titles and the navigation a composed document gets: one outline entry per slide opening its
// page, and labels that are the slide numbers.

#include "slidetext/TextLayer.h"

#include <gtest/gtest.h>

#include "pdfwriter/Page.h"
#include "slidetext/SlideTitle.h"

namespace vellumet {
namespace {

SlideText Words(std::initializer_list<std::pair<const wchar_t*, bool>> words) {
    SlideText slide;
    for (const auto& [text, spaceAfter] : words) {
        slide.words.push_back({text, {0.1, 0.1, 0.2, 0.2}, 0, spaceAfter});
    }
    return slide;
}

TEST(SlideTitle, TheOfficesTitleThenTheFirstLineThenTheSlidesNumber) {
    SlideText titled = Words({{L"Body", false}});
    titled.title = L"Quarterly  results";
    EXPECT_EQ(SlideTitle(titled, 1), L"Quarterly results");
    EXPECT_EQ(SlideTitle(Words({{L"First", true}, {L"line", false}, {L"second", false}}), 2), L"First line");
    EXPECT_EQ(SlideTitle(SlideText{}, 3), L"Slide 3");
    SlideText blank = Words({{L"\x01", false}});
    blank.title = L" \t\r\n";
    EXPECT_EQ(SlideTitle(blank, 4), L"Slide 4") << "nothing visible is no title";
}

TEST(SlideTitle, AnyTextIsMadeFitToShow) {
    EXPECT_EQ(CleanTitle(L"\x1b[31mRed\x1b[0m\nand\x85next\x2028line"), L"[31mRed [0m and next line");
    EXPECT_EQ(CleanTitle(L"\U0001F600 \x05E9\x05DC\x05D5\x05DD e\x0301"),
              L"\U0001F600 \x05E9\x05DC\x05D5\x05DD e\x0301");
    EXPECT_EQ(CleanTitle(std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x"), L"\xFFFDx")
        << "a lone surrogate";
    const std::wstring cut = CleanTitle(std::wstring(100000, L'a'));
    EXPECT_EQ(cut.size(), kMaxTitleLength);
    EXPECT_EQ(cut.back(), L'\x2026');
    EXPECT_EQ(CleanTitle(std::wstring(kMaxTitleLength, L'b')).size(), kMaxTitleLength)
        << "exactly at the limit";
}

// A composed document's stand-in: `pages` empty pages described as showing `perPage` slides each.
struct Composed {
    Composed(size_t pageCount, int32_t perPage) {
        for (size_t k = 0; k < pageCount; ++k) {
            new PDFWriter::Page(&document, {600, 800});
            PagePicture page;
            page.firstSlide = k * static_cast<size_t>(perPage);
            page.slots = perPage;
            page.shownSlots = perPage;
            page.picture = {0, 100, 600, 550};
            page.pageHeight = 800;
            pages.push_back(page);
        }
    }
    PDFWriter::PDF document;
    std::vector<PagePicture> pages;
};

TEST(TextLayer, SingleSlidesGetAnEntryEachAndOneNumberedRange) {
    Composed composed(3, 1);
    std::vector<SlideText> slides(3);
    slides[0].title = L"Opening";
    slides[2] = Words({{L"Closing", true}, {L"words", false}});
    AddTextLayer(composed.document, composed.pages, 3, slides, {true, false});
    const auto& outline = composed.document.outline;
    ASSERT_EQ(outline.size(), 3u);
    EXPECT_EQ(outline[0].title, L"Opening");
    EXPECT_EQ(outline[1].title, L"Slide 2");
    EXPECT_EQ(outline[2].title, L"Closing words");
    EXPECT_EQ(outline[2].pageIndex, 2);
    ASSERT_EQ(composed.document.pageLabels.size(), 1u);
    EXPECT_EQ(composed.document.pageLabels[0].firstPage, 0);
    EXPECT_TRUE(composed.document.pageLabels[0].numbered);
    EXPECT_EQ(composed.document.pageLabels[0].firstNumber, 1);
    EXPECT_FALSE(composed.document.HasInvisibleText()) << "no words unless asked";
}

TEST(TextLayer, PairsShareTheirPageAndAreLabelledByBothNumbers) {
    Composed composed(3, 2);
    // Five slides, their text unknown: titles by number, and the last page holds one slide.
    AddTextLayer(composed.document, composed.pages, 5, {}, {true, true});
    const auto& outline = composed.document.outline;
    ASSERT_EQ(outline.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(outline[i].title, L"Slide " + std::to_wstring(i + 1));
        EXPECT_EQ(outline[i].pageIndex, static_cast<int32_t>(i / 2));
    }
    const auto& labels = composed.document.pageLabels;
    ASSERT_EQ(labels.size(), 3u);
    EXPECT_EQ(labels[0].prefix, L"1-2");
    EXPECT_FALSE(labels[0].numbered);
    EXPECT_EQ(labels[1].prefix, L"3-4");
    EXPECT_EQ(labels[1].firstPage, 1);
    EXPECT_TRUE(labels[2].numbered);
    EXPECT_EQ(labels[2].firstNumber, 5);
    EXPECT_FALSE(composed.document.HasInvisibleText()) << "no text known: no font";
}

TEST(TextLayer, WordsOfBothSlidesOfAPairLandOnTheirPage) {
    Composed composed(1, 2);
    std::vector<SlideText> slides = {Words({{L"upper", false}}), Words({{L"lower", false}})};
    AddTextLayer(composed.document, composed.pages, 2, slides, {false, true});
    EXPECT_TRUE(composed.document.outline.empty());
    EXPECT_TRUE(composed.document.pageLabels.empty());
    ASSERT_TRUE(composed.document.HasInvisibleText());
    const PDFWriter::MemoryStream& content = composed.document.Pages()[0]->content;
    const std::string text(reinterpret_cast<const char*>(content.Data()),
                           static_cast<size_t>(content.Length()));
    EXPECT_EQ(text.find("BT\n3 Tr\n"), 0u) << "drawn invisibly";
    size_t shows = 0;
    for (size_t at = text.find(" Tj\n"); at != std::string::npos; at = text.find(" Tj\n", at + 1)) {
        ++shows;
    }
    EXPECT_EQ(shows, 2u);
}

}  // namespace
}  // namespace vellumet
