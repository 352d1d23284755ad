#include "support/TempFolder.h"

#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <system_error>

#include "common/WideText.h"

namespace vellumet_test {

namespace fs = std::filesystem;

namespace {

// Gives the owner every right on `folder` and the folders below it, so that they can be emptied.
void MakeRemovable(const fs::path& folder) {
    std::error_code ignored;
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ignored)) {
        if (entry.is_directory(ignored) && !entry.is_symlink(ignored)) {
            MakeRemovable(entry.path());
        }
    }
}

}  // namespace

TempFolder::TempFolder(const std::string& prefix) {
    std::string pattern = (fs::temp_directory_path() / (prefix + "XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "cannot create a folder " + pattern);
    }
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code error;
    fs::remove_all(path_, error);
    if (error) {
        MakeRemovable(path_);
        fs::remove_all(path_, error);
    }
}

std::wstring TempFolder::WidePath() const {
    return vellumet::FromPath(path_);
}

std::wstring TempFolder::File(const std::string& name) const {
    return vellumet::FromPath(path_ / name);
}

void TempFolder::WriteFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
}

std::vector<std::string> TempFolder::Entries() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(path_, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace vellumet_test
