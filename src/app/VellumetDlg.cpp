#include "app/VellumetDlg.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <system_error>

#include "app/AppIcon.h"
#include "app/DialogPrompts.h"
#include "app/DialogUnits.h"
#include "common/QStringText.h"
#include "common/WideText.h"
#include "frontend/ConvertChecks.h"
#include "frontend/DeviceList.h"
#include "frontend/FrontEndRules.h"
#include "frontend/UserDevices.h"
#include "job/TempFolder.h"
#include "settings/SettingsTable.h"

namespace vellumet {

CVellumetDlg::CVellumetDlg(const DialogServices& services, QWidget* parent)
    : QDialog(parent), services_(services), prompts_(services.prompts) {
    if (prompts_ == nullptr) {
        ownPrompts_ = std::make_unique<QtDialogPrompts>();
        prompts_ = ownPrompts_.get();
    }
    appIcon_ = AppIcon();
    progressTimer_.setInterval(kProgressTimerMs);
    connect(&progressTimer_, &QTimer::timeout, this, &CVellumetDlg::OnTimer);
    BuildControls();
    OnInitDialog();
}

CVellumetDlg::~CVellumetDlg() {
    StopJob();
    if (waitCursor_) {
        QApplication::restoreOverrideCursor();
    }
}

void CVellumetDlg::BuildControls() {
    setObjectName(QStringLiteral("vellumetDialog"));
    setWindowTitle(ToQString(kDialogCaption));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setAcceptDrops(true);
    setFont(DialogFont());
    const DialogUnits du(font());

    // Group boxes only draw frames; the controls they surround are the dialog's own, in tab order.
    auto groupBox = [&](const char* name, const QString& title, QRect rect) {
        auto* box = new QGroupBox(title, this);
        box->setObjectName(QString::fromLatin1(name));
        box->setGeometry(rect);
        box->setFocusPolicy(Qt::NoFocus);
        box->lower();
        return box;
    };
    auto label = [&](const char* name, const QString& text, QRect rect) {
        auto* item = new QLabel(text, this);
        item->setObjectName(QString::fromLatin1(name));
        // Static texts are 8 units high; give descenders room below.
        item->setGeometry(rect.adjusted(0, -du.Y(1), 0, du.Y(1)));
        item->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return item;
    };
    auto button = [&](const char* name, const QString& text, QRect rect) {
        auto* item = new QPushButton(text, this);
        item->setObjectName(QString::fromLatin1(name));
        item->setGeometry(rect);
        return item;
    };
    auto edit = [&](const char* name, QRect rect) {
        auto* item = new QLineEdit(this);
        item->setObjectName(QString::fromLatin1(name));
        item->setGeometry(rect);
        return item;
    };
    auto checkBox = [&](const char* name, const QString& text, QRect rect) {
        auto* item = new QCheckBox(text, this);
        item->setObjectName(QString::fromLatin1(name));
        item->setGeometry(rect.adjusted(0, -du.Y(1), du.X(20), du.Y(1)));
        return item;
    };

    bannerCtrl_ = new QLabel(this);
    bannerCtrl_->setObjectName(QStringLiteral("bannerCtrl"));
    const QPixmap banner = BannerPicture();
    bannerCtrl_->setPixmap(banner);
    // The picture is shown at its real size from the template's corner.
    const QRect bannerRect = du.ToPixels(7, 7, 223, 58);
    bannerCtrl_->setGeometry(
        QRect(bannerRect.topLeft(), banner.isNull() ? bannerRect.size() : banner.size()));

    convertButton_ = button("convertButton", QStringLiteral("Convert"), du.ToPixels(242, 7, 65, 30));
    convertButton_->setDefault(true);
    closeButton_ = button("closeButton", QStringLiteral("Close"), du.ToPixels(242, 47, 65, 20));
    // Enter on a focused Close must not start the Close question; Escape and a click still do.
    closeButton_->setAutoDefault(false);

    auto* rule = new QFrame(this);
    rule->setObjectName(QStringLiteral("rule"));
    rule->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    rule->setGeometry(QRect(du.X(7), du.Y(96), du.X(300), 2));

    label("sourceLabel", QStringLiteral("Source File:"), du.ToPixels(17, 111, 50, 8));
    sourceEdit_ = edit("sourceEdit", du.ToPixels(70, 108, 155, 14));
    QPushButton* openButton = button("openButton", QStringLiteral("&Open..."), du.ToPixels(242, 108, 60, 14));

    groupBox("formatGroup", QStringLiteral("Convert Format:"), du.ToPixels(7, 134, 300, 85));
    label("deviceLabel", QStringLiteral("Device:"), du.ToPixels(17, 149, 40, 8));
    deviceCombo_ = new QComboBox(this);
    deviceCombo_->setObjectName(QStringLiteral("deviceCombo"));
    deviceCombo_->setEditable(false);
    deviceCombo_->setGeometry(du.ToPixels(70, 147, 155, 14));
    QPushButton* editButton = button("editButton", QStringLiteral("&Edit..."), du.ToPixels(241, 147, 60, 14));
    omitBackgroundBox_ = checkBox("omitBackgroundCheck", QStringLiteral("Omit background graphics"),
                                  du.ToPixels(70, 169, 100, 10));
    omitShadowBox_ =
        checkBox("omitShadowCheck", QStringLiteral("Omit shadow"), du.ToPixels(70, 184, 110, 10));
    twoPerPageBox_ =
        checkBox("twoPerPageCheck", QStringLiteral("Two slides per page"), du.ToPixels(70, 199, 110, 10));

    groupBox("outputGroup", QStringLiteral("Output:"), du.ToPixels(7, 229, 300, 40));
    label("outputLabel", QStringLiteral("Output Folder:"), du.ToPixels(17, 249, 50, 8));
    outputEdit_ = edit("outputEdit", du.ToPixels(70, 246, 155, 14));
    QPushButton* changeButton =
        button("changeButton", QStringLiteral("&Change..."), du.ToPixels(242, 246, 60, 14));

    progressCtrl_ = new QProgressBar(this);
    progressCtrl_->setObjectName(QStringLiteral("progressCtrl"));
    progressCtrl_->setGeometry(du.ToPixels(7, 75, 300, 15));
    progressCtrl_->setRange(0, kProgressMaximum);
    progressCtrl_->setValue(0);
    progressCtrl_->setTextVisible(false);
    progressCtrl_->hide();

    // Tab order as the controls are listed above.
    QWidget* order[] = {convertButton_, closeButton_, sourceEdit_,        openButton,
                        deviceCombo_,   editButton,   omitBackgroundBox_, omitShadowBox_,
                        twoPerPageBox_, outputEdit_,  changeButton};
    for (size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }

    connect(convertButton_, &QPushButton::clicked, this, &CVellumetDlg::OnOK);
    connect(closeButton_, &QPushButton::clicked, this, &CVellumetDlg::OnCancel);
    connect(openButton, &QPushButton::clicked, this, &CVellumetDlg::OnOpen);
    connect(changeButton, &QPushButton::clicked, this, &CVellumetDlg::OnChange);
    connect(editButton, &QPushButton::clicked, this, &CVellumetDlg::OnEdit);

    // No window menu here: the about entry lives in the context menu and on F1.
    aboutAction_ = new QAction(ToQString(kAboutMenuText), this);
    aboutAction_->setObjectName(QStringLiteral("aboutAction"));
    aboutAction_->setShortcut(QKeySequence(Qt::Key_F1));
    aboutAction_->setShortcutContext(Qt::WindowShortcut);
    addAction(aboutAction_);
    connect(aboutAction_, &QAction::triggered, this, &CVellumetDlg::OnAbout);

    setFixedSize(du.X(314), du.Y(277));
}

void CVellumetDlg::FillDeviceList() {
    devices_ = DeviceListOf(ReadUserDevices(services_.store).devices);
    deviceCombo_->clear();
    for (const DeviceProfile& device : devices_) {
        deviceCombo_->addItem(ToQString(device.name));
    }
    deviceCombo_->setCurrentIndex(-1);
}

void CVellumetDlg::OnInitDialog() {
    setWindowIcon(appIcon_);
    FillDeviceList();
    fields_ = FieldsFromChoice(settings::ReadSettings(services_.store));
    UpdateData(false);
}

void CVellumetDlg::UpdateData(bool takeIn) {
    if (takeIn) {
        fields_.sourceFile = FromQString(sourceEdit_->text());
        fields_.deviceName =
            deviceCombo_->currentIndex() >= 0 ? FromQString(deviceCombo_->currentText()) : L"";
        fields_.omitBackgroundCheck = omitBackgroundBox_->isChecked() ? 1 : 0;
        fields_.omitShadowCheck = omitShadowBox_->isChecked() ? 1 : 0;
        fields_.twoPerPageCheck = twoPerPageBox_->isChecked() ? 1 : 0;
        fields_.outputDir = FromQString(outputEdit_->text());
        return;
    }
    sourceEdit_->setText(ToQString(fields_.sourceFile));
    const int entry = FindDeviceEntry(DeviceNames(devices_), fields_.deviceName);
    if (entry >= 0) {
        deviceCombo_->setCurrentIndex(entry);
    }
    omitBackgroundBox_->setChecked(fields_.omitBackgroundCheck != 0);
    omitShadowBox_->setChecked(fields_.omitShadowCheck != 0);
    twoPerPageBox_->setChecked(fields_.twoPerPageCheck != 0);
    outputEdit_->setText(ToQString(fields_.outputDir));
}

void CVellumetDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (centred_) {
        return;
    }
    // Opens centred on the mouse pointer, kept on the pointer's screen.
    centred_ = true;
    const QPoint pointer = QCursor::pos();
    QRect frame = frameGeometry();
    frame.moveCenter(pointer);
    if (const QScreen* screen = QGuiApplication::screenAt(pointer)) {
        const QRect area = screen->availableGeometry();
        frame.moveLeft(
            std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - frame.width())));
        frame.moveTop(
            std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() - frame.height())));
    }
    move(frame.topLeft());
}

