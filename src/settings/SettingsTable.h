#pragma once
// The settings the front ends remember between runs, under "Software\Mavrel\Vellumet" in the
// per-user store, and the two moments they are touched: when the dialog opens (read only) and on
// every Convert (written back). The command line only reads them.

#include <string>

#include "settings/RegistryValue.h"

namespace settings {

// Full paths of the values; the last part is the value name.
inline constexpr const wchar_t* kOutputFolderPath = L"Software\\Mavrel\\Vellumet\\OutputFolder";
inline constexpr const wchar_t* kSchemePath = L"Software\\Mavrel\\Vellumet\\Scheme";
inline constexpr const wchar_t* kOmitBackgroundPath = L"Software\\Mavrel\\Vellumet\\OmitBackground";
inline constexpr const wchar_t* kOmitShadowPath = L"Software\\Mavrel\\Vellumet\\OmitShadow";
inline constexpr const wchar_t* kSlidesPerPagePath = L"Software\\Mavrel\\Vellumet\\SlidesPerPage";

inline constexpr const wchar_t* kDefaultScheme = L"Amazon Kindle DX";

// The user's choices as the dialog holds them.
struct SettingsChoice {
    std::wstring outputFolder;
    std::wstring scheme = kDefaultScheme;
    bool omitBackground = true;
    bool omitShadow = true;
    bool twoSlidesPerPage = false;  // stored as "SlidesPerPage" 2; any other number means one
};

// The remembered choices, each falling back to its default: the output folder to
// DefaultOutputFolder(documentsFolder), the scheme to "Amazon Kindle DX", both omissions to true, one
// slide per page. Nothing is written. store null means the current user's store.
SettingsChoice ReadSettings(SettingsStore* store, const std::wstring& documentsFolder);

// As above, with the user's DocumentsFolder().
SettingsChoice ReadSettings(SettingsStore* store = nullptr);

// As above, and tells whether the store could be read: *problem becomes empty when every value was
// read or is simply absent, and otherwise says why the store could not be read (UTF-8, from
// SettingsStore::LastProblem); then the values it could not give are their defaults. Never waits
// long for another program that is writing the store.
SettingsChoice ReadSettings(SettingsStore* store, const std::wstring& documentsFolder, std::string* problem);
SettingsChoice ReadSettings(SettingsStore* store, std::string* problem);

// The five settings as Convert writes them. Construct it once Convert has accepted its input (each
// value is loaded then), call Set with the choices, and let it go out of scope once the job has been
// started: the values are written back then, "SlidesPerPage" first and "OutputFolder" last. A value
// equal to its default is written only when one is already stored; the output folder's default here
// is empty, so a non-empty folder is always written.
class ConvertSettings {
public:
    explicit ConvertSettings(SettingsStore* store = nullptr);

    ConvertSettings(const ConvertSettings&) = delete;
    ConvertSettings& operator=(const ConvertSettings&) = delete;

    // Takes the choices, in the order of the table.
    void Set(const SettingsChoice& choice);

private:
    // Declared in the order of the table, so they are built in that order and destroyed (written)
    // in the reverse one.
    registry_string<std::wstring> outputFolder_;
    registry_string<std::wstring> scheme_;
    registry_int<bool> omitBackground_;
    registry_int<bool> omitShadow_;
    registry_int<long> slidesPerPage_;
};

// Convert's whole round at once: loads, sets and writes back choice.
void WriteSettings(const SettingsChoice& choice, SettingsStore* store = nullptr);

}  // namespace settings
