#include "settings/DocumentsFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "common/QStringText.h"
#include "common/WideText.h"

namespace settings {

std::string HomeFolder(const char* homeVariable, uid_t uid) {
    if (homeVariable != nullptr && homeVariable[0] != '\0') {
        return homeVariable;
    }
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        const int error = getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        return error == 0 && found != nullptr && found->pw_dir != nullptr ? found->pw_dir : std::string();
    }
}

std::wstring DocumentsFolder() {
    try {
        const char* homeVariable = std::getenv("HOME");
        if (homeVariable == nullptr || homeVariable[0] == '\0') {
            // Qt would take "/" for the home folder and build the documents folder on it.
            const std::string home = HomeFolder(homeVariable, getuid());
            return home.empty() ? std::wstring()
                                : vellumet::FromQString(
                                      QDir::cleanPath(vellumet::ToQString(vellumet::FromNative(home))));
        }
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
    if (documents.empty()) {
        return std::wstring();
    }
    std::wstring folder = documents;
    while (!folder.empty() && folder.back() == L'/') {
        folder.pop_back();
    }
    return folder + L"/eBooks";
}

}  // namespace settings
