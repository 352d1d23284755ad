#include "frontend/FrontEndRules.h"

#include "common/WideText.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <string>

#include "frontend/DeviceList.h"
#include "job/DeviceTable.h"

namespace vellumet {
namespace {

TEST(FrontEndRulesTest, RememberedSchemeSelectsTheFirstEntryItBegins) {
    struct Row {
        const wchar_t* stored;
        int entry;
        const wchar_t* device;
    };
    const Row rows[] = {
        {L"Amazon Kindle DX", 0, L"Amazon Kindle DX"},
        {L"amazon kindle 2", 1, L"Amazon Kindle 2"},
        {L"Amazon", 0, L"Amazon Kindle DX"},
        {L"SMALL (600*800)", 2, L"Small (600*800)"},
        {L"large", 4, L"Large (1200*1600)"},
        {L"", 0, L"Amazon Kindle DX"},
        {L"kobo clara", 14, L"Kobo Clara HD"},
        {L"Kindle Scribe (2025)", 13, L"Kindle Scribe (2025)"},
        // No entry: no selection, so the job gets the empty name and the default 600 x 800 page.
        {L"Nook", -1, L""},
        {L"Amazon Kindle DXG", -1, L""},
    };
    const std::vector<DeviceProfile> devices = DeviceListOf({});
    const std::vector<std::wstring> entries = DeviceNames(devices);
    for (const Row& row : rows) {
        EXPECT_EQ(FindDeviceEntry(entries, row.stored), row.entry) << row.stored;
        EXPECT_EQ(DeviceForRemembered(devices, row.stored), row.device) << row.stored;
    }
    EXPECT_EQ(LookupDevice(DeviceForRemembered(devices, L"Nook")), (PixelSize{600, 800}));
}

TEST(FrontEndRulesTest, LetterCaseOfAnyScriptFoldsAlikeInEveryLocale) {
    std::vector<DeviceProfile> devices = DeviceListOf({});
    devices.push_back({L"\u00c9cran \u0416", {600, 800}, Screen::Gray16, DeviceOrigin::User, {}, {}});
    const std::vector<std::wstring> names = DeviceNames(devices);
    // The command line runs in the "C" locale, the dialog in the user's: the rule must not care.
    for (const char* locale : {"C", "de_DE.UTF-8"}) {
        const std::string before = ::setlocale(LC_CTYPE, nullptr);
        ::setlocale(LC_CTYPE, locale);
        EXPECT_EQ(FindDeviceEntry(names, L"\u00e9cran \u0436"), static_cast<int>(names.size()) - 1) << locale;
        EXPECT_NE(FindNamedDevice(devices, L"\u00e9CRAN \u0436"), nullptr) << locale;
        ::setlocale(LC_CTYPE, before.c_str());
    }
}

TEST(FrontEndRulesTest, ProgressWrapsIntoItsLastQuarterInsteadOfStopping) {
    EXPECT_EQ(NextProgressPosition(0, 1), 1);
    EXPECT_EQ(NextProgressPosition(99, 1), 100);
    EXPECT_EQ(NextProgressPosition(100, 1), 76);
    EXPECT_EQ(NextProgressPosition(99, 5), 79);
    EXPECT_EQ(NextProgressPosition(96, 5), 76);
    EXPECT_EQ(NextProgressPosition(95, 5), 100);
    // From anywhere it keeps climbing within 76..100.
    int32_t position = 97;
    for (int tick = 0; tick < 200; ++tick) {
        const int32_t next = NextProgressPosition(position, 2);
        EXPECT_NE(next, position);
        EXPECT_GE(next, 76);
        EXPECT_LE(next, 100);
        position = next;
    }
}

TEST(FrontEndRulesTest, ChoicesBecomeOneJobsSettings) {
    settings::SettingsChoice choice;
    choice.scheme = L"Amazon Kindle 2";
    choice.outputFolder = L"/remembered/";
    choice.omitBackground = false;
    choice.omitShadow = true;
    choice.twoSlidesPerPage = true;
    const ConversionSettings job =
        JobSettingsFromChoice(choice, DeviceListOf({}), L"/talks/a.ppt", L"/out/", L"/tmp/PPT20091230022130");
    EXPECT_EQ(job.sourcePath, L"/talks/a.ppt");
    EXPECT_EQ(job.schemeName, L"Amazon Kindle 2");
    EXPECT_FALSE(job.pageSize.has_value()) << "the table's own devices keep the job's lookup";
    EXPECT_EQ(job.outputFolder, L"/out/") << "the checked folder, not the remembered text";
    EXPECT_EQ(job.omitBackground, 0);
    EXPECT_EQ(job.omitShadow, 1);
    EXPECT_EQ(job.twoSlidesPerPage, 1);
    EXPECT_EQ(job.tempFolder, L"/tmp/PPT20091230022130");
    EXPECT_FALSE(job.outline || job.searchable) << "the table's devices keep today's file";
}

TEST(FrontEndRulesTest, OutlineAndTextLayerComeWithTheChosenDevice) {
    DeviceProfile mine{L"My reader", {1000, 1400}, Screen::Gray16, DeviceOrigin::User, {}, {}, true, false};
    const std::vector<DeviceProfile> devices = DeviceListOf(std::span<const DeviceProfile>(&mine, 1));
    settings::SettingsChoice choice;
    auto settingsFor = [&](const std::wstring& scheme) {
        choice.scheme = scheme;
        return JobSettingsFromChoice(choice, devices, L"/a.ppt", L"/out/", L"/tmp/x");
    };
    for (const wchar_t* specified : {L"Amazon Kindle DX", L"Amazon Kindle 2", L"Small (600*800)",
                                     L"Medium (900*1200)", L"Large (1200*1600)"}) {
        const ConversionSettings job = settingsFor(specified);
        EXPECT_FALSE(job.outline || job.searchable) << specified;
    }
    const ConversionSettings reader = settingsFor(L"Kobo Libra 2");
    EXPECT_TRUE(reader.outline && reader.searchable) << "today's readers have both";
    const ConversionSettings own = settingsFor(L"My reader");
    EXPECT_TRUE(own.outline);
    EXPECT_FALSE(own.searchable) << "the user's device keeps its own choice";
    const ConversionSettings unknown = settingsFor(L"Nothing by this name");
    EXPECT_FALSE(unknown.outline || unknown.searchable);
    EXPECT_FALSE(reader.notesPages || own.notesPages) << "notes pages only when a device asks";
}

TEST(FrontEndRulesTest, NotesPagesComeWithTheDeviceThatAsksForThem) {
    DeviceProfile mine{L"Notes reader", {1000, 1400}, Screen::Gray16, DeviceOrigin::User, {}, {}, true, true};
    mine.notes = true;
    const std::vector<DeviceProfile> devices = DeviceListOf(std::span<const DeviceProfile>(&mine, 1));
    settings::SettingsChoice choice;
    choice.scheme = L"Notes reader";
    EXPECT_TRUE(JobSettingsFromChoice(choice, devices, L"/a.ppt", L"/out/", L"/tmp/x").notesPages);
}

TEST(FrontEndRulesTest, TheChosenDevicesPageColoursReachTheJob) {
    std::vector<DeviceProfile> user;
    user.push_back(
        {L"Desk Reader", {900, 1300}, Screen::Gray16, DeviceOrigin::User, {}, {Palette::Gray, Dither::None}});
    const std::vector<DeviceProfile> devices = DeviceListOf(user);
    const auto coloursOf = [&devices](const wchar_t* scheme) {
        settings::SettingsChoice choice;
        choice.scheme = scheme;
        return JobSettingsFromChoice(choice, devices, L"/a.ppt", L"/out/", L"/tmp/x").colours;
    };
    // The five table devices keep their rgb pages; gray readers get 16 levels, colour ones rgb.
    for (const wchar_t* specified : {L"Amazon Kindle DX", L"Amazon Kindle 2", L"Small (600*800)",
                                     L"Medium (900*1200)", L"Large (1200*1600)"}) {
        EXPECT_EQ(coloursOf(specified), (PageColours{Palette::Rgb, Dither::Ordered})) << ToNative(specified);
    }
    EXPECT_EQ(coloursOf(L"Kobo Clara BW"), (PageColours{Palette::Gray16, Dither::Ordered}));
    EXPECT_EQ(coloursOf(L"Kobo Libra Colour"), (PageColours{Palette::Rgb, Dither::Ordered}));
    EXPECT_EQ(coloursOf(L"Desk Reader"), (PageColours{Palette::Gray, Dither::None}));
    EXPECT_EQ(coloursOf(L""), (PageColours{Palette::Rgb, Dither::Ordered})) << "a page size given instead";
}

}  // namespace
}  // namespace vellumet