void CVellumetDlg::accept() {
    OnOK();
}

void CVellumetDlg::reject() {
    OnCancel();
}

bool CVellumetDlg::JobThreadAlive() const {
    return jobThread_.joinable() && !jobEnded_.load();
}

void CVellumetDlg::OnOK() {
    // One job at a time: its settings and temporary folder must not change under it.
    if (jobRegistered_ || JobThreadAlive()) {
        return;
    }
    JoinEndedJob();

    UpdateData(true);
    const std::wstring refusal = CheckConvertInputs(fields_.sourceFile, fields_.outputDir);
    if (!refusal.empty()) {
        prompts_->ShowError(this, ToQString(refusal));
        return;
    }

    // The remembered values are written back when `remembered` goes, once the job has started.
    settings::ConvertSettings remembered(services_.store);
    remembered.Set(ChoiceFromFields(fields_));

    tempDir_ = MakeTempFolderName();
    cancel_ = std::make_unique<CancelToken>();
    leftOut_.clear();
    job_ = ConversionJob{JobSettingsFromFields(fields_, devices_, tempDir_), this, services_.exporter,
                         services_.compose, services_.composer};

    jobRegistered_ = true;
    jobEnded_ = false;
    // Keep the focus off Close while busy: Enter, pressed as if to convert again, must not ask to
    // cancel the job.
    if (focusWidget() == convertButton_ || focusWidget() == closeButton_) {
        sourceEdit_->setFocus(Qt::OtherFocusReason);
    }
    convertButton_->setEnabled(false);
    try {
        jobThread_ = std::thread([this] {
            ConversionThreadProc(&job_);
            jobEnded_ = true;
            QMetaObject::invokeMethod(
                this, [this] { OnJobThreadEnded(); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        // No thread: nothing runs, and the dialog stays idle.
        jobEnded_ = true;
        jobRegistered_ = false;
        convertButton_->setEnabled(true);
    }
}

void CVellumetDlg::OnJobThreadEnded() {
    JoinEndedJob();
    if (jobRegistered_) {
        EndBusy();
    }
}

void CVellumetDlg::JoinEndedJob() {
    if (jobThread_.joinable() && jobEnded_.load()) {
        jobThread_.join();
    }
}

void CVellumetDlg::StopJob() {
    if (!jobThread_.joinable()) {
        return;
    }
    if (cancel_ != nullptr) {
        cancel_->RequestCancel();
    }
    // The job may be waiting for a call it made onto this thread: keep serving them.
    while (!jobEnded_.load()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    JoinEndedJob();
}

void CVellumetDlg::OnCancel() {
    if (jobRegistered_ && !prompts_->AskYesNo(this, ToQString(CloseQuestionText()))) {
        return;
    }
    CloseDialog();
}

void CVellumetDlg::OnQuitRequest() {
    CloseDialog();
}

void CVellumetDlg::CloseDialog() {
    if (jobRegistered_ || JobThreadAlive()) {
        // The job removes its pictures and folder on the way out and writes no output.
        progressCtrl_->hide();
        StopJob();
        if (jobRegistered_) {
            EndBusy();
        }
    }
    QDialog::reject();
}

void CVellumetDlg::OnOpen() {
    UpdateData(true);
    const QString chosen = prompts_->OpenPresentation(this, ToQString(fields_.sourceFile));
    if (chosen.isEmpty()) {
        return;
    }
    fields_.sourceFile = FromQString(chosen);
    UpdateData(false);
}

void CVellumetDlg::OnChange() {
    UpdateData(true);
    std::wstring chosen;
    if (prompts_->BrowseForFolder(this, fields_.outputDir, &chosen) == 0) {
        return;
    }
    fields_.outputDir = chosen;
    UpdateData(false);
}

void CVellumetDlg::OnEdit() {
    UpdateData(true);
    std::wstring chosen = fields_.deviceName;
    if (!prompts_->EditDevices(this, services_.store, &chosen)) {
        return;
    }
    // The list may have changed under the selection: show it again and select the editor's choice.
    FillDeviceList();
    if (!chosen.empty()) {
        fields_.deviceName = chosen;
    }
    UpdateData(false);
}

void CVellumetDlg::OnAbout() {
    prompts_->RunAbout(this);
}

void CVellumetDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("dialogMenu"));
    menu.addAction(aboutAction_);
    menu.exec(event->globalPos());
}

void CVellumetDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void CVellumetDlg::dropEvent(QDropEvent* event) {
    // The first dropped file becomes the source.
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl& url : urls) {
        if (url.isLocalFile()) {
            ShowSourceFile(FromQString(url.toLocalFile()));
            break;
        }
    }
    event->acceptProposedAction();
}

void CVellumetDlg::ShowSourceFile(const std::wstring& path) {
    fields_.sourceFile = path;
    UpdateData(false);
}

void CVellumetDlg::OnTimer() {
    progressCtrl_->setValue(NextProgressPosition(progressCtrl_->value(), progressStep_.load()));
}

void CVellumetDlg::RunOnGuiThread(const std::function<void()>& call) {
    if (QThread::currentThread() == thread()) {
        call();
        return;
    }
    QMetaObject::invokeMethod(this, call, Qt::BlockingQueuedConnection);
}

void CVellumetDlg::BeginBusy() {
    RunOnGuiThread([this] {
        if (!waitCursor_) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            waitCursor_ = true;
        }
        progressCtrl_->show();
        progressCtrl_->setRange(0, kProgressMaximum);
        progressCtrl_->setValue(0);
        progressStep_ = 1;
        progressTimer_.start();
    });
}

void CVellumetDlg::EndBusy() {
    RunOnGuiThread([this] {
        for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            child->setEnabled(true);
        }
        progressCtrl_->hide();
        jobRegistered_ = false;
        progressTimer_.stop();
        if (waitCursor_) {
            QApplication::restoreOverrideCursor();
            waitCursor_ = false;
        }
        // After the job has let go of the dialog, so that the warning never holds the job up.
        if (!leftOut_.empty()) {
            QMetaObject::invokeMethod(
                this, [this] { ShowLeftOutWarning(); }, Qt::QueuedConnection);
        }
    });
}

