#pragma once
// The device editor's working copy, without widgets: the catalogue followed by the user's devices
// as read from the store. Every edit keeps the rules of DeviceRules.h and DeviceList.h or is refused
// with the reason; only the user's own devices can be changed or removed, and nothing can be
// changed in a list stored by a newer version. Nothing reaches the store before Save.

#include <string>
#include <vector>

#include "frontend/DeviceProfile.h"
#include "frontend/UserDevices.h"
#include "settings/SettingsStore.h"

namespace vellumet {

class DeviceEdits {
public:
    explicit DeviceEdits(UserDevices stored);

    // The whole list in list order: the catalogue, then the user's devices.
    const std::vector<DeviceProfile>& Devices() const { return all_; }
    // What reading the stored list had to say (skipped entries, a newer format).
    const std::vector<std::wstring>& Notices() const { return user_.notices; }
    // True when the stored list is of a newer format: it can be used but not edited.
    bool ReadOnly() const { return user_.newerFormat; }
    // True when the entry at `index` may be changed or removed.
    bool CanChange(size_t index) const;

    // Each returns the reason for refusing the edit, or the empty text once it is made. `device`
    // gives the name, page, screen and page colours; its origin is ignored.
    std::wstring Add(const DeviceProfile& device);
    std::wstring Change(size_t index, const DeviceProfile& device);
    std::wstring Remove(size_t index);

    // Writes the user's devices to `store` (null: the current user's). Returns the reason when
    // nothing was written, else the empty text.
    std::wstring Save(settings::SettingsStore* store);

private:
    // Checks `candidate` as the whole list; on success it becomes the list.
    std::wstring Accept(std::vector<DeviceProfile> candidate);

    UserDevices user_;
    std::vector<DeviceProfile> all_;
    size_t firstUser_;
};

}  // namespace vellumet
