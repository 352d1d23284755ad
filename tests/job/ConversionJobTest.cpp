#include <sys/stat.h>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "JobFakes.h"
#include "common/ExportFlags.h"
#include "common/WideText.h"
#include "job/ConversionJob.h"
#include "job/JobMessages.h"

namespace fs = std::filesystem;
using jobtest::Composer;
using jobtest::FakeExporter;
using jobtest::RecordingHost;
using jobtest::ScratchFolder;
using Events = std::vector<std::string>;
namespace JobResult = vellumet::JobResult;

namespace {

// A job over the fakes: presentation /talks/review.final.ppt, pictures under <scratch>/tmp/,
// output into <scratch>/out/.
class ConversionJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        Composer() = {};
        fs::create_directory(Scratch() / "tmp");
        fs::create_directory(Scratch() / "out");
        job.settings.sourcePath = L"/talks/review.final.ppt";
        job.settings.schemeName = L"Amazon Kindle 2";
        job.settings.outputFolder = scratch.path() + L"/out/";
        job.settings.tempFolder = scratch.path() + L"/tmp/PPT20091230022130";
        job.host = &host;
        job.exporter = &exporter;
        job.compose = &jobtest::FakeCompose;
    }
    void TearDown() override { Composer() = {}; }

    fs::path Scratch() const { return vellumet::ToPath(scratch.path()); }
    fs::path OutputFile() const { return Scratch() / "out" / "review.final.pdf"; }

    // Entries left in the folder that holds the job's temporary folders.
    size_t TemporaryEntries() const {
        size_t count = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(Scratch() / "tmp")) {
            ++count;
        }
        return count;
    }
    bool OutputFolderEmpty() const { return fs::is_empty(Scratch() / "out"); }

    int Run() { return vellumet::ConversionThreadProc(&job); }

    ScratchFolder scratch;
    RecordingHost host;
    FakeExporter exporter;
    vellumet::ConversionJob job;
};

}  // namespace

TEST_F(ConversionJobTest, SuccessWritesThePdfAndLeavesNothingElse) {
    job.settings.omitShadow = 1;
    host.position = 12;

    ASSERT_EQ(Run(), JobResult::Succeeded);

    EXPECT_EQ(host.events, (Events{"BeginBusy", "GetPos", "SetPos 50", "Step 4", "EndBusy"}));
    EXPECT_TRUE(host.messages.empty());

    // The export: options, size for the device, the opening identifier, and a private folder
    // created beforehand under the given prefix.
    EXPECT_EQ(exporter.flags, ExportFlags::OmitShadow);
    EXPECT_EQ(exporter.sourcePath, L"/talks/review.final.ppt");
    EXPECT_EQ(exporter.exportWidth, 746);
    EXPECT_EQ(exporter.exportHeight, 560);
    EXPECT_EQ(exporter.openDispId, 2005);
    EXPECT_TRUE(exporter.folderExisted);
    EXPECT_EQ(exporter.folderMode, 0700u);
    EXPECT_EQ(exporter.folder.rfind(job.settings.tempFolder, 0), 0u);
    EXPECT_GT(exporter.folder.size(), job.settings.tempFolder.size());
    EXPECT_EQ(exporter.cancel, &host.token);

    // Composition: the pictures in slide order, still present, and the page of the device.
    const std::wstring& folder = exporter.folder;
    EXPECT_EQ(Composer().pictures,
              (std::vector<std::wstring>{folder + L"/Slide1.png", folder + L"/Slide2.png",
                                         folder + L"/Slide3.png"}));
    EXPECT_TRUE(Composer().picturesExisted);
    EXPECT_EQ(Composer().pageWidth, 560);
    EXPECT_EQ(Composer().pageHeight, 750);
    EXPECT_EQ(Composer().slidesPerPage, 1);
    EXPECT_EQ(Composer().cancel, &host.token);

    // Only the PDF remains, named after the presentation's base name.
    std::ifstream output(OutputFile(), std::ios::binary);
    std::string head(8, '\0');
    output.read(head.data(), 8);
    EXPECT_EQ(head, "%PDF-1.4");
    EXPECT_EQ(TemporaryEntries(), 0u);
    EXPECT_EQ(std::distance(fs::directory_iterator(Scratch() / "out"), fs::directory_iterator()), 1);
}

