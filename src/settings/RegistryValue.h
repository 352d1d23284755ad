#pragma once
// The settings family: one object names one value of the per-user store by a single path,
// "Software\Mavrel\Vellumet\Scheme", whose last backslash separates the key from the value name.
//
// An object is a short-lived local. It is constructed with the path, a default and flags; it loads
// the stored value (or takes the default); the caller gets or sets the value; and, depending on the
// flags, the object writes the value back when it is destroyed:
//   0               load at construction, write back at destruction;
//   no_write_back   load at construction, never write: a read-only view;
//   immediate       load on every get, save on every changing set, nothing at construction or
//                   destruction;
//   force           as immediate, and set and save write even an unchanged or default value.
// A value equal to its default is written only when a value is already stored (or with force).
//
// Contracts:
// - Nothing throws. A missing key or value, a value of another type or a failing store makes load
//   take the default; a failing store makes save return false.
// - Every key is opened and closed within one operation: between operations key is null.
// - root is the store of the current user unless the constructor is given another, which must
//   outlive the object.

#include <cstdint>
#include <string>
#include <type_traits>

#include "settings/SettingsStore.h"

namespace settings {

class registry_value {
public:
    // Behaviour bits of flags.
    static constexpr uint16_t immediate = 1;
    static constexpr uint16_t no_write_back = 2;
    static constexpr uint16_t force = 4;

    // Splits path at its last backslash into sub_key and value_name; a path without a backslash is
    // both. store null means the current user's store.
    registry_value(const std::wstring& path, uint16_t flags, SettingsStore* store = nullptr);
    virtual ~registry_value();

    registry_value(const registry_value&) = delete;
    registry_value& operator=(const registry_value&) = delete;

    // Whether the value is present, of any type. Uses key when it is open, else opens and closes
    // sub_key for reading.
    bool exists();

    const std::wstring& SubKey() const { return sub_key; }
    const std::wstring& ValueName() const { return value_name; }

protected:
    // Opens sub_key for writing, or only for reading when it cannot be created; key is set on success.
    bool OpenForSave();
    // Closes key when it is open and sets it to null.
    void CloseKey();
    bool WriteBack() const { return (flags & (immediate | no_write_back | force)) == 0; }
    bool LoadsOnGet() const { return (flags & (immediate | force)) != 0; }
    // A forced value is stored by set() even when unchanged, unless it is never written back.
    bool Forced() const { return (flags & force) != 0 && (flags & no_write_back) == 0; }

    uint16_t flags;
    StoreKey* key;
    SettingsStore* root;
    std::wstring value_name;
    std::wstring sub_key;
};

// One typed value: what registry_string and registry_int share. T decides how the value is stored:
// std::wstring as REG_SZ, bool and long as REG_DWORD (see the two classes below).
template <class T>
class registry_typed : public registry_value {
public:
    registry_typed(const std::wstring& path, const T& defaultValue, uint16_t flags = 0,
                   SettingsStore* store = nullptr);
    ~registry_typed() override;

    T get();
    registry_typed& set(const T& newValue);
    // True when a stored value of T's type was taken; otherwise value becomes default_value.
    bool load();
    // True when the value was written (see the rule on defaults above).
    bool save();

protected:
    T value;
    T default_value;
};

// A text value, stored as REG_SZ. Only the wide-text form exists: the value is written through a
// wide text stream, and read back up to its first line feed.
template <class T>
class registry_string : public registry_typed<T> {
    static_assert(std::is_same_v<T, std::wstring>, "registry_string exists only for std::wstring");

public:
    using registry_typed<T>::registry_typed;
};

// A number stored as REG_DWORD: bool as 0 or 1, long as a signed 32-bit number. A long outside the
// 32-bit range is not saved.
template <class T>
class registry_int : public registry_typed<T> {
    static_assert(std::is_same_v<T, bool> || std::is_same_v<T, long>,
                  "registry_int exists for bool and long");

public:
    using registry_typed<T>::registry_typed;
};

extern template class registry_typed<std::wstring>;
extern template class registry_typed<bool>;
extern template class registry_typed<long>;

}  // namespace settings
