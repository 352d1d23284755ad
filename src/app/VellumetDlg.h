#pragma once
// The main dialog: the user names a presentation, a device, the options and an output folder,
// presses Convert and watches the progress while the conversion job runs on a thread of its own.
//
// Threads: every handler runs on the GUI thread. The job calls the ConversionHost operations on its
// own thread; each is carried over to the GUI thread and waits there until it has run (as sent
// window messages do). One job at a time: Convert is disabled from the moment a job is started
// until its EndBusy, and refused while a job's thread is alive.

#include <QDialog>
#include <QIcon>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/DialogLogic.h"
#include "common/CancelToken.h"
#include "frontend/DeviceProfile.h"
#include "job/ConversionHost.h"
#include "job/ConversionJob.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace settings {
class SettingsStore;
}

namespace vellumet {

class DialogPrompts;
class SlideExporter;

// What the dialog works with; every pointer must outlive the dialog.
struct DialogServices {
    DialogPrompts* prompts = nullptr;          // null: real message boxes and choosers
    settings::SettingsStore* store = nullptr;  // null: the current user's store
    SlideExporter* exporter = nullptr;         // the office suite; required to convert
    ComposeFunction compose = nullptr;         // page composition; required to convert
    ComposerFunction composer = nullptr;       // composition begun during the export; optional
};

class CVellumetDlg : public QDialog, public ConversionHost {
    Q_OBJECT
public:
    explicit CVellumetDlg(const DialogServices& services, QWidget* parent = nullptr);
    // Cancels a job that still runs and waits for its thread to end, without asking.
    ~CVellumetDlg() override;

    // ConversionHost, called on the job's thread (and directly when called on the GUI thread).
    void BeginBusy() override;
    void EndBusy() override;
    void ShowMessage(const std::wstring& text, const std::wstring& detail) override;
    // Kept until the run has ended, then shown as one warning (ShowLeftOutWarning).
    void ShowLeftOut(const std::vector<std::wstring>& notices) override;
    int32_t ProgressPosition() override;
    void SetProgressPosition(int32_t position) override;
    void SetProgressStep(int32_t step) override;
    const CancelToken* Cancellation() const override;

    // Exchanges between the controls and the fields: true takes the controls in, false shows the
    // fields in the controls.
    void UpdateData(bool takeIn);
    const DialogFields& Fields() const { return fields_; }
    // Makes `path` the source file and shows the fields without taking the controls in first, as
    // a dropped file does.
    void ShowSourceFile(const std::wstring& path);

    // True from a Convert that started a job until that job's EndBusy.
    bool JobRegistered() const { return jobRegistered_; }
    // True while a job's thread has not returned yet.
    bool JobThreadAlive() const;
    const std::wstring& TempDir() const { return tempDir_; }
    int32_t ProgressStep() const { return progressStep_.load(); }

public slots:
    void OnOK();      // Convert
    void OnCancel();  // Close
    // The process is asked to end (a quit signal): Close answered with Yes, without asking.
    void OnQuitRequest();
    void OnOpen();
    void OnChange();
    void OnTimer();
    void OnAbout();
    void OnEdit();

    void accept() override;
    void reject() override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    // Reads the user's devices and shows the whole device list with no entry selected.
    void FillDeviceList();
    void OnInitDialog();
    // Runs `call` on the GUI thread and returns once it has run there.
    void RunOnGuiThread(const std::function<void()>& call);
    // Cancels the running job, if any, and waits for its thread to return while the GUI thread
    // keeps serving the job's calls.
    void StopJob();
    // Close's work once the question, if any, is answered: stops the job and ends the dialog.
    void CloseDialog();
    void JoinEndedJob();
    // The job's thread has returned: join it, and return to idle if the job never called EndBusy.
    void OnJobThreadEnded();
    // Shows the pictures the last run left out, if any, and forgets them.
    void ShowLeftOutWarning();

    DialogServices services_;
    std::unique_ptr<DialogPrompts> ownPrompts_;
    DialogPrompts* prompts_;

    QIcon appIcon_;
    DialogFields fields_;
    std::vector<DeviceProfile> devices_;  // what deviceCombo_ lists, in its order
    std::wstring tempDir_;
    std::atomic<int32_t> progressStep_{1};

    // The running job: its record and cancellation live until its thread has been joined.
    std::thread jobThread_;
    std::atomic<bool> jobEnded_{true};
    bool jobRegistered_ = false;
    ConversionJob job_;
    std::unique_ptr<CancelToken> cancel_;
    std::vector<std::wstring> leftOut_;  // notices of the running job, shown after it
    bool waitCursor_ = false;
    bool centred_ = false;

    QTimer progressTimer_;
    QAction* aboutAction_ = nullptr;
    QLabel* bannerCtrl_ = nullptr;
    QPushButton* convertButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QLineEdit* sourceEdit_ = nullptr;
    QComboBox* deviceCombo_ = nullptr;
    QCheckBox* omitBackgroundBox_ = nullptr;
    QCheckBox* omitShadowBox_ = nullptr;
    QCheckBox* twoPerPageBox_ = nullptr;
    QLineEdit* outputEdit_ = nullptr;
    QProgressBar* progressCtrl_ = nullptr;
};

}  // namespace vellumet
