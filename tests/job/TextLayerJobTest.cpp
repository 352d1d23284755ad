// The job with the real composition over a folder of slide pictures with the deck's PDF beside
// them, as the office leaves it: outline, page labels and words where the pictures show them; a
// missing, damaged or mismatched deck PDF costs the text, never the conversion; and without the
// options the file is the one the job always wrote.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "JobFakes.h"
#include "common/WideText.h"
#include "imaging/ComposeDocument.h"
#include "job/ConversionJob.h"
#include "job/JobMessages.h"
#include "pdfwriter/Page.h"
#include "pdfwriter/SavePdf.h"
#include "support/PdfReading.h"
#include "support/Processes.h"

namespace fs = std::filesystem;

namespace {

// Each slide 800 x 600: one word at a known box (fractions of the slide), and a title for some.
struct SlideWordCase {
    std::wstring text;
    double left, top, right, bottom;
};
const std::vector<SlideWordCase> kWords = {
    {L"Alpha", 0.1, 0.1, 0.4, 0.2},
    {L"\x65e5\x672c\x8a9e", 0.5, 0.5, 0.8, 0.6},
    {L"\x05e9\x05dc\x05d5\x05dd\U0001F600", 0.2, 0.7, 0.6, 0.8},
};

// Writes three 800 x 600 pictures and, unless `deckPages` is 0, a deck PDF of that many pages.
void MakePictureFolder(const fs::path& folder, int deckPages, const std::string& deckBytes = {}) {
    fs::create_directories(folder);
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(
            jobtest::WritePng(vellumet::FromPath(folder / ("Slide" + std::to_string(i) + ".png")), 800, 600));
    }
    if (!deckBytes.empty()) {
        std::ofstream(folder / "Slides.pdf", std::ios::binary) << deckBytes;
        return;
    }
    if (deckPages == 0) {
        return;
    }
    PDFWriter::PDF deck;
    for (int i = 0; i < deckPages; ++i) {
        auto* page = new PDFWriter::Page(&deck, {800, 600});
        const SlideWordCase& w = kWords[static_cast<size_t>(i) % kWords.size()];
        page->DrawInvisibleText(std::vector<PDFWriter::InvisibleWord>{PDFWriter::InvisibleWordInBox(
            w.text, {w.left * 800, w.top * 600, w.right * 800, w.bottom * 600}, 0, 600)});
        deck.outline.push_back({i == 0 ? L"Opening \x00e9" : L"Slide " + std::to_wstring(i + 1), i});
    }
    deck.Finish();
    ASSERT_TRUE(PDFWriter::SavePdf(vellumet::FromPath(folder / "Slides.pdf"), deck));
}

// Converts the picture folder; returns the PDF's path (empty on failure).
fs::path Convert(const jobtest::ScratchFolder& scratch, const fs::path& folder, bool outline, bool searchable,
                 int twoPerPage, const std::wstring& scheme = L"",
                 std::optional<vellumet::PixelSize> page = {}) {
    fs::create_directories(vellumet::ToPath(scratch.path()) / "out");
    jobtest::RecordingHost host;
    vellumet::ConversionJob job;
    job.settings.sourcePath = vellumet::FromPath(folder);
    job.settings.schemeName = scheme;
    job.settings.pageSize = page;
    job.settings.outputFolder = scratch.path() + L"/out/";
    job.settings.twoSlidesPerPage = twoPerPage;
    job.settings.outline = outline;
    job.settings.searchable = searchable;
    job.host = &host;
    job.compose = &ComposeDocument;
    job.source = vellumet::JobSource::PictureFolder;
    if (vellumet::ConversionThreadProc(&job) != vellumet::JobResult::Succeeded || !host.messages.empty()) {
        return {};
    }
    return vellumet::ToPath(scratch.path()) / "out" / (folder.filename().string() + ".pdf");
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool HaveReaders() {
    return vellumet_test::HaveTool("qpdf") && vellumet_test::HaveTool("pdftotext") &&
           vellumet_test::HaveTool("pdfinfo");
}

}  // namespace

