#pragma once
// The device list both front ends offer: the catalogue, then the user's own devices; how a
// remembered scheme text selects an entry of it; and the page size a chosen name hands the job.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/DeviceProfile.h"

namespace vellumet {

// The catalogue followed by `userDevices`, in list order.
std::vector<DeviceProfile> DeviceListOf(std::span<const DeviceProfile> userDevices);

// The names of `devices`: the list's entries, in list order.
std::vector<std::wstring> DeviceNames(std::span<const DeviceProfile> devices);

// The index of the first entry that begins with `remembered`, letter case ignored, or -1 when none
// does.
int FindDeviceEntry(std::span<const std::wstring> entries, std::wstring_view remembered);

// The device a remembered scheme text selects: the name of the entry FindDeviceEntry finds, or the
// empty text when none matches (the job then uses the default page, as for any unknown name).
std::wstring DeviceForRemembered(std::span<const DeviceProfile> devices, std::wstring_view remembered);

// The device named exactly `name`, else the only one whose name equals it with letter case ignored;
// null when there is none.
const DeviceProfile* FindNamedDevice(std::span<const DeviceProfile> devices, std::wstring_view name);

// The device named exactly `name`, or null.
const DeviceProfile* DeviceNamedExactly(std::span<const DeviceProfile> devices, std::wstring_view name);

// The page the job is given for the device named exactly `name`: its page for a catalogue or user
// device; nothing for one of the device table's rows or an unknown name, which the job looks up in
// its table itself (so those keep their exact behaviour).
std::optional<PixelSize> PageSizeFor(std::span<const DeviceProfile> devices, std::wstring_view name);

// The page colours the job is given for the device named exactly `name`: the device's own; rgb for
// an unknown name (and so for a page size given instead of a device).
PageColours ColoursFor(std::span<const DeviceProfile> devices, std::wstring_view name);

// Every name must select its own entry: no entry may begin (letter case ignored) with the name of a
// later one, and no two names may be equal. Returns the first breach as a sentence for the user,
// or the empty text.
std::wstring CheckNamesSelectThemselves(std::span<const DeviceProfile> devices);

}  // namespace vellumet
