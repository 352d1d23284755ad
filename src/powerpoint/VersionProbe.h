#pragma once
// Which office release is installed for the slide export, as a version code.
//
// Version codes name releases of the office automation server: 0 not installed or not known,
// 1 PowerPoint 95, 2 PowerPoint 97, 3 PowerPoint 2000, 4 PowerPoint XP, 5 PowerPoint 2003,
// 6 PowerPoint 2007, 7 PowerPoint 2010. A code below 3 is unusable; 3 opens presentations with
// dispid::Presentations::Open2000, 4 and above with dispid::Presentations::Open.
//
// On Linux the server is LibreOffice. Every LibreOffice that the server supports answers the
// conversation of a later release, so it is reported as kLibreOfficeVersionCode.

#include <filesystem>
#include <string_view>

namespace powerpoint {

inline constexpr int kVersionUnknown = 0;
inline constexpr int kVersionPowerPoint2000 = 3;
inline constexpr int kLibreOfficeVersionCode = 4;

// The oldest LibreOffice release the automation server is built and tested against.
inline constexpr wchar_t kOldestLibreOffice[] = L"7.4";

// What the job shows when the office is missing or too old.
inline constexpr wchar_t kOfficeVersionRefusal[] =
    L"LibreOffice current version is lower, please install LibreOffice 7.4 or later";

// Environment variable naming the office's program folder (the one holding soffice.bin) instead
// of the usual install locations.
inline constexpr char kOfficeProgramVariable[] = "VELLUMET_OFFICE_PROGRAM";

// The code of a registered current-version text such as "PowerPoint.Application.12": the text
// after the last "." (the whole text if it has none) compared exactly with "7", "8", "9", "10",
// "11", "12", "14", giving 1 to 7; any other text gives 0.
int VersionCodeFromText(std::wstring_view currentVersion);

// The release in a product text such as "LibreOffice 7.4" or "LibreOffice 7.4.7.2": the last word,
// read as major "." minor. False when it is not of that form.
bool ParseOfficeRelease(std::string_view productText, int& major, int& minor);

// The office's program folder: the environment variable when it is set and not empty, otherwise
// the first usual install location that holds soffice.bin (empty when none does).
std::filesystem::path OfficeProgramFolder();

// The version code of the LibreOffice in `programFolder`: kLibreOfficeVersionCode when soffice.bin
// is there, executable, and its bootstraprc names a release not older than kOldestLibreOffice;
// otherwise 0.
int OfficeVersionCode(const std::filesystem::path& programFolder);

// The version code of the installed office: OfficeVersionCode(OfficeProgramFolder()).
int GetPowerPointVersion();

// The identifier that opens a presentation for a version code: dispid::Presentations::Open2000
// for 3, dispid::Presentations::Open for 4 and above, 0 for unusable codes.
int OpenDispIdForVersion(int versionCode);

}  // namespace powerpoint
