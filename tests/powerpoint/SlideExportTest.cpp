#include "powerpoint/SlideExport.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "FakeOffice.h"
#include "common/ExportFlags.h"
#include "common/WideText.h"
#include "powerpoint/DispatchIds.h"
#include "support/TempFolder.h"

namespace {

using fake::Call;
using fake::FakeOffice;
using fake::Kind;
using powerpoint::AutomationArgument;
using powerpoint::InvokeKind;
namespace dispid = powerpoint::dispid;

const std::wstring kSource = L"/talks/review.final.ppt";
// The export folder: private to this test process, and removed when the tests end.
const std::wstring kFolder =
    vellumet::FromPath(std::filesystem::temp_directory_path() /
                       ("vellumet-export-test-" + std::to_string(::getpid())) / "PPT20260101120000");

class RemoveExportFolder : public ::testing::Environment {
public:
    void TearDown() override { std::filesystem::remove_all(vellumet::ToPath(kFolder).parent_path()); }
};
const auto* const kRemoveExportFolder = ::testing::AddGlobalTestEnvironment(new RemoveExportFolder);

// A call as one line: "<object> <dispid> <get|put|method> <arguments>".
std::string Describe(const Call& call) {
    std::string line = std::string(fake::KindName(call.on)) + " " + std::to_string(call.dispId);
    switch (call.kind) {
        case InvokeKind::PropertyGet:
            line += " get";
            break;
        case InvokeKind::PropertyPut:
            line += " put";
            break;
        case InvokeKind::Method:
            line += " method";
            break;
    }
    for (const AutomationArgument& arg : call.args) {
        switch (arg.type) {
            case AutomationArgument::Type::Text:
                line += " '" +
                        (arg.text == kFolder ? std::string("<folder>") : vellumet::ToNative(arg.text)) + "'";
                break;
            case AutomationArgument::Type::Int32:
                line += " " + std::to_string(arg.value);
                break;
            case AutomationArgument::Type::VariantInt32:
                line += " v" + std::to_string(arg.value);
                break;
        }
    }
    return line;
}

std::vector<std::string> Describe(const std::vector<Call>& calls) {
    std::vector<std::string> lines;
    for (const Call& call : calls) {
        lines.push_back(Describe(call));
    }
    return lines;
}

int Export(FakeOffice& office, int flags, const vellumet::CancelToken* cancel = nullptr,
           const std::wstring& folder = kFolder) {
    return powerpoint::ExportSlides(flags, kSource, folder, 1045, 784, dispid::Presentations::Open, office,
                                    cancel);
}

// Every object was released, each while it was the latest live one, the application last, and no
// call came after it.
void ExpectAllReleased(const FakeOffice& office) {
    EXPECT_EQ(office.liveObjects, 0);
    EXPECT_EQ(office.outOfOrderReleases, 0);
    EXPECT_TRUE(office.officeEnded);
    EXPECT_EQ(office.callsAfterEnd, 0);
    ASSERT_FALSE(office.releasedKinds.empty());
    EXPECT_EQ(office.releasedKinds.back(), Kind::Application);
}

std::vector<fake::Slide> Deck(size_t slides) {
    return std::vector<fake::Slide>(slides);
}

TEST(SlideExport, PlainExportWalksTheSlidesAndChangesNothing) {
    FakeOffice office;
    office.deck = Deck(2);

    EXPECT_EQ(Export(office, 0), powerpoint::kExportDone);

    EXPECT_EQ(office.progIds, std::vector<std::wstring>{L"Powerpoint.Application"});
    const std::vector<std::string> expected = {
        "application 2001 get",
        "presentations 2005 method '/talks/review.final.ppt' 1 0 0",
        "presentation 2011 get",
        "slides 11 get",
        "slides 0 method v1",
        "slides 11 get",
        "slides 0 method v2",
        "slides 11 get",
        "presentation 2038 method '<folder>' 'png' 1045 784",
    };
    EXPECT_EQ(Describe(office.calls), expected);
    EXPECT_TRUE(office.Puts().empty());
    ExpectAllReleased(office);
    // Slide collection before the export; then presentation, collection, application.
    const std::vector<Kind> tail(office.releasedKinds.end() - 4, office.releasedKinds.end());
    EXPECT_EQ(tail,
              (std::vector<Kind>{Kind::Slides, Kind::Presentation, Kind::Presentations, Kind::Application}));
}

TEST(SlideExport, OpensWithTheGivenIdentifier) {
    FakeOffice office;
    office.openDispId = dispid::Presentations::Open2000;
    office.deck = Deck(1);

    EXPECT_EQ(
        powerpoint::ExportSlides(0, kSource, kFolder, 800, 600, dispid::Presentations::Open2000, office),
        powerpoint::kExportDone);
    ASSERT_EQ(office.CallsTo(dispid::Presentations::Open2000, InvokeKind::Method, Kind::Presentations).size(),
              1u);
    EXPECT_TRUE(office.CallsTo(dispid::Presentations::Open, InvokeKind::Method, Kind::Presentations).empty());
    EXPECT_EQ(Describe(office.calls.back()), "presentation 2038 method '<folder>' 'png' 800 600");
}

TEST(SlideExport, OmitBackgroundHidesMasterShapesOnEverySlideOnly) {
    FakeOffice office;
    office.deck = Deck(3);
    office.deck[1].shapes = {{true, true}};

    EXPECT_EQ(Export(office, ExportFlags::OmitBackground), powerpoint::kExportDone);

    const auto puts = office.Puts();
    ASSERT_EQ(puts.size(), 3u);
    std::set<int> slides;
    for (const Call& put : puts) {
        EXPECT_EQ(Describe(put), "slide 2020 put 0");
        slides.insert(put.object);
    }
    EXPECT_EQ(slides.size(), 3u);  // one per slide object
    EXPECT_FALSE(office.AnyCallOn(Kind::Shapes));
    EXPECT_FALSE(office.AnyCallOn(Kind::Shape));
    ExpectAllReleased(office);
}

TEST(SlideExport, OmitShadowTreatsEachShapeByWhatItHolds) {
    FakeOffice office;
    office.deck = Deck(1);
    office.deck[0].shapes = {{false, false}, {true, false}, {true, true}};

    EXPECT_EQ(Export(office, ExportFlags::OmitShadow), powerpoint::kExportDone);

    const std::vector<std::string> expected = {
        "application 2001 get",
        "presentations 2005 method '/talks/review.final.ppt' 1 0 0",
        "presentation 2011 get",
        "slides 11 get",
        "slides 0 method v1",
        "slide 2003 get",
        "shapes 2 get",
        // no text frame: only the shadow
        "shapes 0 method v1",
        "shape 119 get",
        "shadow format 106 put 0",
        "shape 2014 get",
        "shapes 2 get",
        // a frame without text: no font change
        "shapes 0 method v2",
        "shape 119 get",
        "shadow format 106 put 0",
        "shape 2014 get",
        "shape 121 get",
        "text frame 2003 get",
        "shapes 2 get",
        // text: shadow and emboss of its font
        "shapes 0 method v3",
        "shape 119 get",
        "shadow format 106 put 0",
        "shape 2014 get",
        "shape 121 get",
        "text frame 2003 get",
        "text frame 2004 get",
        "text range 2022 get",
        "font 2006 put 0",
        "font 2007 put 0",
        "shapes 2 get",
        "slides 11 get",
        "presentation 2038 method '<folder>' 'png' 1045 784",
    };
    EXPECT_EQ(Describe(office.calls), expected);
    ExpectAllReleased(office);
    // The last shape's objects go latest first, then the shape collection, then the slide.
    const std::vector<Kind> acquired(office.acquiredKinds.end() - 5, office.acquiredKinds.end());
    EXPECT_EQ(acquired, (std::vector<Kind>{Kind::Shape, Kind::ShadowFormat, Kind::TextFrame, Kind::TextRange,
                                           Kind::Font}));
    const auto font = std::find(office.releasedKinds.begin(), office.releasedKinds.end(), Kind::Font);
    ASSERT_GE(office.releasedKinds.end() - font, 7);
    EXPECT_EQ(std::vector<Kind>(font, font + 7),
              (std::vector<Kind>{Kind::Font, Kind::TextRange, Kind::TextFrame, Kind::ShadowFormat,
                                 Kind::Shape, Kind::Shapes, Kind::Slide}));
}

TEST(SlideExport, BothOptionsOnSlidesWithoutShapes) {
    FakeOffice office;
    office.deck = Deck(2);

    EXPECT_EQ(Export(office, ExportFlags::OmitBackground | ExportFlags::OmitShadow), powerpoint::kExportDone);
    EXPECT_EQ(office.CallsTo(dispid::Slide::DisplayMasterShapes, InvokeKind::PropertyPut).size(), 2u);
    EXPECT_EQ(office.CallsTo(dispid::Shapes::Count, InvokeKind::PropertyGet, Kind::Shapes).size(), 2u);
    EXPECT_FALSE(office.AnyCallOn(Kind::Shape));
    ExpectAllReleased(office);
}

TEST(SlideExport, EmptyDeckIsStillExported) {
    FakeOffice office;

    EXPECT_EQ(Export(office, ExportFlags::OmitBackground | ExportFlags::OmitShadow), powerpoint::kExportDone);
    const std::vector<std::string> expected = {
        "application 2001 get",
        "presentations 2005 method '/talks/review.final.ppt' 1 0 0",
        "presentation 2011 get",
        "slides 11 get",
        "presentation 2038 method '<folder>' 'png' 1045 784",
    };
    EXPECT_EQ(Describe(office.calls), expected);
    ExpectAllReleased(office);
}

TEST(SlideExport, CountsAreReadAgainAfterEachItem) {
    // A slide appears while the first is worked on: it is walked too.
    FakeOffice growing;
    growing.deck = Deck(2);
    growing.onCall = [](FakeOffice& office, const Call& call) {
        if (call.on == Kind::Slides && call.dispId == dispid::Slides::Item && call.args[0].value == 1) {
            office.deck.emplace_back();
        }
    };
    EXPECT_EQ(Export(growing, ExportFlags::OmitBackground), powerpoint::kExportDone);
    EXPECT_EQ(growing.CallsTo(dispid::Slides::Item, InvokeKind::Method, Kind::Slides).size(), 3u);
    ExpectAllReleased(growing);

    // Slides vanish while the first is worked on: the walk ends with the new count.
    FakeOffice shrinking;
    shrinking.deck = Deck(3);
    shrinking.onCall = [](FakeOffice& office, const Call& call) {
        if (call.on == Kind::Slides && call.dispId == dispid::Slides::Item && call.args[0].value == 1) {
            office.deck.resize(1);
        }
    };
    EXPECT_EQ(Export(shrinking, 0), powerpoint::kExportDone);
    EXPECT_EQ(shrinking.CallsTo(dispid::Slides::Item, InvokeKind::Method, Kind::Slides).size(), 1u);
    ExpectAllReleased(shrinking);

    // Shapes likewise.
    FakeOffice shapes;
    shapes.deck = Deck(1);
    shapes.deck[0].shapes = {{}, {}, {}, {}};
    shapes.onCall = [](FakeOffice& office, const Call& call) {
        if (call.on == Kind::Shapes && call.dispId == dispid::Shapes::Item && call.args[0].value == 2) {
            office.deck[0].shapes.resize(2);
        }
    };
    EXPECT_EQ(Export(shapes, ExportFlags::OmitShadow), powerpoint::kExportDone);
    EXPECT_EQ(shapes.CallsTo(dispid::Shapes::Item, InvokeKind::Method, Kind::Shapes).size(), 2u);
    ExpectAllReleased(shapes);
}

TEST(SlideExport, EmptySourceStartsNothing) {
    FakeOffice office;
    office.deck = Deck(1);
    EXPECT_EQ(powerpoint::ExportSlides(0, L"", kFolder, 800, 600, dispid::Presentations::Open, office),
              powerpoint::kExportNoSource);
    EXPECT_TRUE(office.progIds.empty());
}

TEST(SlideExport, ServerThatCannotStart) {
    FakeOffice office;
    office.refuseStart = true;
    EXPECT_EQ(Export(office, 0), powerpoint::kExportNoServer);
    EXPECT_EQ(office.progIds.size(), 1u);
    EXPECT_TRUE(office.calls.empty());
}

// A private folder for the pictures, removed afterwards.
class PictureFolder : public ::testing::Test {
protected:
    std::wstring Folder() const { return vellumet::FromPath(folder_); }

