#include "frontend/ConvertChecks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/WideText.h"

namespace vellumet {

std::wstring WithTrailingSeparator(std::wstring folder) {
    // "/" is the only separator on this platform; a backslash is an ordinary character of a name.
    if (folder.empty() || folder.back() != L'/') {
        folder += L'/';
    }
    return folder;
}

bool CreateOutputFolder(const std::wstring& folder) {
    const std::string native = ToNative(folder);
    if (::mkdir(native.c_str(), 0777) == 0) {
        return true;
    }
    // ENOENT: a folder on the way is missing; ENOTDIR: something on the way is not a folder.
    // Either way the parent the new folder needs does not exist.
    return errno != ENOENT && errno != ENOTDIR;
}

std::wstring OutputFolderProblem(const std::wstring& folder) {
    // Without its trailing "/": a file of that name is then a file, not a missing folder.
    std::string native = ToNative(folder);
    while (native.size() > 1 && native.back() == '/') {
        native.pop_back();
    }
    struct stat info {};
    if (::stat(native.c_str(), &info) != 0) {
        return L"The output folder cannot be found: " + folder;
    }
    if (!S_ISDIR(info.st_mode)) {
        return L"The output folder is not a folder: " + folder;
    }
    if (::access(native.c_str(), W_OK | X_OK) != 0) {
        return L"The output folder cannot be written: " + folder;
    }
    return {};
}

std::wstring CheckConvertInputs(const std::wstring& sourceFile, std::wstring& outputFolder) {
    if (sourceFile.empty()) {
        return kNoSourceMessage;
    }
    if (outputFolder.empty()) {
        return kNoOutputMessage;
    }
    outputFolder = WithTrailingSeparator(std::move(outputFolder));
    if (!CreateOutputFolder(outputFolder)) {
        return kCannotCreateOutputMessage;
    }
    return {};
}

}  // namespace vellumet
