#include "frontend/DeviceList.h"

#include <locale.h>
#include <wctype.h>

#include "frontend/DeviceCatalogue.h"

namespace vellumet {

namespace {

// Letter case is folded the same way whatever the process's locale is (the dialog runs in the
// user's, the command line in "C"), so both front ends select the same entry: by the character
// tables of C.UTF-8, or for ASCII only where that locale is missing.
locale_t CaseTables() {
    static const locale_t tables = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return tables;
}

wchar_t FoldCase(wchar_t c) {
    if (c >= L'A' && c <= L'Z') {
        return static_cast<wchar_t>(c - L'A' + L'a');
    }
    if (c < 0x80 || CaseTables() == static_cast<locale_t>(nullptr)) {
        return c;
    }
    return static_cast<wchar_t>(::towlower_l(static_cast<wint_t>(c), CaseTables()));
}

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix) {
    if (prefix.size() > text.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (FoldCase(text[i]) != FoldCase(prefix[i])) {
            return false;
        }
    }
    return true;
}

bool EqualIgnoringCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && StartsWithIgnoringCase(a, b);
}

}  // namespace

std::vector<DeviceProfile> DeviceListOf(std::span<const DeviceProfile> userDevices) {
    const std::span<const DeviceProfile> catalogue = DeviceCatalogue();
    std::vector<DeviceProfile> devices(catalogue.begin(), catalogue.end());
    devices.insert(devices.end(), userDevices.begin(), userDevices.end());
    return devices;
}

std::vector<std::wstring> DeviceNames(std::span<const DeviceProfile> devices) {
    std::vector<std::wstring> names;
    names.reserve(devices.size());
    for (const DeviceProfile& device : devices) {
        names.push_back(device.name);
    }
    return names;
}

int FindDeviceEntry(std::span<const std::wstring> entries, std::wstring_view remembered) {
    for (size_t i = 0; i < entries.size(); ++i) {
        if (StartsWithIgnoringCase(entries[i], remembered)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::wstring DeviceForRemembered(std::span<const DeviceProfile> devices, std::wstring_view remembered) {
    const std::vector<std::wstring> entries = DeviceNames(devices);
    const int entry = FindDeviceEntry(entries, remembered);
    return entry >= 0 ? entries[static_cast<size_t>(entry)] : std::wstring();
}

const DeviceProfile* FindNamedDevice(std::span<const DeviceProfile> devices, std::wstring_view name) {
    for (const DeviceProfile& device : devices) {
        if (device.name == name) {
            return &device;
        }
    }
    const DeviceProfile* found = nullptr;
    for (const DeviceProfile& device : devices) {
        if (EqualIgnoringCase(device.name, name)) {
            if (found != nullptr) {
                return nullptr;
            }
            found = &device;
        }
    }
    return found;
}

const DeviceProfile* DeviceNamedExactly(std::span<const DeviceProfile> devices, std::wstring_view name) {
    for (const DeviceProfile& device : devices) {
        if (device.name == name) {
            return &device;
        }
    }
    return nullptr;
}

std::optional<PixelSize> PageSizeFor(std::span<const DeviceProfile> devices, std::wstring_view name) {
    const DeviceProfile* device = DeviceNamedExactly(devices, name);
    if (device == nullptr || device->origin == DeviceOrigin::Specified) {
        return std::nullopt;
    }
    return device->page;
}

PageColours ColoursFor(std::span<const DeviceProfile> devices, std::wstring_view name) {
    for (const DeviceProfile& device : devices) {
        if (device.name == name) {
            return device.colours;
        }
    }
    return PageColours{};
}

std::wstring CheckNamesSelectThemselves(std::span<const DeviceProfile> devices) {
    for (size_t later = 1; later < devices.size(); ++later) {
        const std::wstring& name = devices[later].name;
        for (size_t earlier = 0; earlier < later; ++earlier) {
            const std::wstring& first = devices[earlier].name;
            if (!StartsWithIgnoringCase(first, name)) {
                continue;
            }
            if (first.size() == name.size()) {
                return L"There is already a device named \"" + first + L"\".";
            }
            return L"The name \"" + name + L"\" would select \"" + first +
                   L"\", which begins with it and comes first in the list.";
        }
    }
    return {};
}

}  // namespace vellumet
