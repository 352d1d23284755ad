#include "app/VellumetDlg.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "DialogFakes.h"
#include "app/DialogLogic.h"
#include "app/DialogUnits.h"
#include "app/QuitSignals.h"
#include "cli/CommandLine.h"
#include "common/QStringText.h"
#include "common/WideText.h"
#include "frontend/ConvertChecks.h"
#include "frontend/DeviceList.h"
#include "frontend/FrontEndRules.h"
#include "frontend/UserDevices.h"
#include "imaging/ComposeDocument.h"
#include "job/DeviceTable.h"
#include "job/JobMessages.h"
#include "settings/RegistryValue.h"
#include "settings/SettingsTable.h"
#include "settings/SqliteStore.h"
#include "support/Processes.h"
#include "support/TempFolder.h"

namespace vellumet {
namespace {

namespace fs = std::filesystem;
using settings::registry_int;
using settings::registry_string;
using settings::registry_value;
using vellumet_test::RunShell;

QString Q(const std::wstring& text) {
    return ToQString(text);
}

class VellumetDlgTest : public ::testing::Test {
protected:
    VellumetDlgTest() : store_(temp_.Path() / "config" / "settings.db") {
        // The job's temporary folders go where the test can see them.
        fs::create_directories(TempRoot());
        ::setenv("TMPDIR", TempRoot().c_str(), 1);
        temp_.WriteFile("deck.ppt", "not read by the fake exporter");
    }
    ~VellumetDlgTest() override { ::unsetenv("TMPDIR"); }

    std::unique_ptr<CVellumetDlg> Open() {
        DialogServices services;
        services.prompts = &prompts_;
        services.store = &store_;
        services.exporter = &exporter_;
        services.compose = &ComposeDocument;
        auto dialog = std::make_unique<CVellumetDlg>(services);
        dialog->show();
        return dialog;
    }

