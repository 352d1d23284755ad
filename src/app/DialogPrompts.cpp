#include "app/DialogPrompts.h"

#include <QFileDialog>
#include <QMessageBox>

#include "app/AboutDlg.h"
#include "app/DeviceEditorDlg.h"
#include "job/JobMessages.h"
#include "shell/BrowseForFolder.h"

namespace vellumet {

namespace {

QString Caption() {
    return QString::fromWCharArray(kMessageCaption);
}

}  // namespace

QString PresentationFilter() {
    return QStringLiteral(
        "PowerPoint Files (*.ppt);;"
        "PowerPoint Files (*.pptx);;"
        "OpenDocument Presentations (*.odp);;"
        "All Presentations (*.ppt *.pptx *.odp)");
}

void QtDialogPrompts::ShowError(QWidget* owner, const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::Critical, Caption(), text, QMessageBox::Ok, owner);
    if (!detail.isEmpty()) {
        box.setDetailedText(detail);
    }
    box.exec();
}

void QtDialogPrompts::ShowWarning(QWidget* owner, const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::Warning, Caption(), text, QMessageBox::Ok, owner);
    if (!detail.isEmpty()) {
        box.setDetailedText(detail);
    }
    box.exec();
}

bool QtDialogPrompts::AskYesNo(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, Caption(), text, QMessageBox::Yes | QMessageBox::No, owner);
    // Enter must not answer Yes: that would cancel work the user may have wanted to keep.
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogPrompts::OpenPresentation(QWidget* owner, const QString& initial) {
    QFileDialog dialog(owner, QString(), initial, PresentationFilter());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly);
    dialog.setDefaultSuffix(QStringLiteral("ppt"));
    if (!initial.isEmpty()) {
        dialog.selectFile(initial);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().first();
}

int QtDialogPrompts::BrowseForFolder(QWidget* owner, const std::wstring& initial, std::wstring* result) {
    return vellumet::BrowseForFolder(owner, initial, result);
}

void QtDialogPrompts::RunAbout(QWidget* owner) {
    CAboutDlg about(owner);
    about.exec();
}

bool QtDialogPrompts::EditDevices(QWidget* owner, settings::SettingsStore* store, std::wstring* device) {
    DeviceEditorDlg editor(store, *device, owner);
    if (editor.exec() != QDialog::Accepted) {
        return false;
    }
    *device = editor.ChosenDevice();
    return true;
}

}  // namespace vellumet
