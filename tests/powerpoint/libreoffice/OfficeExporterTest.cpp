// The exporter the front ends hand to the job: files refused before any office starts, and an
// office that crashes replaced once by a fresh one.

#include <signal.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "OfficeTestSupport.h"
#include "common/ExportFlags.h"
#include "common/WideText.h"
#include "powerpoint/DispatchIds.h"
#include "powerpoint/SlideExport.h"
#include "powerpoint/libreoffice/LibreOfficeExporter.h"

namespace powerpoint::test {
namespace {

class OfficeExporter : public OfficeTest {
protected:
    // A stand-in for the office program that counts its starts in `starts` and crashes (SIGSEGV)
    // on the first `crashes` of them; later starts become the real office.
    LibreOfficeOptions CrashingOffice(int crashes) {
        const std::filesystem::path script = root_ / "crashing-office";
        std::ofstream(script) << "#!/bin/sh\n"
                              << "echo start >> '" << Starts().string() << "'\n"
                              << "if [ $(wc -l < '" << Starts().string() << "') -le " << crashes
                              << " ]; then kill -SEGV $$; fi\n"
                              << "exec '" << VELLUMET_SOFFICE_BIN << "' \"$@\"\n";
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        // The office's build identifier is read beside the program; without it a fresh profile
        // asks for a restart, which would count as a start.
        std::filesystem::create_symlink(
            std::filesystem::path(VELLUMET_SOFFICE_BIN).parent_path() / "versionrc", root_ / "versionrc");
        LibreOfficeOptions options = Options();
        options.officeBinary = script.string();
        return options;
    }
    // `options` with a page renderer that never answers (SilentRenderer(), until it is removed).
    LibreOfficeOptions WithSilentRenderer(LibreOfficeOptions options) {
        std::ofstream(SilentRenderer()) << "#!/bin/sh\nexec sleep 300\n";
        std::filesystem::permissions(SilentRenderer(), std::filesystem::perms::owner_all);
        options.rasteriserProgram = SilentRenderer().string();
        return options;
    }
    std::filesystem::path SilentRenderer() const { return root_ / "silent-renderer"; }
    std::filesystem::path Starts() const { return root_ / "starts"; }
    int StartCount() const {
        std::ifstream in(Starts());
        int count = 0;
        for (std::string line; std::getline(in, line);) {
            ++count;
        }
        return count;
    }
    int Export(LibreOfficeExporter& exporter, const std::filesystem::path& source,
               std::filesystem::path& folder, int flags = 0, const vellumet::CancelToken* cancel = nullptr) {
        folder = root_ / ("pictures" + std::to_string(++exports_));
        std::filesystem::create_directory(folder);
        return exporter.ExportSlides(flags, vellumet::FromPath(source), vellumet::FromPath(folder), 160, 120,
                                     dispid::Presentations::Open, cancel);
    }
    // The office this test process runs (the exporter's warm office); -1 when there is none.
    // The one office among the children; the page renderer's workers, kept warm beside it, are
    // not counted.
    static pid_t RunningOffice() {
        std::vector<pid_t> offices;
        for (const pid_t child : ChildProcesses()) {
            std::ifstream comm("/proc/" + std::to_string(child) + "/comm");
            std::string name;
            std::getline(comm, name);
            if (name.rfind("vellumet-raster", 0) != 0) {
                offices.push_back(child);
            }
        }
        return offices.size() == 1 ? offices[0] : -1;
    }
};

TEST_F(OfficeExporter, FilesTheOfficeCannotTakeAreRefusedBeforeItStarts) {
    SKIP_WITHOUT_OFFICE();
    LibreOfficeExporter exporter(CrashingOffice(0));
    std::ofstream(root_ / "empty.ppt");
    std::filesystem::create_directory(root_ / "folder.ppt");
    const std::pair<std::filesystem::path, const wchar_t*> refused[] = {
        {root_ / "missing.ppt", L"cannot be found"},
        {root_ / "empty.ppt", L"is empty"},
        {root_ / "folder.ppt", L"is not a file"},
    };
    for (const auto& [file, reason] : refused) {
        std::filesystem::path folder;
        EXPECT_EQ(Export(exporter, file, folder), kExportCallFailed) << file;
        EXPECT_NE(exporter.LastFailure().find(reason), std::wstring::npos)
            << vellumet::ToNative(exporter.LastFailure());
        EXPECT_TRUE(Pictures(folder).empty());
    }
    EXPECT_EQ(StartCount(), 0) << "no office was started";
}

TEST_F(OfficeExporter, AnOfficeThatCrashesIsReplacedOnce) {
    SKIP_WITHOUT_OFFICE();
    LibreOfficeExporter exporter(CrashingOffice(1));
    std::filesystem::path folder;
    ASSERT_EQ(Export(exporter, CorpusDir() / "numbers2.ppt", folder), kExportDone)
        << vellumet::ToNative(exporter.LastFailure());
    EXPECT_EQ(Pictures(folder), ExpectedPictures(folder, 2));
    EXPECT_EQ(exporter.LastFailure(), L"");
    EXPECT_EQ(StartCount(), 2);
    EXPECT_TRUE(ChildProcesses().empty());
}

TEST_F(OfficeExporter, AnOfficeThatCrashesEveryTimeIsGivenUpWithItsReason) {
    SKIP_WITHOUT_OFFICE();
    LibreOfficeExporter exporter(CrashingOffice(99));
    std::filesystem::path folder;
    EXPECT_EQ(Export(exporter, CorpusDir() / "numbers2.ppt", folder), kExportNoServer);
    EXPECT_NE(exporter.LastFailure().find(L"stopped while starting"), std::wstring::npos)
        << vellumet::ToNative(exporter.LastFailure());
    EXPECT_EQ(StartCount(), 2) << "one fresh office, no more";
    EXPECT_TRUE(Pictures(folder).empty());
    EXPECT_TRUE(ChildProcesses().empty());
}

// One office serves export after export; each deck is opened on its own, so what one export
// changed in its copy (the master's shapes hidden) is not in the next export of the same deck.
TEST_F(OfficeExporter, OneOfficeServesABatchAndNoDeckSeesAnother) {
    SKIP_WITHOUT_OFFICE();
    const std::filesystem::path deck = CorpusDir() / "bug45124.ppt";
    std::filesystem::path plainAlone;
    {
        LibreOfficeOptions cold = Options();
        cold.warmOfficeIdleLimit = std::chrono::milliseconds(0);
        LibreOfficeExporter exporter(cold);
        ASSERT_EQ(Export(exporter, deck, plainAlone), kExportDone);
        EXPECT_TRUE(ChildProcesses().empty()) << "an office without a warm wait ends after its export";
    }
    {
        LibreOfficeExporter exporter(CrashingOffice(0));
        std::filesystem::path first;
        std::filesystem::path omitted;
        std::filesystem::path plain;
        ASSERT_EQ(Export(exporter, CorpusDir() / "numbers2.ppt", first), kExportDone);
        const pid_t office = RunningOffice();
        EXPECT_GT(office, 0) << "the office waits for the next deck";
        ASSERT_EQ(Export(exporter, deck, omitted, ExportFlags::OmitBackground), kExportDone);
        ASSERT_EQ(Export(exporter, deck, plain), kExportDone);
        EXPECT_EQ(RunningOffice(), office);
        EXPECT_EQ(StartCount(), 1) << "one office for the whole batch";
        EXPECT_EQ(Pictures(first), ExpectedPictures(first, 2));
        for (const char* name : {"Slide1.png", "Slide2.png"}) {
            EXPECT_EQ(HashOf(plain / name), HashOf(plainAlone / name)) << name;
            EXPECT_NE(HashOf(omitted / name), HashOf(plainAlone / name)) << name;
        }
    }
    EXPECT_TRUE(ChildProcesses().empty()) << "the exporter's end ends its office";
}

TEST_F(OfficeExporter, AnOfficeKilledBetweenDecksIsReplacedForTheNext) {
    SKIP_WITHOUT_OFFICE();
    LibreOfficeExporter exporter(CrashingOffice(0));
    std::filesystem::path folder;
    ASSERT_EQ(Export(exporter, CorpusDir() / "numbers2.ppt", folder), kExportDone);
    const pid_t office = RunningOffice();
    ASSERT_GT(office, 0);
    ASSERT_EQ(::kill(office, SIGKILL), 0);
    ASSERT_EQ(Export(exporter, CorpusDir() / "numbers2.ppt", folder), kExportDone)
        << vellumet::ToNative(exporter.LastFailure());
    EXPECT_EQ(Pictures(folder), ExpectedPictures(folder, 2));
    EXPECT_EQ(exporter.LastFailure(), L"");
    EXPECT_EQ(StartCount(), 2);
    EXPECT_NE(RunningOffice(), office);
}

TEST_F(OfficeExporter, ACancelledExportEndsTheOfficeAndTheNextDeckGetsAFreshOne) {
    SKIP_WITHOUT_OFFICE();
    // The cancel comes while pages are rendered.
    LibreOfficeExporter exporter(WithSilentRenderer(CrashingOffice(0)));

    vellumet::CancelToken cancel;
    std::thread canceller([&] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (std::chrono::steady_clock::now() < until && ChildProcesses().size() < 2) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        cancel.RequestCancel();
    });
    std::filesystem::path folder;
    EXPECT_EQ(Export(exporter, CorpusDir() / "numbers2.ppt", folder, 0, &cancel), kExportCancelled);
    canceller.join();
    EXPECT_TRUE(Pictures(folder).empty());
    EXPECT_TRUE(ChildProcesses().empty()) << "the cancelled office and the renderer are gone";

