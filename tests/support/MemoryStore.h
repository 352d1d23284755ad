#pragma once
// A SettingsStore held in memory, for tests that must not touch a store on disk.
// It keeps the same contracts as the store on disk and counts the keys that are open, so a test
// can check that every key was closed.

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "settings/SettingsStore.h"

namespace settings {

class MemoryStore : public SettingsStore {
public:
    StoreStatus OpenKey(std::wstring_view subKey, StoreKey** key) override;
    StoreStatus CreateKey(std::wstring_view subKey, StoreKey** key) override;
    StoreStatus QueryValue(StoreKey* key, std::wstring_view name, uint32_t* type, uint8_t* data,
                           uint32_t* size) override;
    StoreStatus SetValue(StoreKey* key, std::wstring_view name, uint32_t type, const uint8_t* data,
                         uint32_t size) override;
    void CloseKey(StoreKey* key) override;

    // While read-only, CreateKey fails with AccessDenied and OpenKey still succeeds, as with a store
    // the user may read but not change.
    void SetReadOnly(bool readOnly);

    // Whether the key exists, and the keys open right now.
    bool HasKey(std::wstring_view subKey) const;
    int OpenKeyCount() const;

private:
    struct Value {
        uint32_t type = REG_NONE;
        std::vector<uint8_t> bytes;
    };
    using Values = std::map<std::wstring, Value, std::less<>>;

    mutable std::mutex mutex_;
    std::map<std::wstring, Values, std::less<>> keys_{
        {std::wstring(), Values()}};  // canonical path -> values
    bool readOnly_ = false;
    int openKeys_ = 0;
};

}  // namespace settings
