#include "app/AboutDlg.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/DialogUnits.h"

namespace vellumet {
namespace {

TEST(AboutDlgTest, ShowsTheTemplateTextsAndEndsWithOkOrEscape) {
    CAboutDlg about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Vellumet"));
    auto* version = about.findChild<QLabel*>(QStringLiteral("aboutVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), QStringLiteral("Vellumet, Version 1.0"));
    auto* second = about.findChild<QLabel*>(QStringLiteral("aboutSecondLine"));
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(second->text().isEmpty());
    auto* icon = about.findChild<QLabel*>(QStringLiteral("aboutIcon"));
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->pixmap().isNull());
    const DialogUnits du(about.font());
    EXPECT_EQ(about.size(), QSize(du.X(170), du.Y(62)));

    auto* ok = about.findChild<QPushButton*>(QStringLiteral("aboutOk"));
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->isDefault());
    QTimer::singleShot(0, ok, [ok] { QTest::mouseClick(ok, Qt::LeftButton); });
    EXPECT_EQ(about.exec(), QDialog::Accepted);

    QTimer::singleShot(0, &about, [&about] { QTest::keyClick(&about, Qt::Key_Escape); });
    EXPECT_EQ(about.exec(), QDialog::Rejected);
}

}  // namespace
}  // namespace vellumet