TEST_F(ConversionJobTest, DeviceAndTwoSlidesPerPageReachTheCalls) {
    job.settings.schemeName = L"Large (1200*1600)";
    job.settings.omitBackground = 1;
    job.settings.twoSlidesPerPage = 1;
    exporter.version = 3;

    ASSERT_EQ(Run(), JobResult::Succeeded);
    EXPECT_EQ(exporter.flags, ExportFlags::OmitBackground);
    EXPECT_EQ(exporter.exportWidth, 1600);
    EXPECT_EQ(exporter.exportHeight, 1200);
    EXPECT_EQ(exporter.openDispId, 2004);
    EXPECT_EQ(Composer().pageWidth, 1200);
    EXPECT_EQ(Composer().pageHeight, 1600);
    EXPECT_EQ(Composer().slidesPerPage, 2);
}

TEST_F(ConversionJobTest, NotesPagesAskForUprightPicturesOfThePageAndComposeOnePerPage) {
    job.settings.schemeName = L"Large (1200*1600)";
    job.settings.twoSlidesPerPage = 1;
    job.settings.notesPages = true;

    ASSERT_EQ(Run(), JobResult::Succeeded);
    EXPECT_EQ(exporter.flags, ExportFlags::NotesPages);
    EXPECT_EQ(exporter.exportWidth, 1200);
    EXPECT_EQ(exporter.exportHeight, 1600);
    EXPECT_EQ(Composer().pageWidth, 1200);
    EXPECT_EQ(Composer().pageHeight, 1600);
    EXPECT_EQ(Composer().slidesPerPage, 1);
}

TEST_F(ConversionJobTest, AGivenPageSizeIsUsedInsteadOfTheTablesLookup) {
    job.settings.schemeName = L"Kindle Scribe (2025)";
    job.settings.pageSize = vellumet::PixelSize{1986, 2648};
    ASSERT_EQ(Run(), JobResult::Succeeded);
    EXPECT_EQ(exporter.exportWidth, 2648);
    EXPECT_EQ(exporter.exportHeight, 1986);
    EXPECT_EQ(Composer().pageWidth, 1986);
    EXPECT_EQ(Composer().pageHeight, 2648);
}

TEST_F(ConversionJobTest, APageSizeOutOfRangeFailsBeforeAnyExport) {
    for (vellumet::PixelSize page :
         {vellumet::PixelSize{0, 800}, vellumet::PixelSize{600, -1}, vellumet::PixelSize{20001, 800}}) {
        job.settings.pageSize = page;
        host.events.clear();
        EXPECT_EQ(Run(), JobResult::ComposeFailed);
        EXPECT_EQ(exporter.versionCalls, 0);
        EXPECT_EQ(exporter.exportCalls, 0);
        ASSERT_FALSE(host.messages.empty());
        EXPECT_EQ(host.messages.back(), vellumet::kGenerateFailedMessage);
        EXPECT_TRUE(OutputFolderEmpty());
        EXPECT_EQ(TemporaryEntries(), 0u);
    }
}

TEST_F(ConversionJobTest, ProgressAtZeroGivesTheLargestStep) {
    host.position = 0;
    ASSERT_EQ(Run(), JobResult::Succeeded);
    EXPECT_EQ(host.events, (Events{"BeginBusy", "GetPos", "SetPos 50", "Step 5", "EndBusy"}));
    EXPECT_EQ(host.position, 50);

    host.events.clear();
    host.position = 17;
    ASSERT_EQ(Run(), JobResult::Succeeded);
    EXPECT_EQ(host.events, (Events{"BeginBusy", "GetPos", "SetPos 50", "Step 2", "EndBusy"}));
}

TEST_F(ConversionJobTest, OldOrMissingOfficeIsRefusedBeforeAnyExport) {
    for (int version : {0, 1, 2}) {
        host.events.clear();
        host.messages.clear();
        exporter.version = version;
        EXPECT_EQ(Run(), JobResult::NoOffice) << version;
        EXPECT_EQ(host.events, (Events{"BeginBusy", "Message", "EndBusy"}));
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0], exporter.VersionRefusal()) << "the office names itself";
    }
    EXPECT_EQ(exporter.exportCalls, 0);
    EXPECT_EQ(TemporaryEntries(), 0u);
    EXPECT_TRUE(OutputFolderEmpty());
}