    template <class T>
    static T* Find(CVellumetDlg& dialog, const char* name) {
        T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    void Store(const wchar_t* path, const std::wstring& text) {
        registry_string<std::wstring>(path, L"", registry_value::force, &store_).set(text);
    }
    void Store(const wchar_t* path, long number) {
        registry_int<long>(path, 0, registry_value::force, &store_).set(number);
    }
    bool Stored(const wchar_t* path) {
        return registry_string<std::wstring>(path, L"", registry_value::no_write_back, &store_).exists();
    }
    std::wstring StoredText(const wchar_t* path) {
        return registry_string<std::wstring>(path, L"<absent>", registry_value::no_write_back, &store_).get();
    }
    long StoredNumber(const wchar_t* path) {
        return registry_int<long>(path, -1, registry_value::no_write_back, &store_).get();
    }

    // Fills the source and output boxes as a user would.
    void Fill(CVellumetDlg& dialog, const fs::path& source, const fs::path& output) {
        Find<QLineEdit>(dialog, "sourceEdit")->setText(QString::fromStdString(source.string()));
        Find<QLineEdit>(dialog, "outputEdit")->setText(QString::fromStdString(output.string()));
    }

    static bool Idle(const CVellumetDlg& dialog) {
        return !dialog.JobRegistered() && !dialog.JobThreadAlive();
    }

    fs::path TempRoot() const { return temp_.Path() / "tmp"; }
    bool TempRootEmpty() const { return fs::is_empty(TempRoot()); }

    vellumet_test::TempFolder temp_{"vellumet-app-"};
    settings::SqliteStore store_;
    RecordingPrompts prompts_;
    HeldExporter exporter_;
};

TEST_F(VellumetDlgTest, ControlsFollowTheTemplate) {
    auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Vellumet"));
    const DialogUnits du(dialog->font());
    EXPECT_EQ(dialog->size(), QSize(du.X(314), du.Y(277)));

    EXPECT_TRUE(Find<QPushButton>(*dialog, "convertButton")->isDefault());
    EXPECT_EQ(Find<QPushButton>(*dialog, "closeButton")->text(), QStringLiteral("Close"));
    EXPECT_EQ(Find<QPushButton>(*dialog, "openButton")->text(), QStringLiteral("&Open..."));
    EXPECT_EQ(Find<QPushButton>(*dialog, "editButton")->text(), QStringLiteral("&Edit..."));
    EXPECT_EQ(Find<QPushButton>(*dialog, "changeButton")->text(), QStringLiteral("&Change..."));
    EXPECT_EQ(Find<QCheckBox>(*dialog, "omitBackgroundCheck")->text(),
              QStringLiteral("Omit background graphics"));
    EXPECT_EQ(Find<QCheckBox>(*dialog, "omitShadowCheck")->text(), QStringLiteral("Omit shadow"));
    EXPECT_EQ(Find<QCheckBox>(*dialog, "twoPerPageCheck")->text(), QStringLiteral("Two slides per page"));
    EXPECT_FALSE(Find<QProgressBar>(*dialog, "progressCtrl")->isVisible());

    // The banner is shown at its real size.
    const QPixmap banner = Find<QLabel>(*dialog, "bannerCtrl")->pixmap();
    EXPECT_EQ(banner.size(), QSize(330, 95));
    EXPECT_EQ(Find<QLabel>(*dialog, "bannerCtrl")->size(), QSize(330, 95));

    auto* devices = Find<QComboBox>(*dialog, "deviceCombo");
    const std::vector<std::wstring> entries = DeviceNames(DeviceListOf({}));
    ASSERT_EQ(devices->count(), static_cast<int>(entries.size()));
    for (int i = 0; i < devices->count(); ++i) {
        EXPECT_EQ(devices->itemText(i), Q(entries[static_cast<size_t>(i)]));
    }

    // Tab order as listed in the template.
    const char* order[] = {"convertButton",   "closeButton", "sourceEdit",          "openButton",
                           "deviceCombo",     "editButton",  "omitBackgroundCheck", "omitShadowCheck",
                           "twoPerPageCheck", "outputEdit",  "changeButton"};
    QWidget* widget = Find<QWidget>(*dialog, order[0]);
    for (size_t i = 1; i < std::size(order); ++i) {
        do {
            widget = widget->nextInFocusChain();
        } while ((widget->focusPolicy() & Qt::TabFocus) == 0);
        EXPECT_EQ(widget->objectName(), QString::fromLatin1(order[i]));
    }
}

TEST_F(VellumetDlgTest, OpensWithRememberedOrDefaultChoices) {
    {
        auto dialog = Open();
        EXPECT_EQ(Find<QComboBox>(*dialog, "deviceCombo")->currentText(), QStringLiteral("Amazon Kindle DX"));
        EXPECT_TRUE(Find<QCheckBox>(*dialog, "omitBackgroundCheck")->isChecked());
        EXPECT_TRUE(Find<QCheckBox>(*dialog, "omitShadowCheck")->isChecked());
        EXPECT_FALSE(Find<QCheckBox>(*dialog, "twoPerPageCheck")->isChecked());
        EXPECT_TRUE(Find<QLineEdit>(*dialog, "outputEdit")->text().endsWith(QStringLiteral("/eBooks")));
    }
    EXPECT_FALSE(Stored(settings::kOutputFolderPath)) << "opening the dialog writes nothing";

    Store(settings::kOutputFolderPath, L"/srv/books/");
    Store(settings::kSlidesPerPagePath, 2);
    registry_int<bool>(settings::kOmitShadowPath, true, registry_value::force, &store_).set(false);
    auto dialog = Open();
    EXPECT_EQ(Find<QLineEdit>(*dialog, "outputEdit")->text(), QStringLiteral("/srv/books/"));
    EXPECT_TRUE(Find<QCheckBox>(*dialog, "twoPerPageCheck")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>(*dialog, "omitShadowCheck")->isChecked());
}

TEST_F(VellumetDlgTest, StoredSchemeSelectsTheSameDeviceInBothFrontEnds) {
    const std::pair<const wchar_t*, const char*> rows[] = {
        {L"amazon kindle 2", "Amazon Kindle 2"}, {L"Amazon", "Amazon Kindle DX"},
        {L"MEDIUM", "Medium (900*1200)"},        {L"", "Amazon Kindle DX"},
        {L"kobo clara", "Kobo Clara HD"},        {L"Nook Glow", ""},  // no match: no entry is selected
    };
    const cli::ParseResult noDevice = cli::ParseCommandLine({"deck.ppt"});
    ASSERT_TRUE(noDevice.ok);
    for (const auto& [stored, shown] : rows) {
        Store(settings::kSchemePath, stored);
        auto dialog = Open();
        EXPECT_EQ(Find<QComboBox>(*dialog, "deviceCombo")->currentText(), QString::fromLatin1(shown))
            << shown;
        // What Convert would hand the job, and what the command line converts with.
        dialog->UpdateData(true);
        const std::vector<DeviceProfile> devices = DeviceListOf(ReadUserDevices(&store_).devices);
        const settings::SettingsChoice fromCommandLine =
            cli::ApplyRemembered(noDevice.line, settings::ReadSettings(&store_), devices);
        EXPECT_EQ(fromCommandLine.scheme, dialog->Fields().deviceName) << shown;
        const ConversionSettings viaCommandLine =
            JobSettingsFromChoice(fromCommandLine, devices, L"", L"", L"");
        const ConversionSettings viaDialog = JobSettingsFromFields(dialog->Fields(), devices, L"");
        EXPECT_EQ(PageSizeOf(viaCommandLine), PageSizeOf(viaDialog)) << shown;
    }
}

TEST_F(VellumetDlgTest, ConvertRefusesMissingInputInOrder) {
    auto dialog = Open();
    auto* convert = Find<QPushButton>(*dialog, "convertButton");

    Fill(*dialog, "", "");
    QTest::mouseClick(convert, Qt::LeftButton);
    Fill(*dialog, temp_.Path() / "deck.ppt", "");
    QTest::mouseClick(convert, Qt::LeftButton);
    Fill(*dialog, temp_.Path() / "deck.ppt", temp_.Path() / "missing" / "books");
    QTest::mouseClick(convert, Qt::LeftButton);

    ASSERT_EQ(prompts_.errors.size(), 3);
    EXPECT_EQ(prompts_.errors[0], Q(kNoSourceMessage));
    EXPECT_EQ(prompts_.errors[1], Q(kNoOutputMessage));
    EXPECT_EQ(prompts_.errors[2], Q(kCannotCreateOutputMessage));
    for (QWidget* owner : prompts_.owners) {
        EXPECT_EQ(owner, dialog.get());
    }
    EXPECT_EQ(exporter_.exports, 0);
    EXPECT_FALSE(dialog->JobRegistered());
    EXPECT_FALSE(fs::exists(temp_.Path() / "missing"));
    EXPECT_FALSE(Stored(settings::kOutputFolderPath)) << "a refused Convert writes no settings";
}

TEST_F(VellumetDlgTest, ConvertAppendsSeparatorCreatesFolderAndWritesPdf) {
    auto dialog = Open();
    const fs::path books = temp_.Path() / "books";
    Fill(*dialog, temp_.Path() / "deck.ppt", books);
    QTest::mouseClick(Find<QPushButton>(*dialog, "convertButton"), Qt::LeftButton);

    EXPECT_EQ(dialog->Fields().outputDir, FromPath(books) + L"/");
    // The edit box is not refreshed.
    EXPECT_EQ(Find<QLineEdit>(*dialog, "outputEdit")->text(), QString::fromStdString(books.string()));
    ASSERT_TRUE(WaitFor([&] { return Idle(*dialog); }));

    EXPECT_TRUE(prompts_.errors.isEmpty()) << prompts_.errors.join(QStringLiteral("; ")).toStdString();
    const fs::path pdf = books / "deck.pdf";
    ASSERT_TRUE(fs::exists(pdf));
    EXPECT_NE(
        RunShell("qpdf --check '" + pdf.string() + "' 2>&1").out.find("No syntax or stream encoding errors"),
        std::string::npos);
    EXPECT_NE(RunShell("pdfinfo '" + pdf.string() + "' 2>&1").out.find("Pages:           2"),
              std::string::npos);
    EXPECT_TRUE(TempRootEmpty()) << "the job's pictures and folder are gone";
    EXPECT_FALSE(Find<QProgressBar>(*dialog, "progressCtrl")->isVisible());
    EXPECT_TRUE(Find<QPushButton>(*dialog, "convertButton")->isEnabled());
    EXPECT_EQ(StoredText(settings::kOutputFolderPath), FromPath(books) + L"/");
}

TEST_F(VellumetDlgTest, PicturesLeftOutAreShownAsAWarningAfterTheConversion) {
    exporter_.slides = 3;
    exporter_.damagedSlide = 2;
    auto dialog = Open();
    Fill(*dialog, temp_.Path() / "deck.ppt", temp_.Path());
    QTest::mouseClick(Find<QPushButton>(*dialog, "convertButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Idle(*dialog) && !prompts_.warnings.isEmpty(); }));

    EXPECT_TRUE(prompts_.errors.isEmpty());
    ASSERT_EQ(prompts_.warnings.size(), 1);
    EXPECT_EQ(prompts_.warnings[0], QStringLiteral("One slide picture was left out of the PDF."));
    EXPECT_EQ(
        prompts_.warningDetails[0],
        QStringLiteral(
            "Slide 2 was left out: the picture is damaged, incomplete or of a kind that cannot be read."));
    const fs::path pdf = temp_.Path() / "deck.pdf";
    EXPECT_NE(RunShell("pdfinfo '" + pdf.string() + "' 2>&1").out.find("Pages:           2"),
              std::string::npos);

    // The next conversion without a loss shows nothing more.
    exporter_.damagedSlide = 0;
    QTest::mouseClick(Find<QPushButton>(*dialog, "convertButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Idle(*dialog); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts_.warnings.size(), 1);
}

TEST_F(VellumetDlgTest, ConvertWritesSettingsOnlyWhereTheyDifferOrExist) {
    auto dialog = Open();
    Fill(*dialog, temp_.Path() / "deck.ppt", temp_.Path());
    QTest::mouseClick(Find<QPushButton>(*dialog, "convertButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Idle(*dialog); }));

    // Defaults everywhere: only the output folder is written.
    EXPECT_EQ(StoredText(settings::kOutputFolderPath), FromPath(temp_.Path()) + L"/");
    EXPECT_FALSE(Stored(settings::kSchemePath));
    EXPECT_FALSE(Stored(settings::kOmitBackgroundPath));
    EXPECT_FALSE(Stored(settings::kOmitShadowPath));
    EXPECT_FALSE(Stored(settings::kSlidesPerPagePath));

    Find<QComboBox>(*dialog, "deviceCombo")->setCurrentIndex(1);
    Find<QCheckBox>(*dialog, "omitBackgroundCheck")->setChecked(false);
    Find<QCheckBox>(*dialog, "twoPerPageCheck")->setChecked(true);
    QTest::mouseClick(Find<QPushButton>(*dialog, "convertButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Idle(*dialog); }));

    EXPECT_EQ(StoredText(settings::kSchemePath), L"Amazon Kindle 2");
    EXPECT_EQ(StoredNumber(settings::kOmitBackgroundPath), 0);
    EXPECT_FALSE(Stored(settings::kOmitShadowPath));
    EXPECT_EQ(StoredNumber(settings::kSlidesPerPagePath), 2);
}

TEST_F(VellumetDlgTest, JobMessagesAreShownWhileBusyAndEndBusyFollows) {
    exporter_.version = 2;
    auto dialog = Open();
    Fill(*dialog, temp_.Path() / "deck.ppt", temp_.Path());
    bool busyWhileShown = false;
    prompts_.onError = [&] {
        busyWhileShown = Find<QProgressBar>(*dialog, "progressCtrl")->isVisible() && dialog->JobRegistered();
    };
    QTest::mouseClick(Find<QPushButton>(*dialog, "convertButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Idle(*dialog); }));

    ASSERT_EQ(prompts_.errors.size(), 1);
    EXPECT_EQ(prompts_.errors[0], Q(exporter_.VersionRefusal()));
    EXPECT_EQ(prompts_.owners.back(), dialog.get());
    EXPECT_TRUE(busyWhileShown);
    EXPECT_FALSE(Find<QProgressBar>(*dialog, "progressCtrl")->isVisible());
}

TEST_F(VellumetDlgTest, AFailedExportShowsTheOfficesReasonAsDetail) {
    exporter_.slides = 0;
    exporter_.failure = L"it is protected by a password";
    auto dialog = Open();
    Fill(*dialog, temp_.Path() / "deck.ppt", temp_.Path());
    QTest::mouseClick(Find<QPushButton>(*dialog, "convertButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Idle(*dialog); }));

    ASSERT_EQ(prompts_.errors.size(), 1);
    EXPECT_EQ(prompts_.errors[0], Q(kConvertFailedMessage + FromPath(temp_.Path() / "deck.ppt")));
    EXPECT_EQ(prompts_.details[0], QStringLiteral("it is protected by a password"));
}

TEST_F(VellumetDlgTest, ConvertIsRefusedWhileAJobRuns) {
    exporter_.hold = true;
    auto dialog = Open();
    Fill(*dialog, temp_.Path() / "deck.ppt", temp_.Path());
    auto* convert = Find<QPushButton>(*dialog, "convertButton");
    QTest::mouseClick(convert, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return exporter_.exporting.load(); }));

    EXPECT_FALSE(convert->isEnabled());
    EXPECT_TRUE(Find<QProgressBar>(*dialog, "progressCtrl")->isVisible());
    const std::wstring firstTemp = dialog->TempDir();
    dialog->OnOK();  // Enter, or a click that slipped through
    EXPECT_EQ(exporter_.exports, 1);
    EXPECT_EQ(dialog->TempDir(), firstTemp);

    exporter_.hold = false;
    ASSERT_TRUE(WaitFor([&] { return Idle(*dialog); }));
    EXPECT_TRUE(convert->isEnabled());
    EXPECT_TRUE(fs::exists(temp_.Path() / "deck.pdf"));
}

TEST_F(VellumetDlgTest, CloseWhileIdleAsksNothing) {
    auto dialog = Open();
    QTest::mouseClick(Find<QPushButton>(*dialog, "closeButton"), Qt::LeftButton);
    EXPECT_TRUE(prompts_.questions.isEmpty());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(VellumetDlgTest, CloseWhileBusyAnsweredNoLeavesTheJobRunning) {
    exporter_.hold = true;
    auto dialog = Open();
    Fill(*dialog, temp_.Path() / "deck.ppt", temp_.Path());
    QTest::mouseClick(Find<QPushButton>(*dialog, "convertButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return exporter_.exporting.load(); }));

    prompts_.answerYes = false;
    QTest::mouseClick(Find<QPushButton>(*dialog, "closeButton"), Qt::LeftButton);
    ASSERT_EQ(prompts_.questions.size(), 1);
    EXPECT_EQ(
        prompts_.questions[0],
        QStringLiteral("正在执行转换, 是否取消并退出程序?\nA conversion is running. Cancel it and quit?"));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->JobThreadAlive());
    EXPECT_FALSE(exporter_.sawCancel);

    exporter_.hold = false;
    ASSERT_TRUE(WaitFor([&] { return Idle(*dialog); }));
    EXPECT_TRUE(fs::exists(temp_.Path() / "deck.pdf"));
}

TEST_F(VellumetDlgTest, CloseWhileBusyAnsweredYesCancelsAndCleansUp) {
    exporter_.hold = true;
    auto dialog = Open();
    Fill(*dialog, temp_.Path() / "deck.ppt", temp_.Path());
    QTest::mouseClick(Find<QPushButton>(*dialog, "convertButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return exporter_.exporting.load(); }));
    EXPECT_FALSE(TempRootEmpty()) << "the job's pictures are there";

    prompts_.answerYes = true;
    QTest::keyClick(dialog.get(), Qt::Key_Escape);

    // Close returns only once the job has ended.
    EXPECT_EQ(prompts_.questions.size(), 1);
    EXPECT_TRUE(exporter_.sawCancel);
    EXPECT_TRUE(Idle(*dialog));
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(prompts_.errors.isEmpty()) << "a cancelled job shows nothing";
    EXPECT_TRUE(TempRootEmpty()) << "pictures and folder removed";
    EXPECT_FALSE(fs::exists(temp_.Path() / "deck.pdf")) << "no partial output";
}

TEST_F(VellumetDlgTest, EnterWhileBusyNeitherAsksNorCancels) {
    exporter_.hold = true;
    auto dialog = Open();
    Fill(*dialog, temp_.Path() / "deck.ppt", temp_.Path());
    auto* convert = Find<QPushButton>(*dialog, "convertButton");
    convert->setFocus();
    QTest::keyClick(convert, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return exporter_.exporting.load(); }));

    // Enter again, as a user does who thinks the first one was lost, wherever the focus went.
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);
    EXPECT_NE(focused, Find<QPushButton>(*dialog, "closeButton"));
    QTest::keyClick(focused, Qt::Key_Return);
    QTest::keyClick(Find<QPushButton>(*dialog, "closeButton"), Qt::Key_Return);
    EXPECT_TRUE(prompts_.questions.isEmpty());
    EXPECT_TRUE(dialog->JobThreadAlive());
    EXPECT_FALSE(exporter_.sawCancel);

    exporter_.hold = false;
    ASSERT_TRUE(WaitFor([&] { return Idle(*dialog); }));
    EXPECT_EQ(exporter_.exports, 1);
    EXPECT_TRUE(fs::exists(temp_.Path() / "deck.pdf"));
}

TEST_F(VellumetDlgTest, AQuitSignalStopsTheJobCleansUpAndCloses) {
    exporter_.hold = true;
    auto dialog = Open();
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::Received, dialog.get(), &CVellumetDlg::OnQuitRequest);
    Fill(*dialog, temp_.Path() / "deck.ppt", temp_.Path());
    QTest::mouseClick(Find<QPushButton>(*dialog, "convertButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return exporter_.exporting.load(); }));
    ASSERT_FALSE(TempRootEmpty());

    ::raise(SIGTERM);
    ASSERT_TRUE(WaitFor([&] { return !dialog->isVisible(); }));
    EXPECT_TRUE(prompts_.questions.isEmpty()) << "nobody is there to answer";
    EXPECT_TRUE(exporter_.sawCancel);
    EXPECT_TRUE(Idle(*dialog));
    EXPECT_TRUE(TempRootEmpty()) << "pictures and folder removed";
    EXPECT_FALSE(fs::exists(temp_.Path() / "deck.pdf"));
}

TEST(QtDialogPromptsTest, EnterAnswersTheQuestionWithNo) {
    QtDialogPrompts prompts;
    QTimer::singleShot(0, [] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_FALSE(prompts.AskYesNo(nullptr, QString::fromStdWString(CloseQuestionText())));
}

TEST_F(VellumetDlgTest, DestroyingTheDialogStopsARunningJob) {
    exporter_.hold = true;
    auto dialog = Open();
    Fill(*dialog, temp_.Path() / "deck.ppt", temp_.Path());
    QTest::mouseClick(Find<QPushButton>(*dialog, "convertButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return exporter_.exporting.load(); }));
    dialog.reset();
    EXPECT_TRUE(exporter_.sawCancel);
    EXPECT_TRUE(TempRootEmpty());
    EXPECT_TRUE(prompts_.questions.isEmpty());
}

TEST_F(VellumetDlgTest, DroppingFilesTakesTheFirstAndShowsTheFields) {
    auto dialog = Open();
    auto* output = Find<QLineEdit>(*dialog, "outputEdit");
    const QString shownOutput = output->text();
    output->setText(QStringLiteral("/typed/but/not/taken/in"));

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/talks/first deck.ppt")),
                  QUrl::fromLocalFile(QStringLiteral("/talks/second.pptx"))});
    // Delivered straight to the dialog's handlers: without a drag in progress the application
    // would not route a drop at all.
    QObject* target = dialog.get();
    QDragEnterEvent enter(QPoint(20, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    target->event(&enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    target->event(&drop);

    EXPECT_EQ(Find<QLineEdit>(*dialog, "sourceEdit")->text(), QStringLiteral("/talks/first deck.ppt"));
    EXPECT_EQ(dialog->Fields().sourceFile, L"/talks/first deck.ppt");
    EXPECT_EQ(output->text(), shownOutput);
}

TEST_F(VellumetDlgTest, StartingWithAFileShowsItBesideTheRememberedChoices) {
    Store(settings::kOutputFolderPath, L"/remembered/out/");
    auto dialog = Open();
    dialog->ShowSourceFile(L"/talks/opened with.odp");

    EXPECT_EQ(Find<QLineEdit>(*dialog, "sourceEdit")->text(), QStringLiteral("/talks/opened with.odp"));
    EXPECT_EQ(Find<QLineEdit>(*dialog, "outputEdit")->text(), QStringLiteral("/remembered/out/"));
}

TEST_F(VellumetDlgTest, TimerTickWrapsAndRealTimerAdvances) {
    auto dialog = Open();
    auto* bar = Find<QProgressBar>(*dialog, "progressCtrl");
    dialog->BeginBusy();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(dialog->ProgressStep(), 1);

    dialog->SetProgressPosition(100);
    dialog->OnTimer();
    EXPECT_EQ(bar->value(), 76);
    dialog->SetProgressPosition(250);  // out of range: held at the end, as the control clamps
    EXPECT_EQ(dialog->ProgressPosition(), 100);

    dialog->SetProgressPosition(10);
    dialog->SetProgressStep(5);
    EXPECT_TRUE(WaitFor([&] { return bar->value() >= 20; }, 3000)) << "the 200 ms timer drives the bar";

    dialog->EndBusy();
    const int stopped = bar->value();
    QTest::qWait(450);
    EXPECT_EQ(bar->value(), stopped);
    EXPECT_FALSE(bar->isVisible());
}

TEST_F(VellumetDlgTest, OpenAndChangeFillTheirBoxes) {
    auto dialog = Open();
    Find<QLineEdit>(*dialog, "sourceEdit")->setText(QStringLiteral("/talks/old.ppt"));
    prompts_.openAnswer = QStringLiteral("/talks/new.pptx");
    QTest::mouseClick(Find<QPushButton>(*dialog, "openButton"), Qt::LeftButton);
    EXPECT_EQ(prompts_.openInitials.value(0), QStringLiteral("/talks/old.ppt"));
    EXPECT_EQ(Find<QLineEdit>(*dialog, "sourceEdit")->text(), QStringLiteral("/talks/new.pptx"));

    Find<QLineEdit>(*dialog, "outputEdit")->setText(QStringLiteral("/srv/typed"));
    prompts_.browseAnswer = L"/srv/chosen";
    QTest::mouseClick(Find<QPushButton>(*dialog, "changeButton"), Qt::LeftButton);
    ASSERT_EQ(prompts_.browseInitials.size(), 1u);
    EXPECT_EQ(prompts_.browseInitials[0], L"/srv/typed");
    EXPECT_EQ(Find<QLineEdit>(*dialog, "outputEdit")->text(), QStringLiteral("/srv/chosen"));

    // Cancelled choosers change nothing.
    prompts_.openAnswer.clear();
    prompts_.browseAnswer.clear();
    QTest::mouseClick(Find<QPushButton>(*dialog, "openButton"), Qt::LeftButton);
    QTest::mouseClick(Find<QPushButton>(*dialog, "changeButton"), Qt::LeftButton);
    EXPECT_EQ(Find<QLineEdit>(*dialog, "sourceEdit")->text(), QStringLiteral("/talks/new.pptx"));
    EXPECT_EQ(Find<QLineEdit>(*dialog, "outputEdit")->text(), QStringLiteral("/srv/chosen"));

    EXPECT_TRUE(prompts_.errors.isEmpty());
    EXPECT_EQ(prompts_.aboutRuns, 0);
}

TEST_F(VellumetDlgTest, EditShowsTheEditorsDevicesAndConvertUsesTheChosenPage) {
    auto dialog = Open();
    auto* devices = Find<QComboBox>(*dialog, "deviceCombo");
    const int catalogue = devices->count();

    // An editor closed with Cancel changes nothing.
    devices->setCurrentIndex(1);
    QTest::mouseClick(Find<QPushButton>(*dialog, "editButton"), Qt::LeftButton);
    ASSERT_EQ(prompts_.editStarts.size(), 1u);
    EXPECT_EQ(prompts_.editStarts[0], L"Amazon Kindle 2");
    EXPECT_EQ(prompts_.owners.back(), dialog.get());
    EXPECT_EQ(devices->count(), catalogue);
    EXPECT_EQ(devices->currentIndex(), 1);

    // The editor saves a device of the user's and picks it.
    prompts_.onEdit = [](settings::SettingsStore* store, std::wstring* device) {
        UserDevices list;
        list.devices.push_back({L"Desk Reader", {900, 1300}, Screen::Gray16, DeviceOrigin::User, {}, {}});
        EXPECT_EQ(WriteUserDevices(list, store), L"");
        *device = L"Desk Reader";
        return true;
    };
    QTest::mouseClick(Find<QPushButton>(*dialog, "editButton"), Qt::LeftButton);
    ASSERT_EQ(devices->count(), catalogue + 1);
    EXPECT_EQ(devices->itemText(catalogue), QStringLiteral("Desk Reader"));
    EXPECT_EQ(devices->currentIndex(), catalogue);

    Fill(*dialog, temp_.Path() / "deck.ppt", temp_.Path());
    QTest::mouseClick(Find<QPushButton>(*dialog, "convertButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Idle(*dialog); }));
    EXPECT_TRUE(prompts_.errors.isEmpty()) << prompts_.errors.join(QStringLiteral("; ")).toStdString();
    const fs::path pdf = temp_.Path() / "deck.pdf";
    EXPECT_NE(
        RunShell("qpdf --check '" + pdf.string() + "' 2>&1").out.find("No syntax or stream encoding errors"),
        std::string::npos);
    EXPECT_NE(RunShell("pdfinfo '" + pdf.string() + "' 2>&1").out.find("Page size:       900 x 1300 pts"),
              std::string::npos);
    EXPECT_EQ(StoredText(settings::kSchemePath), L"Desk Reader");

    // Remembered, the user's device is selected by its name as a catalogue entry would be.
    dialog.reset();
    auto reopened = Open();
    EXPECT_EQ(Find<QComboBox>(*reopened, "deviceCombo")->currentText(), QStringLiteral("Desk Reader"));
}

TEST_F(VellumetDlgTest, AboutIsReachableFromF1AndTheContextMenu) {
    auto dialog = Open();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    QTest::keyClick(dialog.get(), Qt::Key_F1);
    EXPECT_EQ(prompts_.aboutRuns, 1);

    QAction* about = dialog->findChild<QAction*>(QStringLiteral("aboutAction"));
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->text(), QStringLiteral("&About Vellumet..."));
    EXPECT_TRUE(dialog->actions().contains(about));
    about->trigger();
    EXPECT_EQ(prompts_.aboutRuns, 2);
}

}  // namespace
}  // namespace vellumet
