#include "app/DeviceEdits.h"

#include "frontend/DeviceList.h"
#include "frontend/DeviceRules.h"

namespace vellumet {

namespace {

constexpr wchar_t kNewerFormatRefusal[] =
    L"Your devices were saved by a newer version of Vellumet; this version does not change them.";
constexpr wchar_t kBuiltInRefusal[] = L"Built-in devices cannot be changed or removed.";

}  // namespace

DeviceEdits::DeviceEdits(UserDevices stored)
    : user_(std::move(stored)),
      all_(DeviceListOf(user_.devices)),
      firstUser_(all_.size() - user_.devices.size()) {}

bool DeviceEdits::CanChange(size_t index) const {
    return !ReadOnly() && index >= firstUser_ && index < all_.size();
}

std::wstring DeviceEdits::Accept(std::vector<DeviceProfile> candidate) {
    if (candidate.size() - firstUser_ > kMaxUserDevices) {
        return L"No more than " + std::to_wstring(kMaxUserDevices) + L" devices of your own can be kept.";
    }
    std::wstring problem = CheckNamesSelectThemselves(candidate);
    if (!problem.empty()) {
        return problem;
    }
    all_ = std::move(candidate);
    user_.devices.assign(all_.begin() + static_cast<std::ptrdiff_t>(firstUser_), all_.end());
    return {};
}

std::wstring DeviceEdits::Add(const DeviceProfile& device) {
    if (ReadOnly()) {
        return kNewerFormatRefusal;
    }
    for (const std::wstring& problem : {CheckDeviceName(device.name), CheckDevicePage(device.page)}) {
        if (!problem.empty()) {
            return problem;
        }
    }
    std::vector<DeviceProfile> candidate = all_;
    // The user's choices only: a device built on a catalogue entry keeps nothing else of it.
    DeviceProfile added{device.name, device.page, device.screen, DeviceOrigin::User, {}, device.colours};
    added.outline = device.outline;
    added.searchable = device.searchable;
    added.notes = device.notes;
    candidate.push_back(std::move(added));
    return Accept(std::move(candidate));
}

std::wstring DeviceEdits::Change(size_t index, const DeviceProfile& device) {
    if (ReadOnly()) {
        return kNewerFormatRefusal;
    }
    if (!CanChange(index)) {
        return kBuiltInRefusal;
    }
    for (const std::wstring& problem : {CheckDeviceName(device.name), CheckDevicePage(device.page)}) {
        if (!problem.empty()) {
            return problem;
        }
    }
    std::vector<DeviceProfile> candidate = all_;
    DeviceProfile& changed = candidate[index];
    changed.name = device.name;
    changed.page = device.page;
    changed.screen = device.screen;
    changed.colours = device.colours;
    changed.outline = device.outline;
    changed.searchable = device.searchable;
    changed.notes = device.notes;
    return Accept(std::move(candidate));
}

std::wstring DeviceEdits::Remove(size_t index) {
    if (ReadOnly()) {
        return kNewerFormatRefusal;
    }
    if (!CanChange(index)) {
        return kBuiltInRefusal;
    }
    std::vector<DeviceProfile> candidate = all_;
    candidate.erase(candidate.begin() + static_cast<std::ptrdiff_t>(index));
    return Accept(std::move(candidate));
}

std::wstring DeviceEdits::Save(settings::SettingsStore* store) {
    return WriteUserDevices(user_, store);
}

}  // namespace vellumet
