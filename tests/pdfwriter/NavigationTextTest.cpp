// Outline, page labels and invisible text, read back by qpdf and poppler: what a reader finds in
// the file, where, and that the file stays sound whatever the text holds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>

#include "FakePicture.h"
#include "pdfwriter/GlyphlessTrueType.h"
#include "pdfwriter/ImageObject.h"
#include "pdfwriter/PDF.h"
#include "pdfwriter/Page.h"
#include "pdfwriter/SavePdf.h"
#include "support/PdfReading.h"
#include "support/Processes.h"
#include "support/TempFolder.h"

using namespace PDFWriter;

namespace {

LocalTime FixedClock() {
    return LocalTime{2026, 1, 5, 3, 4, 9};
}

std::string Bytes(const MemoryStream& stream) {
    return std::string(reinterpret_cast<const char*>(stream.Data()), static_cast<size_t>(stream.Length()));
}

bool HaveReaders() {
    return vellumet_test::HaveTool("qpdf") && vellumet_test::HaveTool("pdftotext") &&
           vellumet_test::HaveTool("pdfinfo");
}

// A horizontal word whose box is (left, top)-(right, bottom) in units from the page's top-left.
InvisibleWord Across(const std::wstring& text, double left, double top, double right, double bottom,
                     double pageHeight) {
    InvisibleWord word;
    word.text = text;
    word.size = bottom - top;
    word.length = right - left;
    word.x = left;
    // The baseline lies at the descent's share of the size above the box's bottom.
    word.y = pageHeight - bottom + word.size * 0.2;
    return word;
}

// A document of `pages` 600 x 800 pages, each with a grey picture.
std::unique_ptr<PDF> PictureDocument(int pages) {
    auto document = std::make_unique<PDF>();
    document->clock = FixedClock;
    for (int k = 0; k < pages; ++k) {
        FakePicture picture(60, 80, 0x80, 0x80, 0x80);
        auto* image = new ImageObject(document.get(), &picture, L"PNG", 60, 80);
        auto* page = new Page(document.get(), {600, 800});
        page->PlaceImage(*image);
    }
    return document;
}

const vellumet_test::PdfWord* FindWord(const std::vector<vellumet_test::PdfWord>& words,
                                       const std::string& text) {
    const auto found = std::find_if(words.begin(), words.end(),
                                    [&](const vellumet_test::PdfWord& w) { return w.text == text; });
    return found == words.end() ? nullptr : &*found;
}

}  // namespace

TEST(GlyphlessFont, TableChecksumsAndTheWholeFileSumAreRight) {
    const std::vector<uint8_t>& font = GlyphlessTrueType();
    ASSERT_GE(font.size(), 12u);
    auto u32 = [&](size_t at) {
        return (uint32_t{font[at]} << 24) | (uint32_t{font[at + 1]} << 16) | (uint32_t{font[at + 2]} << 8) |
               font[at + 3];
    };
    auto sum = [&](size_t begin, size_t length) {
        uint32_t total = 0;
        for (size_t i = 0; i < length; i += 4) {
            uint32_t word = 0;
            for (size_t k = 0; k < 4; ++k) {
                word = (word << 8) | (i + k < length ? font[begin + i + k] : 0u);
            }
            total += word;
        }
        return total;
    };
    const size_t tables = (size_t{font[4]} << 8) | font[5];
    ASSERT_EQ(tables, 8u);
    std::set<std::string> tags;
    for (size_t t = 0; t < tables; ++t) {
        const size_t entry = 12 + 16 * t;
        const std::string tag(reinterpret_cast<const char*>(&font[entry]), 4);
        tags.insert(tag);
        const uint32_t offset = u32(entry + 8);
        const uint32_t length = u32(entry + 12);
        ASSERT_LE(size_t{offset} + length, font.size()) << tag;
        EXPECT_EQ(offset % 4, 0u) << tag;
        if (tag != "head") {
            EXPECT_EQ(u32(entry + 4), sum(offset, length)) << tag;
        }
    }
    EXPECT_EQ(tags, (std::set<std::string>{"cmap", "glyf", "head", "hhea", "hmtx", "loca", "maxp", "post"}));
    EXPECT_EQ(sum(0, font.size()), 0xB1B0AFBAu) << "the head table's adjustment makes the file sum the magic";
}

