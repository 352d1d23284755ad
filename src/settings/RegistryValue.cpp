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

// Wide text of UTF-16LE units, ending at the first NUL unit or at the end of the bytes. Surrogate
// pairs become one character; a lone surrogate is kept as it is.
std::wstring TextOfUtf16(const std::vector<uint8_t>& bytes, size_t count) {
    std::wstring text;
    size_t units = count / 2;
    for (size_t i = 0; i < units; ++i) {
        auto unit = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (unit == 0) {
            break;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            auto next = static_cast<char16_t>(bytes[2 * i + 2] | (bytes[2 * i + 3] << 8));
            if (next >= 0xDC00 && next <= 0xDFFF) {
                text += static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        text += static_cast<wchar_t>(unit);
    }
    return text;
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
bool QueryNumber(SettingsStore* store, StoreKey* key, const std::wstring& name, uint32_t* number) {
    uint8_t buffer[4] = {0, 0, 0, 0};
    uint32_t size = sizeof buffer;
    uint32_t type = REG_NONE;
    if (store->QueryValue(key, name, &type, buffer, &size) != StoreStatus::Ok || type != REG_DWORD) {
        return false;
    }
    *number = static_cast<uint32_t>(buffer[0]) | static_cast<uint32_t>(buffer[1]) << 8 |
              static_cast<uint32_t>(buffer[2]) << 16 | static_cast<uint32_t>(buffer[3]) << 24;
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

// ---- registry_string

template <class T>
registry_string<T>::registry_string(const std::wstring& path, const T& defaultValue, uint16_t flagBits,
                                    SettingsStore* store)
    : registry_value(path, flagBits, store), value(defaultValue), default_value(defaultValue) {
    if (!LoadsOnGet()) {
        load();
    }
}

template <class T>
registry_string<T>::~registry_string() {
    if (WriteBack()) {
        save();
    }
}

template <class T>
T registry_string<T>::get() {
    if (LoadsOnGet()) {
        load();
    }
    return value;
}

template <class T>
registry_string<T>& registry_string<T>::set(const T& newValue) {
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
bool registry_string<T>::load() {
    bool taken = false;
    try {
        if (root->OpenKey(sub_key, &key) == StoreStatus::Ok) {
            uint32_t type = REG_NONE;
            uint32_t size = 0;
            if (root->QueryValue(key, value_name, &type, nullptr, &size) == StoreStatus::Ok &&
                type == REG_SZ && size <= kMaxTextBytes) {
                std::vector<uint8_t> buffer(size);
                uint32_t returned = size;
                if (root->QueryValue(key, value_name, &type, buffer.data(), &returned) == StoreStatus::Ok &&
                    type == REG_SZ) {
                    T text;
                    if (returned != 0) {
                        // One line of the stored text: up to, not including, the first line feed.
                        std::wistringstream stream(TextOfUtf16(buffer, returned));
                        std::getline(stream, text);
                    }
                    value = text;
                    taken = true;
                }
            }
        }
    } catch (...) {
        taken = false;
    }
    CloseKey();
    if (!taken) {
        value = default_value;
    }
    return taken;
}

template <class T>
bool registry_string<T>::save() {
    bool written = false;
    try {
        if (!OpenForSave()) {
            return false;
        }
        if (value == default_value && (flags & force) == 0 && !exists()) {
            CloseKey();
            return false;
        }
        std::wostringstream stream;
        stream.precision(20);
        stream << value;
        std::vector<uint8_t> bytes = Utf16OfText(stream.str());
        written = root->SetValue(key, value_name, REG_SZ, bytes.data(),
                                 static_cast<uint32_t>(bytes.size())) == StoreStatus::Ok;
    } catch (...) {
        written = false;
    }
    CloseKey();
    return written;
}

// ---- registry_int

template <class T>
registry_int<T>::registry_int(const std::wstring& path, T defaultValue, uint16_t flagBits,
                              SettingsStore* store)
    : registry_value(path, flagBits, store), value(defaultValue), default_value(defaultValue) {
    if (!LoadsOnGet()) {
        load();
    }
}

template <class T>
registry_int<T>::~registry_int() {
    if (WriteBack()) {
        save();
    }
}

template <class T>
T registry_int<T>::get() {
    if (LoadsOnGet()) {
        load();
    }
    return value;
}

template <class T>
registry_int<T>& registry_int<T>::set(T newValue) {
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
bool registry_int<T>::load() {
    bool taken = false;
    uint32_t number = 0;
    if (root->OpenKey(sub_key, &key) == StoreStatus::Ok) {
        taken = QueryNumber(root, key, value_name, &number);
    }
    CloseKey();
    if (!taken) {
        value = default_value;
    } else if constexpr (std::is_same_v<T, bool>) {
        value = number != 0;
    } else {
        value = static_cast<int32_t>(number);
    }
    return taken;
}

template <class T>
bool registry_int<T>::save() {
    uint32_t number = 0;
    if constexpr (std::is_same_v<T, bool>) {
        number = value ? 1 : 0;
    } else {
        // A long wider than the stored 32 bits would come back as another number: keep the old one.
        // cppcheck-suppress compareBoolExpressionWithInt ; this branch is never instantiated for bool
        if (value < INT32_MIN || value > INT32_MAX) {
            return false;
        }
        number = static_cast<uint32_t>(static_cast<int32_t>(value));
    }
    if (!OpenForSave()) {
        return false;
    }
    if (value == default_value && (flags & force) == 0 && !exists()) {
        CloseKey();
        return false;
    }
    const uint8_t bytes[4] = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                              static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
    bool written = root->SetValue(key, value_name, REG_DWORD, bytes, sizeof bytes) == StoreStatus::Ok;
    CloseKey();
    return written;
}

template class registry_string<std::wstring>;
template class registry_int<bool>;
template class registry_int<long>;

}  // namespace settings
