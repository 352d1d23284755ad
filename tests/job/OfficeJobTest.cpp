// The job with the installed LibreOffice and the real composition, on presentations of the shared
// corpus. Labelled `office`; skipped when the office or the corpus is missing.

#include <stdlib.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "JobFakes.h"
#include "common/WideText.h"
#include "imaging/ComposeDocument.h"
#include "job/ConversionJob.h"
#include "job/JobMessages.h"
#include "powerpoint/libreoffice/LibreOfficeExporter.h"
#include "support/Processes.h"

namespace fs = std::filesystem;
namespace JobResult = vellumet::JobResult;

namespace {

using vellumet_test::ChildProcesses;

fs::path Corpus(const char* name) {
    return fs::path(VELLUMET_CORPUS_DIR) / name;
}

powerpoint::LibreOfficeOptions ColdOffice() {
    powerpoint::LibreOfficeOptions options;
    options.warmOfficeIdleLimit = std::chrono::milliseconds(0);
    return options;
}

// Requests cancellation a fixed time after the export has begun.
class LateCancellingExporter : public powerpoint::LibreOfficeExporter {
public:
    LateCancellingExporter(vellumet::CancelToken& token, std::chrono::milliseconds delay)
        : LibreOfficeExporter(ColdOffice()), token_(token), delay_(delay) {}
    ~LateCancellingExporter() override {
        if (timer_.joinable()) {
            timer_.join();
        }
    }
    int ExportSlides(int flags, const std::wstring& sourcePath, const std::wstring& folder, int32_t width,
                     int32_t height, int32_t openDispId, const vellumet::CancelToken* cancel) override {
        timer_ = std::thread([this] {
            std::this_thread::sleep_for(delay_);
            token_.RequestCancel();
        });
        return LibreOfficeExporter::ExportSlides(flags, sourcePath, folder, width, height, openDispId,
                                                 cancel);
    }

private:
    vellumet::CancelToken& token_;
    std::chrono::milliseconds delay_;
    std::thread timer_;
};

class OfficeJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        powerpoint::LibreOfficeExporter probe;
        if (probe.GetPowerPointVersion() < 3) {
            GTEST_SKIP() << "no usable LibreOffice is installed";
        }
        if (!fs::exists(Corpus("CATALOGUE.tsv"))) {
            GTEST_SKIP() << "the presentation corpus is not present";
        }
        // The office's own private folders go under the scratch folder too, so that the check
        // below sees everything the run left behind.
        if (const char* old = std::getenv("TMPDIR")) {
            oldTmpdir_ = old;
        }
        ::setenv("TMPDIR", vellumet::ToNative(scratch.path()).c_str(), 1);
        fs::create_directory(vellumet::ToPath(scratch.path()) / "out");

        job.settings.schemeName = L"Amazon Kindle 2";
        job.settings.outputFolder = scratch.path() + L"/out/";
        job.settings.tempFolder = scratch.path() + L"/PPT20091230022130";
        job.host = &host;
        job.exporter = &exporter;
        job.compose = &ComposeDocument;
    }
    void TearDown() override {
        if (oldTmpdir_) {
            ::setenv("TMPDIR", oldTmpdir_->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }

    void ExpectOnlyOutputLeft(const std::vector<std::string>& outputs) {
        EXPECT_EQ(scratch.Entries(), std::vector<std::string>{"out"});
        std::vector<std::string> written;
        for (const auto& entry : fs::directory_iterator(vellumet::ToPath(scratch.path()) / "out")) {
            written.push_back(entry.path().filename().string());
        }
        std::sort(written.begin(), written.end());
        EXPECT_EQ(written, outputs);
        EXPECT_TRUE(ChildProcesses().empty()) << "an office process survived";
    }

    jobtest::ScratchFolder scratch;
    jobtest::RecordingHost host;
    // Ended after each export, so that each run can be checked for leaving nothing behind.
    powerpoint::LibreOfficeExporter exporter{ColdOffice()};
    vellumet::ConversionJob job;
    std::optional<std::string> oldTmpdir_;
};

}  // namespace

TEST_F(OfficeJobTest, ConvertsEachKindOfPresentationToOnePagePerSlide) {
    // A binary deck, an Office Open XML deck with several masters, an OpenDocument deck.
    const struct {
        const char* file;
        const char* pdf;
        const char* pages;
    } decks[] = {{"numbers2.ppt", "numbers2.pdf", "2"},
                 {"themes.pptx", "themes.pdf", "10"},
                 {"testMasterFooter.odp", "testMasterFooter.pdf", "1"}};
    job.settings.omitBackground = 1;
    job.settings.omitShadow = 1;
    std::vector<std::string> written;
    for (const auto& deck : decks) {
        SCOPED_TRACE(deck.file);
        job.settings.sourcePath = vellumet::FromPath(Corpus(deck.file));
        ASSERT_EQ(vellumet::ConversionThreadProc(&job), JobResult::Succeeded);
        EXPECT_TRUE(host.messages.empty());

        const std::string pdf = "'" + (vellumet::ToPath(scratch.path()) / "out" / deck.pdf).string() + "'";
        const std::string output = jobtest::CheckedPdfInfo(pdf);
        EXPECT_EQ(jobtest::PdfInfoField(output, "Pages"), deck.pages);
        EXPECT_EQ(jobtest::PdfInfoField(output, "Page size"), "560 x 750 pts");
        written.push_back(deck.pdf);
    }
    std::sort(written.begin(), written.end());
    ExpectOnlyOutputLeft(written);
}

TEST_F(OfficeJobTest, UnreadablePresentationsAreReportedWithTheirReasonAndLeaveNothing) {
    // A truncated archive, a deck protected by a password, a file that is no presentation at all.
    const fs::path notADeck = vellumet::ToPath(scratch.path()) / "out" / "notes.ppt";
    std::ofstream(notADeck) << "These are my notes, not slides.\n";
    const struct {
        fs::path file;
        const wchar_t* reason;
    } decks[] = {{Corpus("Divino_Revelado.pptx"), L"cannot be opened"},
                 {Corpus("Password_Protected-hello.ppt"), L"encrypted"},
                 {notADeck, L"format is not known"}};
    for (const auto& deck : decks) {
        SCOPED_TRACE(deck.file);
        host.messages.clear();
        host.details.clear();
        job.settings.sourcePath = vellumet::FromPath(deck.file);
        EXPECT_EQ(vellumet::ConversionThreadProc(&job), JobResult::NoPictures);
        EXPECT_EQ(host.messages,
                  (std::vector<std::wstring>{L"Can not convert the file:" + job.settings.sourcePath}));
        ASSERT_EQ(host.details.size(), 1u);
        EXPECT_NE(host.details[0].find(deck.reason), std::wstring::npos)
            << vellumet::ToNative(host.details[0]);
        EXPECT_EQ(host.events.back(), "EndBusy");
    }
    fs::remove(notADeck);
    ExpectOnlyOutputLeft({});
}

TEST_F(OfficeJobTest, CancelDuringTheExportLeavesNothing) {
    LateCancellingExporter cancelling(host.token, std::chrono::milliseconds(800));
    job.exporter = &cancelling;
    job.settings.sourcePath = vellumet::FromPath(Corpus("alterman_security.ppt"));

    EXPECT_EQ(vellumet::ConversionThreadProc(&job), JobResult::Cancelled);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.events.back(), "EndBusy");
    ExpectOnlyOutputLeft({});
}
