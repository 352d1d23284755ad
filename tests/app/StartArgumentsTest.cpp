#include "app/StartArguments.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/WideText.h"

namespace vellumet {
namespace {

StartArguments Parse(const std::vector<std::string>& args) {
    return ParseStartArguments(args);
}

TEST(StartArgumentsTest, HelpAndVersionWinWhereverTheyStand) {
    EXPECT_EQ(Parse({"--help"}).action, StartAction::Help);
    EXPECT_EQ(Parse({"-h"}).action, StartAction::Help);
    EXPECT_EQ(Parse({"--version"}).action, StartAction::Version);
    // Qt's own options are still in argv on the first look: they must not hide --help.
    EXPECT_EQ(Parse({"-platform", "offscreen", "--help"}).action, StartAction::Help);
    EXPECT_EQ(Parse({"a.odp", "b.odp", "--version"}).action, StartAction::Version);
    // After "--" they are file names.
    EXPECT_EQ(Parse({"--", "--help"}).action, StartAction::OpenDialog);
}

TEST(StartArgumentsTest, OneFileBecomesAnAbsoluteSource) {
    EXPECT_EQ(Parse({}).action, StartAction::OpenDialog);
    EXPECT_TRUE(Parse({}).sourceFile.empty());

    EXPECT_EQ(Parse({"/talks/first deck.ppt"}).sourceFile, L"/talks/first deck.ppt");
    const std::wstring relative = Parse({"deck.odp"}).sourceFile;
    EXPECT_EQ(std::filesystem::path(relative), std::filesystem::current_path() / "deck.odp");
    EXPECT_EQ(Parse({"--", "-deck.pptx"}).sourceFile,
              (std::filesystem::current_path() / "-deck.pptx").wstring());
    // A lone "-" is a file name, as vellumet-convert takes it; bytes that are not UTF-8 survive.
    EXPECT_EQ(Parse({"-"}).sourceFile, (std::filesystem::current_path() / "-").wstring());
    EXPECT_EQ(ToNative(Parse({"/x/\xff.ppt"}).sourceFile), "/x/\xff.ppt");
}

TEST(StartArgumentsTest, UnknownOptionsAndSecondFilesAreUsageErrors) {
    const StartArguments unknown = Parse({"--frobnicate", "deck.odp"});
    EXPECT_EQ(unknown.action, StartAction::UsageError);
    EXPECT_NE(unknown.error.find("--frobnicate"), std::string::npos) << unknown.error;
    EXPECT_TRUE(unknown.sourceFile.empty());

    const StartArguments two = Parse({"a.odp", "b.odp"});
    EXPECT_EQ(two.action, StartAction::UsageError);
    EXPECT_FALSE(two.error.empty());
}

}  // namespace
}  // namespace vellumet
