#include "app/DeviceEditorDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/DialogUnits.h"
#include "common/QStringText.h"
#include "common/WideText.h"
#include "frontend/DeviceList.h"
#include "frontend/DeviceRules.h"
#include "job/DeviceTable.h"

namespace vellumet {

namespace {

QString ScreenText(Screen screen) {
    return screen == Screen::Colour ? QStringLiteral("Colour") : QStringLiteral("Gray, 16 levels");
}

// The palettes and dithering choices in the order of their combo boxes.
constexpr Palette kPalettes[] = {Palette::Rgb, Palette::Gray, Palette::Gray16};
constexpr Dither kDithers[] = {Dither::Ordered, Dither::None};

QString PaletteText(Palette palette) {
    switch (palette) {
        case Palette::Gray:
            return QStringLiteral("Gray, 256 levels");
        case Palette::Gray16:
            return QStringLiteral("Gray, 16 levels (smallest files)");
        case Palette::Rgb:
            break;
    }
    return QStringLiteral("Colour (24-bit)");
}

QString DitherText(Dither dither) {
    return dither == Dither::None ? QStringLiteral("None (nearest level)")
                                  : QStringLiteral("Ordered pattern");
}

template <typename T, size_t N>
int IndexOf(const T (&choices)[N], T value) {
    for (size_t i = 0; i < N; ++i) {
        if (choices[i] == value) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

}  // namespace

DeviceEditorDlg::DeviceEditorDlg(settings::SettingsStore* store, const std::wstring& initial, QWidget* parent)
    : QDialog(parent), store_(store), edits_(ReadUserDevices(store)) {
    BuildControls();
    ShowList(FindDeviceEntry(DeviceNames(edits_.Devices()), initial));
}

void DeviceEditorDlg::BuildControls() {
    setObjectName(QStringLiteral("deviceEditor"));
    setWindowTitle(QStringLiteral("Devices"));
    setFont(DialogFont());
    const DialogUnits du(font());

    auto* layout = new QVBoxLayout(this);

    noticeLabel_ = new QLabel(this);
    noticeLabel_->setObjectName(QStringLiteral("noticeLabel"));
    noticeLabel_->setWordWrap(true);
    QStringList notices;
    for (const std::wstring& notice : edits_.Notices()) {
        notices.append(ToQString(notice));
    }
    noticeLabel_->setText(notices.join(QLatin1Char('\n')));
    noticeLabel_->setVisible(!notices.isEmpty());
    layout->addWidget(noticeLabel_);

    deviceTree_ = new QTreeWidget(this);
    deviceTree_->setObjectName(QStringLiteral("deviceTree"));
    deviceTree_->setRootIsDecorated(false);
    deviceTree_->setUniformRowHeights(true);
    deviceTree_->setSelectionMode(QAbstractItemView::SingleSelection);
    deviceTree_->setHeaderLabels({QStringLiteral("Device"), QStringLiteral("Page (pixels)"),
                                  QStringLiteral("Screen"), QStringLiteral("Pages"), QStringLiteral("Kind")});
    deviceTree_->setMinimumSize(du.X(300), du.Y(150));
    layout->addWidget(deviceTree_);

    auto* fields = new QFormLayout;
    nameEdit_ = new QLineEdit(this);
    nameEdit_->setObjectName(QStringLiteral("nameEdit"));
    nameEdit_->setMaxLength(static_cast<int>(kMaxDeviceNameLength) + 20);
    fields->addRow(QStringLiteral("&Name:"), nameEdit_);

    auto spin = [&](const char* name) {
        auto* box = new QSpinBox(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setRange(1, kMaxPageSide);
        box->setSuffix(QStringLiteral(" px"));
        return box;
    };
    widthSpin_ = spin("widthSpin");
    heightSpin_ = spin("heightSpin");
    auto* size = new QHBoxLayout;
    size->addWidget(widthSpin_);
    size->addWidget(new QLabel(QStringLiteral("x"), this));
    size->addWidget(heightSpin_);
    size->addStretch();
    auto* sizeLabel = new QLabel(QStringLiteral("&Page (width x height):"), this);
    sizeLabel->setBuddy(widthSpin_);
    fields->addRow(sizeLabel, size);

    screenCombo_ = new QComboBox(this);
    screenCombo_->setObjectName(QStringLiteral("screenCombo"));
    screenCombo_->addItem(ScreenText(Screen::Gray16));
    screenCombo_->addItem(ScreenText(Screen::Colour));
    fields->addRow(QStringLiteral("&Screen:"), screenCombo_);

    paletteCombo_ = new QComboBox(this);
    paletteCombo_->setObjectName(QStringLiteral("paletteCombo"));
    for (const Palette palette : kPalettes) {
        paletteCombo_->addItem(PaletteText(palette));
    }
    fields->addRow(QStringLiteral("Pa&lette:"), paletteCombo_);
    ditherCombo_ = new QComboBox(this);
    ditherCombo_->setObjectName(QStringLiteral("ditherCombo"));
    for (const Dither dither : kDithers) {
        ditherCombo_->addItem(DitherText(dither));
    }
    fields->addRow(QStringLiteral("&Dithering:"), ditherCombo_);
    outlineCheck_ = new QCheckBox(QStringLiteral("&Outline and slide numbers as page labels"), this);
    outlineCheck_->setObjectName(QStringLiteral("outlineCheck"));
    fields->addRow(QString(), outlineCheck_);
    searchableCheck_ = new QCheckBox(QStringLiteral("Searc&hable text"), this);
    searchableCheck_->setObjectName(QStringLiteral("searchableCheck"));
    fields->addRow(QString(), searchableCheck_);
    notesCheck_ = new QCheckBox(QStringLiteral("Each slide with its speaker &notes (upright pages)"), this);
    notesCheck_->setObjectName(QStringLiteral("notesCheck"));
    fields->addRow(QString(), notesCheck_);
    layout->addLayout(fields);

    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* name, const QString& text) {
        auto* item = new QPushButton(text, this);
        item->setObjectName(QString::fromLatin1(name));
        item->setAutoDefault(false);
        buttons->addWidget(item);
        return item;
    };
    addButton_ = button("addButton", QStringLiteral("&Add as new device"));
    updateButton_ = button("updateButton", QStringLiteral("&Update device"));
    removeButton_ = button("removeButton", QStringLiteral("&Remove device"));
    buttons->addStretch();
    layout->addLayout(buttons);

    messageLabel_ = new QLabel(this);
    messageLabel_->setObjectName(QStringLiteral("messageLabel"));
    messageLabel_->setWordWrap(true);
    messageLabel_->setStyleSheet(QStringLiteral("color: #b00000"));
    layout->addWidget(messageLabel_);

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->setObjectName(QStringLiteral("buttonBox"));
    box->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    box->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    layout->addWidget(box);

    connect(deviceTree_, &QTreeWidget::itemSelectionChanged, this, &DeviceEditorDlg::OnSelectionChanged);
    // A screen chosen by the user brings its default colours; the dithering only matters for 16 levels.
    connect(screenCombo_, &QComboBox::activated, this, [this](int index) {
        ShowColours(DefaultColoursFor(index == 1 ? Screen::Colour : Screen::Gray16));
    });
    connect(paletteCombo_, &QComboBox::currentIndexChanged, this, [this](int index) {
        ditherCombo_->setEnabled(index >= 0 && kPalettes[index] == Palette::Gray16);
    });
    connect(addButton_, &QPushButton::clicked, this, &DeviceEditorDlg::OnAdd);
    connect(updateButton_, &QPushButton::clicked, this, &DeviceEditorDlg::OnUpdate);
    connect(removeButton_, &QPushButton::clicked, this, &DeviceEditorDlg::OnRemove);
    connect(box, &QDialogButtonBox::accepted, this, &DeviceEditorDlg::accept);
    connect(box, &QDialogButtonBox::rejected, this, &DeviceEditorDlg::reject);
}

void DeviceEditorDlg::ShowList(int row) {
    const QSignalBlocker quiet(deviceTree_);
    deviceTree_->clear();
    for (const DeviceProfile& device : edits_.Devices()) {
        auto* item = new QTreeWidgetItem(deviceTree_);
        item->setText(0, ToQString(device.name));
        item->setText(1, QStringLiteral("%1 x %2").arg(device.page.width).arg(device.page.height));
        item->setText(2, ScreenText(device.screen));
        item->setText(3, ToQString(PaletteName(device.colours.palette)));
        item->setText(
            4, device.origin == DeviceOrigin::User ? QStringLiteral("Yours") : QStringLiteral("Built in"));
    }
    for (int column = 0; column < deviceTree_->columnCount(); ++column) {
        deviceTree_->resizeColumnToContents(column);
    }
    if (row >= 0 && row < deviceTree_->topLevelItemCount()) {
        QTreeWidgetItem* item = deviceTree_->topLevelItem(row);
        deviceTree_->setCurrentItem(item);
        deviceTree_->scrollToItem(item);
    }
    OnSelectionChanged();
}

int DeviceEditorDlg::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = deviceTree_->selectedItems();
    return selected.isEmpty() ? -1 : deviceTree_->indexOfTopLevelItem(selected.first());
}

void DeviceEditorDlg::OnSelectionChanged() {
    const int row = SelectedRow();
    const bool changeable = row >= 0 && edits_.CanChange(static_cast<size_t>(row));
    updateButton_->setEnabled(changeable);
    removeButton_->setEnabled(changeable);
    addButton_->setEnabled(!edits_.ReadOnly());
    if (row < 0) {
        return;
    }
    // A built-in entry's values serve as the starting point of a new device.
    const DeviceProfile& device = edits_.Devices()[static_cast<size_t>(row)];
    nameEdit_->setText(ToQString(device.name));
    widthSpin_->setValue(device.page.width);
    heightSpin_->setValue(device.page.height);
    screenCombo_->setCurrentIndex(device.screen == Screen::Colour ? 1 : 0);
    ShowColours(device.colours);
    outlineCheck_->setChecked(device.outline);
    searchableCheck_->setChecked(device.searchable);
    notesCheck_->setChecked(device.notes);
}

void DeviceEditorDlg::ShowColours(PageColours colours) {
    paletteCombo_->setCurrentIndex(IndexOf(kPalettes, colours.palette));
    ditherCombo_->setCurrentIndex(IndexOf(kDithers, colours.dither));
    ditherCombo_->setEnabled(colours.palette == Palette::Gray16);
}

DeviceProfile DeviceEditorDlg::FieldsDevice() const {
    DeviceProfile device;
    // Spaces at either end are never meant; inner ones are checked by the name rule.
    device.name = FromQString(nameEdit_->text().trimmed());
    device.page = {widthSpin_->value(), heightSpin_->value()};
    device.screen = screenCombo_->currentIndex() == 1 ? Screen::Colour : Screen::Gray16;
    device.colours.palette = kPalettes[std::clamp(paletteCombo_->currentIndex(), 0, 2)];
    device.colours.dither = kDithers[std::clamp(ditherCombo_->currentIndex(), 0, 1)];
    device.outline = outlineCheck_->isChecked();
    device.searchable = searchableCheck_->isChecked();
    device.notes = notesCheck_->isChecked();
    return device;
}

bool DeviceEditorDlg::Report(const std::wstring& problem) {
    messageLabel_->setText(ToQString(problem));
    return problem.empty();
}

void DeviceEditorDlg::OnAdd() {
    if (Report(edits_.Add(FieldsDevice()))) {
        ShowList(static_cast<int>(edits_.Devices().size()) - 1);
    }
}

void DeviceEditorDlg::OnUpdate() {
    const int row = SelectedRow();
    if (row >= 0 && Report(edits_.Change(static_cast<size_t>(row), FieldsDevice()))) {
        ShowList(row);
    }
}

void DeviceEditorDlg::OnRemove() {
    const int row = SelectedRow();
    if (row >= 0 && Report(edits_.Remove(static_cast<size_t>(row)))) {
        ShowList(row - 1);
    }
}

void DeviceEditorDlg::accept() {
    if (!edits_.ReadOnly() && !Report(edits_.Save(store_))) {
        return;
    }
    const int row = SelectedRow();
    chosen_ = row >= 0 ? edits_.Devices()[static_cast<size_t>(row)].name : std::wstring();
    QDialog::accept();
}

}  // namespace vellumet
