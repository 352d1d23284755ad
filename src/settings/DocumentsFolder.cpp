#include "settings/DocumentsFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>

#include "common/QStringText.h"

namespace settings {

std::wstring DocumentsFolder() {
    try {
        QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (documents.isEmpty() || !QFileInfo(documents).isDir()) {
            documents = QDir::homePath();
        }
        return vellumet::FromQString(QDir::cleanPath(documents));
    } catch (...) {
        return std::wstring();
    }
}

std::wstring DefaultOutputFolder(const std::wstring& documents) {
    std::wstring folder = documents;
    while (!folder.empty() && folder.back() == L'/') {
        folder.pop_back();
    }
    return folder + L"/eBooks";
}

}  // namespace settings
