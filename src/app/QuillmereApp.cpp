#include "app/QuillmereApp.h"

#include <QApplication>

#include "app/AppIcon.h"
#include "app/QuitSignals.h"
#include "app/VellumetDlg.h"
#include "common/Version.h"
#include "frontend/OfficeLoader.h"
#include "imaging/ComposeDocument.h"

namespace vellumet {

int CQuillmereApp::Run(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellumet"));
    QApplication::setApplicationVersion(QString::fromLatin1(kVersion));
    QApplication::setOrganizationName(QStringLiteral("Mavrel"));
    QGuiApplication::setDesktopFileName(QStringLiteral("vellumet"));
    QApplication::setWindowIcon(AppIcon());
    InitInstance();
    return 0;
}

bool CQuillmereApp::InitInstance() {
    OfficeLoader exporter;
    DialogServices services;
    services.exporter = &exporter;
    services.compose = &ComposeDocument;
    {
        CVellumetDlg dialog(services);
        QuitSignals quitSignals;
        QObject::connect(&quitSignals, &QuitSignals::Received, &dialog, &CVellumetDlg::OnQuitRequest);
        dialog.exec();
    }
    return false;
}

}  // namespace vellumet
