#include "support/MemoryStore.h"

#include <algorithm>

namespace settings {

namespace {

class MemoryKey : public StoreKey {
public:
    MemoryKey(std::wstring path, bool writable) : path_(std::move(path)), writable_(writable) {}

    const std::wstring& Path() const { return path_; }
    bool Writable() const { return writable_; }

private:
    std::wstring path_;
    bool writable_;
};

}  // namespace

StoreStatus MemoryStore::OpenKey(std::wstring_view subKey, StoreKey** key) {
    *key = nullptr;
    std::wstring path = CanonicalKeyPath(subKey);
    std::lock_guard lock(mutex_);
    if (!keys_.contains(path)) {
        return StoreStatus::NotFound;
    }
    *key = new MemoryKey(std::move(path), false);
    ++openKeys_;
    return StoreStatus::Ok;
}

StoreStatus MemoryStore::CreateKey(std::wstring_view subKey, StoreKey** key) {
    *key = nullptr;
    std::lock_guard lock(mutex_);
    if (readOnly_) {
        return StoreStatus::AccessDenied;
    }
    // Every ancestor exists as a key of its own, as the registry keeps them.
    std::wstring path;
    for (const std::wstring& part : SplitKeyPath(subKey)) {
        path += path.empty() ? part : L"\\" + part;
        keys_.try_emplace(path);
    }
    *key = new MemoryKey(std::move(path), true);
    ++openKeys_;
    return StoreStatus::Ok;
}

StoreStatus MemoryStore::QueryValue(StoreKey* key, std::wstring_view name, uint32_t* type, uint8_t* data,
                                    uint32_t* size) {
    auto* memoryKey = dynamic_cast<MemoryKey*>(key);
    if (memoryKey == nullptr || size == nullptr) {
        return StoreStatus::Failed;
    }
    std::lock_guard lock(mutex_);
    auto keyIt = keys_.find(memoryKey->Path());
    if (keyIt == keys_.end()) {
        return StoreStatus::NotFound;
    }
    auto valueIt = keyIt->second.find(name);
    if (valueIt == keyIt->second.end()) {
        return StoreStatus::NotFound;
    }
    const Value& value = valueIt->second;
    if (type != nullptr) {
        *type = value.type;
    }
    uint32_t needed = static_cast<uint32_t>(value.bytes.size());
    if (data != nullptr) {
        if (*size < needed) {
            *size = needed;
            return StoreStatus::MoreData;
        }
        std::copy(value.bytes.begin(), value.bytes.end(), data);
    }
    *size = needed;
    return StoreStatus::Ok;
}

StoreStatus MemoryStore::SetValue(StoreKey* key, std::wstring_view name, uint32_t type, const uint8_t* data,
                                  uint32_t size) {
    auto* memoryKey = dynamic_cast<MemoryKey*>(key);
    if (memoryKey == nullptr || (data == nullptr && size != 0)) {
        return StoreStatus::Failed;
    }
    if (!memoryKey->Writable()) {
        return StoreStatus::AccessDenied;
    }
    std::lock_guard lock(mutex_);
    auto keyIt = keys_.find(memoryKey->Path());
    if (keyIt == keys_.end()) {
        return StoreStatus::NotFound;
    }
    keyIt->second.insert_or_assign(std::wstring(name), Value{type, std::vector<uint8_t>(data, data + size)});
    return StoreStatus::Ok;
}

void MemoryStore::CloseKey(StoreKey* key) {
    if (key == nullptr) {
        return;
    }
    delete key;
    std::lock_guard lock(mutex_);
    --openKeys_;
}

void MemoryStore::SetReadOnly(bool readOnly) {
    std::lock_guard lock(mutex_);
    readOnly_ = readOnly;
}

bool MemoryStore::HasKey(std::wstring_view subKey) const {
    std::lock_guard lock(mutex_);
    return keys_.contains(CanonicalKeyPath(subKey));
}

int MemoryStore::OpenKeyCount() const {
    std::lock_guard lock(mutex_);
    return openKeys_;
}

}  // namespace settings