    // The renderer fails at once from here on: the next deck goes slide by slide in a fresh office.
    std::filesystem::remove(SilentRenderer());
    ASSERT_EQ(Export(exporter, CorpusDir() / "numbers2.ppt", folder), kExportDone)
        << vellumet::ToNative(exporter.LastFailure());
    EXPECT_EQ(Pictures(folder), ExpectedPictures(folder, 2));
    EXPECT_EQ(StartCount(), 2);
}

// A batch's lane readies its office before it takes a deck: the office started then is the one
// the export uses, and one that cannot start says why.
TEST_F(OfficeExporter, PreparingStartsTheOfficeTheNextExportUses) {
    SKIP_WITHOUT_OFFICE();
    {
        LibreOfficeExporter exporter(CrashingOffice(0));
        ASSERT_TRUE(exporter.PrepareForExport(nullptr)) << vellumet::ToNative(exporter.LastFailure());
        const pid_t office = RunningOffice();
        EXPECT_GT(office, 0);
        std::filesystem::path folder;
        ASSERT_EQ(Export(exporter, CorpusDir() / "numbers2.ppt", folder), kExportDone);
        EXPECT_EQ(RunningOffice(), office);
        EXPECT_EQ(StartCount(), 1);
    }
    std::filesystem::remove(Starts());
    std::filesystem::remove(root_ / "versionrc");
    LibreOfficeExporter exporter(CrashingOffice(99));
    EXPECT_FALSE(exporter.PrepareForExport(nullptr));
    EXPECT_NE(exporter.LastFailure().find(L"stopped while starting"), std::wstring::npos)
        << vellumet::ToNative(exporter.LastFailure());
    EXPECT_TRUE(ChildProcesses().empty());
}

// Pages that never come from the office's PDF (here a renderer that never answers) stall the
// export; the deck is then exported slide by slide by a fresh office instead of failing.
TEST_F(OfficeExporter, AStalledPdfExportIsRetriedSlideBySlideInAFreshOffice) {
    SKIP_WITHOUT_OFFICE();
    LibreOfficeOptions options = WithSilentRenderer(CrashingOffice(0));
    options.stallBudget = std::chrono::seconds(2);
    {
        LibreOfficeExporter exporter(options);
        std::filesystem::path folder;
        ASSERT_EQ(Export(exporter, CorpusDir() / "numbers2.ppt", folder), kExportDone)
            << vellumet::ToNative(exporter.LastFailure());
        EXPECT_EQ(Pictures(folder), ExpectedPictures(folder, 2));
        EXPECT_FALSE(std::filesystem::exists(folder / "Slides.pdf"));
        EXPECT_EQ(StartCount(), 2);
    }
    EXPECT_TRUE(ChildProcesses().empty());
}

TEST_F(OfficeExporter, AThousandSlideDeckBecomesAThousandPicturesInOrder) {
    SKIP_WITHOUT_OFFICE();
    const std::filesystem::path deck = root_ / "thousand.odp";
    ASSERT_EQ(vellumet_test::RunProcess({"/usr/bin/python3", VELLUMET_SAMPLES_DIR "/make-samples.py",
                                         "--deck", deck.string(), "1000"})
                  .exitCode,
              0);
    LibreOfficeOptions options = Options();
    options.warmOfficeIdleLimit = std::chrono::milliseconds(0);
    LibreOfficeExporter exporter(options);
    std::filesystem::path folder;
    ASSERT_EQ(Export(exporter, deck, folder), kExportDone) << vellumet::ToNative(exporter.LastFailure());
    EXPECT_EQ(Pictures(folder), ExpectedPictures(folder, 1000));
    EXPECT_TRUE(ChildProcesses().empty());
}

TEST_F(OfficeExporter, AnIdleOfficeEndsOnItsOwn) {
    SKIP_WITHOUT_OFFICE();
    LibreOfficeOptions options = Options();
    options.warmOfficeIdleLimit = std::chrono::milliseconds(100);
    LibreOfficeExporter exporter(options);
    std::filesystem::path folder;
    ASSERT_EQ(Export(exporter, CorpusDir() / "numbers2.ppt", folder), kExportDone);
    bool gone = false;
    for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         !gone && std::chrono::steady_clock::now() < until;
         std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
        gone = ChildProcesses().empty() && std::filesystem::is_empty(officeRoot_);
    }
    EXPECT_TRUE(gone);
    ASSERT_EQ(Export(exporter, CorpusDir() / "numbers2.ppt", folder), kExportDone);
    EXPECT_EQ(Pictures(folder), ExpectedPictures(folder, 2));
}

}  // namespace
}  // namespace powerpoint::test
