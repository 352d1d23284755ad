// Notes pages through the installed LibreOffice: a deck with speaker notes, written here as a flat
// OpenDocument presentation, becomes one upright page per slide with the notes below the slide,
// and the notes are in the outline's pages and the searchable text. Without the office's PDF
// export there are no notes pages, and the job says why instead of giving the slides alone.
// Labelled `office`; skipped when the office or poppler's tools are missing.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "JobFakes.h"
#include "common/WideText.h"
#include "imaging/ComposeDocument.h"
#include "job/ConversionJob.h"
#include "job/JobMessages.h"
#include "powerpoint/libreoffice/LibreOfficeExporter.h"
#include "support/PdfReading.h"
#include "support/Processes.h"

namespace fs = std::filesystem;

namespace {

// A landscape slide with a line of text and a notes page that shows the slide above its notes. The
// page has no name, so the outline takes the slide's first line of text.
std::string NotesSlide(int number, const char* title, const char* notes) {
    const std::string n = std::to_string(number);
    return std::string(R"(<draw:page draw:master-page-name="Default">
<draw:frame svg:x="2cm" svg:y="2cm" svg:width="24cm" svg:height="3cm"><draw:text-box><text:p>)") +
           title + R"(</text:p></draw:text-box></draw:frame>
<presentation:notes>
<draw:page-thumbnail presentation:class="page" svg:x="2cm" svg:y="2cm" svg:width="17cm" svg:height="12.75cm" draw:page-number=")" +
           n + R"("/>
<draw:frame presentation:class="notes" svg:x="2cm" svg:y="16cm" svg:width="17cm" svg:height="10cm"><draw:text-box><text:p>)" +
           notes + R"(</text:p></draw:text-box></draw:frame>
</presentation:notes>
</draw:page>
)";
}

void WriteNotesDeck(const fs::path& file) {
    std::ofstream(file) << R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" xmlns:presentation="urn:oasis:names:tc:opendocument:xmlns:presentation:1.0" office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.presentation">
<office:automatic-styles><style:page-layout style:name="Slide"><style:page-layout-properties fo:page-width="28cm" fo:page-height="21cm" style:print-orientation="landscape"/></style:page-layout></office:automatic-styles>
<office:master-styles><style:master-page style:name="Default" style:page-layout-name="Slide"/></office:master-styles>
<office:body><office:presentation>
)" + NotesSlide(1, "Harbour overview", "Remember the lighthouse keeper") +
                               NotesSlide(2, "Tide tables", "Mention the spring equinox") +
                               R"(</office:presentation></office:body>
</office:document>
)";
}

powerpoint::LibreOfficeOptions ColdOffice(bool throughPdf) {
    powerpoint::LibreOfficeOptions options;
    options.warmOfficeIdleLimit = std::chrono::milliseconds(0);
    options.exportThroughPdf = throughPdf;
    return options;
}

class OfficeNotesPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        powerpoint::LibreOfficeExporter probe;
        if (probe.GetPowerPointVersion() < 3 || !vellumet_test::HaveTool("pdftotext") ||
            !vellumet_test::HaveTool("qpdf") || !vellumet_test::HaveTool("pdfinfo")) {
            GTEST_SKIP() << "LibreOffice, poppler's tools or qpdf is not installed";
        }
        root_ = vellumet::ToPath(scratch_.path());
        fs::create_directory(root_ / "out");
        WriteNotesDeck(root_ / "harbour.fodp");
        job_.settings.sourcePath = vellumet::FromPath(root_ / "harbour.fodp");
        job_.settings.schemeName = L"Amazon Kindle 2";
        job_.settings.outputFolder = scratch_.path() + L"/out/";
        job_.settings.tempFolder = scratch_.path() + L"/PPT20091230022130";
        job_.settings.notesPages = true;
        job_.settings.twoSlidesPerPage = 1;
        job_.host = &host_;
        job_.compose = &ComposeDocument;
    }

    jobtest::ScratchFolder scratch_;
    fs::path root_;
    jobtest::RecordingHost host_;
    vellumet::ConversionJob job_;
};

}  // namespace

