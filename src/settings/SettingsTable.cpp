#include "settings/SettingsTable.h"

#include "settings/DocumentsFolder.h"

namespace settings {

SettingsChoice ReadSettings(SettingsStore* store) {
    return ReadSettings(store, DocumentsFolder());
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
