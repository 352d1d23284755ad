// The dialog converting with the installed LibreOffice. Labelled `office`; skipped when no office
// is installed.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "DialogFakes.h"
#include "app/VellumetDlg.h"
#include "imaging/ComposeDocument.h"
#include "powerpoint/libreoffice/LibreOfficeExporter.h"
#include "settings/SqliteStore.h"
#include "support/Processes.h"
#include "support/TempFolder.h"

namespace vellumet {
namespace {

namespace fs = std::filesystem;
using vellumet_test::ChildProcesses;
using vellumet_test::RunShell;

// The real exporter, noting when the export has begun.
class WatchedOfficeExporter : public powerpoint::LibreOfficeExporter {
public:
    // Ended after each export, so that each conversion can be checked for leaving nothing behind.
    WatchedOfficeExporter() : LibreOfficeExporter(ColdOffice()) {}
    static powerpoint::LibreOfficeOptions ColdOffice() {
        powerpoint::LibreOfficeOptions options;
        options.warmOfficeIdleLimit = std::chrono::milliseconds(0);
        return options;
    }
    int ExportSlides(int flags, const std::wstring& sourcePath, const std::wstring& folder, int32_t width,
                     int32_t height, int32_t openDispId, const CancelToken* cancel) override {
        started = true;
        return LibreOfficeExporter::ExportSlides(flags, sourcePath, folder, width, height, openDispId,
                                                 cancel);
    }
    std::atomic<bool> started{false};
};

class OfficeDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (powerpoint::LibreOfficeExporter().GetPowerPointVersion() < 3) {
            GTEST_SKIP() << "no usable LibreOffice is installed";
        }
        if (!fs::exists(Sample())) {
            GTEST_SKIP() << "the sample presentation is missing (samples/make-samples.py writes it)";
        }
        fs::create_directories(temp_.Path() / "tmp");
        ::setenv("TMPDIR", (temp_.Path() / "tmp").c_str(), 1);
    }
    void TearDown() override { ::unsetenv("TMPDIR"); }

    static fs::path Sample() { return fs::path(VELLUMET_SAMPLES_DIR) / "sample.odp"; }

    std::unique_ptr<CVellumetDlg> Open() {
        DialogServices services;
        services.prompts = &prompts_;
        services.store = &store_;
        services.exporter = &exporter_;
        services.compose = &ComposeDocument;
        auto dialog = std::make_unique<CVellumetDlg>(services);
        dialog->show();
        dialog->findChild<QLineEdit*>(QStringLiteral("sourceEdit"))
            ->setText(QString::fromStdString(Sample()));
        dialog->findChild<QLineEdit*>(QStringLiteral("outputEdit"))
            ->setText(QString::fromStdString((temp_.Path() / "out").string()));
        return dialog;
    }

    vellumet_test::TempFolder temp_{"vellumet-app-"};
    settings::SqliteStore store_{temp_.Path() / "config" / "settings.db"};
    RecordingPrompts prompts_;
    WatchedOfficeExporter exporter_;
};

TEST_F(OfficeDialogTest, ConvertsASamplePresentation) {
    auto dialog = Open();
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("convertButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !dialog->JobRegistered() && !dialog->JobThreadAlive(); }, 240000));

    EXPECT_TRUE(prompts_.errors.isEmpty()) << prompts_.errors.join(QStringLiteral("; ")).toStdString();
    const fs::path pdf = temp_.Path() / "out" / "sample.pdf";
    ASSERT_TRUE(fs::exists(pdf));
    EXPECT_NE(
        RunShell("qpdf --check '" + pdf.string() + "' 2>&1").out.find("No syntax or stream encoding errors"),
        std::string::npos);
    EXPECT_NE(RunShell("pdfinfo '" + pdf.string() + "' 2>&1").out.find("784 x 1150 pts"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(temp_.Path() / "tmp"));
    EXPECT_TRUE(ChildProcesses().empty());
}

TEST_F(OfficeDialogTest, CloseDuringTheExportEndsTheOfficeAndLeavesNothing) {
    auto dialog = Open();
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("convertButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return exporter_.started.load() && !ChildProcesses().empty(); }, 60000));

    prompts_.answerYes = true;
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("closeButton")), Qt::LeftButton);

    EXPECT_EQ(prompts_.questions.size(), 1);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(dialog->JobThreadAlive());
    EXPECT_TRUE(WaitFor([] { return ChildProcesses().empty(); }, 5000)) << "the office process is gone";
    EXPECT_TRUE(fs::is_empty(temp_.Path() / "tmp"));
    EXPECT_FALSE(fs::exists(temp_.Path() / "out" / "sample.pdf"));
    EXPECT_TRUE(prompts_.errors.isEmpty());
}

}  // namespace
}  // namespace vellumet
