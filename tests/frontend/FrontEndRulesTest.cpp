#include "frontend/FrontEndRules.h"

#include <gtest/gtest.h>

#include "job/DeviceTable.h"

namespace vellumet {
namespace {

TEST(FrontEndRulesTest, DeviceListIsTheDeviceTableInItsOrder) {
    const std::vector<std::wstring> entries = DeviceListEntries();
    ASSERT_EQ(entries.size(), std::size(kDeviceSchemes));
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i], kDeviceSchemes[i].schemeName);
    }
}

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
        // No entry: no selection, so the job gets the empty name and the default 600 x 800 page.
        {L"Kobo", -1, L""},
        {L"Amazon Kindle DXG", -1, L""},
    };
    const std::vector<std::wstring> entries = DeviceListEntries();
    for (const Row& row : rows) {
        EXPECT_EQ(FindDeviceEntry(entries, row.stored), row.entry) << row.stored;
        EXPECT_EQ(DeviceForRemembered(row.stored), row.device) << row.stored;
    }
    EXPECT_EQ(LookupDevice(DeviceForRemembered(L"Kobo")), (PixelSize{600, 800}));
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
        JobSettingsFromChoice(choice, L"/talks/a.ppt", L"/out/", L"/tmp/PPT20091230022130");
    EXPECT_EQ(job.sourcePath, L"/talks/a.ppt");
    EXPECT_EQ(job.schemeName, L"Amazon Kindle 2");
    EXPECT_EQ(job.outputFolder, L"/out/") << "the checked folder, not the remembered text";
    EXPECT_EQ(job.omitBackground, 0);
    EXPECT_EQ(job.omitShadow, 1);
    EXPECT_EQ(job.twoSlidesPerPage, 1);
    EXPECT_EQ(job.tempFolder, L"/tmp/PPT20091230022130");
}

}  // namespace
}  // namespace vellumet
