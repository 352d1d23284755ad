#include "frontend/UserDevices.h"

#include <cstdint>
#include <optional>

#include "frontend/DeviceList.h"
#include "frontend/DeviceRules.h"
#include "settings/RegistryValue.h"
#include "settings/SqliteStore.h"

namespace vellumet {

namespace {

constexpr wchar_t kRecordSeparator = L'\x1e';
constexpr wchar_t kFieldSeparator = L'\t';
constexpr std::wstring_view kHeaderKey = L"vellumet-devices";
// The largest value copied aside; a larger one is left where it is and the list is not written.
constexpr uint32_t kMaxSetAsideBytes = 16u << 20;

std::vector<std::wstring_view> Split(std::wstring_view text, wchar_t separator) {
    std::vector<std::wstring_view> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.push_back(
            text.substr(start, end == std::wstring_view::npos ? std::wstring_view::npos : end - start));
        if (end == std::wstring_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

std::optional<bool> SwitchFromName(std::wstring_view value) {
    if (value == L"on") {
        return true;
    }
    if (value == L"off") {
        return false;
    }
    return std::nullopt;
}

// One record as a device, or the reason it cannot be one (then `name` is its name when that is
// fit to show).
struct ParsedRecord {
    DeviceProfile device;
    std::wstring reason;
    std::wstring name;
};

// Reads one record. In a list of a newer format (`newer`), a palette or dithering this version does
// not know gives the screen's default instead of skipping the entry: such a list is never written.
ParsedRecord ParseRecord(std::wstring_view record, bool newer) {
    ParsedRecord parsed;
    DeviceProfile& device = parsed.device;
    std::optional<std::wstring_view> name, width, height, screen, palette, dither, outline, searchable, notes;
    for (std::wstring_view field : Split(record, kFieldSeparator)) {
        const size_t equals = field.find(L'=');
        if (equals == std::wstring_view::npos) {
            parsed.reason = L"a field has no value";
            return parsed;
        }
        const std::wstring_view key = field.substr(0, equals);
        const std::wstring_view value = field.substr(equals + 1);
        std::optional<std::wstring_view>* known = key == L"name"         ? &name
                                                  : key == L"width"      ? &width
                                                  : key == L"height"     ? &height
                                                  : key == L"screen"     ? &screen
                                                  : key == L"palette"    ? &palette
                                                  : key == L"dither"     ? &dither
                                                  : key == L"outline"    ? &outline
                                                  : key == L"searchable" ? &searchable
                                                  : key == L"notes"      ? &notes
                                                                         : nullptr;
        if (known == nullptr) {
            device.unknownFields.emplace_back(field);
        } else if (known->has_value()) {
            parsed.reason = L"the field \"" + std::wstring(key) + L"\" appears twice";
            return parsed;
        } else {
            *known = value;
        }
    }

    if (!name) {
        parsed.reason = L"it has no name";
        return parsed;
    }
    const std::wstring nameProblem = CheckDeviceName(*name);
    if (!nameProblem.empty()) {
        parsed.reason = nameProblem;
        return parsed;
    }
    device.name = *name;
    parsed.name = device.name;

    const std::optional<int32_t> w = width ? ParsePageSide(*width) : std::nullopt;
    const std::optional<int32_t> h = height ? ParsePageSide(*height) : std::nullopt;
    if (!w || !h) {
        parsed.reason = L"its size is missing or not a number of pixels";
        return parsed;
    }
    device.page = {*w, *h};
    const std::wstring pageProblem = CheckDevicePage(device.page);
    if (!pageProblem.empty()) {
        parsed.reason = pageProblem;
        return parsed;
    }

    const std::optional<Screen> kind = screen ? ScreenFromName(*screen) : std::nullopt;
    if (!kind) {
        parsed.reason = L"its screen is missing or unknown";
        return parsed;
    }
    device.screen = *kind;
    device.colours = DefaultColoursFor(*kind);
    if (palette) {
        const std::optional<Palette> stored = PaletteFromName(*palette);
        if (!stored && !newer) {
            parsed.reason = L"its palette is unknown";
            return parsed;
        }
        device.colours.palette = stored.value_or(device.colours.palette);
    }
    if (dither) {
        const std::optional<Dither> stored = DitherFromName(*dither);
        if (!stored && !newer) {
            parsed.reason = L"its dithering is unknown";
            return parsed;
        }
        device.colours.dither = stored.value_or(device.colours.dither);
    }

    // Lists written before these choices existed leave them on, as for the catalogue's readers;
    // so does a value this version does not know in a list of a newer format.
    const std::optional<bool> withOutline = outline ? SwitchFromName(*outline) : std::optional<bool>(true);
    const std::optional<bool> withText = searchable ? SwitchFromName(*searchable) : std::optional<bool>(true);
    if ((!withOutline || !withText) && !newer) {
        parsed.reason = L"its outline or searchable text choice is neither on nor off";
        return parsed;
    }
    device.outline = withOutline.value_or(true);
    device.searchable = withText.value_or(true);
    // Notes pages change the layout: only a device that asks for them gets them.
    const std::optional<bool> withNotes = notes ? SwitchFromName(*notes) : std::optional<bool>(false);
    if (!withNotes && !newer) {
        parsed.reason = L"its notes pages choice is neither on nor off";
        return parsed;
    }
    device.notes = withNotes.value_or(false);
    device.origin = DeviceOrigin::User;
    return parsed;
}

std::wstring SkippedNotice(size_t entry, const std::wstring& name, const std::wstring& reason) {
    const std::wstring which =
        name.empty() ? L"Stored device " + std::to_wstring(entry) : L"The stored device \"" + name + L"\"";
    std::wstring notice = which + L" was skipped: " + reason;
    if (notice.back() != L'.') {
        notice += L'.';
    }
    return notice;
}

settings::SettingsStore& StoreOrCurrent(settings::SettingsStore* store) {
    return store != nullptr ? *store : settings::CurrentUserStore();
}

// Copies the stored device list, whatever its type, to "DevicesDamaged".
bool SetStoredListAside(settings::SettingsStore& store) {
    const settings::registry_value source(kUserDevicesPath, settings::registry_value::no_write_back, &store);
    const settings::registry_value target(kSetAsideDevicesPath, settings::registry_value::no_write_back,
                                          &store);

    settings::StoreKey* key = nullptr;
    if (store.OpenKey(source.SubKey(), &key) != settings::StoreStatus::Ok) {
        return false;
    }
    uint32_t type = settings::REG_NONE;
    uint32_t size = 0;
    std::vector<uint8_t> bytes;
    bool read =
        store.QueryValue(key, source.ValueName(), &type, nullptr, &size) == settings::StoreStatus::Ok &&
        size <= kMaxSetAsideBytes;
    if (read) {
        bytes.resize(size);
        read = store.QueryValue(key, source.ValueName(), &type, bytes.data(), &size) ==
               settings::StoreStatus::Ok;
    }
    store.CloseKey(key);
    if (!read) {
        return false;
    }

    key = nullptr;
    if (store.CreateKey(target.SubKey(), &key) != settings::StoreStatus::Ok) {
        return false;
    }
    const bool written =
        store.SetValue(key, target.ValueName(), type, bytes.data(), size) == settings::StoreStatus::Ok;
    store.CloseKey(key);
    return written;
}

}  // namespace

UserDevices ParseUserDevices(std::wstring_view text) {
    UserDevices list;
    const std::vector<std::wstring_view> records = Split(text, kRecordSeparator);
    const std::wstring_view header = records.front();
    const size_t equals = header.find(L'=');
    const std::optional<int> format =
        equals == std::wstring_view::npos || header.substr(0, equals) != kHeaderKey
            ? std::nullopt
            : ParseDecimal(header.substr(equals + 1), 9);
    if (!format || *format < 1) {
        list.damaged = true;
        list.notices.push_back(
            L"The stored list of your devices cannot be read; it is kept aside as "
            L"\"DevicesDamaged\" when your devices are next saved.");
        return list;
    }
    if (*format > kUserDevicesFormat) {
        list.newerFormat = true;
        list.notices.push_back(
            L"Your devices were saved by a newer version of Vellumet: they can be used "
            L"here, but not changed.");
    }

    // Each entry must select itself after the catalogue and the entries taken before it.
    std::vector<DeviceProfile> taken = DeviceListOf({});
    for (size_t i = 1; i < records.size(); ++i) {
        if (records[i].empty()) {
            continue;
        }
        ParsedRecord parsed = ParseRecord(records[i], list.newerFormat);
        if (parsed.reason.empty()) {
            taken.push_back(parsed.device);
            parsed.reason = CheckNamesSelectThemselves(taken);
            taken.pop_back();
        }
        if (parsed.reason.empty() && list.devices.size() >= kMaxUserDevices) {
            parsed.reason = L"no more than " + std::to_wstring(kMaxUserDevices) + L" devices are kept";
        }
        if (!parsed.reason.empty()) {
            list.damaged = true;
            list.notices.push_back(SkippedNotice(i, parsed.name, parsed.reason));
            continue;
        }
        taken.push_back(parsed.device);
        list.devices.push_back(std::move(parsed.device));
    }
    return list;
}

std::wstring FormatUserDevices(std::span<const DeviceProfile> devices) {
    std::wstring text = std::wstring(kHeaderKey) + L"=" + std::to_wstring(kUserDevicesFormat);
    for (const DeviceProfile& device : devices) {
        text += kRecordSeparator;
        text += L"name=" + device.name;
        text += kFieldSeparator;
        text += L"width=" + std::to_wstring(device.page.width);
        text += kFieldSeparator;
        text += L"height=" + std::to_wstring(device.page.height);
        text += kFieldSeparator;
        text += L"screen=" + std::wstring(ScreenName(device.screen));
        text += kFieldSeparator;
        text += L"palette=" + std::wstring(PaletteName(device.colours.palette));
        text += kFieldSeparator;
        text += L"dither=" + std::wstring(DitherName(device.colours.dither));
        text += kFieldSeparator;
        text += std::wstring(L"outline=") + (device.outline ? L"on" : L"off");
        text += kFieldSeparator;
        text += std::wstring(L"searchable=") + (device.searchable ? L"on" : L"off");
        text += kFieldSeparator;
        text += std::wstring(L"notes=") + (device.notes ? L"on" : L"off");
        for (const std::wstring& field : device.unknownFields) {
            text += kFieldSeparator;
            text += field;
        }
    }
    return text;
}

UserDevices ReadUserDevices(settings::SettingsStore* store) {
    settings::registry_string<std::wstring> stored(
        kUserDevicesPath, L"", settings::registry_value::no_write_back, &StoreOrCurrent(store));
    if (stored.load()) {
        return ParseUserDevices(stored.get());
    }
    if (!stored.exists()) {
        return {};
    }
    // Present, but not text this version can read (another type, or too large).
    return ParseUserDevices(L"");
}

std::wstring WriteUserDevices(UserDevices& list, settings::SettingsStore* store) {
    if (list.newerFormat) {
        return L"Your devices were saved by a newer version of Vellumet; this version does not change them.";
    }
    settings::SettingsStore& target = StoreOrCurrent(store);
    const std::wstring failed = L"Your devices could not be saved in the settings store.";
    if (list.damaged) {
        if (!SetStoredListAside(target)) {
            return failed + L" The damaged list could not be kept aside.";
        }
        list.damaged = false;
    }
    const std::wstring text = FormatUserDevices(list.devices);
    settings::registry_string<std::wstring>(kUserDevicesPath, L"", settings::registry_value::force, &target)
        .set(text);
    // Read back: the store reports no failure through the value family.
    settings::registry_string<std::wstring> check(kUserDevicesPath, L"",
                                                  settings::registry_value::no_write_back, &target);
    if (!check.load() || check.get() != text) {
        return failed;
    }
    return {};
}

}  // namespace vellumet