TEST_F(ConversionJobTest, NoPicturesIsReportedWithThePathTheReasonAndCleansUp) {
    // The export leaves only files that are not pictures.
    exporter.pictureExtension = L".txt";
    exporter.failure = L"it is protected by a password";

    EXPECT_EQ(Run(), JobResult::NoPictures);
    EXPECT_EQ(host.events, (Events{"BeginBusy", "GetPos", "SetPos 50", "Step 5", "Message", "EndBusy"}));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], L"Can not convert the file:/talks/review.final.ppt");
    EXPECT_EQ(host.details[0], L"it is protected by a password");
    EXPECT_EQ(Composer().calls, 0);
    EXPECT_EQ(TemporaryEntries(), 0u);
    EXPECT_TRUE(OutputFolderEmpty());
}

TEST_F(ConversionJobTest, UncreatableTemporaryFolderIsReportedLikeAFailedExport) {
    job.settings.tempFolder = scratch.path() + L"/missing/PPT20091230022130";
    EXPECT_EQ(Run(), JobResult::NoPictures);
    EXPECT_EQ(host.events, (Events{"BeginBusy", "Message", "EndBusy"}));
    EXPECT_EQ(host.messages,
              (std::vector<std::wstring>{L"Can not convert the file:/talks/review.final.ppt"}));
    ASSERT_EQ(host.details.size(), 1u);
    EXPECT_NE(host.details[0].find(L"temporary folder"), std::wstring::npos) << "says why";
    EXPECT_EQ(exporter.exportCalls, 0);
}

TEST_F(ConversionJobTest, FailedCompositionCleansUpBeforeTheMessage) {
    Composer().fails = true;
    size_t entriesWhileShown = 99;
    host.onMessage = [&] { entriesWhileShown = TemporaryEntries(); };

    EXPECT_EQ(Run(), JobResult::ComposeFailed);
    EXPECT_EQ(host.events.back(), "EndBusy");
    EXPECT_EQ(host.events[host.events.size() - 2], "Message");
    EXPECT_EQ(host.messages, (std::vector<std::wstring>{L"Can not generate PDF"}));
    EXPECT_EQ(entriesWhileShown, 0u);
    EXPECT_TRUE(OutputFolderEmpty());
}

TEST_F(ConversionJobTest, DocumentThatOutgrewItsBufferIsNotSaved) {
    // Poison the composed document's buffer: a write past the 32-bit size limit.
    job.compose = [](const std::vector<std::wstring>& pictures, int32_t w, int32_t h, int32_t n,
                     vellumet::PageColours colours, const vellumet::CancelToken* cancel,
                     std::vector<vellumet::LeftOutPicture>* leftOut, int32_t threads) {
        auto document = jobtest::FakeCompose(pictures, w, h, n, colours, cancel, leftOut, threads);
        const char byte = 0;
        document->Buffer().Append(&byte, INT32_MAX);
        return document;
    };
    EXPECT_EQ(Run(), JobResult::ComposeFailed);
    EXPECT_EQ(host.messages, (std::vector<std::wstring>{L"Can not generate PDF"}));
    EXPECT_EQ(host.events.back(), "EndBusy");
    EXPECT_TRUE(OutputFolderEmpty());
    EXPECT_EQ(TemporaryEntries(), 0u);
}

TEST_F(ConversionJobTest, DocumentWithoutPagesIsNotReportedAsSuccess) {
    // Every picture failed to decode: composition returns a document, but it has no page.
    job.compose = [](const std::vector<std::wstring>&, int32_t, int32_t, int32_t, vellumet::PageColours,
                     const vellumet::CancelToken*, std::vector<vellumet::LeftOutPicture>*,
                     int32_t) { return std::make_unique<PDFWriter::PDF>(); };
    EXPECT_EQ(Run(), JobResult::ComposeFailed);
    EXPECT_EQ(host.messages, (std::vector<std::wstring>{L"Can not generate PDF"}));
    EXPECT_TRUE(OutputFolderEmpty());
    EXPECT_EQ(TemporaryEntries(), 0u);
}

TEST_F(ConversionJobTest, UnwritableOutputNamesThePath) {
    job.settings.outputFolder = scratch.path() + L"/gone/";
    EXPECT_EQ(Run(), JobResult::SaveFailed);
    EXPECT_EQ(host.events.back(), "EndBusy");
    EXPECT_EQ(host.events[host.events.size() - 2], "Message");
    EXPECT_EQ(host.messages, (std::vector<std::wstring>{L"Can not save PDF to a file: " + scratch.path() +
                                                        L"/gone/review.final.pdf"}));
    EXPECT_FALSE(fs::exists(Scratch() / "gone"));
    EXPECT_EQ(TemporaryEntries(), 0u);
}

