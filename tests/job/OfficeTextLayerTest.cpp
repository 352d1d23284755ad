// The text layer on corpus decks: the office's own PDF of each deck (soffice --convert-to pdf with
// its outline and the hidden slides, in a private profile) lies beside pictures of its pages, as
// the office layer leaves them for the job. Checked with poppler and qpdf: the words a reader finds
// in the office's PDF are found in ours, where our pictures show them; one outline entry per slide
// with the office's titles; page labels; and what the layer costs a text-heavy deck.
// Labelled `office`; skipped when the office, the readers or the corpus are missing.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "JobFakes.h"
#include "common/PngChunks.h"
#include "common/WideText.h"
#include "imaging/ComposeDocument.h"
#include "imaging/PageLayout.h"
#include "job/ConversionJob.h"
#include "job/JobMessages.h"
#include "support/PdfReading.h"
#include "support/Processes.h"

namespace fs = std::filesystem;

namespace {

const char* const kDecks[] = {
    "alterman_security.ppt", "41246-1.ppt", "54880_chinese.ppt",  "testPPT_various.ppt",
    "testPPT_various2.pptx", "themes.pptx", "with_japanese.pptx", "smartart-rotated-text.pptx",
    "49541_symbol_map.ppt"};
constexpr vellumet::PixelSize kPage{1264, 1680};

std::string Quote(const fs::path& path) {
    return "'" + path.string() + "'";
}

// The office's PDFs of every deck, made once for the whole suite.
class OfficeTextLayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch_ = new jobtest::ScratchFolder;
        const fs::path root = vellumet::ToPath(scratch_->path());
        fs::create_directories(root / "office");
        std::string command =
            "soffice -env:UserInstallation=file://" + (root / "profile").string() +
            " --headless --convert-to 'pdf:impress_pdf_Export:{\"ExportHiddenSlides\":{\"type\":"
            "\"boolean\",\"value\":\"true\"},\"ExportBookmarks\":{\"type\":\"boolean\",\"value\":"
            "\"true\"}}' --outdir " +
            Quote(root / "office");
        for (const char* deck : kDecks) {
            command += " " + Quote(fs::path(VELLUMET_CORPUS_DIR) / deck);
        }
        vellumet_test::ProcessOptions options;
        options.environment["HOME"] = (root / "home").string();
        vellumet_test::RunShell(command + " >/dev/null 2>&1", options);
        fs::remove_all(root / "profile");
    }
    static void TearDownTestSuite() {
        delete scratch_;
        scratch_ = nullptr;
    }

    void SetUp() override {
        if (!vellumet_test::HaveTool("soffice") || !vellumet_test::HaveTool("pdftoppm") ||
            !vellumet_test::HaveTool("pdftotext") || !vellumet_test::HaveTool("qpdf")) {
            GTEST_SKIP() << "LibreOffice, poppler's tools or qpdf is not installed";
        }
        if (!fs::exists(fs::path(VELLUMET_CORPUS_DIR) / "CATALOGUE.tsv")) {
            GTEST_SKIP() << "the presentation corpus is not there";
        }
    }

    static fs::path Root() { return vellumet::ToPath(scratch_->path()); }

    // A picture folder for `deck`: its office PDF as Slides.pdf and its pages as pictures whose
    // longer side is `longSide` pixels, written in page order. Empty when the office made no PDF.
    static fs::path PictureFolder(const std::string& deck, int longSide) {
        const fs::path office = Root() / "office" / (fs::path(deck).stem().string() + ".pdf");
        if (!fs::exists(office)) {
            return {};
        }
        const fs::path folder = Root() / (fs::path(deck).stem().string() + "-" + std::to_string(longSide));
        if (!fs::exists(folder)) {
            fs::create_directories(folder);
            vellumet_test::RunShell("pdftoppm -png -scale-to " + std::to_string(longSide) + " " +
                                    Quote(office) + " " + Quote(folder / "Slide") + " 2>/dev/null");
            fs::copy_file(office, folder / "Slides.pdf");
        }
        return folder;
    }

    static fs::path Convert(const fs::path& folder, bool text, int twoPerPage, const std::string& name,
                            vellumet::PageColours colours = {}) {
        jobtest::RecordingHost host;
        vellumet::ConversionJob job;
        const fs::path out = Root() / ("out-" + name);
        fs::create_directories(out);
        job.settings.sourcePath = vellumet::FromPath(folder);
        job.settings.pageSize = kPage;
        job.settings.outputFolder = vellumet::FromPath(out) + L"/";
        job.settings.twoSlidesPerPage = twoPerPage;
        job.settings.outline = text;
        job.settings.searchable = text;
        job.settings.colours = colours;
        job.host = &host;
        job.compose = &ComposeDocument;
        job.source = vellumet::JobSource::PictureFolder;
        if (vellumet::ConversionThreadProc(&job) != vellumet::JobResult::Succeeded) {
            return {};
        }
        return out / (folder.filename().string() + ".pdf");
    }

    static jobtest::ScratchFolder* scratch_;
};

