#include "shell/BrowseForFolder.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>

#include "common/QStringText.h"

namespace vellumet {

bool IsSelectableFolder(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    const QFileInfo info(path);
    return !info.isSymLink() && info.isDir();
}

FolderDialog::FolderDialog(QWidget* owner, const QString& initialFolder)
    : QFileDialog(owner, QStringLiteral("Please select a output folder"), initialFolder) {
    setObjectName(QStringLiteral("folderBrowser"));
    setFileMode(QFileDialog::Directory);
    setAcceptMode(QFileDialog::AcceptOpen);
    // The desktop's own chooser would bypass the refusal of links below.
    setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks |
               QFileDialog::DontUseNativeDialog);
    setWindowTitle(QStringLiteral("Please select a output folder"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    connect(this, &QFileDialog::currentChanged, this, &FolderDialog::UpdateOkButton);
}

QString FolderDialog::ChosenFolder() const {
    if (result() != QDialog::Accepted) {
        return {};
    }
    const QStringList chosen = selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

void FolderDialog::accept() {
    const QStringList chosen = selectedFiles();
    if (chosen.isEmpty() || !IsSelectableFolder(chosen.first())) {
        UpdateOkButton(chosen.isEmpty() ? QString() : chosen.first());
        return;
    }
    QFileDialog::accept();
}

void FolderDialog::UpdateOkButton(const QString& current) {
    // Only ever disables: the dialog's own handling enables OK again when the selection changes.
    if (!current.isEmpty() && IsSelectableFolder(current)) {
        return;
    }
    if (auto* buttons = findChild<QDialogButtonBox*>()) {
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Open)) {
            ok->setEnabled(false);
        }
    }
}

int BrowseForFolder(QWidget* owner, const std::wstring& initial, std::wstring* result) {
    if (result == nullptr) {
        return 0;
    }
    result->clear();

    std::wstring start = initial.substr(0, kBrowseInitialMaxChars);
    if (start.empty()) {
        start = FromQString(QDir::currentPath()).substr(0, kBrowseInitialMaxChars);
    }

    FolderDialog dialog(owner, ToQString(start));
    if (dialog.exec() != QDialog::Accepted) {
        return 0;
    }
    const QString chosen = dialog.ChosenFolder();
    if (!IsSelectableFolder(chosen)) {
        return 0;
    }
    *result = FromQString(chosen).substr(0, kBrowseResultMaxChars);
    return 1;
}

}  // namespace vellumet