TEST_F(ConversionJobTest, ExceptionFromBelowIsAFailureNotACrash) {
    exporter.beforeSlide = [](int slide) {
        if (slide == 2) {
            throw std::bad_alloc();
        }
    };
    EXPECT_EQ(Run(), JobResult::ComposeFailed);
    EXPECT_EQ(host.events, (Events{"BeginBusy", "Message", "EndBusy"}));
    EXPECT_EQ(host.messages, (std::vector<std::wstring>{L"Can not generate PDF"}));
    EXPECT_EQ(TemporaryEntries(), 0u);
    EXPECT_TRUE(OutputFolderEmpty());
}

TEST_F(ConversionJobTest, MissingPartsTouchNothing) {
    EXPECT_EQ(vellumet::ConversionThreadProc(nullptr), JobResult::NoJob);
    for (int missing = 0; missing < 3; ++missing) {
        vellumet::ConversionJob partial = job;
        if (missing == 0) {
            partial.host = nullptr;
        } else if (missing == 1) {
            partial.exporter = nullptr;
        } else {
            partial.compose = nullptr;
        }
        EXPECT_EQ(vellumet::ConversionThreadProc(&partial), JobResult::NoJob);
    }
    EXPECT_TRUE(host.events.empty());
    EXPECT_EQ(exporter.versionCalls, 0);
}

TEST_F(ConversionJobTest, APictureFolderIsComposedWithoutTheOfficeAndKeepsItsPictures) {
    const fs::path folder = Scratch() / "my.slides";
    fs::create_directory(folder);
    for (const char* name : {"Slide1.png", "Slide2.png", "notes.txt"}) {
        ASSERT_TRUE(jobtest::WritePng(vellumet::FromPath(folder / name), 8, 6)) << name;
    }
    job.source = vellumet::JobSource::PictureFolder;
    job.exporter = nullptr;
    job.settings.sourcePath = vellumet::FromPath(folder);
    job.settings.twoSlidesPerPage = 1;

    ASSERT_EQ(Run(), JobResult::Succeeded);
    EXPECT_EQ(host.events, (Events{"BeginBusy", "GetPos", "SetPos 50", "Step 5", "EndBusy"}));
    EXPECT_EQ(Composer().pictures, (std::vector<std::wstring>{vellumet::FromPath(folder / "Slide1.png"),
                                                              vellumet::FromPath(folder / "Slide2.png")}));
    EXPECT_EQ(Composer().slidesPerPage, 2);
    // Named after the whole folder name; the user's pictures stay where they were.
    EXPECT_TRUE(fs::exists(Scratch() / "out" / "my.slides.pdf"));
    EXPECT_TRUE(fs::exists(folder / "Slide1.png"));
    EXPECT_TRUE(fs::exists(folder / "Slide2.png"));
    EXPECT_EQ(TemporaryEntries(), 0u);

    // A folder without pictures is a file that cannot be converted.
    fs::remove(folder / "Slide1.png");
    fs::remove(folder / "Slide2.png");
    host.messages.clear();
    EXPECT_EQ(Run(), JobResult::NoPictures);
    EXPECT_EQ(host.messages,
              (std::vector<std::wstring>{L"Can not convert the file:" + vellumet::FromPath(folder)}));
    EXPECT_TRUE(fs::exists(folder / "notes.txt"));
}

// Cancellation requested at each point of the run: the job stops at its next step, shows nothing,
// ends with EndBusy and leaves neither pictures, folder nor output behind.
enum class CancelPoint { BeginBusy, VersionQuery, DuringExport, Retiming, Composition };

class JobCancelTest : public ConversionJobTest, public ::testing::WithParamInterface<CancelPoint> {};

