#pragma once
// The device editor behind the main dialog's "&Edit...": the device list (the catalogue, then the
// user's own devices) and a device's name, page width and height, screen and page colours (palette
// and dithering; choosing a screen sets its default palette). The user adds devices
// (any entry serves as a starting point), changes and removes their own; built-in entries cannot be
// changed or removed. OK writes the user's devices to the store and closes; Cancel drops the edits.
// Refused edits and a failed save are explained in the dialog itself; notices from reading the
// stored list (skipped entries, a newer format) are shown above the list.

#include <QDialog>
#include <string>

#include "app/DeviceEdits.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;

namespace settings {
class SettingsStore;
}

namespace vellumet {

class DeviceEditorDlg : public QDialog {
    Q_OBJECT
public:
    // store: where the user's devices are read from now and written on OK (null: the current user's
    // store); it must outlive the dialog. initial: the device to select, as the main dialog's
    // remembered scheme selects one.
    DeviceEditorDlg(settings::SettingsStore* store, const std::wstring& initial, QWidget* parent = nullptr);

    // The name of the device selected when OK was pressed (empty when none was).
    const std::wstring& ChosenDevice() const { return chosen_; }

    void accept() override;

private:
    void BuildControls();
    // Shows the list again and selects `row` (none when out of range).
    void ShowList(int row);
    void OnSelectionChanged();
    void ShowColours(PageColours colours);
    void OnAdd();
    void OnUpdate();
    void OnRemove();
    int SelectedRow() const;
    // The device the fields describe.
    DeviceProfile FieldsDevice() const;
    // Shows `problem`, or clears the message when it is empty; true when it was empty.
    bool Report(const std::wstring& problem);

    settings::SettingsStore* store_;
    DeviceEdits edits_;
    std::wstring chosen_;

    QLabel* noticeLabel_ = nullptr;
    QTreeWidget* deviceTree_ = nullptr;
    QLineEdit* nameEdit_ = nullptr;
    QSpinBox* widthSpin_ = nullptr;
    QSpinBox* heightSpin_ = nullptr;
    QComboBox* screenCombo_ = nullptr;
    QComboBox* paletteCombo_ = nullptr;
    QComboBox* ditherCombo_ = nullptr;
    QCheckBox* outlineCheck_ = nullptr;
    QCheckBox* searchableCheck_ = nullptr;
    QCheckBox* notesCheck_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* updateButton_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QLabel* messageLabel_ = nullptr;
};

}  // namespace vellumet
