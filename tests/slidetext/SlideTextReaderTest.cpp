// The reader against PDFs of our own making (pages of invisible words with an outline), so the
// words, boxes and titles it should find are known exactly; and against files it cannot read.

#include "slidetext/SlideTextReader.h"

#include <gtest/gtest.h>

#include <memory>

#include "pdfwriter/PDF.h"
#include "pdfwriter/Page.h"
#include "pdfwriter/SavePdf.h"
#include "support/TempFolder.h"

namespace vellumet {
namespace {

struct Placed {
    std::wstring text;
    PDFWriter::PageBox box;
    int quarterTurns = 0;
};

// A deck PDF of 800 x 600 pages with the given words and outline titles.
std::wstring WriteDeck(const vellumet_test::TempFolder& folder, const std::vector<std::vector<Placed>>& pages,
                       const std::vector<std::wstring>& titles) {
    PDFWriter::PDF document;
    for (const auto& words : pages) {
        auto* page = new PDFWriter::Page(&document, {800, 600});
        std::vector<PDFWriter::InvisibleWord> drawn;
        for (const Placed& word : words) {
            drawn.push_back(PDFWriter::InvisibleWordInBox(word.text, word.box, word.quarterTurns, 600));
            drawn.back().spaceAfter = true;
        }
        page->DrawInvisibleText(drawn);
    }
    for (size_t i = 0; i < titles.size(); ++i) {
        document.outline.push_back({titles[i], static_cast<int32_t>(i)});
    }
    document.Finish();
    const std::wstring path = folder.File("Slides.pdf");
    EXPECT_TRUE(PDFWriter::SavePdf(path, document));
    return path;
}

TEST(SlideTextReader, WordsBoxesAndTitlesComeBackAsTheyWereLaid) {
    vellumet_test::TempFolder folder;
    const std::wstring path =
        WriteDeck(folder,
                  {{{L"Hello", {80, 60, 240, 90}}, {L"w\x00f6rld", {260, 60, 400, 90}}},
                   {{L"\x6f22\x5b57", {400, 300, 480, 340}}, {L"smile\U0001F600", {100, 400, 260, 430}}},
                   {{L"Sideways", {700, 100, 730, 400}, 1}},
                   {}},
                  {L"Greeting", L"Slide 2", L"Slide 7", L"Slide 4"});
    const std::optional<std::vector<SlideText>> slides = ReadSlideText(path);
    ASSERT_TRUE(slides.has_value());
    ASSERT_EQ(slides->size(), 4u);
    EXPECT_EQ((*slides)[0].title, L"Greeting");
    EXPECT_EQ((*slides)[1].title, L"") << "the office's default name is no title";
    EXPECT_EQ((*slides)[2].title, L"Slide 7") << "another slide's default name is a real title";
    EXPECT_TRUE((*slides)[3].words.empty());

    ASSERT_EQ((*slides)[0].words.size(), 2u);
    const SlideWord& hello = (*slides)[0].words[0];
    EXPECT_EQ(hello.text, L"Hello");
    EXPECT_NEAR(hello.box.left, 0.1, 0.005);
    EXPECT_NEAR(hello.box.top, 0.1, 0.005);
    EXPECT_NEAR(hello.box.right, 0.3, 0.005);
    EXPECT_NEAR(hello.box.bottom, 0.15, 0.005);
    EXPECT_TRUE(hello.spaceAfter);
    EXPECT_EQ((*slides)[0].words[1].text, L"w\x00f6rld");

    ASSERT_EQ((*slides)[1].words.size(), 2u);
    EXPECT_EQ((*slides)[1].words[0].text, L"\x6f22\x5b57");
    EXPECT_EQ((*slides)[1].words[1].text, L"smile\U0001F600") << "a surrogate pair is one character";

    ASSERT_EQ((*slides)[2].words.size(), 1u);
    const SlideWord& sideways = (*slides)[2].words[0];
    EXPECT_EQ(sideways.quarterTurns, 1);
    EXPECT_NEAR(sideways.box.left, 700.0 / 800, 0.005);
    EXPECT_NEAR(sideways.box.bottom, 400.0 / 600, 0.005);
}

TEST(SlideTextReader, AnOutlineThatIsNotOneEntryPerPageGivesNoTitles) {
    vellumet_test::TempFolder folder;
    const std::wstring path = WriteDeck(folder, {{{L"a", {10, 10, 20, 20}}}, {}}, {L"Only one"});
    const auto slides = ReadSlideText(path);
    ASSERT_TRUE(slides.has_value());
    ASSERT_EQ(slides->size(), 2u);
    EXPECT_EQ((*slides)[0].title, L"");
}

TEST(SlideTextReader, FilesItCannotReadGiveNothing) {
    vellumet_test::TempFolder folder;
    EXPECT_FALSE(ReadSlideText(folder.File("missing.pdf")).has_value());
    folder.WriteFile("empty.pdf", "");
    EXPECT_FALSE(ReadSlideText(folder.File("empty.pdf")).has_value());
    folder.WriteFile("junk.pdf",
                     "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 9 0 R >>\nendobj\ntrailer\n<<>>\n");
    const auto junk = ReadSlideText(folder.File("junk.pdf"));
    EXPECT_TRUE(!junk.has_value() || junk->empty());
    const std::wstring path = WriteDeck(folder, {{{L"a", {10, 10, 20, 20}}}}, {});
    CancelToken cancelled;
    cancelled.RequestCancel();
    EXPECT_FALSE(ReadSlideText(path, 0, &cancelled).has_value());
}

}  // namespace
}  // namespace vellumet
