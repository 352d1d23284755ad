#include "powerpoint/VersionProbe.h"

#include <array>

#include "powerpoint/DispatchIds.h"

namespace powerpoint {

int VersionCodeFromText(std::wstring_view currentVersion) {
    struct Row {
        std::wstring_view text;
        int code;
    };
    static constexpr std::array<Row, 7> kVersions = {{
        {L"7", 1},
        {L"8", 2},
        {L"9", 3},
        {L"10", 4},
        {L"11", 5},
        {L"12", 6},
        {L"14", 7},
    }};
    const size_t dot = currentVersion.rfind(L'.');
    const std::wstring_view tail =
        dot == std::wstring_view::npos ? currentVersion : currentVersion.substr(dot + 1);
    for (const Row& row : kVersions) {
        if (tail == row.text) {
            return row.code;
        }
    }
    return kVersionUnknown;
}

int OpenDispIdForVersion(int versionCode) {
    if (versionCode == kVersionPowerPoint2000) {
        return dispid::Presentations::Open2000;
    }
    if (versionCode > kVersionPowerPoint2000) {
        return dispid::Presentations::Open;
    }
    return 0;
}

}  // namespace powerpoint