jobtest::ScratchFolder* OfficeTextLayerTest::scratch_ = nullptr;

// How many of `wanted`'s words (counted with repeats) `found` holds.
size_t WordsFound(const std::vector<std::string>& wanted, const std::vector<std::string>& found) {
    std::map<std::string, int> left;
    for (const std::string& word : found) {
        ++left[word];
    }
    size_t count = 0;
    for (const std::string& word : wanted) {
        if (left[word]-- > 0) {
            ++count;
        }
    }
    return count;
}

}  // namespace

TEST_F(OfficeTextLayerTest, ReadersFindTheOfficesWordsWhereThePicturesShowThem) {
    for (const char* deck : kDecks) {
        SCOPED_TRACE(deck);
        const fs::path folder = PictureFolder(deck, 400);
        ASSERT_FALSE(folder.empty()) << "the office made no PDF";
        const fs::path office = folder / "Slides.pdf";
        const std::vector<vellumet_test::PdfWord> officeWords = vellumet_test::PdfWords(office);
        const std::vector<vellumet_test::PdfOutlineEntry> officeOutline = vellumet_test::PdfOutline(office);

        for (const int twoPerPage : {0, 1}) {
            SCOPED_TRACE(twoPerPage ? "two per page" : "one per page");
            const fs::path pdf = Convert(folder, true, twoPerPage, "words");
            ASSERT_FALSE(pdf.empty());
            std::string report;
            EXPECT_TRUE(vellumet_test::PdfChecksClean(pdf, &report)) << report;

            const std::vector<std::string> wanted = vellumet_test::PdfTextWords(office);
            const size_t found = WordsFound(wanted, vellumet_test::PdfTextWords(pdf));
            // The 5 x 3 cm SmartArt deck has six one- and two-letter words on crossing lines a
            // point apart; plain pdftotext joins two pairs of them into one line of ours ("abc"),
            // though -bbox finds every word apart and in place (checked below).
            const double share = std::string(deck) == "smartart-rotated-text.pptx" ? 0.3 : 0.95;
            EXPECT_GE(static_cast<double>(found), share * static_cast<double>(wanted.size()))
                << found << " of " << wanted.size();
            RecordProperty(std::string(deck) + (twoPerPage ? " pairs" : "") + " words found",
                           std::to_string(found) + " of " + std::to_string(wanted.size()));

            // One entry per slide with the office's titles (its default names give way to text).
            const std::vector<vellumet_test::PdfOutlineEntry> outline = vellumet_test::PdfOutline(pdf);
            ASSERT_EQ(outline.size(), officeOutline.size());
            for (size_t i = 0; i < outline.size(); ++i) {
                if (officeOutline[i].title != "Slide " + std::to_string(i + 1)) {
                    EXPECT_EQ(outline[i].title, officeOutline[i].title) << i;
                }
                EXPECT_EQ(outline[i].page, static_cast<int>(i) / (twoPerPage + 1) + 1) << i;
            }
            EXPECT_FALSE(vellumet_test::PdfPageLabels(pdf).empty());
        }

        // Single slides: each word within 2% of the page's long side of its place on the picture.
        const fs::path pdf = Convert(folder, true, 0, "places");
        // Every page of a deck has the same size, and so has every picture.
        fs::path first;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() == ".png" && (first.empty() || entry.path() < first)) {
                first = entry.path();
            }
        }
        const vellumet::PixelSize picture = vellumet::ReadPngFileSize(vellumet::FromPath(first));
        const std::vector<vellumet_test::PdfWord> ours = vellumet_test::PdfWords(pdf);
        const auto sizes = vellumet_test::PdfPageSizes(office);
        const double tolerance = 0.02 * kPage.height;
        size_t placed = 0;
        for (const vellumet_test::PdfWord& word : officeWords) {
            if (picture.width == 0 || word.page >= static_cast<int>(sizes.size())) {
                break;
            }
            const auto [slideWidth, slideHeight] = sizes[static_cast<size_t>(word.page)];
            const bool turned =
                imaging::NeedsQuarterTurn(picture.width, picture.height, kPage.width, kPage.height);
            const imaging::Fit fit =
                turned ? imaging::FitToPage(picture.height, picture.width, kPage.width, kPage.height)
                       : imaging::FitToPage(picture.width, picture.height, kPage.width, kPage.height);
            const imaging::Placement at = imaging::CentreOnPage(fit, kPage.width, kPage.height);
            // The slide point (u, v) on the page: turned, (v, 1 - u) of the picture.
            auto onPage = [&](double x, double y) {
                const double u = x / slideWidth;
                const double v = y / slideHeight;
                return turned ? std::pair{at.x + v * fit.width, at.y + (1 - u) * fit.height}
                              : std::pair{at.x + u * fit.width, at.y + v * fit.height};
            };
            const auto [ax, ay] = onPage(word.xMin, word.yMin);
            const auto [bx, by] = onPage(word.xMax, word.yMax);
            const double left = std::min(ax, bx), right = std::max(ax, bx);
            const double top = std::min(ay, by), bottom = std::max(ay, by);
            if (left < 0 || top < 0 || right > kPage.width || bottom > kPage.height) {
                continue;  // outside the slide: not shown, not laid
            }
            // Our word with the same text lies on it; or, where the slide joined two words with
            // nothing between them (a footnote mark) and readers join them too, the joined word
            // covers it.
            bool near = false;
            for (const vellumet_test::PdfWord& mine : ours) {
                if (mine.page != word.page) {
                    continue;
                }
                const bool same = mine.text == word.text && std::abs(mine.xMin - left) <= tolerance &&
                                  std::abs(mine.xMax - right) <= tolerance &&
                                  std::abs(mine.yMin - top) <= tolerance &&
                                  std::abs(mine.yMax - bottom) <= tolerance;
                const bool joined = mine.text != word.text &&
                                    mine.text.find(word.text) != std::string::npos &&
                                    mine.xMin <= left + tolerance && mine.xMax >= right - tolerance &&
                                    mine.yMin <= top + tolerance && mine.yMax >= bottom - tolerance;
                if (same || joined) {
                    near = true;
                    break;
                }
            }
            placed += near ? 1 : 0;
            EXPECT_TRUE(near) << "page " << word.page << " \"" << word.text << "\" expected at " << left
                              << "," << top << " " << right << "," << bottom;
        }
        RecordProperty(std::string(deck) + " words placed", static_cast<int>(placed));
    }
}

TEST_F(OfficeTextLayerTest, TheLayerCostsATextHeavyDeckLittle) {
    // 36 slides of bullet text, pictures at the office layer's export size for this page, stored
    // in 16 grays as the gray readers get them.
    const fs::path folder = PictureFolder("41246-1.ppt", 1045);
    ASSERT_FALSE(folder.empty());
    const vellumet::PageColours gray16{vellumet::Palette::Gray16, vellumet::Dither::Ordered};
    for (const int twoPerPage : {0, 1}) {
        const fs::path plain = Convert(folder, false, twoPerPage, "plain", gray16);
        const fs::path text = Convert(folder, true, twoPerPage, "text", gray16);
        ASSERT_FALSE(plain.empty());
        ASSERT_FALSE(text.empty());
        const auto plainSize = static_cast<double>(fs::file_size(plain));
        const auto textSize = static_cast<double>(fs::file_size(text));
        std::printf("41246-1.ppt, gray16, %s: %.0f bytes without, %.0f with outline and text (+%.2f%%)\n",
                    twoPerPage ? "two per page" : "one per page", plainSize, textSize,
                    100 * (textSize - plainSize) / plainSize);
        EXPECT_LE(textSize, plainSize * 1.05);
    }
}
