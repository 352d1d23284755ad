#pragma once
// The folder browser behind the dialog's "&Change..." button.

#include <QFileDialog>
#include <QString>
#include <string>

class QWidget;

namespace vellumet {

// Characters of the initial folder the browser starts on, and of the path it returns.
inline constexpr size_t kBrowseInitialMaxChars = 518;
inline constexpr size_t kBrowseResultMaxChars = 259;

// Whether the browser lets `path` be confirmed: an existing folder that is not itself a symbolic
// link. (A link to a folder is the platform's shortcut.)
bool IsSelectableFolder(const QString& path);

// A Qt folder dialog that cannot confirm a symbolic link or a folder that does not exist. Its OK
// button is disabled while such an item is current; accept() refuses one in any case.
class FolderDialog : public QFileDialog {
    Q_OBJECT
public:
    // Starts on `initialFolder`, with the caption "Please select a output folder".
    FolderDialog(QWidget* owner, const QString& initialFolder);

    // The chosen folder once the dialog was accepted, else empty.
    QString ChosenFolder() const;

public slots:
    void accept() override;

private:
    void UpdateOkButton(const QString& current);
};

// Runs the folder browser modally over `owner` (may be null), starting on `initial`, cut to its first
// kBrowseInitialMaxChars characters, or on the current directory when `initial` is empty. Returns 1
// with the chosen path (at most kBrowseResultMaxChars characters) in *result, or 0 with *result
// empty when the user cancelled or no usable folder was chosen. Returns 0 when `result` is null.
int BrowseForFolder(QWidget* owner, const std::wstring& initial, std::wstring* result);

}  // namespace vellumet
