#include "settings/SettingsTable.h"

#include "settings/DocumentsFolder.h"
#include "settings/SqliteStore.h"

namespace settings {

namespace {

// Passes every call on to the store it watches and keeps the reason of the first failure.
class FailureWatch : public SettingsStore {
public:
    explicit FailureWatch(SettingsStore& store) : store_(store) {}

    StoreStatus OpenKey(std::wstring_view subKey, StoreKey** key) override {
        return Watch(store_.OpenKey(subKey, key));
    }
    StoreStatus CreateKey(std::wstring_view subKey, StoreKey** key) override {
        return Watch(store_.CreateKey(subKey, key));
    }
    StoreStatus QueryValue(StoreKey* key, std::wstring_view name, uint32_t* type, uint8_t* data,
                           uint32_t* size) override {
        return Watch(store_.QueryValue(key, name, type, data, size));
    }
    StoreStatus SetValue(StoreKey* key, std::wstring_view name, uint32_t type, const uint8_t* data,
                         uint32_t size) override {
        return Watch(store_.SetValue(key, name, type, data, size));
    }
    void CloseKey(StoreKey* key) override { store_.CloseKey(key); }
    std::string LastProblem() const override { return store_.LastProblem(); }

    bool Failed() const { return failed_; }
    const std::string& Problem() const { return problem_; }

private:
    StoreStatus Watch(StoreStatus status) {
        if (status == StoreStatus::Failed && !failed_) {
            failed_ = true;
            problem_ = store_.LastProblem();
        }
        return status;
    }

    SettingsStore& store_;
    bool failed_ = false;
    std::string problem_;
};

}  // namespace

SettingsChoice ReadSettings(SettingsStore* store) {
    return ReadSettings(store, DocumentsFolder());
}

SettingsChoice ReadSettings(SettingsStore* store, std::string* problem) {
    return ReadSettings(store, DocumentsFolder(), problem);
}

SettingsChoice ReadSettings(SettingsStore* store, const std::wstring& documentsFolder, std::string* problem) {
    FailureWatch watch(store != nullptr ? *store : CurrentUserStore());
    SettingsChoice choice = ReadSettings(&watch, documentsFolder);
    if (problem != nullptr) {
        *problem = !watch.Failed()           ? std::string()
                   : watch.Problem().empty() ? std::string("the settings cannot be read")
                                             : watch.Problem();
    }
    return choice;
}

SettingsChoice ReadSettings(SettingsStore* store, const std::wstring& documentsFolder) {
    // The dialog reads through read-only views, in the order of the table.
    registry_string<std::wstring> outputFolder(kOutputFolderPath, DefaultOutputFolder(documentsFolder),
                                               registry_value::no_write_back, store);
    registry_string<std::wstring> scheme(kSchemePath, kDefaultScheme, registry_value::no_write_back, store);
    registry_int<bool> omitBackground(kOmitBackgroundPath, true, registry_value::no_write_back, store);
    registry_int<bool> omitShadow(kOmitShadowPath, true, registry_value::no_write_back, store);
    registry_int<long> slidesPerPage(kSlidesPerPagePath, 1, registry_value::no_write_back, store);

    SettingsChoice choice;
    choice.outputFolder = outputFolder.get();
    choice.scheme = scheme.get();
    choice.omitBackground = omitBackground.get();
    choice.omitShadow = omitShadow.get();
    choice.twoSlidesPerPage = slidesPerPage.get() == 2;
    return choice;
}

ConvertSettings::ConvertSettings(SettingsStore* store)
    : outputFolder_(kOutputFolderPath, std::wstring(), 0, store),
      scheme_(kSchemePath, kDefaultScheme, 0, store),
      omitBackground_(kOmitBackgroundPath, true, 0, store),
      omitShadow_(kOmitShadowPath, true, 0, store),
      slidesPerPage_(kSlidesPerPagePath, 1, 0, store) {}

void ConvertSettings::Set(const SettingsChoice& choice) {
    outputFolder_.set(choice.outputFolder);
    scheme_.set(choice.scheme);
    omitBackground_.set(choice.omitBackground);
    omitShadow_.set(choice.omitShadow);
    slidesPerPage_.set(choice.twoSlidesPerPage ? 2 : 1);
}

void WriteSettings(const SettingsChoice& choice, SettingsStore* store) {
    ConvertSettings settings(store);
    settings.Set(choice);
}

}  // namespace settings
