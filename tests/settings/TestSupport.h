#pragma once
// Helpers shared by the settings tests: a fresh folder per test and direct access to stored values.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "settings/SettingsStore.h"
#include "support/TempFolder.h"

namespace settings_test {

// A folder of its own for each test, removed afterwards.
class ScratchTest : public testing::Test {
protected:
    vellumet_test::TempFolder folder_{"vellumet-settings-"};
    std::filesystem::path dir_ = folder_.Path();
};

// Stores raw bytes of the given type, bypassing the settings family.
inline void Plant(settings::SettingsStore& store, const std::wstring& subKey, const std::wstring& name,
                  uint32_t type, const std::vector<uint8_t>& bytes) {
    settings::StoreKey* key = nullptr;
    ASSERT_EQ(store.CreateKey(subKey, &key), settings::StoreStatus::Ok);
    EXPECT_EQ(store.SetValue(key, name, type, bytes.data(), static_cast<uint32_t>(bytes.size())),
              settings::StoreStatus::Ok);
    store.CloseKey(key);
}

// UTF-16LE bytes of an ASCII text, with the terminating NUL unit when terminated is true.
inline std::vector<uint8_t> Utf16(const std::string& ascii, bool terminated = true) {
    std::vector<uint8_t> bytes;
    for (char c : ascii) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(0);
    }
    if (terminated) {
        bytes.insert(bytes.end(), {0, 0});
    }
    return bytes;
}

// The stored type and bytes of a value; type REG_NONE and no bytes when it is absent.
struct Stored {
    bool present = false;
    uint32_t type = settings::REG_NONE;
    std::vector<uint8_t> bytes;
};

inline Stored Read(settings::SettingsStore& store, const std::wstring& subKey, const std::wstring& name) {
    Stored stored;
    settings::StoreKey* key = nullptr;
    if (store.OpenKey(subKey, &key) != settings::StoreStatus::Ok) {
        return stored;
    }
    uint32_t size = 0;
    if (store.QueryValue(key, name, &stored.type, nullptr, &size) == settings::StoreStatus::Ok) {
        stored.bytes.resize(size);
        stored.present = store.QueryValue(key, name, &stored.type, stored.bytes.data(), &size) ==
                         settings::StoreStatus::Ok;
    }
    store.CloseKey(key);
    return stored;
}

}  // namespace settings_test
