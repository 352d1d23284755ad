// The device editor through its named widgets, over a throwaway settings store.

#include "app/DeviceEditorDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "TestFolder.h"
#include "app/DeviceEdits.h"
#include "app/DialogPrompts.h"
#include "common/WideText.h"
#include "frontend/DeviceCatalogue.h"
#include "frontend/UserDevices.h"
#include "settings/RegistryValue.h"
#include "settings/SqliteStore.h"

namespace vellumet {
namespace {

using settings::registry_string;
using settings::registry_value;

QString Q(const std::wstring& text) {
    return QString::fromStdString(ToNative(text));
}

class DeviceEditorTest : public ::testing::Test {
protected:
    DeviceEditorTest() : store_(temp_.Path() / "config" / "settings.db") {}

    std::unique_ptr<DeviceEditorDlg> Open(const std::wstring& initial = L"Amazon Kindle DX") {
        auto editor = std::make_unique<DeviceEditorDlg>(&store_, initial);
        editor->show();
        return editor;
    }

    template <class T>
    static T* Find(DeviceEditorDlg& editor, const char* name) {
        T* widget = editor.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    void StoreList(const std::wstring& text) {
        registry_string<std::wstring>(kUserDevicesPath, L"", registry_value::force, &store_).set(text);
    }
    std::wstring StoredList(const wchar_t* path = kUserDevicesPath) {
        return registry_string<std::wstring>(path, L"<absent>", registry_value::no_write_back, &store_).get();
    }

    // Fills the fields as a user types them.
    static void Type(DeviceEditorDlg& editor, const QString& name, int width, int height, int screen = 0) {
        auto* edit = Find<QLineEdit>(editor, "nameEdit");
        edit->clear();
        QTest::keyClicks(edit, name);
        Find<QSpinBox>(editor, "widthSpin")->setValue(width);
        Find<QSpinBox>(editor, "heightSpin")->setValue(height);
        Find<QComboBox>(editor, "screenCombo")->setCurrentIndex(screen);
    }
    static void Click(DeviceEditorDlg& editor, const char* button) {
        QTest::mouseClick(Find<QPushButton>(editor, button), Qt::LeftButton);
    }
    static int Rows(DeviceEditorDlg& editor) {
        return Find<QTreeWidget>(editor, "deviceTree")->topLevelItemCount();
    }
    static QString Cell(DeviceEditorDlg& editor, int row, int column) {
        return Find<QTreeWidget>(editor, "deviceTree")->topLevelItem(row)->text(column);
    }
    static int Selected(DeviceEditorDlg& editor) {
        auto* tree = Find<QTreeWidget>(editor, "deviceTree");
        const QList<QTreeWidgetItem*> items = tree->selectedItems();
        return items.isEmpty() ? -1 : tree->indexOfTopLevelItem(items.first());
    }
    static QString Message(DeviceEditorDlg& editor) { return Find<QLabel>(editor, "messageLabel")->text(); }

    static int CatalogueRows() { return static_cast<int>(DeviceCatalogue().size()); }

    TestFolder temp_;
    settings::SqliteStore store_;
};

TEST_F(DeviceEditorTest, ListsTheCatalogueThenTheUsersDevicesAndStartsOnTheChosenOne) {
    StoreList(L"vellumet-devices=1\x1ename=Desk Reader\twidth=900\theight=1300\tscreen=colour");
    auto editor = Open(L"desk");
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("Devices"));
    ASSERT_EQ(Rows(*editor), CatalogueRows() + 1);
    EXPECT_EQ(Cell(*editor, 0, 0), QStringLiteral("Amazon Kindle DX"));
    EXPECT_EQ(Cell(*editor, 0, 1), QStringLiteral("784 x 1150"));
    EXPECT_EQ(Cell(*editor, 0, 4), QStringLiteral("Built in"));
    EXPECT_EQ(Cell(*editor, 4, 0), QStringLiteral("Large (1200*1600)"));
    const int last = CatalogueRows();
    EXPECT_EQ(Cell(*editor, last, 0), QStringLiteral("Desk Reader"));
    EXPECT_EQ(Cell(*editor, last, 2), QStringLiteral("Colour"));
    EXPECT_EQ(Cell(*editor, last, 4), QStringLiteral("Yours"));

