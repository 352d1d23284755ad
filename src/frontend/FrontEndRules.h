#pragma once
// The rules the dialog and the command line share: the device list and how a remembered scheme
// selects an entry in it, the progress tick, and the mapping from the user's choices to one job's
// settings. No widgets here.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "job/ConversionSettings.h"
#include "settings/SettingsTable.h"

namespace vellumet {

// The device list's entries, in list order.
std::vector<std::wstring> DeviceListEntries();

// The index of the first entry that begins with `remembered`, letter case ignored, or -1 when none
// does.
int FindDeviceEntry(std::span<const std::wstring> entries, std::wstring_view remembered);

// The device a remembered scheme text selects: the entry FindDeviceEntry finds, or the empty
// text when none matches (the job then uses the default page, as for any unknown name).
std::wstring DeviceForRemembered(std::wstring_view remembered);

// Progress range and the timer's period in milliseconds.
inline constexpr int32_t kProgressMaximum = 100;
inline constexpr int kProgressTimerMs = 200;

// The position after one timer tick: position + step, or (sum mod 100) + 75 once the sum exceeds 100,
// so the progress never stops and climbs again from 76..80.
int32_t NextProgressPosition(int32_t position, int32_t step);

// One job's settings from the user's choices: `source` the presentation (or picture folder),
// `outputFolder` as Convert's checks left it (ending with "/"), `tempFolder` the job's folder prefix
// (MakeTempFolderName).
ConversionSettings JobSettingsFromChoice(const settings::SettingsChoice& choice, const std::wstring& source,
                                         const std::wstring& outputFolder, const std::wstring& tempFolder);

}  // namespace vellumet
