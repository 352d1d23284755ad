#include "settings/RegistryValue.h"

#include <climits>
#include <cstdint>
#include <sstream>
#include <vector>

#include "common/WideText.h"
#include "settings/SqliteStore.h"

namespace settings {

namespace {

// The largest text value taken from the store; a larger one is treated as unreadable.
constexpr uint32_t kMaxTextBytes = 1u << 20;

// Wide text of UTF-16LE units, ending at the first NUL unit or at the end of the bytes.
std::wstring TextOfUtf16(const std::vector<uint8_t>& bytes, size_t count) {
    std::u16string units;
    for (size_t i = 0; i + 1 < count; i += 2) {
        const auto unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == 0) {
            break;
        }
        units.push_back(unit);
    }
    return vellumet::FromUtf16(units);
}

// UTF-16LE units of text followed by one NUL unit.
std::vector<uint8_t> Utf16OfText(const std::wstring& text) {
    std::u16string units = vellumet::ToUtf16(text);
    std::vector<uint8_t> bytes;
    bytes.reserve(2 * units.size() + 2);
    for (char16_t unit : units) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

// Reads a REG_DWORD value of key into *number. A shorter value reads as if padded with zero bytes.
bool QueryNumber(SettingsStore& store, StoreKey* key, const std::wstring& name, uint32_t* number) {
    uint8_t buffer[4] = {0, 0, 0, 0};
    uint32_t size = sizeof buffer;
    uint32_t type = REG_NONE;
    if (store.QueryValue(key, name, &type, buffer, &size) != StoreStatus::Ok || type != REG_DWORD) {
        return false;
    }
    *number = static_cast<uint32_t>(buffer[0]) | static_cast<uint32_t>(buffer[1]) << 8 |
              static_cast<uint32_t>(buffer[2]) << 16 | static_cast<uint32_t>(buffer[3]) << 24;
    return true;
}

// The four little-endian bytes of a REG_DWORD value.
std::vector<uint8_t> BytesOfNumber(uint32_t number) {
    return {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
            static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
}

// ---- How each type is read from an open key and turned into stored bytes. ReadStored is false when
// the value is absent, of another type or unreadable; Encode is false for a value that cannot be
// stored.

// One line of a stored REG_SZ text: up to, not including, the first line feed.
bool ReadStored(SettingsStore& store, StoreKey* key, const std::wstring& name, std::wstring& text) {
    uint32_t type = REG_NONE;
    uint32_t size = 0;
    if (store.QueryValue(key, name, &type, nullptr, &size) != StoreStatus::Ok || type != REG_SZ ||
        size > kMaxTextBytes) {
        return false;
    }
    std::vector<uint8_t> buffer(size);
    uint32_t returned = size;
    if (store.QueryValue(key, name, &type, buffer.data(), &returned) != StoreStatus::Ok || type != REG_SZ) {
        return false;
    }
    text.clear();
    if (returned != 0) {
        std::wistringstream stream(TextOfUtf16(buffer, returned));
        std::getline(stream, text);
    }
    return true;
}

bool ReadStored(SettingsStore& store, StoreKey* key, const std::wstring& name, bool& flag) {
    uint32_t number = 0;
    if (!QueryNumber(store, key, name, &number)) {
        return false;
    }
    flag = number != 0;
    return true;
}

bool ReadStored(SettingsStore& store, StoreKey* key, const std::wstring& name, long& value) {
    uint32_t number = 0;
    if (!QueryNumber(store, key, name, &number)) {
        return false;
    }
    value = static_cast<int32_t>(number);
    return true;
}

// The text goes through a wide text stream, followed by one NUL unit.
bool Encode(const std::wstring& text, uint32_t& type, std::vector<uint8_t>& bytes) {
    std::wostringstream stream;
    stream.precision(20);
    stream << text;
    type = REG_SZ;
    bytes = Utf16OfText(stream.str());
    return true;
}

bool Encode(bool flag, uint32_t& type, std::vector<uint8_t>& bytes) {
    type = REG_DWORD;
    bytes = BytesOfNumber(flag ? 1 : 0);
    return true;
}

bool Encode(long value, uint32_t& type, std::vector<uint8_t>& bytes) {
    // A long wider than the stored 32 bits would come back as another number: keep the old one.
    if (value < INT32_MIN || value > INT32_MAX) {
        return false;
    }
    type = REG_DWORD;
    bytes = BytesOfNumber(static_cast<uint32_t>(static_cast<int32_t>(value)));
    return true;
}

}  // namespace

// ---- registry_value

registry_value::registry_value(const std::wstring& path, uint16_t flagBits, SettingsStore* store)
    : flags(flagBits), key(nullptr), root(store != nullptr ? store : &CurrentUserStore()) {
    size_t separator = path.rfind(L'\\');
    if (separator == std::wstring::npos) {
        sub_key = path;
        value_name = path;
    } else {
        sub_key = path.substr(0, separator);
        value_name = path.substr(separator + 1);
    }
}

registry_value::~registry_value() {
    CloseKey();
}

bool registry_value::exists() {
    bool openedHere = false;
    if (key == nullptr) {
        if (root->OpenKey(sub_key, &key) != StoreStatus::Ok) {
            key = nullptr;
            return false;
        }
        openedHere = true;
    }
    uint32_t type = REG_NONE;
    uint32_t size = 0;
    bool present = root->QueryValue(key, value_name, &type, nullptr, &size) == StoreStatus::Ok;
    if (openedHere) {
        CloseKey();
    }
    return present;
}

bool registry_value::OpenForSave() {
    if (root->CreateKey(sub_key, &key) == StoreStatus::Ok) {
        return true;
    }
    key = nullptr;
    if (root->OpenKey(sub_key, &key) == StoreStatus::Ok) {
        return true;  // writing will fail, as it does through a key opened for reading
    }
    key = nullptr;
    return false;
}

void registry_value::CloseKey() {
    if (key != nullptr) {
        root->CloseKey(key);
        key = nullptr;
    }
}

// ---- registry_typed

template <class T>
registry_typed<T>::registry_typed(const std::wstring& path, const T& defaultValue, uint16_t flagBits,
                                  SettingsStore* store)
    : registry_value(path, flagBits, store), value(defaultValue), default_value(defaultValue) {
    if (!LoadsOnGet()) {
        load();
    }
}

template <class T>
registry_typed<T>::~registry_typed() {
    if (WriteBack()) {
        save();
    }
}

template <class T>
T registry_typed<T>::get() {
    if (LoadsOnGet()) {
        load();
    }
    return value;
}

template <class T>
registry_typed<T>& registry_typed<T>::set(const T& newValue) {
    if (!Forced() && newValue == value) {
        return *this;
    }
    value = newValue;
    if (LoadsOnGet()) {
        save();
    }
    return *this;
}

template <class T>
bool registry_typed<T>::load() {
    bool taken = false;
    T stored{};
    try {
        taken = root->OpenKey(sub_key, &key) == StoreStatus::Ok && ReadStored(*root, key, value_name, stored);
    } catch (...) {
        taken = false;
    }
    CloseKey();
    value = taken ? stored : default_value;
    return taken;
}

template <class T>
bool registry_typed<T>::save() {
    bool written = false;
    try {
        uint32_t type = REG_NONE;
        std::vector<uint8_t> bytes;
        if (!Encode(value, type, bytes) || !OpenForSave()) {
            return false;
        }
        if (value == default_value && (flags & force) == 0 && !exists()) {
            CloseKey();
            return false;
        }
        written = root->SetValue(key, value_name, type, bytes.data(), static_cast<uint32_t>(bytes.size())) ==
                  StoreStatus::Ok;
    } catch (...) {
        written = false;
    }
    CloseKey();
    return written;
}

template class registry_typed<std::wstring>;
template class registry_typed<bool>;
template class registry_typed<long>;

}  // namespace settings
