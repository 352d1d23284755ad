#include "powerpoint/FailureRecorder.h"

#include <gtest/gtest.h>

#include "FakeOffice.h"
#include "common/ExportFlags.h"
#include "powerpoint/DispatchIds.h"
#include "powerpoint/SlideExport.h"

namespace {

using fake::FakeOffice;
using fake::Kind;
namespace dispid = powerpoint::dispid;

int Export(powerpoint::AutomationServer& server) {
    return powerpoint::ExportSlides(ExportFlags::OmitShadow, L"/talks/a.ppt", L"/nonexistent/out", 800, 600,
                                    dispid::Presentations::Open, server);
}

FakeOffice DeckWithText() {
    FakeOffice office;
    office.deck.resize(2);
    office.deck[0].shapes = {{true, true}, {false, false}};
    return office;
}

TEST(FailureRecorder, PassesTheConversationThroughUnchanged) {
    FakeOffice direct = DeckWithText();
    ASSERT_EQ(Export(direct), powerpoint::kExportDone);

    FakeOffice relayed = DeckWithText();
    powerpoint::FailureRecorder recorder(relayed);
    EXPECT_EQ(Export(recorder), powerpoint::kExportDone);

    ASSERT_EQ(relayed.calls.size(), direct.calls.size());
    for (size_t n = 0; n < direct.calls.size(); ++n) {
        EXPECT_EQ(relayed.calls[n].dispId, direct.calls[n].dispId);
        EXPECT_EQ(relayed.calls[n].kind, direct.calls[n].kind);
        EXPECT_EQ(relayed.calls[n].args, direct.calls[n].args);
    }
    EXPECT_EQ(relayed.releasedKinds, direct.releasedKinds);
    EXPECT_EQ(relayed.liveObjects, 0);
    EXPECT_EQ(relayed.outOfOrderReleases, 0);
    EXPECT_FALSE(recorder.FirstFailure().has_value());
    EXPECT_TRUE(recorder.Describe().empty());
}

TEST(FailureRecorder, KeepsTheFirstFailure) {
    FakeOffice office = DeckWithText();
    office.failure = fake::Failure{Kind::Presentations, dispid::Presentations::Open, 1, false};
    powerpoint::FailureRecorder recorder(office);

    EXPECT_EQ(Export(recorder), powerpoint::kExportCallFailed);
    ASSERT_TRUE(recorder.FirstFailure().has_value());
    EXPECT_EQ(recorder.FirstFailure()->dispId, dispid::Presentations::Open);
    EXPECT_EQ(recorder.Describe(), L"call 2005 (method) failed: told to fail");
    EXPECT_EQ(office.liveObjects, 0);
    EXPECT_EQ(office.outOfOrderReleases, 0);
    EXPECT_TRUE(office.officeEnded);

    // A later conversation's failure does not replace it.
    office.failure = fake::Failure{Kind::Slides, dispid::Slides::Count, 1, false};
    office.calls.clear();
    EXPECT_EQ(Export(recorder), powerpoint::kExportCallFailed);
    EXPECT_EQ(recorder.FirstFailure()->dispId, dispid::Presentations::Open);
}

TEST(FailureRecorder, ServerThatCannotStart) {
    FakeOffice office;
    office.refuseStart = true;
    powerpoint::FailureRecorder recorder(office);
    EXPECT_EQ(Export(recorder), powerpoint::kExportNoServer);
    EXPECT_FALSE(recorder.FirstFailure().has_value());
}

}  // namespace
