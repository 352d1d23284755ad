#pragma once
// Helpers of the tests that run the real office: the corpus, private folders, the check that an
// office left nothing behind, and picture comparisons.

#include <gtest/gtest.h>

#include <QImage>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "powerpoint/libreoffice/LibreOfficeServer.h"
#include "support/Processes.h"
#include "support/TempFolder.h"

namespace powerpoint::test {

std::filesystem::path CorpusDir();
bool OfficeInstalled();

// Skips the test when the office or the corpus is missing.
#define SKIP_WITHOUT_OFFICE()                                                              \
    do {                                                                                   \
        if (!::powerpoint::test::OfficeInstalled()) {                                      \
            GTEST_SKIP() << "soffice.bin is not installed";                                \
        }                                                                                  \
        if (!std::filesystem::exists(::powerpoint::test::CorpusDir() / "CATALOGUE.tsv")) { \
            GTEST_SKIP() << "the presentation corpus is not present";                      \
        }                                                                                  \
    } while (false)

// One row of the corpus catalogue.
struct CorpusEntry {
    std::string file;
    bool opens = false;
    int slides = 0;
    double pageWidth = 0;  // points
    double pageHeight = 0;
};
std::vector<CorpusEntry> ReadCatalogue();

// A private folder for one test: the office's temporary root and the export folders. Checks at the
// end that every office left its folder empty and that no child process of this test survives.
class OfficeTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    LibreOfficeOptions Options() const;
    // Runs the whole conversation on `source` into a new folder under the test's folder.
    int Export(const std::filesystem::path& source, int flags, int width, int height,
               std::filesystem::path& folder, const vellumet::CancelToken* cancel = nullptr);
    // The same with options of the test's own (their temporary root is the test's).
    int Export(const std::filesystem::path& source, int flags, int width, int height,
               std::filesystem::path& folder, LibreOfficeOptions options);
    // Asserts that the office started last by `server` is gone without a trace.
    void ExpectNoTraces(const LibreOfficeServer& server);

    const vellumet_test::TempFolder temp_{"vellumet-office-test-"};
    const std::filesystem::path root_ = temp_.Path();
    const std::filesystem::path officeRoot_ = root_ / "office";
    int exports_ = 0;
};

// The PNG pictures of a folder, by name.
std::vector<std::filesystem::path> Pictures(const std::filesystem::path& folder);
// "SlideN.png" for N = 1..count, in that order.
std::vector<std::filesystem::path> ExpectedPictures(const std::filesystem::path& folder, int count);
// When `file` was created (its birth time where the file system records one, else its last change),
// and the order of two such times.
struct timespec CreationTime(const std::filesystem::path& file);
bool Before(const struct timespec& a, const struct timespec& b);

// Share of pixels that differ (in RGB) between two pictures of equal size; 1 when sizes differ.
double DifferingShare(const QImage& a, const QImage& b);
std::string HashOf(const std::filesystem::path& file);
// How alike two pictures look: the normalised cross-correlation of their grey levels at a quarter
// of the first one's size, from -1 to 1 (1: the same picture). Two flat pictures are as alike as
// their grey levels are close.
double Likeness(const QImage& a, const QImage& b);
using vellumet_test::ChildProcesses;
using vellumet_test::ProcessAlive;

}  // namespace powerpoint::test
