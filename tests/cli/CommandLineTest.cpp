// The option parsing and the planning of a run, in process.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "cli/CommandLine.h"
#include "cli/ConvertCommand.h"
#include "cli/TerminalHost.h"
#include "common/WideText.h"
#include "frontend/DeviceList.h"
#include "job/JobMessages.h"
#include "support/TempFolder.h"

namespace vellumet::cli {
namespace {

namespace fs = std::filesystem;

ParseResult Parse(const std::vector<std::string>& args) {
    return ParseCommandLine(args);
}

TEST(CommandLineTest, ShortLongBundledAndAttachedFormsMeanTheSame) {
    const std::vector<std::vector<std::string>> spellings = {
        {"-d", "Amazon Kindle 2", "-o", "/out", "-2", "-q", "a.ppt"},
        {"--device", "Amazon Kindle 2", "--output-dir", "/out", "--two-per-page", "--quiet", "a.ppt"},
        {"--device=Amazon Kindle 2", "--output-dir=/out", "-2q", "a.ppt"},
        {"-2qdAmazon Kindle 2", "-o/out", "a.ppt"},
        {"-q2o", "/out", "-d", "amazon KINDLE 2", "a.ppt"},
    };
    const std::vector<DeviceProfile> devices = DeviceListOf({});
    for (const auto& args : spellings) {
        ParseResult result = Parse(args);
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.line.action, Action::Convert);
        std::string error;
        ASSERT_TRUE(ResolveDevice(result.line, devices, error)) << error;
        EXPECT_EQ(result.line.device, std::wstring(L"Amazon Kindle 2"));
        EXPECT_EQ(result.line.outputFolder, std::wstring(L"/out"));
        EXPECT_EQ(result.line.twoSlidesPerPage, true);
        EXPECT_TRUE(result.line.quiet);
        EXPECT_FALSE(result.line.omitBackground.has_value());
        EXPECT_EQ(result.line.inputs, std::vector<std::wstring>{L"a.ppt"});
    }
}

TEST(CommandLineTest, TheLaterOfTwoContradictingSwitchesCounts) {
    const ParseResult result = Parse({"--omit-background", "--keep-background", "--keep-shadow",
                                      "--omit-shadow", "-2", "-1", "--no-notes", "--notes", "x"});
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.line.notes, true);
    EXPECT_EQ(result.line.omitBackground, false);
    EXPECT_EQ(result.line.omitShadow, true);
    EXPECT_EQ(result.line.twoSlidesPerPage, false);
}

TEST(CommandLineTest, InputsKeepTheirOrderAndDoubleDashEndsOptions) {
    const ParseResult result = Parse({"b.odp", "-q", "--", "-2", "--help", "a b.pptx", "-"});
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.line.action, Action::Convert);
    EXPECT_EQ(result.line.inputs, (std::vector<std::wstring>{L"b.odp", L"-2", L"--help", L"a b.pptx", L"-"}));
    EXPECT_FALSE(result.line.twoSlidesPerPage.has_value());
}

TEST(CommandLineTest, InputNamesThatAreNotUtf8SurviveTheRoundTrip) {
    const std::string raw = "caf\xe9-\xc3\xa9.ppt";
    const ParseResult result = Parse({raw});
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(ToNative(result.line.inputs.at(0)), raw);
}

TEST(CommandLineTest, HelpVersionAndDeviceListWinOverInputsAndLaterErrors) {
    EXPECT_EQ(Parse({"a.ppt", "-h", "--bogus"}).line.action, Action::Help);
    EXPECT_EQ(Parse({"--version"}).line.action, Action::Version);
    const ParseResult list = Parse({"--list-devices", "-d", "nonsense"});
    EXPECT_TRUE(list.ok);
    EXPECT_EQ(list.line.action, Action::ListDevices);
}

