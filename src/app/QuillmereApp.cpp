#include "app/QuillmereApp.h"

#include <QApplication>

#include "app/AppIcon.h"
#include "app/VellumetDlg.h"
#include "imaging/ComposeDocument.h"
#include "powerpoint/libreoffice/LibreOfficeExporter.h"

namespace vellumet {

int CQuillmereApp::Run(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellumet"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QApplication::setOrganizationName(QStringLiteral("Mavrel"));
    QGuiApplication::setDesktopFileName(QStringLiteral("vellumet"));
    QApplication::setWindowIcon(AppIcon());
    InitInstance();
    return 0;
}

bool CQuillmereApp::InitInstance() {
    powerpoint::LibreOfficeExporter exporter;
    DialogServices services;
    services.exporter = &exporter;
    services.compose = &ComposeDocument;
    {
        CVellumetDlg dialog(services);
        dialog.exec();
    }
    return false;
}

}  // namespace vellumet
