#pragma once
// The main dialog's rules that need no window: its texts, the device list and how a remembered
// scheme selects an entry, the progress timer's arithmetic, and the mapping between the dialog's
// fields, the remembered settings and one job's settings.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "job/ConversionSettings.h"
#include "settings/SettingsTable.h"

namespace vellumet {

inline constexpr wchar_t kDialogCaption[] = L"Vellumet";
inline constexpr wchar_t kAboutMenuText[] = L"&About Vellumet...";
inline constexpr wchar_t kAboutCaption[] = L"About Vellumet";
inline constexpr wchar_t kAboutVersionText[] = L"Vellumet, Version 1.0";
inline constexpr wchar_t kAboutSecondLine[] = L"Presentations as e-book reader PDFs";
// Asked when Close is pressed while a job runs; Yes cancels the job and closes.
inline constexpr wchar_t kCloseQuestion[] = L"正在执行转换, 是否取消并退出程序?";
inline constexpr wchar_t kFolderBrowserCaption[] = L"Please select a output folder";

// The device list's entries, in list order.
inline constexpr const wchar_t* kDeviceListEntries[] = {
    L"Amazon Kindle DX", L"Amazon Kindle 2", L"Small (600*800)", L"Medium (900*1200)", L"Large (1200*1600)",
};

// The index of the first entry that begins with `text`, letter case ignored, or -1 when none does.
int FindDeviceEntry(std::span<const wchar_t* const> entries, std::wstring_view text);

// Progress range and the timer's period in milliseconds.
inline constexpr int32_t kProgressMaximum = 100;
inline constexpr int kProgressTimerMs = 200;

// The position after one timer tick: position + step, or (sum mod 100) + 75 once the sum exceeds 100,
// so the bar never stops and climbs again from 76..80.
int32_t NextProgressPosition(int32_t position, int32_t step);

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

// One job's settings; `fields.outputDir` has passed CheckConvertInputs.
ConversionSettings JobSettingsFromFields(const DialogFields& fields, const std::wstring& tempDir);

}  // namespace vellumet
