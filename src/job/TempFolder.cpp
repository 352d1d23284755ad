#include "job/TempFolder.h"

#include <stdlib.h>
#include <cstdio>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>

#include "common/StaleFolders.h"
#include "common/WideText.h"

namespace vellumet {

std::wstring UserTempPath() {
    std::wstring path = L"/tmp/";
    try {
        const char* variable = std::getenv("TMPDIR");
        if (variable != nullptr && variable[0] != '\0') {
            path = FromNative(variable);
            if (path.back() != L'/') {
                path.push_back(L'/');
            }
        }
    } catch (const std::bad_alloc&) {
        return L"/tmp/";
    }
    return path;
}

std::wstring FormatTempFolderName(std::wstring_view tempPath, const std::tm& time) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%s%04d%02d%02d%02d%02d%02d", kTempFolderStem, time.tm_year + 1900,
                  time.tm_mon + 1, time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec);
    std::wstring name(tempPath);
    name += FromNative(stamp);
    return name;
}

std::wstring MakeTempFolderName() {
    const std::time_t now = std::time(nullptr);
    std::tm local = {};
    localtime_r(&now, &local);
    return FormatTempFolderName(UserTempPath(), local);
}

std::wstring CreatePrivateFolder(std::wstring_view prefix) {
    try {
        if (prefix.empty()) {
            return {};
        }
        // Folders of earlier runs that were killed before they could clean up go first.
        const std::filesystem::path path = ToPath(prefix);
        ReclaimStaleFolders(path.parent_path(), kTempFolderStem);
        std::string templ = ToNative(prefix) + "XXXXXX";
        if (mkdtemp(templ.data()) == nullptr) {
            return {};
        }
        MarkFolderOwner(templ);
        return FromNative(templ);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

void RemoveFolderTree(std::wstring_view folder) {
    if (folder.empty()) {
        return;
    }
    try {
        std::error_code ignored;
        std::filesystem::remove_all(ToPath(folder), ignored);
    } catch (const std::exception&) {
        // Clean-up never fails the job.
    }
}

}  // namespace vellumet
