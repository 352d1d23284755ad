#include "app/DialogLogic.h"

#include <cwctype>

namespace vellumet {

namespace {

wchar_t FoldCase(wchar_t c) {
    if (c >= L'A' && c <= L'Z') {
        return static_cast<wchar_t>(c - L'A' + L'a');
    }
    if (c < 0x80) {
        return c;
    }
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix) {
    if (prefix.size() > text.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (FoldCase(text[i]) != FoldCase(prefix[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

int FindDeviceEntry(std::span<const wchar_t* const> entries, std::wstring_view text) {
    for (size_t i = 0; i < entries.size(); ++i) {
        if (StartsWithIgnoringCase(entries[i], text)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int32_t NextProgressPosition(int32_t position, int32_t step) {
    const int32_t sum = position + step;
    return sum > kProgressMaximum ? sum % kProgressMaximum + 75 : sum;
}

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

ConversionSettings JobSettingsFromFields(const DialogFields& fields, const std::wstring& tempDir) {
    ConversionSettings job;
    job.sourcePath = fields.sourceFile;
    job.schemeName = fields.deviceName;
    job.outputFolder = fields.outputDir;
    job.omitBackground = fields.omitBackgroundCheck;
    job.omitShadow = fields.omitShadowCheck;
    job.twoSlidesPerPage = fields.twoPerPageCheck;
    job.tempFolder = tempDir;
    return job;
}

}  // namespace vellumet