TEST(TextFont, OneCidPerCharacterAndTheReplacementWhenFull) {
    TextFont font;
    const uint16_t a = font.CidFor(U'a');
    EXPECT_EQ(a, 1);
    EXPECT_EQ(font.CidFor(U'\U0001F600'), 2) << "a character beyond the BMP is one CID";
    EXPECT_EQ(font.CidFor(U'a'), a);
    EXPECT_EQ(font.CidFor(0xD800), font.CidFor(0xFFFD)) << "a lone surrogate is not a character";
    EXPECT_EQ(font.CidFor(0x110000), font.CidFor(0xFFFD));

    TextFont full;
    for (char32_t c = 0x20000; full.Characters().size() < TextFont::kMaxCid; ++c) {
        full.CidFor(c);
    }
    const uint16_t last = full.CidFor(0x40000);
    EXPECT_EQ(last, TextFont::kMaxCid) << "the last CID goes to the replacement character";
    EXPECT_EQ(full.Characters().at(last), char32_t{0xFFFD});
    EXPECT_EQ(full.CidFor(0x40001), last);
}

TEST(NavigationText, DocumentsWithoutThemAreWrittenAsBefore) {
    // The same pages finished with empty navigation lists and no text: identical bytes, and no
    // trace of the new objects.
    std::unique_ptr<PDF> plain = PictureDocument(2);
    std::unique_ptr<PDF> asked = PictureDocument(2);
    asked->outline.clear();
    asked->pageLabels.clear();
    asked->Pages()[0]->DrawInvisibleText({});
    plain->Finish();
    asked->Finish();
    EXPECT_EQ(Bytes(plain->Buffer()), Bytes(asked->Buffer()));
    const std::string bytes = Bytes(asked->Buffer());
    for (const char* absent : {"/Outlines", "/PageLabels", "/TextLayer", "BT"}) {
        EXPECT_EQ(bytes.find(absent), std::string::npos) << absent;
    }
}