TEST(TextLayerJob, TurnedSlidesGetTheirTitlesLabelsAndWordsWhereThePicturesShowThem) {
    if (!HaveReaders()) {
        GTEST_SKIP() << "qpdf, pdftotext or pdfinfo is not installed";
    }
    const jobtest::ScratchFolder scratch;
    const fs::path folder = vellumet::ToPath(scratch.path()) / "deck";
    MakePictureFolder(folder, 3);
    const fs::path pdf = Convert(scratch, folder, true, true, 0, L"", vellumet::PixelSize{1264, 1680});
    ASSERT_FALSE(pdf.empty());
    std::string report;
    EXPECT_TRUE(vellumet_test::PdfChecksClean(pdf, &report)) << report;

    const auto outline = vellumet_test::PdfOutline(pdf);
    ASSERT_EQ(outline.size(), 3u);
    EXPECT_EQ(outline[0].title, "Opening \u00e9");
    EXPECT_EQ(outline[1].title, vellumet::ToNative(kWords[1].text)) << "no title: the first line";
    EXPECT_EQ(outline[2].page, 3);
    const auto labels = vellumet_test::PdfPageLabels(pdf);
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0].style, "/D");

    // The 800 x 600 slides are turned a quarter to the left and fitted 1260 x 1680, 2 units in:
    // a slide point (u, v) lands at (2 + 1260 v, 1680 (1 - u)).
    const auto words = vellumet_test::PdfWords(pdf);
    ASSERT_EQ(words.size(), 3u);
    const double tolerance = 0.02 * 1680;
    for (size_t i = 0; i < 3; ++i) {
        const SlideWordCase& w = kWords[i];
        const auto found = std::find_if(words.begin(), words.end(), [&](const vellumet_test::PdfWord& word) {
            return word.text == vellumet::ToNative(w.text);
        });
        ASSERT_NE(found, words.end()) << i;
        EXPECT_EQ(found->page, static_cast<int>(i));
        EXPECT_NEAR(found->xMin, 2 + 1260 * w.top, tolerance) << i;
        EXPECT_NEAR(found->xMax, 2 + 1260 * w.bottom, tolerance) << i;
        EXPECT_NEAR(found->yMin, 1680 * (1 - w.right), tolerance) << i;
        EXPECT_NEAR(found->yMax, 1680 * (1 - w.left), tolerance) << i;
    }
}

TEST(TextLayerJob, PairsShareTheirPageInTheOutlineAndTheLabels) {
    if (!HaveReaders()) {
        GTEST_SKIP() << "qpdf, pdftotext or pdfinfo is not installed";
    }
    const jobtest::ScratchFolder scratch;
    const fs::path folder = vellumet::ToPath(scratch.path()) / "deck";
    MakePictureFolder(folder, 3);
    const fs::path pdf = Convert(scratch, folder, true, true, 1, L"", vellumet::PixelSize{1264, 1680});
    ASSERT_FALSE(pdf.empty());
    EXPECT_TRUE(vellumet_test::PdfChecksClean(pdf));
    const auto outline = vellumet_test::PdfOutline(pdf);
    ASSERT_EQ(outline.size(), 3u);
    EXPECT_EQ(outline[0].page, 1);
    EXPECT_EQ(outline[1].page, 1);
    EXPECT_EQ(outline[2].page, 2);
    const auto labels = vellumet_test::PdfPageLabels(pdf);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0].prefix, "1-2");
    EXPECT_EQ(labels[1].index, 1);
    EXPECT_EQ(labels[1].start, 3);
    const auto words = vellumet_test::PdfWords(pdf);
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].page + words[1].page + words[2].page, 1) << "two on the first page, one on the second";
}

TEST(TextLayerJob, AMissingDamagedOrMismatchedDeckPdfCostsOnlyTheText) {
    if (!HaveReaders()) {
        GTEST_SKIP() << "qpdf, pdftotext or pdfinfo is not installed";
    }
    struct Case {
        const char* name;
        int deckPages;
        std::string bytes;
    };
    for (const Case& c : {Case{"missing", 0, ""}, Case{"damaged", 0, "%PDF-1.4\n\x01\x02 not a PDF"},
                          Case{"mismatched", 2, ""}}) {
        const jobtest::ScratchFolder scratch;
        const fs::path folder = vellumet::ToPath(scratch.path()) / "deck";
        MakePictureFolder(folder, c.deckPages, c.bytes);
        const fs::path pdf = Convert(scratch, folder, true, true, 0, L"Medium (900*1200)");
        ASSERT_FALSE(pdf.empty()) << c.name;
        EXPECT_TRUE(vellumet_test::PdfChecksClean(pdf)) << c.name;
        const auto outline = vellumet_test::PdfOutline(pdf);
        ASSERT_EQ(outline.size(), 3u) << c.name;
        EXPECT_EQ(outline[2].title, "Slide 3") << c.name;
        EXPECT_TRUE(vellumet_test::PdfWords(pdf).empty()) << c.name;
    }
}