    // The remembered-scheme rule picks the start; the fields show it and it can be changed.
    EXPECT_EQ(Selected(*editor), last);
    EXPECT_EQ(Find<QLineEdit>(*editor, "nameEdit")->text(), QStringLiteral("Desk Reader"));
    EXPECT_EQ(Find<QSpinBox>(*editor, "widthSpin")->value(), 900);
    EXPECT_EQ(Find<QSpinBox>(*editor, "heightSpin")->value(), 1300);
    EXPECT_EQ(Find<QComboBox>(*editor, "screenCombo")->currentIndex(), 1);
    EXPECT_TRUE(Find<QPushButton>(*editor, "updateButton")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>(*editor, "removeButton")->isEnabled());
    EXPECT_FALSE(Find<QLabel>(*editor, "noticeLabel")->isVisible());
}

TEST_F(DeviceEditorTest, BuiltInDevicesCanServeAsAStartButNeverChange) {
    auto editor = Open(L"Kindle Oasis");
    const int oasis = Selected(*editor);
    ASSERT_GE(oasis, 5);
    EXPECT_EQ(Find<QSpinBox>(*editor, "widthSpin")->value(), 1264);
    for (int row : {0, 2, oasis}) {
        Find<QTreeWidget>(*editor, "deviceTree")
            ->setCurrentItem(Find<QTreeWidget>(*editor, "deviceTree")->topLevelItem(row));
        EXPECT_FALSE(Find<QPushButton>(*editor, "updateButton")->isEnabled()) << row;
        EXPECT_FALSE(Find<QPushButton>(*editor, "removeButton")->isEnabled()) << row;
        EXPECT_TRUE(Find<QPushButton>(*editor, "addButton")->isEnabled()) << row;
    }

    // Below the buttons, the working copy refuses too.
    DeviceEdits edits{UserDevices()};
    EXPECT_EQ(edits.Remove(0), L"Built-in devices cannot be changed or removed.");
    EXPECT_EQ(edits.Change(3, {L"Small", {600, 900}, Screen::Gray16, DeviceOrigin::User, {}, {}}),
              L"Built-in devices cannot be changed or removed.");
    EXPECT_EQ(edits.Devices()[3].page, (PixelSize{900, 1200}));
}

TEST_F(DeviceEditorTest, AddChangeRemoveAndOkSaveTheUsersDevices) {
    auto editor = Open(L"Kindle Oasis");
    Type(*editor, QStringLiteral("  My Oasis "), 1264, 1680);
    Click(*editor, "addButton");
    EXPECT_EQ(Message(*editor), QString());
    ASSERT_EQ(Rows(*editor), CatalogueRows() + 1);
    const int mine = CatalogueRows();
    EXPECT_EQ(Cell(*editor, mine, 0), QStringLiteral("My Oasis")) << "spaces at the ends are dropped";
    EXPECT_EQ(Selected(*editor), mine);

    Type(*editor, QStringLiteral("My Oasis (sideways bar)"), 1200, 1680, 1);
    Click(*editor, "updateButton");
    EXPECT_EQ(Message(*editor), QString());
    EXPECT_EQ(Cell(*editor, mine, 0), QStringLiteral("My Oasis (sideways bar)"));
    EXPECT_EQ(Cell(*editor, mine, 1), QStringLiteral("1200 x 1680"));
    EXPECT_EQ(Cell(*editor, mine, 2), QStringLiteral("Colour"));

    Type(*editor, QStringLiteral("Spare"), 600, 800);
    Click(*editor, "addButton");
    ASSERT_EQ(Rows(*editor), CatalogueRows() + 2);
    Click(*editor, "removeButton");
    ASSERT_EQ(Rows(*editor), CatalogueRows() + 1);
    EXPECT_EQ(Selected(*editor), mine);
    EXPECT_EQ(StoredList(), L"<absent>") << "nothing is stored before OK";

    Click(*editor, "okButton");
    EXPECT_EQ(editor->result(), QDialog::Accepted);
    EXPECT_EQ(editor->ChosenDevice(), L"My Oasis (sideways bar)");
    const UserDevices stored = ReadUserDevices(&store_);
    ASSERT_EQ(stored.devices.size(), 1u);
    EXPECT_EQ(stored.devices[0].name, L"My Oasis (sideways bar)");
    EXPECT_EQ(stored.devices[0].page, (PixelSize{1200, 1680}));
    EXPECT_EQ(stored.devices[0].screen, Screen::Colour);
}

TEST_F(DeviceEditorTest, PageColoursAreShownChosenAndSavedWithTheDevice) {
    auto editor = Open(L"Kobo Clara BW");
    auto* palette = Find<QComboBox>(*editor, "paletteCombo");
    auto* dither = Find<QComboBox>(*editor, "ditherCombo");
    EXPECT_EQ(palette->currentIndex(), 2) << "a gray reader's 16 levels";
    EXPECT_EQ(dither->currentIndex(), 0);
    EXPECT_TRUE(dither->isEnabled());
    Find<QTreeWidget>(*editor, "deviceTree")
        ->setCurrentItem(Find<QTreeWidget>(*editor, "deviceTree")->topLevelItem(0));
    EXPECT_EQ(palette->currentIndex(), 0) << "the table's devices keep rgb";
    EXPECT_FALSE(dither->isEnabled()) << "dithering only matters for 16 levels";

    // Choosing a screen brings its default colours; the user may then choose others.
    Type(*editor, QStringLiteral("Gray Desk"), 900, 1200);
    Find<QComboBox>(*editor, "screenCombo")->activated(0);
    EXPECT_EQ(palette->currentIndex(), 2);
    palette->setCurrentIndex(1);
    dither->setCurrentIndex(1);
    Click(*editor, "addButton");
    EXPECT_EQ(Cell(*editor, CatalogueRows(), 3), QStringLiteral("gray"));
    Click(*editor, "okButton");
    const UserDevices stored = ReadUserDevices(&store_);
    ASSERT_EQ(stored.devices.size(), 1u);
    EXPECT_EQ(stored.devices[0].colours, (PageColours{Palette::Gray, Dither::None}));
}

TEST_F(DeviceEditorTest, OutlineAndTextLayerAreChosenAndSavedWithTheDevice) {
    auto editor = Open(L"Kobo Clara BW");
    auto* outline = Find<QCheckBox>(*editor, "outlineCheck");
    auto* searchable = Find<QCheckBox>(*editor, "searchableCheck");
    EXPECT_TRUE(outline->isChecked()) << "today's readers get both";
    EXPECT_TRUE(searchable->isChecked());
    Find<QTreeWidget>(*editor, "deviceTree")
        ->setCurrentItem(Find<QTreeWidget>(*editor, "deviceTree")->topLevelItem(0));
    EXPECT_FALSE(outline->isChecked()) << "the table's devices keep their files as they were";
    EXPECT_FALSE(searchable->isChecked());

    Type(*editor, QStringLiteral("Plain Pages"), 900, 1200);
    outline->setChecked(true);
    searchable->setChecked(false);
    Click(*editor, "addButton");
    Click(*editor, "okButton");
    const UserDevices stored = ReadUserDevices(&store_);
    ASSERT_EQ(stored.devices.size(), 1u);
    EXPECT_TRUE(stored.devices[0].outline);
    EXPECT_FALSE(stored.devices[0].searchable);
}

TEST_F(DeviceEditorTest, NotesPagesAreOffUntilChosenAndSavedWithTheDevice) {
    auto editor = Open(L"Kobo Clara BW");
    auto* notes = Find<QCheckBox>(*editor, "notesCheck");
    auto* tree = Find<QTreeWidget>(*editor, "deviceTree");
    EXPECT_FALSE(notes->isChecked()) << "no device starts with notes pages";
    Type(*editor, QStringLiteral("Notes Reader"), 900, 1200);
    notes->setChecked(true);
    Click(*editor, "addButton");
    Type(*editor, QStringLiteral("Slides Reader"), 900, 1200);
    notes->setChecked(false);
    Click(*editor, "addButton");

    tree->setCurrentItem(tree->topLevelItem(CatalogueRows()));
    EXPECT_TRUE(notes->isChecked()) << "a device shows its own choice";
    tree->setCurrentItem(tree->topLevelItem(CatalogueRows() + 1));
    EXPECT_FALSE(notes->isChecked());
    notes->setChecked(true);
    Click(*editor, "updateButton");
    Click(*editor, "okButton");
    const UserDevices stored = ReadUserDevices(&store_);
    ASSERT_EQ(stored.devices.size(), 2u);
    EXPECT_TRUE(stored.devices[0].notes) << "kept when added";
    EXPECT_TRUE(stored.devices[1].notes) << "kept when changed";
}

TEST_F(DeviceEditorTest, CancelStoresNothing) {
    auto editor = Open();
    Type(*editor, QStringLiteral("Never kept"), 600, 800);
    Click(*editor, "addButton");
    Click(*editor, "cancelButton");
    EXPECT_EQ(editor->result(), QDialog::Rejected);
    EXPECT_EQ(StoredList(), L"<absent>");
}

TEST_F(DeviceEditorTest, BadNamesAndPagesAreRefusedWithTheReason) {
    StoreList(L"vellumet-devices=1\x1ename=Desk Reader\twidth=900\theight=1300\tscreen=gray16");
    struct Row {
        QString name;
        int width;
        int height;
        const char* message;
    };
    const Row rows[] = {
        {QString(), 600, 800, "Please enter a name for the device."},
        {QStringLiteral("   "), 600, 800, "Please enter a name for the device."},
        {QStringLiteral("Kobo Sage"), 600, 800, "There is already a device named \"Kobo Sage\"."},
        {QStringLiteral("DESK READER"), 600, 800, "There is already a device named \"Desk Reader\"."},
        {QStringLiteral("Kindle"), 600, 800,
         "The name \"Kindle\" would select \"Kindle Basic (2022, 2024)\", which begins with it and comes "
         "first in the "
         "list."},
        {QString(61, QLatin1Char('n')), 600, 800, "The name is too long: at most 60 characters."},
        {QStringLiteral("Two  spaces"), 600, 800, "The name contains two spaces in a row."},
        {QStringLiteral("Bell\aname"), 600, 800,
         "The name contains a control character (a tab, a line break or the like)."},
        {QStringLiteral("Landscape"), 1448, 1072,
         "Enter the page upright: the width may not exceed the height."},
        {QStringLiteral("Ribbon"), 100, 2000,
         "The page is too narrow: it may be at most 4 times as high as it is wide."},
    };
    auto editor = Open(L"Desk Reader");
    const int desk = CatalogueRows();
    for (const Row& row : rows) {
        // As a new device, and as the new face of the user's own.
        for (const char* button : {"addButton", "updateButton"}) {
            if (row.name == QStringLiteral("DESK READER") && std::string(button) == "updateButton") {
                continue;  // a device may change the letter case of its own name
            }
            Find<QTreeWidget>(*editor, "deviceTree")
                ->setCurrentItem(Find<QTreeWidget>(*editor, "deviceTree")->topLevelItem(desk));
            Find<QLineEdit>(*editor, "nameEdit")->setText(row.name);
            Find<QSpinBox>(*editor, "widthSpin")->setValue(row.width);
            Find<QSpinBox>(*editor, "heightSpin")->setValue(row.height);
            Click(*editor, button);
            EXPECT_EQ(Message(*editor), QString::fromUtf8(row.message))
                << button << " " << row.name.toStdString();
            EXPECT_EQ(Rows(*editor), CatalogueRows() + 1);
            EXPECT_EQ(Cell(*editor, desk, 0), QStringLiteral("Desk Reader"));
        }
    }
    // A refused edit leaves nothing behind: OK stores the list as it was.
    Click(*editor, "okButton");
    const UserDevices stored = ReadUserDevices(&store_);
    ASSERT_EQ(stored.devices.size(), 1u);
    EXPECT_EQ(stored.devices[0].name, L"Desk Reader");
}

TEST_F(DeviceEditorTest, ADamagedEntryIsNoticedAndKeptAsideWhenTheListIsSaved) {
    const std::wstring damaged =
        L"vellumet-devices=1\x1ename=Kept\twidth=900\theight=1300\tscreen=gray16"
        L"\x1ename=Broken\twidth=0\theight=800\tscreen=gray16";
    StoreList(damaged);
    auto editor = Open();
    auto* notice = Find<QLabel>(*editor, "noticeLabel");
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->text(),
              QStringLiteral("The stored device \"Broken\" was skipped: its size is missing or not a "
                             "number of pixels."));
    ASSERT_EQ(Rows(*editor), CatalogueRows() + 1);

