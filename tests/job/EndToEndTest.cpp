// The job with the real composition and PDF writer: the fake office writes real PNG pictures, and
// the PDF it produces is checked by independent readers.

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "JobFakes.h"
#include "common/WideText.h"
#include "imaging/ComposeAhead.h"
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

// The product's composer, counting the pictures the job tells it of.
std::atomic<int> picturesTold{0};

class CountingComposer final : public vellumet::PageComposer {
public:
    explicit CountingComposer(std::unique_ptr<vellumet::PageComposer> inner) : inner_(std::move(inner)) {}
    void PictureWritten(const std::wstring& picture) noexcept override {
        ++picturesTold;
        inner_->PictureWritten(picture);
    }
    std::unique_ptr<PDFWriter::PDF> Compose(const std::vector<std::wstring>& pictures,
                                            std::vector<vellumet::LeftOutPicture>* leftOut) override {
        return inner_->Compose(pictures, leftOut);
    }

private:
    std::unique_ptr<vellumet::PageComposer> inner_;
};

std::unique_ptr<vellumet::PageComposer> MakeCountingComposer(int32_t pageWidth, int32_t pageHeight,
                                                             int32_t slidesPerPage,
                                                             vellumet::PageColours colours,
                                                             const vellumet::CancelToken* cancel) {
    return std::make_unique<CountingComposer>(
        MakeComposeAhead(pageWidth, pageHeight, slidesPerPage, colours, cancel));
}

// The file's bytes, its creation time blanked.
std::string BytesWithoutTheDate(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return std::regex_replace(bytes, std::regex(R"(/CreationDate\(D:\d+\))"), "/CreationDate()");
}

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

// Composition begun while the fake office still writes its pictures gives the same file.
TEST(JobComposerTest, ComposingDuringTheExportGivesTheSameFile) {
    const jobtest::ScratchFolder scratch;
    const fs::path root = vellumet::ToPath(scratch.path());
    jobtest::RecordingHost host;
    jobtest::FakeExporter exporter;
    exporter.slides = 9;
    exporter.pictureWidth = 0;
    exporter.pictureHeight = 0;
    for (const int perPage : {0, 1}) {
        std::string files[2];
        for (const bool early : {false, true}) {
            const std::wstring out = scratch.path() + (early ? L"/early/" : L"/after/");
            fs::create_directories(vellumet::ToPath(out));
            vellumet::ConversionJob job;
            job.settings.sourcePath = L"/talks/deck.ppt";
            job.settings.schemeName = L"Amazon Kindle 2";
            job.settings.outputFolder = out;
            job.settings.twoSlidesPerPage = perPage;
            job.settings.tempFolder = scratch.path() + L"/PPT20091230022130";
            job.host = &host;
            job.exporter = &exporter;
            job.compose = &ComposeDocument;
            job.composer = early ? &MakeCountingComposer : nullptr;
            picturesTold = 0;
            ASSERT_EQ(vellumet::ConversionThreadProc(&job), vellumet::JobResult::Succeeded);
            EXPECT_EQ(picturesTold, early ? 9 : 0);
            files[early] = BytesWithoutTheDate(vellumet::ToPath(out + L"deck.pdf"));
        }
        EXPECT_FALSE(files[0].empty());
        EXPECT_TRUE(files[0] == files[1]) << perPage;
        EXPECT_FALSE(fs::exists(root / "PPT20091230022130"));
    }
}