TEST_P(JobCancelTest, StopsAndLeavesNothingBehind) {
    struct VersionCancels : FakeExporter {
        explicit VersionCancels(RecordingHost& owner) : owner_(owner) {}
        int GetPowerPointVersion() override {
            owner_.token.RequestCancel();
            return FakeExporter::GetPowerPointVersion();
        }
        RecordingHost& owner_;
    } cancellingExporter(host);

    switch (GetParam()) {
        case CancelPoint::BeginBusy:
            host.onEvent = [this](const std::string& e) {
                if (e == "BeginBusy") {
                    host.token.RequestCancel();
                }
            };
            break;
        case CancelPoint::VersionQuery:
            job.exporter = &cancellingExporter;
            break;
        case CancelPoint::DuringExport:
            exporter.beforeSlide = [this](int slide) {
                if (slide == 2) {
                    host.token.RequestCancel();
                }
            };
            break;
        case CancelPoint::Retiming:
            host.onEvent = [this](const std::string& e) {
                if (e == "GetPos") {
                    host.token.RequestCancel();
                }
            };
            break;
        case CancelPoint::Composition:
            Composer().hook = [this] { host.token.RequestCancel(); };
            break;
    }

    EXPECT_EQ(Run(), JobResult::Cancelled);
    EXPECT_TRUE(host.messages.empty());
    ASSERT_FALSE(host.events.empty());
    EXPECT_EQ(host.events.front(), "BeginBusy");
    EXPECT_EQ(host.events.back(), "EndBusy");
    EXPECT_EQ(std::count(host.events.begin(), host.events.end(), "EndBusy"), 1);
    EXPECT_EQ(TemporaryEntries(), 0u);
    EXPECT_TRUE(OutputFolderEmpty());

    const int exportCalls = exporter.exportCalls + cancellingExporter.exportCalls;
    switch (GetParam()) {
        case CancelPoint::BeginBusy:
            EXPECT_EQ(exporter.versionCalls, 0);
            break;
        case CancelPoint::VersionQuery:
            EXPECT_EQ(exportCalls, 0);
            break;
        case CancelPoint::DuringExport:
            // The export stopped at its next slide and the job did not go on to the progress bar.
            EXPECT_EQ(host.events, (Events{"BeginBusy", "EndBusy"}));
            break;
        case CancelPoint::Retiming:
        case CancelPoint::Composition:
            break;
    }
    if (GetParam() != CancelPoint::Composition) {
        EXPECT_EQ(Composer().calls, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(EachStep, JobCancelTest,
                         ::testing::Values(CancelPoint::BeginBusy, CancelPoint::VersionQuery,
                                           CancelPoint::DuringExport, CancelPoint::Retiming,
                                           CancelPoint::Composition));

TEST_F(ConversionJobTest, LeftOutPicturesAreNamedBeforeTheEndAndChangeNothingElse) {
    job.settings.colours = {vellumet::Palette::Gray16, vellumet::Dither::None};
    Composer().leftOut = {{1, L"/tmp/x/Slide2.png", vellumet::LeftOutReason::Damaged}};
    ASSERT_EQ(Run(), JobResult::Succeeded);
    EXPECT_EQ(Composer().colours, job.settings.colours) << "the settings' colours reach composition";
    EXPECT_EQ(host.events, (Events{"BeginBusy", "GetPos", "SetPos 50", "Step 5", "LeftOut 1", "EndBusy"}));
    EXPECT_EQ(
        host.leftOut,
        (std::vector<std::wstring>{
            L"Slide 2 was left out: the picture is damaged, incomplete or of a kind that cannot be read."}));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(fs::exists(OutputFile()));

    // With nothing left to compose, the notices come before the unchanged message and status.
    host.events.clear();
    host.leftOut.clear();
    Composer().leftOut = {{0, L"/a", vellumet::LeftOutReason::TooLarge},
                          {1, L"/b", vellumet::LeftOutReason::CannotFit},
                          {2, L"/c", vellumet::LeftOutReason::PartnerLeftOut}};
    fs::remove(OutputFile());
    EXPECT_EQ(Run(), JobResult::ComposeFailed);
    EXPECT_EQ(host.messages, (std::vector<std::wstring>{L"Can not generate PDF"}));
    ASSERT_EQ(host.leftOut.size(), 3u);
    EXPECT_EQ(host.events[host.events.size() - 3], "LeftOut 3");
    EXPECT_EQ(host.leftOut[2],
              L"Slide 3 was left out: it shares its page with the picture before it, which was left out.");
}

TEST(LeftOutNoticeTest, PictureFoldersNameTheFileAndPresentationsTheSlide) {
    const vellumet::LeftOutPicture picture{4, L"/pics/5.png", vellumet::LeftOutReason::Unreadable};
    EXPECT_EQ(vellumet::LeftOutNotice(picture, vellumet::JobSource::PictureFolder),
              L"The picture \"/pics/5.png\" was left out: the file cannot be read.");
    EXPECT_EQ(vellumet::LeftOutNotice(picture, vellumet::JobSource::Presentation),
              L"Slide 5 was left out: the file cannot be read.");
}