void CVellumetDlg::ShowLeftOut(const std::vector<std::wstring>& notices) {
    RunOnGuiThread([this, &notices] { leftOut_ = notices; });
}

void CVellumetDlg::ShowLeftOutWarning() {
    if (leftOut_.empty()) {
        return;
    }
    QStringList lines;
    for (const std::wstring& notice : leftOut_) {
        lines.append(ToQString(notice));
    }
    leftOut_.clear();
    const QString text =
        lines.size() == 1 ? QStringLiteral("One slide picture was left out of the PDF.")
                          : QStringLiteral("%1 slide pictures were left out of the PDF.").arg(lines.size());
    prompts_->ShowWarning(this, text, lines.join(QLatin1Char('\n')));
}

void CVellumetDlg::ShowMessage(const std::wstring& text, const std::wstring& detail) {
    RunOnGuiThread([this, &text, &detail] { prompts_->ShowError(this, ToQString(text), ToQString(detail)); });
}

int32_t CVellumetDlg::ProgressPosition() {
    int32_t position = 0;
    RunOnGuiThread([this, &position] { position = std::clamp(progressCtrl_->value(), 0, kProgressMaximum); });
    return position;
}

void CVellumetDlg::SetProgressPosition(int32_t position) {
    RunOnGuiThread([this, position] { progressCtrl_->setValue(std::clamp(position, 0, kProgressMaximum)); });
}

void CVellumetDlg::SetProgressStep(int32_t step) {
    progressStep_ = step;
}

const CancelToken* CVellumetDlg::Cancellation() const {
    return cancel_.get();
}

}  // namespace vellumet
