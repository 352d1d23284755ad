// The job with the real composition and PDF writer: the fake office writes real PNG pictures, and
// the PDF it produces is checked by independent readers.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "JobFakes.h"
#include "common/WideText.h"
#include "imaging/ComposeDocument.h"
#include "job/ConversionJob.h"
#include "job/JobMessages.h"
#include "support/Processes.h"

namespace fs = std::filesystem;

namespace {

struct EndToEndCase {
    const wchar_t* scheme;
    int twoSlidesPerPage;
    int slides;
    const char* pages;
    const char* pageSize;
};

class JobEndToEndTest : public ::testing::TestWithParam<EndToEndCase> {};

}  // namespace

TEST_P(JobEndToEndTest, WritesAPdfThatIndependentReadersAccept) {
    if (!vellumet_test::HaveTool("qpdf") || !vellumet_test::HaveTool("pdfinfo")) {
        GTEST_SKIP() << "qpdf or pdfinfo is not installed";
    }
    const EndToEndCase& param = GetParam();
    const jobtest::ScratchFolder scratch;
    const fs::path root = vellumet::ToPath(scratch.path());
    fs::create_directory(root / "out");

    jobtest::RecordingHost host;
    jobtest::FakeExporter exporter;
    exporter.slides = param.slides;
    exporter.pictureWidth = 0;  // at the export size
    exporter.pictureHeight = 0;

    vellumet::ConversionJob job;
    job.settings.sourcePath = L"/talks/Zoë review.final.ppt";
    job.settings.schemeName = param.scheme;
    job.settings.outputFolder = scratch.path() + L"/out/";
    job.settings.twoSlidesPerPage = param.twoSlidesPerPage;
    job.settings.tempFolder = scratch.path() + L"/PPT20091230022130";
    job.host = &host;
    job.exporter = &exporter;
    job.compose = &ComposeDocument;

    ASSERT_EQ(vellumet::ConversionThreadProc(&job), vellumet::JobResult::Succeeded);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(scratch.Entries(), std::vector<std::string>{"out"});

    const fs::path pdf = root / "out" / vellumet::ToNative(L"Zoë review.final.pdf");
    ASSERT_TRUE(fs::is_regular_file(pdf));
    const std::string quoted = "'" + pdf.string() + "'";
    const std::string output = jobtest::CheckedPdfInfo(quoted);
    EXPECT_EQ(jobtest::PdfInfoField(output, "Pages"), param.pages);
    EXPECT_EQ(jobtest::PdfInfoField(output, "Page size"), param.pageSize);
    EXPECT_EQ(jobtest::PdfInfoField(output, "PDF version"), "1.4");
}

INSTANTIATE_TEST_SUITE_P(Devices, JobEndToEndTest,
                         ::testing::Values(EndToEndCase{L"Amazon Kindle 2", 0, 3, "3", "560 x 750 pts"},
                                           EndToEndCase{L"Amazon Kindle DX", 1, 3, "2", "784 x 1150 pts"},
                                           EndToEndCase{L"Small (600*800)", 1, 4, "2", "600 x 800 pts"}));