TEST(TextLayerJob, WithoutTheOptionsTheFileIsTheOneTheJobAlwaysWrote) {
    // The five table devices leave both options off (frontend's rules); the deck PDF beside the
    // pictures must then change nothing but the creation date.
    const std::regex creationDate(R"(/CreationDate\(D:\d+\))");
    for (const wchar_t* scheme : {L"Amazon Kindle DX", L"Amazon Kindle 2", L"Small (600*800)",
                                  L"Medium (900*1200)", L"Large (1200*1600)"}) {
        for (const int twoPerPage : {0, 1}) {
            const jobtest::ScratchFolder scratch;
            const fs::path withDeck = vellumet::ToPath(scratch.path()) / "with";
            const fs::path without = vellumet::ToPath(scratch.path()) / "without";
            MakePictureFolder(withDeck, 3);
            MakePictureFolder(without, 0);
            const std::string a = ReadAll(Convert(scratch, withDeck, false, false, twoPerPage, scheme));
            const std::string b = ReadAll(Convert(scratch, without, false, false, twoPerPage, scheme));
            ASSERT_FALSE(a.empty());
            EXPECT_EQ(std::regex_replace(a, creationDate, "D"), std::regex_replace(b, creationDate, "D"))
                << vellumet::ToNative(scheme);
            for (const char* absent : {"/Outlines", "/PageLabels", "/TextLayer"}) {
                EXPECT_EQ(a.find(absent), std::string::npos) << absent;
            }
        }
    }
}

TEST(TextLayerJob, HostileTextNeverBreaksTheFileNorShowsThroughThePicture) {
    if (!HaveReaders() || !vellumet_test::HaveTool("pdftocairo")) {
        GTEST_SKIP() << "qpdf, pdftotext, pdfinfo or pdftocairo is not installed";
    }
    const jobtest::ScratchFolder scratch;
    const fs::path hostile = vellumet::ToPath(scratch.path()) / "hostile";
    const fs::path plain = vellumet::ToPath(scratch.path()) / "plain";
    MakePictureFolder(plain, 0);
    MakePictureFolder(hostile, 0);
    // Thousands of words of every kind on the first slide, words beyond the slide's edges and a title
    // thousands of characters long on the second, nothing on the third.
    const std::wstring kinds[] = {L"Beacon",
                                  L"ctl\x0001\x0007\x001b",
                                  L"e\x0301\x0302",
                                  L"\x05e9\x05dc\x05d5\x05dd",
                                  L"\U0001F600\U0001F680",
                                  L"\xfeff\x200b",
                                  L"\xd800",
                                  L"\x0627\x0644\x0639"};
    PDFWriter::PDF deck;
    auto* first = new PDFWriter::Page(&deck, {800, 600});
    std::vector<PDFWriter::InvisibleWord> many;
    for (int i = 0; i < 6000; ++i) {
        const double x = (i % 60) * 13.0;
        const double y = (i / 60) * 6.0;
        many.push_back(
            PDFWriter::InvisibleWordInBox(kinds[i % std::size(kinds)], {x, y, x + 12, y + 5}, i % 4, 600));
    }
    first->DrawInvisibleText(many);
    auto* second = new PDFWriter::Page(&deck, {800, 600});
    second->DrawInvisibleText(std::vector<PDFWriter::InvisibleWord>{
        PDFWriter::InvisibleWordInBox(L"Outside", {900, 700, 1200, 760}, 0, 600),
        PDFWriter::InvisibleWordInBox(L"Straddling", {700, 500, 1000, 560}, 0, 600)});
    new PDFWriter::Page(&deck, {800, 600});
    deck.outline = {{std::wstring(5000, L'T') + L"\x0001\x0301", 0}, {L"", 1}, {L"\xd800", 2}};
    deck.Finish();
    ASSERT_TRUE(PDFWriter::SavePdf(vellumet::FromPath(hostile / "Slides.pdf"), deck));

    const fs::path withText = Convert(scratch, hostile, true, true, 0, L"", vellumet::PixelSize{1072, 1448});
    const fs::path withoutText =
        Convert(scratch, plain, false, false, 0, L"", vellumet::PixelSize{1072, 1448});
    ASSERT_FALSE(withText.empty());
    ASSERT_FALSE(withoutText.empty());
    std::string report;
    EXPECT_TRUE(vellumet_test::PdfChecksClean(withText, &report)) << report;
    const std::vector<std::string> words = vellumet_test::PdfTextWords(withText);
    EXPECT_NE(std::find(words.begin(), words.end(), "Beacon"), words.end());
    EXPECT_EQ(vellumet_test::PdfOutline(withText).size(), 3u);

    // The layer is invisible: every page renders exactly as the file without it.
    for (const char* page : {"1", "2", "3"}) {
        const fs::path a = vellumet::ToPath(scratch.path()) / (std::string("with-") + page);
        const fs::path b = vellumet::ToPath(scratch.path()) / (std::string("without-") + page);
        for (const auto& [pdf, prefix] : {std::pair{withText, a}, std::pair{withoutText, b}}) {
            ASSERT_EQ(vellumet_test::RunProcess({"/usr/bin/pdftocairo", "-png", "-r", "72", "-singlefile",
                                                 "-f", page, "-l", page, pdf.string(), prefix.string()})
                          .exitCode,
                      0);
        }
        EXPECT_EQ(ReadAll(a.string() + ".png"), ReadAll(b.string() + ".png")) << "page " << page;
    }
}