    Type(*editor, QStringLiteral("Added"), 600, 800);
    Click(*editor, "addButton");
    Click(*editor, "okButton");
    EXPECT_EQ(StoredList(kSetAsideDevicesPath), damaged);
    const UserDevices stored = ReadUserDevices(&store_);
    EXPECT_TRUE(stored.notices.empty());
    ASSERT_EQ(stored.devices.size(), 2u);
    EXPECT_EQ(stored.devices[0].name, L"Kept");
}

TEST_F(DeviceEditorTest, AListOfANewerVersionIsShownButNotChanged) {
    const std::wstring newer =
        L"vellumet-devices=7\x1ename=Future\twidth=900\theight=1300\tscreen=gray16\tdither=x";
    StoreList(newer);
    auto editor = Open(L"Future");
    EXPECT_TRUE(Find<QLabel>(*editor, "noticeLabel")->text().contains(QStringLiteral("newer version")));
    EXPECT_EQ(Cell(*editor, CatalogueRows(), 0), QStringLiteral("Future"));
    EXPECT_FALSE(Find<QPushButton>(*editor, "addButton")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(*editor, "updateButton")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(*editor, "removeButton")->isEnabled());
    Click(*editor, "okButton");
    EXPECT_EQ(editor->result(), QDialog::Accepted);
    EXPECT_EQ(editor->ChosenDevice(), L"Future");
    EXPECT_EQ(StoredList(), newer);
}

TEST_F(DeviceEditorTest, TheDialogsPromptRunsTheEditorModallyAndReportsTheChoice) {
    QtDialogPrompts prompts;
    // Plays the user once the editor is up: picks a device and presses OK, or presses Cancel.
    auto answer = [](const char* button, const wchar_t* pick) {
        QTimer::singleShot(0, [button, pick] {
            auto* editor = qobject_cast<DeviceEditorDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(editor, nullptr);
            if (pick != nullptr) {
                auto* tree = Find<QTreeWidget>(*editor, "deviceTree");
                tree->setCurrentItem(tree->findItems(Q(pick), Qt::MatchExactly).value(0));
            }
            Click(*editor, button);
        });
    };
    std::wstring device = L"Amazon Kindle 2";
    answer("okButton", L"Kobo Nia");
    EXPECT_TRUE(prompts.EditDevices(nullptr, &store_, &device));
    EXPECT_EQ(device, L"Kobo Nia");
    answer("cancelButton", nullptr);
    EXPECT_FALSE(prompts.EditDevices(nullptr, &store_, &device));
    EXPECT_EQ(device, L"Kobo Nia");
}

}  // namespace
}  // namespace vellumet
