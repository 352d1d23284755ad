#include "app/QuillmereApp.h"

#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "app/AppIcon.h"
#include "app/QuitSignals.h"
#include "app/StartArguments.h"
#include "app/VellumetDlg.h"
#include "common/Version.h"
#include "frontend/OfficeLoader.h"
#include "imaging/ComposeAhead.h"
#include "imaging/ComposeDocument.h"

namespace vellumet {

int CQuillmereApp::Run(int argc, char** argv) {
    // --help and --version need no display: they are answered before Qt looks for one.
    const StartArguments early = ParseStartArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (early.action == StartAction::Help || early.action == StartAction::Version) {
        const std::string text = early.action == StartAction::Help ? StartUsageText() : StartVersionText();
        std::fputs(text.c_str(), stdout);
        return 0;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellumet"));
    QApplication::setApplicationVersion(QString::fromLatin1(kVersion));
    QApplication::setOrganizationName(QStringLiteral("Mavrel"));
    QGuiApplication::setDesktopFileName(QStringLiteral("vellumet"));
    QApplication::setWindowIcon(AppIcon());

    // Judged again once QApplication has taken its own options out of argv (the bytes stay as given:
    // file names need not be valid text).
    const StartArguments start = ParseStartArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (start.action == StartAction::UsageError) {
        std::fprintf(stderr, "vellumet: %s\nTry 'vellumet --help'.\n", start.error.c_str());
        return kStartExitUsage;
    }
    sourceFile_ = start.sourceFile;
    InitInstance();
    return 0;
}

bool CQuillmereApp::InitInstance() {
    OfficeLoader exporter;
    DialogServices services;
    services.exporter = &exporter;
    services.compose = &ComposeDocument;
    services.composer = &MakeComposeAhead;
    {
        CVellumetDlg dialog(services);
        QuitSignals quitSignals;
        QObject::connect(&quitSignals, &QuitSignals::Received, &dialog, &CVellumetDlg::OnQuitRequest);
        if (!sourceFile_.empty()) {
            dialog.ShowSourceFile(sourceFile_);
        }
        dialog.exec();
    }
    return false;
}

}  // namespace vellumet