TEST(NavigationText, ReadersFindTheOutlineThePageLabelsAndEveryWordInPlace) {
    if (!HaveReaders()) {
        GTEST_SKIP() << "qpdf, pdftotext or pdfinfo is not installed";
    }
    std::unique_ptr<PDF> document = PictureDocument(2);
    // Two slides per page: both entries of a page open it, and the labels name the slide pairs.
    document->outline = {{L"Intro \u00e9t\u00e9", 0},
                         {L"\u65e5\u672c\u8a9e \U00020B9F", 0},
                         {L"\u0645\u0631\u062d\u0628\u0627 \U0001F600", 1}};
    document->pageLabels = {{0, L"1-2", false, 1}, {1, L"3", false, 1}};

    const std::vector<InvisibleWord> first = {
        Across(L"Hello", 100, 100, 300, 150, 800),
        Across(L"\u6f22\u5b57\u304b\u306a", 320, 100, 500, 150, 800),
        Across(L"smile\U0001F600", 100, 200, 260, 230, 800),
        Across(L"cafe\u0301", 300, 200, 420, 230, 800),
    };
    document->Pages()[0]->DrawInvisibleText(first);
    // Running up the page, as the text of a turned slide does: its box is 40 wide and 300 high.
    InvisibleWord up;
    up.text = L"Upward";
    up.size = 40;
    up.length = 300;
    up.dx = 0;
    up.dy = 1;
    up.x = 100 + 40 - 40 * 0.2;  // the glyphs stand towards -x; the descent lies on the right
    up.y = 800 - 500;            // starts at the box's bottom, 500 from the top
    document->Pages()[1]->DrawInvisibleText(std::vector<InvisibleWord>{up});
    document->Finish();
    ASSERT_FALSE(document->Failed());

    vellumet_test::TempFolder folder;
    const std::filesystem::path pdf = folder.Path() / "text.pdf";
    ASSERT_TRUE(SavePdf(folder.File("text.pdf"), *document));
    std::string report;
    EXPECT_TRUE(vellumet_test::PdfChecksClean(pdf, &report)) << report;

    const std::vector<vellumet_test::PdfOutlineEntry> outline = vellumet_test::PdfOutline(pdf);
    ASSERT_EQ(outline.size(), 3u);
    EXPECT_EQ(outline[0].title, "Intro \u00e9t\u00e9");
    EXPECT_EQ(outline[1].title, "\u65e5\u672c\u8a9e \U00020B9F");
    EXPECT_EQ(outline[2].title, "\u0645\u0631\u062d\u0628\u0627 \U0001F600");
    EXPECT_EQ(outline[0].page, 1);
    EXPECT_EQ(outline[1].page, 1);
    EXPECT_EQ(outline[2].page, 2);

    const std::vector<vellumet_test::PdfLabelRange> labels = vellumet_test::PdfPageLabels(pdf);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0].index, 0);
    EXPECT_EQ(labels[0].prefix, "1-2");
    EXPECT_EQ(labels[0].style, "");
    EXPECT_EQ(labels[1].index, 1);
    EXPECT_EQ(labels[1].prefix, "3");

    const std::vector<vellumet_test::PdfWord> words = vellumet_test::PdfWords(pdf);
    struct Expected {
        std::string text;
        int page;
        double xMin, yMin, xMax, yMax;
    };
    for (const Expected& expected : std::vector<Expected>{
             {"Hello", 0, 100, 100, 300, 150},
             {"\u6f22\u5b57\u304b\u306a", 0, 320, 100, 500, 150},
             {"smile\U0001F600", 0, 100, 200, 260, 230},
             {"cafe\u0301", 0, 300, 200, 420, 230},
             {"Upward", 1, 100, 200, 140, 500},
         }) {
        const vellumet_test::PdfWord* word = FindWord(words, expected.text);
        ASSERT_NE(word, nullptr) << expected.text;
        EXPECT_EQ(word->page, expected.page) << expected.text;
        EXPECT_NEAR(word->xMin, expected.xMin, 1) << expected.text;
        EXPECT_NEAR(word->yMin, expected.yMin, 1) << expected.text;
        EXPECT_NEAR(word->xMax, expected.xMax, 1) << expected.text;
        EXPECT_NEAR(word->yMax, expected.yMax, 1) << expected.text;
    }
}

TEST(NavigationText, EveryObjectIsWrittenOnceAndTheCrossReferenceTableIsExact) {
    std::unique_ptr<PDF> document = PictureDocument(3);
    document->outline = {{L"a", 0}, {L"b", 2}, {L"beyond the last page", 7}};
    document->pageLabels = {{0, L"", true, 1}};
    for (int k = 0; k < 3; ++k) {
        document->Pages()[static_cast<size_t>(k)]->DrawInvisibleText(
            std::vector<InvisibleWord>{Across(L"w" + std::to_wstring(k), 10, 10, 50, 30, 800)});
    }
    document->Finish();
    const std::string bytes = Bytes(document->Buffer());

    std::map<int, size_t> objects;
    static const std::regex kObject(R"((?:^|\n)(\d+) 0 obj\n)");
    for (auto it = std::sregex_iterator(bytes.begin(), bytes.end(), kObject); it != std::sregex_iterator();
         ++it) {
        const int number = std::stoi((*it)[1].str());
        EXPECT_EQ(objects.count(number), 0u) << "object " << number << " written twice";
        objects[number] = static_cast<size_t>(it->position(1));
    }
    ASSERT_EQ(static_cast<int>(objects.size()), document->ObjectCount());
    // 3 images, 6 font objects, resources, info, tree, 3 x 3 page objects, outline root and 3
    // entries, catalog.
    EXPECT_EQ(document->ObjectCount(), 3 + 6 + 3 + 9 + 4 + 1);
    for (const auto& [number, offset] : objects) {
        EXPECT_EQ(document->Offsets().at(static_cast<size_t>(number - 1)), static_cast<int32_t>(offset))
            << number;
    }
    EXPECT_NE(bytes.find("/Font\n<<\n/TextLayer 4 0 R\n>>"), std::string::npos)
        << "the font follows the images";
    EXPECT_NE(bytes.find("/PageLabels << /Nums [\n0 << /S /D >>\n] >>"), std::string::npos);
}
