#include "powerpoint/libreoffice/OfficeVersion.h"

#include <unistd.h>

#include <array>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>
#include <utility>

#include "common/WideText.h"

namespace powerpoint {
namespace {

constexpr char kOfficeBinary[] = "soffice.bin";
constexpr char kBootstrapFile[] = "bootstraprc";
constexpr char kProductKey[] = "ProductKey=";
constexpr std::uintmax_t kLargestBootstrapFile = 64 * 1024;

constexpr std::array<const char*, 2> kUsualProgramFolders = {
    "/usr/lib/libreoffice/program",
    "/usr/lib64/libreoffice/program",
};

bool HoldsOfficeBinary(const std::filesystem::path& folder) {
    std::error_code error;
    const auto binary = folder / kOfficeBinary;
    return std::filesystem::is_regular_file(binary, error) && ::access(binary.c_str(), X_OK) == 0;
}

// The value of the ProductKey line of the folder's bootstraprc, or empty. The file is a few hundred
// bytes; anything larger than kLargestBootstrapFile is not read.
std::string ReadProductKey(const std::filesystem::path& folder) {
    const auto file = folder / kBootstrapFile;
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (error || size > kLargestBootstrapFile) {
        return {};
    }
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.starts_with(kProductKey)) {
            return line.substr(sizeof(kProductKey) - 1);
        }
    }
    return {};
}

bool ParseNumber(std::string_view text, int& value) {
    if (text.empty() || text.front() < '0' || text.front() > '9') {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool ParseOfficeRelease(std::string_view productText, int& major, int& minor) {
    while (!productText.empty() && (productText.back() == ' ' || productText.back() == '\t')) {
        productText.remove_suffix(1);
    }
    const size_t space = productText.find_last_of(" \t");
    const std::string_view release =
        space == std::string_view::npos ? productText : productText.substr(space + 1);
    const size_t firstDot = release.find('.');
    if (firstDot == std::string_view::npos) {
        return false;
    }
    const std::string_view rest = release.substr(firstDot + 1);
    const std::string_view minorText = rest.substr(0, rest.find('.'));
    int parsedMajor = 0;
    int parsedMinor = 0;
    if (!ParseNumber(release.substr(0, firstDot), parsedMajor) || !ParseNumber(minorText, parsedMinor)) {
        return false;
    }
    major = parsedMajor;
    minor = parsedMinor;
    return true;
}

std::filesystem::path OfficeProgramFolder() {
    const char* chosen = std::getenv(kOfficeProgramVariable);
    if (chosen != nullptr && chosen[0] != '\0') {
        return std::filesystem::path(chosen);
    }
    for (const char* folder : kUsualProgramFolders) {
        if (HoldsOfficeBinary(folder)) {
            return std::filesystem::path(folder);
        }
    }
    return {};
}

int OfficeVersionCode(const std::filesystem::path& programFolder, std::wstring* why) {
    auto refuse = [why](std::wstring reason) {
        if (why != nullptr) {
            *why = std::move(reason);
        }
        return kVersionUnknown;
    };
    if (programFolder.empty()) {
        return refuse(L"LibreOffice is not installed: no soffice.bin in the usual places.");
    }
    const std::wstring folder = vellumet::FromPath(programFolder);
    if (!HoldsOfficeBinary(programFolder)) {
        return refuse(L"There is no runnable soffice.bin in " + folder + L".");
    }
    int major = 0;
    int minor = 0;
    if (!ParseOfficeRelease(ReadProductKey(programFolder), major, minor)) {
        return refuse(L"The release of the LibreOffice in " + folder +
                      L" cannot be read from its bootstraprc.");
    }
    int oldestMajor = 0;
    int oldestMinor = 0;
    ParseOfficeRelease(vellumet::ToNative(kOldestLibreOffice), oldestMajor, oldestMinor);
    if (major < oldestMajor || (major == oldestMajor && minor < oldestMinor)) {
        return refuse(L"The LibreOffice in " + folder + L" is release " + std::to_wstring(major) + L"." +
                      std::to_wstring(minor) + L", older than " + kOldestLibreOffice + L".");
    }
    if (why != nullptr) {
        why->clear();
    }
    return kLibreOfficeVersionCode;
}

int GetPowerPointVersion(std::wstring* why) {
    return OfficeVersionCode(OfficeProgramFolder(), why);
}

}  // namespace powerpoint
