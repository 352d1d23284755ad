#include "app/QuillmereApp.h"

#include <QApplication>
#include <memory>

#include "app/AppIcon.h"
#include "app/OfficeExporter.h"
#include "app/VellumetDlg.h"
#include "imaging/ComposeDocument.h"

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
    std::unique_ptr<SlideExporter> exporter = MakeOfficeExporter();
    DialogServices services;
    services.exporter = exporter.get();
    services.compose = &ComposeDocument;
    {
        CVellumetDlg dialog(services);
        dialog.exec();
    }
    return false;
}

}  // namespace vellumet