TEST_F(OfficeNotesPagesTest, EachSlideStandsUprightAboveItsNotesWithTheNotesSearchable) {
    powerpoint::LibreOfficeExporter exporter(ColdOffice(true));
    job_.exporter = &exporter;
    job_.settings.outline = true;
    job_.settings.searchable = true;
    ASSERT_EQ(vellumet::ConversionThreadProc(&job_), vellumet::JobResult::Succeeded)
        << (host_.details.empty() ? std::string() : vellumet::ToNative(host_.details[0]));

    const fs::path pdf = root_ / "out" / "harbour.pdf";
    std::string report;
    EXPECT_TRUE(vellumet_test::PdfChecksClean(pdf, &report)) << report;
    const auto sizes = vellumet_test::PdfPageSizes(pdf);
    ASSERT_EQ(sizes.size(), 2u) << "one notes page a page, whatever two-per-page says";
    EXPECT_EQ(sizes[0], (std::pair<double, double>{560, 750}));

    // Upright: the words run across the page, the slide's title above its notes.
    double titleTop = -1;
    double notesTop = -1;
    for (const vellumet_test::PdfWord& word : vellumet_test::PdfWords(pdf)) {
        if (word.text == "Harbour" || word.text == "lighthouse") {
            EXPECT_EQ(word.page, 0) << word.text;
            EXPECT_GT(word.xMax - word.xMin, word.yMax - word.yMin) << word.text << " is turned";
            (word.text == "Harbour" ? titleTop : notesTop) = word.yMin;
        }
    }
    ASSERT_GE(titleTop, 0) << "the slide's title is not on its notes page";
    ASSERT_GE(notesTop, 0) << "the notes are not searchable";
    EXPECT_LT(titleTop, 750 * 0.4);
    EXPECT_GT(notesTop, 750 * 0.5) << "the notes lie below the slide";

    const std::vector<std::string> words = vellumet_test::PdfTextWords(pdf);
    EXPECT_NE(std::find(words.begin(), words.end(), "equinox"), words.end());
    const auto outline = vellumet_test::PdfOutline(pdf);
    ASSERT_EQ(outline.size(), 2u);
    EXPECT_EQ(outline[0].title, "Harbour overview");
    EXPECT_EQ(outline[1].title, "Tide tables");
    EXPECT_EQ(outline[1].page, 2);
    EXPECT_EQ(scratch_.Entries(), (std::vector<std::string>{"harbour.fodp", "out"}));
}

TEST_F(OfficeNotesPagesTest, WithoutThePdfExportTheJobSaysWhyAndGivesNoSlidesInstead) {
    powerpoint::LibreOfficeExporter exporter(ColdOffice(false));
    job_.exporter = &exporter;
    EXPECT_EQ(vellumet::ConversionThreadProc(&job_), vellumet::JobResult::NoPictures);
    ASSERT_EQ(host_.details.size(), 1u);
    EXPECT_NE(host_.details[0].find(L"Notes pages"), std::wstring::npos)
        << vellumet::ToNative(host_.details[0]);
    EXPECT_FALSE(fs::exists(root_ / "out" / "harbour.pdf"));
}

TEST_F(OfficeNotesPagesTest, AWarmOfficeTakesEachExportsOwnChoice) {
    powerpoint::LibreOfficeOptions warm;
    warm.warmOfficeIdleLimit = std::chrono::milliseconds(60000);
    powerpoint::LibreOfficeExporter exporter(warm);
    job_.exporter = &exporter;
    job_.settings.searchable = true;
    const fs::path pdf = root_ / "out" / "harbour.pdf";
    for (const bool notes : {true, false, true}) {
        SCOPED_TRACE(notes ? "notes pages" : "slides");
        job_.settings.notesPages = notes;
        ASSERT_EQ(vellumet::ConversionThreadProc(&job_), vellumet::JobResult::Succeeded);
        const std::vector<std::string> words = vellumet_test::PdfTextWords(pdf);
        EXPECT_EQ(std::find(words.begin(), words.end(), "lighthouse") != words.end(), notes);
        EXPECT_EQ(vellumet_test::PdfPageSizes(pdf).size(), notes ? 2u : 1u) << "slides share a page";
        fs::remove(pdf);
    }
}
