// The exporter the front ends hand to the job: files refused before any office starts, and an
// office that crashes replaced once by a fresh one.

#include <chrono>
#include <fstream>

#include "OfficeTestSupport.h"
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
               std::filesystem::path& folder) {
        folder = root_ / ("pictures" + std::to_string(++exports_));
        std::filesystem::create_directory(folder);
        return exporter.ExportSlides(0, vellumet::FromPath(source), vellumet::FromPath(folder), 160, 120,
                                     dispid::Presentations::Open, nullptr);
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

}  // namespace
}  // namespace powerpoint::test
