#include "powerpoint/libreoffice/PresentationFile.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "common/WideText.h"

namespace powerpoint {

std::wstring PresentationFileRefusal(const std::wstring& path) {
    std::error_code ec;
    const std::filesystem::path file = std::filesystem::absolute(vellumet::ToPath(path), ec);
    const auto status = std::filesystem::status(file, ec);
    if (ec || !std::filesystem::exists(status)) {
        return L"The presentation cannot be found: " + path;
    }
    if (!std::filesystem::is_regular_file(status)) {
        return L"The presentation is not a file: " + path;
    }
    const auto size = std::filesystem::file_size(file, ec);
    if (ec || ::access(file.c_str(), R_OK) != 0) {
        return L"The presentation cannot be read: " + path;
    }
    if (size == 0) {
        return L"The presentation is empty: " + path;
    }
    return {};
}

}  // namespace powerpoint
