#include "shell/BrowseForFolder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>

#include "common/WideText.h"
#include "support/TempFolder.h"

namespace vellumet {
namespace {

namespace fs = std::filesystem;

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// Runs BrowseForFolder while `act` works on the open browser once its loop is running.
int Browse(const std::wstring& initial, std::wstring* result, const std::function<void(FolderDialog&)>& act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<FolderDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
        if (dialog->isVisible()) {
            dialog->reject();
        }
    });
    return BrowseForFolder(nullptr, initial, result);
}

TEST(BrowseForFolderTest, OnlyRealFoldersAreSelectable) {
    const vellumet_test::TempFolder temp("vellumet-shell-");
    fs::create_directory(temp.Path() / "books");
    fs::create_directory_symlink(temp.Path() / "books", temp.Path() / "shortcut");
    std::ofstream(temp.Path() / "file.txt") << "x";

    EXPECT_TRUE(IsSelectableFolder(Q(temp.Path() / "books")));
    EXPECT_FALSE(IsSelectableFolder(Q(temp.Path() / "shortcut")));
    EXPECT_FALSE(IsSelectableFolder(Q(temp.Path() / "file.txt")));
    EXPECT_FALSE(IsSelectableFolder(Q(temp.Path() / "gone")));
    EXPECT_FALSE(IsSelectableFolder(QString()));
}

TEST(BrowseForFolderTest, StartsOnTheTypedFolderWithItsCaption) {
    const vellumet_test::TempFolder temp("vellumet-shell-");
    std::wstring result = L"stale";
    QString caption;
    QString start;
    EXPECT_EQ(Browse(FromPath(temp.Path()), &result,
                     [&](FolderDialog& dialog) {
                         caption = dialog.windowTitle();
                         start = dialog.directory().absolutePath();
                     }),
              0);
    EXPECT_EQ(caption, QStringLiteral("Please select a output folder"));
    EXPECT_EQ(start, Q(temp.Path()));
    EXPECT_TRUE(result.empty()) << "cancel leaves the result empty";
}

TEST(BrowseForFolderTest, EmptyTextStartsOnTheCurrentDirectory) {
    const vellumet_test::TempFolder temp("vellumet-shell-");
    const QString previous = QDir::currentPath();
    QDir::setCurrent(Q(temp.Path()));
    std::wstring result;
    QString start;
    Browse(L"", &result, [&](FolderDialog& dialog) { start = dialog.directory().absolutePath(); });
    QDir::setCurrent(previous);
    EXPECT_EQ(start, Q(temp.Path()));
}

TEST(BrowseForFolderTest, ReturnsTheChosenFolder) {
    const vellumet_test::TempFolder temp("vellumet-shell-");
    fs::create_directory(temp.Path() / "books");
    std::wstring result;
    EXPECT_EQ(Browse(FromPath(temp.Path()), &result,
                     [&](FolderDialog& dialog) {
                         dialog.selectFile(Q(temp.Path() / "books"));
                         dialog.accept();
                     }),
              1);
    EXPECT_EQ(result, FromPath(temp.Path() / "books"));
    EXPECT_EQ(BrowseForFolder(nullptr, L"/", nullptr), 0);
}

TEST(BrowseForFolderTest, RefusesLinksAndMissingFolders) {
    const vellumet_test::TempFolder temp("vellumet-shell-");
    fs::create_directory(temp.Path() / "books");
    fs::create_directory_symlink(temp.Path() / "books", temp.Path() / "shortcut");
    fs::create_directory(temp.Path() / "removed");

    for (const char* name : {"shortcut", "removed"}) {
        std::wstring result;
        bool stillOpen = false;
        bool okEnabled = true;
        EXPECT_EQ(Browse(FromPath(temp.Path()), &result,
                         [&](FolderDialog& dialog) {
                             dialog.selectFile(Q(temp.Path() / name));
                             fs::remove(temp.Path() / "removed");
                             dialog.accept();
                             stillOpen = dialog.isVisible();
                             auto* buttons = dialog.findChild<QDialogButtonBox*>();
                             okEnabled = buttons == nullptr ||
                                         buttons->button(QDialogButtonBox::Open) == nullptr ||
                                         buttons->button(QDialogButtonBox::Open)->isEnabled();
                         }),
                  0)
            << name;
        EXPECT_TRUE(stillOpen) << name;
        EXPECT_FALSE(okEnabled) << name;
        EXPECT_TRUE(result.empty());
    }
}

TEST(BrowseForFolderTest, LongPathsAreCut) {
    const vellumet_test::TempFolder temp("vellumet-shell-");
    fs::path deep = temp.Path();
    while (deep.string().size() <= 300) {
        deep /= std::string(40, 'd');
    }
    fs::create_directories(deep);
    std::wstring result;
    EXPECT_EQ(Browse(FromPath(deep), &result,
                     [&](FolderDialog& dialog) {
                         dialog.selectFile(Q(deep));
                         dialog.accept();
                     }),
              1);
    EXPECT_EQ(result, FromPath(deep).substr(0, kBrowseResultMaxChars));

    // An initial text longer than 518 characters is cut before the browser sees it.
    std::wstring longText = FromPath(temp.Path()) + L"/" + std::wstring(600, L'x');
    QString start;
    Browse(longText, &result, [&](FolderDialog& dialog) { start = dialog.directory().absolutePath(); });
    EXPECT_LE(static_cast<size_t>(start.size()), kBrowseInitialMaxChars);
}

}  // namespace
}  // namespace vellumet
