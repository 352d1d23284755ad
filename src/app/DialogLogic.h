#pragma once
// The main dialog's rules that need no window: its texts and the mapping between the dialog's
// fields, the remembered settings and one job's settings. What the command line shares with it
// lives in frontend/.

#include <span>
#include <string>

#include "frontend/DeviceProfile.h"
#include "job/ConversionSettings.h"
#include "job/JobMessages.h"
#include "settings/SettingsTable.h"

namespace vellumet {

inline constexpr const wchar_t* kDialogCaption = kMessageCaption;
inline constexpr wchar_t kAboutMenuText[] = L"&About Vellumet...";
inline constexpr wchar_t kAboutCaption[] = L"About Vellumet";
inline constexpr wchar_t kAboutVersionText[] = L"Vellumet, Version 1.0";
inline constexpr wchar_t kAboutSecondLine[] = L"Presentations as e-book reader PDFs";
// Asked when Close is pressed while a job runs; Yes cancels the job and closes, No is the default.
inline constexpr wchar_t kCloseQuestion[] = L"正在执行转换, 是否取消并退出程序?";
// What kCloseQuestion means, shown below it for those who do not read it.
inline constexpr wchar_t kCloseQuestionMeaning[] = L"A conversion is running. Cancel it and quit?";

// The Close question as the dialog asks it: kCloseQuestion, then its meaning on a line of its own.
std::wstring CloseQuestionText();
inline constexpr wchar_t kFolderBrowserCaption[] = L"Please select a output folder";

// What the dialog's controls hold, as the dialog exchanges it.
struct DialogFields {
    std::wstring sourceFile;
    std::wstring deviceName;
    std::wstring outputDir;
    int omitBackgroundCheck = 0;  // 0 clear, 1 ticked
    int omitShadowCheck = 0;
    int twoPerPageCheck = 0;
};

// The remembered choices as the dialog shows them when it opens.
DialogFields FieldsFromChoice(const settings::SettingsChoice& choice);

// The choices Convert writes back: a box counts as ticked exactly when its value is 1.
settings::SettingsChoice ChoiceFromFields(const DialogFields& fields);

// One job's settings; `fields.outputDir` has passed CheckConvertInputs, `devices` is the device
// list the dialog shows.
ConversionSettings JobSettingsFromFields(const DialogFields& fields, std::span<const DeviceProfile> devices,
                                         const std::wstring& tempDir);

}  // namespace vellumet
