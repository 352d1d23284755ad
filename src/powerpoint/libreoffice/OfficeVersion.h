#pragma once
// Which LibreOffice the automation server would drive, as a version code (powerpoint/VersionProbe.h).
// Every LibreOffice that the server supports answers the conversation of a later release, so it is
// reported as kLibreOfficeVersionCode.

#include <filesystem>
#include <string>
#include <string_view>

#include "powerpoint/VersionProbe.h"

namespace powerpoint {

inline constexpr int kLibreOfficeVersionCode = 4;

// The oldest LibreOffice release the automation server is built and tested against.
inline constexpr wchar_t kOldestLibreOffice[] = L"7.4";

// What the job shows when the office is missing or too old.
inline constexpr wchar_t kOfficeVersionRefusal[] =
    L"LibreOffice current version is lower, please install LibreOffice 7.4 or later";

// Environment variable naming the office's program folder (the one holding soffice.bin) instead
// of the usual install locations.
inline constexpr char kOfficeProgramVariable[] = "VELLUMET_OFFICE_PROGRAM";

// The release in a product text such as "LibreOffice 7.4" or "LibreOffice 7.4.7.2": the last word,
// read as major "." minor. False when it is not of that form.
bool ParseOfficeRelease(std::string_view productText, int& major, int& minor);

// The office's program folder: the environment variable when it is set and not empty, otherwise
// the first usual install location that holds soffice.bin (empty when none does).
std::filesystem::path OfficeProgramFolder();

// The version code of the LibreOffice in `programFolder`: kLibreOfficeVersionCode when soffice.bin
// is there, executable, and its bootstraprc names a release not older than kOldestLibreOffice;
// otherwise 0, with what is wrong in `why` (may be null) as one line for the user.
int OfficeVersionCode(const std::filesystem::path& programFolder, std::wstring* why = nullptr);

// The version code of the installed office: OfficeVersionCode(OfficeProgramFolder(), why).
int GetPowerPointVersion(std::wstring* why = nullptr);

}  // namespace powerpoint
