#include "app/AboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "app/AppIcon.h"
#include "app/DialogLogic.h"
#include "app/DialogUnits.h"

namespace vellumet {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QString::fromWCharArray(kAboutCaption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(DialogFont());
    const DialogUnits du(font());

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    const QRect iconRect = du.ToPixels(14, 14, 21, 20);
    const int side = qMin(iconRect.width(), iconRect.height());
    icon->setPixmap(AppIcon().pixmap(side, side));
    icon->setGeometry(iconRect);
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* version = new QLabel(QString::fromWCharArray(kAboutVersionText), this);
    version->setObjectName(QStringLiteral("aboutVersion"));
    version->setGeometry(du.ToPixels(42, 14, 114, 8).adjusted(0, 0, 0, du.Y(2)));

    auto* second = new QLabel(QString::fromWCharArray(kAboutSecondLine), this);
    second->setObjectName(QStringLiteral("aboutSecondLine"));
    second->setGeometry(du.ToPixels(42, 26, 114, 8).adjusted(0, 0, 0, du.Y(2)));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("aboutOk"));
    ok->setDefault(true);
    ok->setGeometry(du.ToPixels(113, 41, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(du.X(170), du.Y(62));
}

}  // namespace vellumet
