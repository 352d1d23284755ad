#pragma once
// The rules the dialog and the command line share: the progress tick and the mapping from the
// user's choices to one job's settings. The device list and its selection rule are DeviceList.h's.
// No widgets here.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/DeviceProfile.h"
#include "job/ConversionSettings.h"
#include "settings/SettingsTable.h"

namespace vellumet {

// Progress range and the timer's period in milliseconds.
inline constexpr int32_t kProgressMaximum = 100;
inline constexpr int kProgressTimerMs = 200;

// The position after one timer tick: position + step, or (sum mod 100) + 75 once the sum exceeds 100,
// so the progress never stops and climbs again from 76..80.
int32_t NextProgressPosition(int32_t position, int32_t step);

// One job's settings from the user's choices: `devices` the device list the scheme was chosen from
// (DeviceListOf), whose page the job gets for a catalogue or user device (PageSizeFor) and whose page
// colours (ColoursFor), outline and text layer choices it gets for any device; `source` the
// presentation (or picture folder), `outputFolder` as Convert's checks left it (ending with "/"),
// `tempFolder` the job's folder prefix (MakeTempFolderName).
ConversionSettings JobSettingsFromChoice(const settings::SettingsChoice& choice,
                                         std::span<const DeviceProfile> devices, const std::wstring& source,
                                         const std::wstring& outputFolder, const std::wstring& tempFolder);

}  // namespace vellumet
