#pragma once
// Which office release is installed for the slide export, as a version code.
//
// Version codes name releases of the office automation server: 0 not installed or not known,
// 1 PowerPoint 95, 2 PowerPoint 97, 3 PowerPoint 2000, 4 PowerPoint XP, 5 PowerPoint 2003,
// 6 PowerPoint 2007, 7 PowerPoint 2010. A code below 3 is unusable; 3 opens presentations with
// dispid::Presentations::Open2000, 4 and above with dispid::Presentations::Open. The probe of a
// real office lives with that office's server (libreoffice/OfficeVersion.h).

#include <string_view>

namespace powerpoint {

inline constexpr int kVersionUnknown = 0;
inline constexpr int kVersionPowerPoint2000 = 3;

// The code of a registered current-version text such as "PowerPoint.Application.12": the text
// after the last "." (the whole text if it has none) compared exactly with "7", "8", "9", "10",
// "11", "12", "14", giving 1 to 7; any other text gives 0.
int VersionCodeFromText(std::wstring_view currentVersion);

// The identifier that opens a presentation for a version code: dispid::Presentations::Open2000
// for 3, dispid::Presentations::Open for 4 and above, 0 for unusable codes.
int OpenDispIdForVersion(int versionCode);

}  // namespace powerpoint
