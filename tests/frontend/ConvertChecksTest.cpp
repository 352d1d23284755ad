#include "frontend/ConvertChecks.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/WideText.h"
#include "support/TempFolder.h"

namespace vellumet {
namespace {

TEST(ConvertChecksTest, SeparatorIsAppendedOnlyWhenMissing) {
    EXPECT_EQ(WithTrailingSeparator(L"/srv/books"), L"/srv/books/");
    EXPECT_EQ(WithTrailingSeparator(L"/srv/books/"), L"/srv/books/");
    EXPECT_EQ(WithTrailingSeparator(L"D:\\Books\\"), L"D:\\Books\\/") << "a backslash is part of the name";
    EXPECT_EQ(WithTrailingSeparator(L"D:\\Books"), L"D:\\Books/");
}

TEST(ConvertChecksTest, EmptySourceIsRefusedBeforeEmptyOutput) {
    std::wstring output;
    EXPECT_EQ(CheckConvertInputs(L"", output), kNoSourceMessage);
    EXPECT_EQ(CheckConvertInputs(L"/talks/a.ppt", output), kNoOutputMessage);
    EXPECT_TRUE(output.empty());
}

TEST(ConvertChecksTest, CreatesOneLevelAndAcceptsExistingFolders) {
    vellumet_test::TempFolder temp;
    std::wstring output = FromPath(temp.Path() / "books");
    EXPECT_EQ(CheckConvertInputs(L"/talks/a.ppt", output), L"");
    EXPECT_EQ(output, FromPath(temp.Path() / "books") + L"/");
    EXPECT_TRUE(std::filesystem::is_directory(temp.Path() / "books"));

    // The folder exists now: Convert goes on.
    EXPECT_EQ(CheckConvertInputs(L"/talks/a.ppt", output), L"");
    // An existing file in the folder's place is the job's concern, not Convert's.
    std::wstring file = FromPath(temp.Path() / "plain");
    temp.WriteFile("plain", "x");
    EXPECT_TRUE(CreateOutputFolder(file));
}

TEST(ConvertChecksTest, MissingParentIsRefused) {
    vellumet_test::TempFolder temp;
    std::wstring output = FromPath(temp.Path() / "missing" / "books");
    EXPECT_EQ(CheckConvertInputs(L"/talks/a.ppt", output), kCannotCreateOutputMessage);
    EXPECT_FALSE(std::filesystem::exists(temp.Path() / "missing"));

    // A file where a parent folder should be counts as a missing parent.
    temp.WriteFile("plain", "x");
    EXPECT_FALSE(CreateOutputFolder(FromPath(temp.Path() / "plain" / "books")));
}

}  // namespace
}  // namespace vellumet
