#pragma once
// The per-user store of typed values under key paths: what the settings family reads and writes.
//
// Key paths are relative to the store's root and separate their parts with backslashes
// ("Software\Mavrel\Vellumet"); the empty path names the root itself. A key exists once it has been
// created, with or without values; creating a key creates its missing ancestors too. A value is a
// type number and a run of bytes under a name inside a key.
//
// Contracts:
// - No operation throws. Every failure is a status other than StoreStatus::Ok.
// - A key handed out by OpenKey or CreateKey belongs to the caller until it is given back to
//   CloseKey of the same store, exactly once, on every way out. Keep it open around one read or one
//   write only.
// - A key from OpenKey is for reading only: SetValue on it fails with AccessDenied.
// - Each SetValue is atomic: afterwards the value is either entirely the new one or still the old one.
// - A store may be used from several threads, one key per thread at a time, and several processes
//   may share one store at the same time.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

// Value types, numbered as the registry numbers them.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;         // UTF-16 text followed by one NUL unit
inline constexpr uint32_t REG_EXPAND_SZ = 2;  // never written by this system
inline constexpr uint32_t REG_BINARY = 3;     // never written by this system
inline constexpr uint32_t REG_DWORD = 4;      // 32-bit number, 4 bytes, little-endian

enum class StoreStatus {
    Ok = 0,
    NotFound,      // the key or the value does not exist
    MoreData,      // the value is larger than the buffer given for it
    AccessDenied,  // a write through a key opened for reading
    Failed,        // the store could not be opened, read or written
};

// The parts of a key path in order. Empty parts (doubled, leading or trailing backslashes) are
// dropped, so \Software\\Mavrel\ has the parts "Software" and "Mavrel".
std::vector<std::wstring> SplitKeyPath(std::wstring_view path);

// The key path made of parts joined by single backslashes; the canonical form stores compare.
std::wstring CanonicalKeyPath(std::wstring_view path);

// An open key. Only the store that made it knows what it holds.
class StoreKey {
public:
    virtual ~StoreKey() = default;

protected:
    StoreKey() = default;
};

class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // Opens the existing key subKey for reading. On Ok *key is the open key; otherwise *key is null
    // and the status is NotFound for a missing key.
    virtual StoreStatus OpenKey(std::wstring_view subKey, StoreKey** key) = 0;

    // Creates subKey (and its missing ancestors) if needed and opens it for reading and writing.
    // On Ok *key is the open key; otherwise *key is null.
    virtual StoreStatus CreateKey(std::wstring_view subKey, StoreKey** key) = 0;

    // Reports the type and the byte size of the value name in key. With data null only type and size
    // are reported. Otherwise *size is the capacity of data on entry; when the value fits, its bytes
    // are copied to data and *size becomes their count; when it does not, the status is MoreData,
    // *size becomes the size needed and data is left alone. type may be null.
    virtual StoreStatus QueryValue(StoreKey* key, std::wstring_view name, uint32_t* type, uint8_t* data,
                                   uint32_t* size) = 0;

    // Stores type and the size bytes at data under name in key, replacing any value of that name.
    virtual StoreStatus SetValue(StoreKey* key, std::wstring_view name, uint32_t type, const uint8_t* data,
                                 uint32_t size) = 0;

    // Releases key. A null key is ignored.
    virtual void CloseKey(StoreKey* key) = 0;

    // Why the latest operation that returned Failed failed, as one line of UTF-8 text naming the
    // store ("the settings file "..." is in use by another program"); empty when the store cannot
    // tell. With several threads it may describe another thread's failure.
    virtual std::string LastProblem() const { return {}; }
};

}  // namespace settings
