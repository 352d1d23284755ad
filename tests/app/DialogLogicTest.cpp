#include "app/DialogLogic.h"

#include <gtest/gtest.h>

namespace vellumet {
namespace {

TEST(DialogLogicTest, StoredSchemeSelectsFirstEntryItBegins) {
    struct Row {
        const wchar_t* stored;
        int entry;
    };
    const Row rows[] = {
        {L"Amazon Kindle DX", 0},   {L"amazon kindle 2", 1}, {L"Amazon", 0},
        {L"SMALL (600*800)", 2},    {L"large", 4},           {L"Kobo", -1},
        {L"Amazon Kindle DXG", -1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(FindDeviceEntry(kDeviceListEntries, row.stored), row.entry) << row.stored;
    }
}

TEST(DialogLogicTest, ProgressWrapsIntoItsLastQuarter) {
    EXPECT_EQ(NextProgressPosition(100, 1), 76);
    EXPECT_EQ(NextProgressPosition(99, 5), 79);
    EXPECT_EQ(NextProgressPosition(96, 5), 76);
    EXPECT_EQ(NextProgressPosition(95, 5), 100);
    EXPECT_EQ(NextProgressPosition(0, 1), 1);
    // The bar never stops: from anywhere it keeps climbing within 76..100.
    int32_t position = 97;
    for (int tick = 0; tick < 200; ++tick) {
        const int32_t next = NextProgressPosition(position, 2);
        EXPECT_NE(next, position);
        EXPECT_GE(next, 76);
        EXPECT_LE(next, 100);
        position = next;
    }
}

TEST(DialogLogicTest, BoxesCountAsTickedOnlyWhenOne) {
    DialogFields fields;
    fields.omitBackgroundCheck = 1;
    fields.omitShadowCheck = 2;
    fields.twoPerPageCheck = 1;
    const settings::SettingsChoice choice = ChoiceFromFields(fields);
    EXPECT_TRUE(choice.omitBackground);
    EXPECT_FALSE(choice.omitShadow);
    EXPECT_TRUE(choice.twoSlidesPerPage);

    const ConversionSettings job = JobSettingsFromFields(fields, L"/tmp/PPT20091230022130");
    EXPECT_EQ(job.omitShadow, 2);
    EXPECT_EQ(job.tempFolder, L"/tmp/PPT20091230022130");
}

}  // namespace
}  // namespace vellumet
