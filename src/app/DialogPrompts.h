#pragma once
// The modal questions the main dialog puts to the user: message boxes, the file and folder
// choosers and the about box. The dialog asks through this interface so that tests can answer
// instead of a person; QtDialogPrompts is the real one.

#include <QString>
#include <string>

class QWidget;

namespace settings {
class SettingsStore;
}

namespace vellumet {

class DialogPrompts {
public:
    virtual ~DialogPrompts() = default;

    // A message with the caption "Vellumet", the error icon and an OK button, owned by `owner`;
    // returns once dismissed. `detail`, when not empty, is the message's detailed text (why).
    virtual void ShowError(QWidget* owner, const QString& text, const QString& detail = {}) = 0;
    // A warning with the caption "Vellumet", the warning icon and an OK button; returns once
    // dismissed. `detail` as for ShowError.
    virtual void ShowWarning(QWidget* owner, const QString& text, const QString& detail = {}) = 0;
    // A question with the caption "Vellumet" and Yes and No buttons, No the default; true for Yes.
    virtual bool AskYesNo(QWidget* owner, const QString& text) = 0;
    // The file-open chooser for presentations, starting on `initial`; the chosen full path, or
    // empty on cancel.
    virtual QString OpenPresentation(QWidget* owner, const QString& initial) = 0;
    // The folder browser (BrowseForFolder's contract).
    virtual int BrowseForFolder(QWidget* owner, const std::wstring& initial, std::wstring* result) = 0;
    // The about box, run modally.
    virtual void RunAbout(QWidget* owner) = 0;
    // The device editor over the user's devices in `store` (null: the current user's), run
    // modally and starting on *device. True when the user pressed OK (the devices are then
    // saved) and *device became the device chosen there.
    virtual bool EditDevices(QWidget* owner, settings::SettingsStore* store, std::wstring* device) = 0;
};

class QtDialogPrompts : public DialogPrompts {
public:
    void ShowError(QWidget* owner, const QString& text, const QString& detail = {}) override;
    void ShowWarning(QWidget* owner, const QString& text, const QString& detail = {}) override;
    bool AskYesNo(QWidget* owner, const QString& text) override;
    QString OpenPresentation(QWidget* owner, const QString& initial) override;
    int BrowseForFolder(QWidget* owner, const std::wstring& initial, std::wstring* result) override;
    void RunAbout(QWidget* owner) override;
    bool EditDevices(QWidget* owner, settings::SettingsStore* store, std::wstring* device) override;
};

// "PowerPoint Files (*.ppt)" first, then the other presentation formats the office reads.
QString PresentationFilter();

}  // namespace vellumet