TEST(CommandLineTest, UsageErrorsSayWhatIsWrong) {
    struct Row {
        std::vector<std::string> args;
        const char* expected;
    };
    const Row rows[] = {
        {{}, "no presentation or picture folder given"},
        {{"-q"}, "no presentation or picture folder given"},
        {{"--bogus", "a.ppt"}, "unknown option '--bogus'"},
        {{"-x", "a.ppt"}, "unknown option '-x'"},
        {{"-2z", "a.ppt"}, "unknown option '-z'"},
        {{"a.ppt", "-o"}, "option '-o' needs a value"},
        {{"a.ppt", "--device"}, "option '--device' needs a value"},
        {{"--quiet=yes", "a.ppt"}, "option '--quiet' takes no value"},
    };
    for (const Row& row : rows) {
        const ParseResult result = Parse(row.args);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, row.expected);
    }
}

TEST(CommandLineTest, PaletteAndDitherReplaceTheDevicesColours) {
    const ParseResult parsed =
        ParseCommandLine({"--palette", "gray", "--dither=none", "--palette=gray16", "a.ppt"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const PageColours device{Palette::Rgb, Dither::Ordered};
    EXPECT_EQ(ColoursOfRun(parsed.line, device), (PageColours{Palette::Gray16, Dither::None}));
    const ParseResult plain = ParseCommandLine({"a.ppt"});
    EXPECT_EQ(ColoursOfRun(plain.line, {Palette::Gray, Dither::None}),
              (PageColours{Palette::Gray, Dither::None}));

    const ParseResult badPalette = ParseCommandLine({"--palette", "grey", "a.ppt"});
    EXPECT_FALSE(badPalette.ok);
    EXPECT_EQ(badPalette.error, "invalid palette 'grey': give rgb, gray or gray16");
    const ParseResult badDither = ParseCommandLine({"--dither", "floyd", "a.ppt"});
    EXPECT_EQ(badDither.error, "invalid dithering 'floyd': give ordered or none");
}

TEST(CommandLineTest, AnUnknownDeviceIsRefusedWithTheValidNames) {
    std::vector<DeviceProfile> devices = DeviceListOf({});
    devices.push_back({L"Desk Reader", {900, 1300}, Screen::Gray16, DeviceOrigin::User, {}, {}});
    for (const char* name :
         {"Kindle", "Amazon Kindle", "", "Small (600*800) ", "Amazon Kindle DXG", "Desk"}) {
        ParseResult result = Parse({"-d", name, "a.ppt"});
        ASSERT_TRUE(result.ok) << "names are resolved once the user's devices are known";
        std::string error;
        ASSERT_FALSE(ResolveDevice(result.line, devices, error)) << name;
        EXPECT_NE(error.find("unknown device \"" + std::string(name) + "\""), std::string::npos);
        for (const DeviceProfile& device : devices) {
            EXPECT_NE(error.find("\n  " + ToNative(device.name)), std::string::npos);
        }
    }
}

TEST(CommandLineTest, DevicesMatchExactlyOrIgnoringCaseOnly) {
    std::vector<DeviceProfile> devices = DeviceListOf({});
    devices.push_back({L"Desk Reader", {900, 1300}, Screen::Gray16, DeviceOrigin::User, {}, {}});
    ASSERT_NE(FindNamedDevice(devices, L"Large (1200*1600)"), nullptr);
    EXPECT_EQ(FindNamedDevice(devices, L"LARGE (1200*1600)")->name, L"Large (1200*1600)");
    EXPECT_EQ(FindNamedDevice(devices, L"desk READER")->name, L"Desk Reader");
    EXPECT_EQ(FindNamedDevice(devices, L"Large"), nullptr);
    EXPECT_EQ(FindNamedDevice(devices, L"Large (1200*1600)x"), nullptr);
}

TEST(CommandLineTest, PageSizeTakesAnySizeWithinRangeAndIsTheLaterOfItAndADevice) {
    const ParseResult given = Parse({"--page-size", "1x20000", "a.ppt"});
    ASSERT_TRUE(given.ok) << given.error;
    EXPECT_EQ(given.line.pageSize, (PixelSize{1, 20000}));
    EXPECT_EQ(Parse({"--page-size=1448X1072", "a.ppt"}).line.pageSize, (PixelSize{1448, 1072}));

    const ParseResult deviceLast = Parse({"--page-size", "800x600", "-d", "Amazon Kindle 2", "a.ppt"});
    EXPECT_FALSE(deviceLast.line.pageSize.has_value());
    EXPECT_EQ(deviceLast.line.device, std::wstring(L"Amazon Kindle 2"));
    const ParseResult sizeLast = Parse({"-d", "nonsense", "--page-size", "800x600", "a.ppt"});
    EXPECT_EQ(sizeLast.line.pageSize, (PixelSize{800, 600}));
    EXPECT_FALSE(sizeLast.line.device.has_value());
    // A page size needs no remembered device, and the job is given no device name.
    settings::SettingsChoice remembered;
    remembered.scheme = L"Large";
    EXPECT_EQ(ApplyRemembered(sizeLast.line, remembered, DeviceListOf({})).scheme, L"");

    for (const char* bad :
         {"0x800", "600x0", "-600x800", "600x-800", "20001x800", "600x20001", "600", "600x", "x800",
          "600x800x2", " 600x800", "600 x 800", "6e2x800", "+600x800", "99999999999x1", "600*800", ""}) {
        const ParseResult refused = Parse({"--page-size", bad, "a.ppt"});
        EXPECT_FALSE(refused.ok) << bad;
        EXPECT_EQ(refused.error.rfind("invalid page size '" + std::string(bad) + "'", 0), 0u)
            << refused.error;
    }
}

TEST(CommandLineTest, OptionsLeftOpenTakeTheRememberedChoices) {
    settings::SettingsChoice remembered;
    remembered.outputFolder = L"/home/u/eBooks/";
    remembered.scheme = L"small";
    remembered.omitBackground = false;
    remembered.omitShadow = false;
    remembered.twoSlidesPerPage = true;

    const ParseResult open = Parse({"a.ppt"});
    EXPECT_TRUE(NeedsRemembered(open.line));
    const settings::SettingsChoice fromStore = ApplyRemembered(open.line, remembered, DeviceListOf({}));
    EXPECT_EQ(fromStore.outputFolder, L"/home/u/eBooks/");
    EXPECT_EQ(fromStore.scheme, L"Small (600*800)");
    EXPECT_FALSE(fromStore.omitBackground);
    EXPECT_FALSE(fromStore.omitShadow);
    EXPECT_TRUE(fromStore.twoSlidesPerPage);

    const ParseResult given =
        Parse({"-d", "Amazon Kindle 2", "-o", "/x", "--omit-background", "--omit-shadow", "-1", "a.ppt"});
    EXPECT_FALSE(NeedsRemembered(given.line));
    const settings::SettingsChoice fromLine = ApplyRemembered(given.line, remembered, DeviceListOf({}));
    EXPECT_EQ(fromLine.outputFolder, L"/x");
    EXPECT_EQ(fromLine.scheme, L"Amazon Kindle 2");
    EXPECT_TRUE(fromLine.omitBackground);
    EXPECT_TRUE(fromLine.omitShadow);
    EXPECT_FALSE(fromLine.twoSlidesPerPage);
}

TEST(CommandLineTest, DeviceListShowsEveryDeviceWithSizeAndScreenInColumnsOfTwoSpaces) {
    std::vector<DeviceProfile> devices = DeviceListOf({});
    devices.push_back({L"Reader \u00e9 x", {900, 1300}, Screen::Colour, DeviceOrigin::User, {}, {}});
    const std::string text = DeviceListText(devices);
    EXPECT_EQ(text.rfind("Amazon Kindle DX ", 0), 0u);

    // Split each line as a shell completion does: at runs of two or more spaces.
    const std::regex columns("^(.+?)  +(\\d+ x \\d+)  +(gray16|colour)$");
    std::istringstream lines(text);
    std::string line;
    size_t index = 0;
    while (std::getline(lines, line)) {
        ASSERT_LT(index, devices.size());
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, columns)) << line;
        const DeviceProfile& device = devices[index++];
        EXPECT_EQ(match[1].str(), ToNative(device.name));
        EXPECT_EQ(match[2].str(),
                  std::to_string(device.page.width) + " x " + std::to_string(device.page.height));
        EXPECT_EQ(match[3].str(), ToNative(ScreenName(device.screen)));
    }
    EXPECT_EQ(index, devices.size());
    EXPECT_NE(text.find("\nLarge (1200*1600)  "), std::string::npos);
}

class PlanTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root_ / "pics.v2");
        fs::create_directories(root_ / "out");
    }

    std::wstring W(const fs::path& path) const { return FromPath(path); }
    std::wstring Out() const { return W(root_ / "out") + L"/"; }

    vellumet_test::TempFolder folder_{"vellumet-plan-"};
    const fs::path root_ = folder_.Path();
};

TEST_F(PlanTest, PresentationsAreNamedByBaseNameAndFoldersByTheirWholeName) {
    std::vector<PlannedInput> plan;
    std::string error;
    ASSERT_TRUE(PlanInputs({W(root_ / "talks" / "review.final.pptx"), W(root_ / "pics.v2") + L"/",
                            W(root_ / "x" / ".." / "deck")},
                           Out(), plan, error))
        << error;
    ASSERT_EQ(plan.size(), 3u);
    EXPECT_FALSE(plan[0].pictureFolder);
    EXPECT_EQ(plan[0].outputPath, Out() + L"review.final.pdf");
    EXPECT_TRUE(plan[1].pictureFolder);
    EXPECT_EQ(plan[1].source, W(root_ / "pics.v2"));
    EXPECT_EQ(plan[1].outputPath, Out() + L"pics.v2.pdf");
    EXPECT_EQ(plan[2].source, W(root_ / "deck"));
    EXPECT_EQ(plan[2].outputPath, Out() + L"deck.pdf");
}