    std::set<std::string> Files() const {
        std::set<std::string> names;
        std::error_code error;
        for (std::filesystem::directory_iterator it(folder_, error), end; !error && it != end;
             it.increment(error)) {
            names.insert(it->path().filename().string());
        }
        return names;
    }

    const vellumet_test::TempFolder root_{"slideexport-"};
    const std::filesystem::path folder_ = root_.Path() / "PPT20260101120000";
};

TEST_F(PictureFolder, SuccessfulExportLeavesThePictures) {
    FakeOffice office;
    office.deck = Deck(2);
    EXPECT_EQ(Export(office, 0, nullptr, Folder()), powerpoint::kExportDone);
    EXPECT_EQ(Files(), (std::set<std::string>{"Slide1.png", "Slide2.png"}));
}

TEST_F(PictureFolder, FailedExportRemovesOnlyItsOwnPictures) {
    std::filesystem::create_directories(folder_);
    std::ofstream(folder_ / "Slide2.png") << "was here before";
    std::ofstream(folder_ / "notes.txt") << "not a picture";

    FakeOffice office;
    office.deck = Deck(4);
    office.exportFailsAfter = 3;
    EXPECT_EQ(Export(office, 0, nullptr, Folder()), powerpoint::kExportCallFailed);
    EXPECT_EQ(Files(), (std::set<std::string>{"Slide2.png", "notes.txt"}));
    ExpectAllReleased(office);
}

TEST_F(PictureFolder, FailedExportIntoAMissingFolderLeavesItEmpty) {
    FakeOffice office;
    office.deck = Deck(3);
    office.exportFailsAfter = 2;
    EXPECT_EQ(Export(office, 0, nullptr, Folder()), powerpoint::kExportCallFailed);
    EXPECT_TRUE(Files().empty());
    EXPECT_TRUE(std::filesystem::is_directory(folder_));  // the folder is the caller's
}

TEST_F(PictureFolder, ExportThatFailsAfterACancelCountsAsCancelled) {
    vellumet::CancelToken cancel;
    FakeOffice office;
    office.deck = Deck(3);
    office.exportFailsAfter = 1;
    office.onCall = [&cancel](FakeOffice&, const Call& call) {
        if (call.dispId == dispid::Presentation::Export && call.on == Kind::Presentation) {
            cancel.RequestCancel();
        }
    };
    EXPECT_EQ(Export(office, 0, &cancel, Folder()), powerpoint::kExportCancelled);
    EXPECT_TRUE(Files().empty());
    ExpectAllReleased(office);
}

// Failing each call of a full walk in turn: the export stops at once, reports the failure and
// releases everything. Calls that give an object are also made to succeed without one.
struct FailurePoint {
    Kind on;
    int32_t dispId;
    int occurrence;
    bool givesObject;
};

class FailingCall : public ::testing::TestWithParam<FailurePoint> {};

TEST_P(FailingCall, StopsReleasesAndReports) {
    const FailurePoint point = GetParam();
    for (const bool missingObject : {false, true}) {
        if (missingObject && !point.givesObject) {
            continue;
        }
        SCOPED_TRACE(missingObject ? "missing object" : "error");
        FakeOffice office;
        office.deck = Deck(2);
        office.deck[0].shapes = {{false, false}, {true, true}};
        office.deck[1].shapes = {{true, true}};
        office.failure = fake::Failure{point.on, point.dispId, point.occurrence, missingObject};

        EXPECT_EQ(Export(office, ExportFlags::OmitBackground | ExportFlags::OmitShadow),
                  powerpoint::kExportCallFailed);
        ExpectAllReleased(office);
        ASSERT_FALSE(office.calls.empty());
        EXPECT_EQ(office.calls.back().on, point.on);
        EXPECT_EQ(office.calls.back().dispId, point.dispId);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryCall, FailingCall,
    ::testing::Values(FailurePoint{Kind::Application, dispid::Application::Presentations, 1, true},
                      FailurePoint{Kind::Presentations, dispid::Presentations::Open, 1, true},
                      FailurePoint{Kind::Presentation, dispid::Presentation::Slides, 1, true},
                      FailurePoint{Kind::Slides, dispid::Slides::Count, 1, false},
                      FailurePoint{Kind::Slides, dispid::Slides::Count, 2, false},
                      FailurePoint{Kind::Slides, dispid::Slides::Item, 2, true},
                      FailurePoint{Kind::Slide, dispid::Slide::DisplayMasterShapes, 2, false},
                      FailurePoint{Kind::Slide, dispid::Slide::Shapes, 1, true},
                      FailurePoint{Kind::Shapes, dispid::Shapes::Count, 2, false},
                      FailurePoint{Kind::Shapes, dispid::Shapes::Item, 3, true},
                      FailurePoint{Kind::Shape, dispid::Shape::Shadow, 2, true},
                      FailurePoint{Kind::ShadowFormat, dispid::ShadowFormat::Visible, 1, false},
                      FailurePoint{Kind::Shape, dispid::Shape::HasTextFrame, 1, false},
                      FailurePoint{Kind::Shape, dispid::Shape::TextFrame, 1, true},
                      FailurePoint{Kind::TextFrame, dispid::TextFrame::HasText, 2, false},
                      FailurePoint{Kind::TextFrame, dispid::TextFrame::TextRange, 1, true},
                      FailurePoint{Kind::TextRange, dispid::TextRange::Font, 2, true},
                      FailurePoint{Kind::Font, dispid::Font::Shadow, 1, false},
                      FailurePoint{Kind::Font, dispid::Font::Emboss, 2, false},
                      FailurePoint{Kind::Presentation, dispid::Presentation::Export, 1, false}));

TEST(SlideExport, CancelBeforeStartStartsNothing) {
    vellumet::CancelToken cancel;
    cancel.RequestCancel();
    FakeOffice office;
    office.deck = Deck(1);
    EXPECT_EQ(Export(office, 0, &cancel), powerpoint::kExportCancelled);
    EXPECT_TRUE(office.progIds.empty());
}

TEST(SlideExport, CancelStopsBeforeTheNextItem) {
    struct Point {
        const char* name;
        Kind on;
        int32_t dispId;
        int occurrence;  // the cancel comes with this call of dispId on an object of kind `on`
        size_t slides;   // slide items asked for before the stop
        size_t shapes;   // shape items asked for before the stop
    };
    const Point points[] = {
        {"with the first slide", Kind::Slides, dispid::Slides::Item, 1, 1, 0},
        {"with the first shape", Kind::Shapes, dispid::Shapes::Item, 1, 1, 1},
        {"with the last shape of the first slide", Kind::Shapes, dispid::Shapes::Item, 2, 1, 2},
        {"with the last count, before the export", Kind::Slides, dispid::Slides::Count, 3, 2, 3},
    };
    for (const Point& point : points) {
        SCOPED_TRACE(point.name);
        vellumet::CancelToken cancel;
        FakeOffice office;
        office.deck = Deck(2);
        office.deck[0].shapes = {{}, {}};
        office.deck[1].shapes = {{}};
        office.onCall = [&cancel, point](FakeOffice& self, const Call& call) {
            if (call.on == point.on && call.dispId == point.dispId &&
                self.CallsTo(point.dispId, call.kind, point.on).size() ==
                    static_cast<size_t>(point.occurrence)) {
                cancel.RequestCancel();
            }
        };
        EXPECT_EQ(Export(office, ExportFlags::OmitShadow, &cancel), powerpoint::kExportCancelled);
        EXPECT_EQ(office.CallsTo(dispid::Slides::Item, InvokeKind::Method, Kind::Slides).size(),
                  point.slides);
        EXPECT_EQ(office.CallsTo(dispid::Shapes::Item, InvokeKind::Method, Kind::Shapes).size(),
                  point.shapes);
        EXPECT_TRUE(office.CallsTo(dispid::Presentation::Export, InvokeKind::Method).empty());
        ExpectAllReleased(office);
    }
}

}  // namespace
