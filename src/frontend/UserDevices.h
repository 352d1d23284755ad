#pragma once
// The user's own devices, kept in the settings store so that the dialog and the command line both
// see them: one text value, "Devices" under "Software\Mavrel\Vellumet".
//
// The stored text is a header record, "vellumet-devices=<format>", then one record per device.
// Records are separated by U+001E, the fields of a record by tabs, and each field is "key=value":
// name, width, height, screen ("gray16" or "colour"), palette ("rgb", "gray" or "gray16"), dither
// ("ordered" or "none"), outline, searchable and notes ("on" or "off"), in any order; an entry
// without palette or dither has its screen's default (DefaultColoursFor), one without outline or
// searchable has them on, one without notes has it off. Names hold no control characters
// (DeviceRules.h), so nothing needs escaping. Fields of other keys are kept with their device and
// written back, so later output options survive a round through this version, as the palette
// survives a version that knows none.
//
// Reading never fails: an entry that breaks a rule (DeviceRules.h, DeviceList.h) is skipped with a
// notice, and a value that cannot be read at all gives an empty list with a notice. Either way the
// stored value is copied to "DevicesDamaged" before the list is next written, so nothing the user
// stored is lost. A list of a later format is read as far as this version understands it and is
// never written.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/DeviceProfile.h"
#include "settings/SettingsStore.h"

namespace vellumet {

inline constexpr const wchar_t* kUserDevicesPath = L"Software\\Mavrel\\Vellumet\\Devices";
inline constexpr const wchar_t* kSetAsideDevicesPath = L"Software\\Mavrel\\Vellumet\\DevicesDamaged";
// The format this version writes. A later version that changes the meaning of a field raises it.
inline constexpr int kUserDevicesFormat = 1;
inline constexpr size_t kMaxUserDevices = 200;

struct UserDevices {
    std::vector<DeviceProfile> devices;  // the readable entries in stored order, all DeviceOrigin::User
    std::vector<std::wstring> notices;   // one sentence per skipped entry or problem of the whole list
    bool newerFormat = false;            // written by a later version: use the devices, never write
    bool damaged = false;                // something was skipped: set the stored value aside first
};

// The stored text's devices. Names must select themselves after the catalogue and the entries
// before them (CheckNamesSelectThemselves); the later of two clashing entries is skipped.
UserDevices ParseUserDevices(std::wstring_view text);

// The stored text of `devices`, in the current format.
std::wstring FormatUserDevices(std::span<const DeviceProfile> devices);

// The user's devices from `store` (null: the current user's store). Writes nothing.
UserDevices ReadUserDevices(settings::SettingsStore* store);

// Stores `list.devices`, first copying a damaged stored value to "DevicesDamaged" (then clearing
// list.damaged). Refuses a list of a newer format. Returns the reason for the user when nothing
// was written, else the empty text.
std::wstring WriteUserDevices(UserDevices& list, settings::SettingsStore* store);

}  // namespace vellumet
