#include "app/DialogLogic.h"

#include "frontend/FrontEndRules.h"

namespace vellumet {

DialogFields FieldsFromChoice(const settings::SettingsChoice& choice) {
    DialogFields fields;
    fields.outputDir = choice.outputFolder;
    fields.deviceName = choice.scheme;
    fields.omitBackgroundCheck = choice.omitBackground ? 1 : 0;
    fields.omitShadowCheck = choice.omitShadow ? 1 : 0;
    fields.twoPerPageCheck = choice.twoSlidesPerPage ? 1 : 0;
    return fields;
}

settings::SettingsChoice ChoiceFromFields(const DialogFields& fields) {
    settings::SettingsChoice choice;
    choice.outputFolder = fields.outputDir;
    choice.scheme = fields.deviceName;
    choice.omitBackground = fields.omitBackgroundCheck == 1;
    choice.omitShadow = fields.omitShadowCheck == 1;
    choice.twoSlidesPerPage = fields.twoPerPageCheck == 1;
    return choice;
}

std::wstring CloseQuestionText() {
    return std::wstring(kCloseQuestion) + L"\n" + kCloseQuestionMeaning;
}

ConversionSettings JobSettingsFromFields(const DialogFields& fields, std::span<const DeviceProfile> devices,
                                         const std::wstring& tempDir) {
    return JobSettingsFromChoice(ChoiceFromFields(fields), devices, fields.sourceFile, fields.outputDir,
                                 tempDir);
}

}  // namespace vellumet
