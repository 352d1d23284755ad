#include "app/DialogLogic.h"

#include <gtest/gtest.h>

namespace vellumet {
namespace {

TEST(DialogLogicTest, BoxesCountAsTickedOnlyWhenOne) {
    DialogFields fields;
    fields.omitBackgroundCheck = 1;
    fields.omitShadowCheck = 2;
    fields.twoPerPageCheck = 1;
    const settings::SettingsChoice choice = ChoiceFromFields(fields);
    EXPECT_TRUE(choice.omitBackground);
    EXPECT_FALSE(choice.omitShadow);
    EXPECT_TRUE(choice.twoSlidesPerPage);

    const ConversionSettings job = JobSettingsFromFields(fields, {}, L"/tmp/PPT20091230022130");
    EXPECT_EQ(job.omitShadow, 0);
    EXPECT_EQ(job.tempFolder, L"/tmp/PPT20091230022130");
}

}  // namespace
}  // namespace vellumet