TEST_F(PlanTest, RelativeInputsBecomeAbsolute) {
    std::vector<PlannedInput> plan;
    std::string error;
    ASSERT_TRUE(PlanInputs({L"some/deck.odp"}, Out(), plan, error));
    EXPECT_EQ(plan[0].source, W(fs::current_path() / "some" / "deck.odp"));
}

TEST_F(PlanTest, ARunThatWouldOverwriteItsOwnWorkIsRefused) {
    std::vector<PlannedInput> plan;
    std::string error;
    // Two presentations with one base name would write one PDF.
    EXPECT_FALSE(PlanInputs({W(root_ / "a" / "deck.ppt"), W(root_ / "b" / "deck.odp")}, Out(), plan, error));
    EXPECT_NE(error.find("would both be written to"), std::string::npos);
    // The same input twice.
    EXPECT_FALSE(PlanInputs({W(root_ / "pics.v2"), W(root_ / "pics.v2") + L"/."}, Out(), plan, error));
    // An input that its own (or another input's) PDF would replace.
    EXPECT_FALSE(PlanInputs({W(root_ / "out" / "notes.pdf")}, Out(), plan, error));
    EXPECT_NE(error.find("would be replaced"), std::string::npos);
    EXPECT_FALSE(PlanInputs({W(root_ / "pics.v2"), W(root_ / "out" / "pics.v2.pdf")}, Out(), plan, error));
}

TEST_F(PlanTest, TheRootFolderCannotNameAPdf) {
    std::vector<PlannedInput> plan;
    std::string error;
    EXPECT_FALSE(PlanInputs({L"/"}, Out(), plan, error));
}

TEST(ExitStatusTest, FailureCodesBecomePositiveAndCancellationIsAnInterrupt) {
    EXPECT_EQ(ExitStatusForResult(JobResult::Succeeded), 0);
    EXPECT_EQ(ExitStatusForResult(JobResult::NoOffice), 1);
    EXPECT_EQ(ExitStatusForResult(JobResult::NoPictures), 3);
    EXPECT_EQ(ExitStatusForResult(JobResult::ComposeFailed), 4);
    EXPECT_EQ(ExitStatusForResult(JobResult::SaveFailed), 5);
    EXPECT_EQ(ExitStatusForResult(JobResult::Cancelled), 130);
    // Never 0 or a usage error for an unexpected code.
    EXPECT_EQ(ExitStatusForResult(JobResult::NoJob), 4);
}

}  // namespace
}  // namespace vellumet::cli
