#include <sys/stat.h>
#include <unistd.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "JobFakes.h"
#include "common/WideText.h"
#include "job/PictureWatch.h"
#include "job/SlidePictures.h"

namespace fs = std::filesystem;
using vellumet::CollectSlidePictures;
using vellumet::GetBaseName;
using vellumet::GetFileName;
using vellumet::SlidePictureEntry;

namespace {

// Creates the files in the order given, far enough apart that even a coarse file-system clock
// gives each its own creation time.
void CreateInOrder(const std::wstring& folder, const std::vector<std::wstring>& names) {
    for (const std::wstring& name : names) {
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        std::ofstream(vellumet::ToPath(folder + L"/" + name)) << "png";
    }
}

std::vector<std::wstring> Names(const std::vector<std::wstring>& paths) {
    std::vector<std::wstring> names;
    for (const std::wstring& path : paths) {
        names.push_back(GetFileName(path));
    }
    return names;
}

}  // namespace

TEST(OutputNaming, BaseNameOfTheLastComponent) {
    EXPECT_EQ(GetBaseName(L"/talks/review.final.ppt"), L"review.final");
    EXPECT_EQ(GetBaseName(L"/talks/deck.ppt"), L"deck");
    EXPECT_EQ(GetBaseName(L"/my.folder/notes"), L"notes");
    EXPECT_EQ(GetBaseName(L"/talks/.ppt"), L".ppt");
    EXPECT_EQ(GetBaseName(L"/deck.ppt"), L"/deck");
    EXPECT_EQ(GetBaseName(L"deck"), L"deck");
    EXPECT_EQ(GetBaseName(L"deck.ppt"), L"deck");
    EXPECT_EQ(GetBaseName(L""), L"");
    // A backslash is an ordinary character of a Linux file name.
    EXPECT_EQ(GetBaseName(L"/talks/a\\b.ppt"), L"a\\b");
    EXPECT_EQ(GetBaseName(L"/talks/Zoë – 第一.pptx"), L"Zoë – 第一");

    EXPECT_EQ(GetFileName(L"/talks/review.final.ppt"), L"review.final.ppt");
    EXPECT_EQ(GetFileName(L"/deck.ppt"), L"/deck.ppt");
    EXPECT_EQ(GetFileName(L"plain"), L"plain");
}

TEST(NaturalOrder, DigitRunsCompareByValue) {
    EXPECT_TRUE(vellumet::NaturalLess(L"Slide2.png", L"Slide10.png"));
    EXPECT_FALSE(vellumet::NaturalLess(L"Slide10.png", L"Slide2.png"));
    EXPECT_TRUE(vellumet::NaturalLess(L"Slide9.png", L"Slide10.png"));
    EXPECT_TRUE(vellumet::NaturalLess(L"a.png", L"b.png"));
    EXPECT_TRUE(vellumet::NaturalLess(L"Slide1", L"Slide1.png"));
    EXPECT_TRUE(vellumet::NaturalLess(L"x99999999999999999999", L"x100000000000000000000"));
    EXPECT_FALSE(vellumet::NaturalLess(L"Slide02", L"Slide2"));
    EXPECT_FALSE(vellumet::NaturalLess(L"Slide2", L"Slide02"));
}

TEST(PictureOrder, CreationTimeFirstThenNaturalName) {
    std::vector<SlidePictureEntry> entries = {
        {L"Slide10.png", 100, 5},       {L"Slide2.png", 100, 5},  {L"Slide1.png", 100, 7},
        {L"Slide3.png", 99, 999999999}, {L"Slide02.png", 100, 5},
    };
    vellumet::OrderSlidePictures(entries);
    std::vector<std::wstring> names;
    for (const SlidePictureEntry& entry : entries) {
        names.push_back(entry.name);
    }
    // Equal times by natural order; names equal in natural order by code point.
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Slide3.png", L"Slide02.png", L"Slide2.png", L"Slide10.png",
                                                L"Slide1.png"}));
}

TEST(CollectSlidePictures, CreationOrderBeatsNameOrder) {
    const jobtest::ScratchFolder scratch;
    std::vector<std::wstring> written;
    for (int i = 1; i <= 12; ++i) {
        written.push_back(std::to_wstring(i) + L".png");
    }
    written.push_back(L"0.png");  // written last, sorts first by name
    CreateInOrder(scratch.path(), written);

    const std::vector<std::wstring> pictures = CollectSlidePictures(L"*.png", scratch.path());
    EXPECT_EQ(Names(pictures), written);
    ASSERT_FALSE(pictures.empty());
    EXPECT_EQ(pictures.front(), scratch.path() + L"/1.png");
}

TEST(CollectSlidePictures, SeparatorAddedOnlyWhenMissing) {
    const jobtest::ScratchFolder scratch;
    CreateInOrder(scratch.path(), {L"Slide1.png"});
    EXPECT_EQ(CollectSlidePictures(L"*.png", scratch.path()),
              (std::vector<std::wstring>{scratch.path() + L"/Slide1.png"}));
    EXPECT_EQ(CollectSlidePictures(L"*.png", scratch.path() + L"/"),
              (std::vector<std::wstring>{scratch.path() + L"/Slide1.png"}));
}

TEST(CollectSlidePictures, OnlyVisibleRegularMatches) {
    const jobtest::ScratchFolder scratch;
    const fs::path root = vellumet::ToPath(scratch.path());
    CreateInOrder(scratch.path(), {L"Slide1.png", L".Slide2.png", L"Slide3.PNG", L"notes.txt",
                                   L"Slide4.png.bak", L"Zoë 第5.png"});
    fs::create_directory(root / "folder.png");
    fs::create_symlink(root / "Slide1.png", root / "link.png");
    fs::create_symlink(root / "nowhere", root / "dangling.png");
    ASSERT_EQ(::mkfifo((root / "pipe.png").c_str(), 0600), 0);
    // A name that is not valid UTF-8 still comes back as a usable path.
    std::ofstream(root / std::string("raw\xff.png")) << "png";

    const std::vector<std::wstring> pictures = CollectSlidePictures(L"*.png", scratch.path());
    ASSERT_EQ(pictures.size(), 4u);
    EXPECT_EQ(Names(pictures)[0], L"Slide1.png");
    EXPECT_EQ(Names(pictures)[1], L"Slide3.PNG");
    EXPECT_EQ(Names(pictures)[2], L"Zoë 第5.png");
    EXPECT_TRUE(fs::is_regular_file(vellumet::ToPath(pictures[3])));
}

TEST(CollectSlidePictures, MissingUnreadableOrEmptyFolderGivesNothing) {
    const jobtest::ScratchFolder scratch;
    EXPECT_TRUE(CollectSlidePictures(L"*.png", scratch.path()).empty());
    EXPECT_TRUE(CollectSlidePictures(L"*.png", scratch.path() + L"/missing").empty());
    EXPECT_TRUE(CollectSlidePictures(L"*.png", L"").empty());

    CreateInOrder(scratch.path(), {L"Slide1.png"});
    EXPECT_TRUE(CollectSlidePictures(L"*.png", scratch.path() + L"/Slide1.png").empty());
    if (::geteuid() != 0) {
        fs::permissions(vellumet::ToPath(scratch.path()), fs::perms::none);
        EXPECT_TRUE(CollectSlidePictures(L"*.png", scratch.path()).empty());
        fs::permissions(vellumet::ToPath(scratch.path()), fs::perms::owner_all);
    }
}

// The watch tells of every picture CollectSlidePictures would list, once it is written, in the
// order the writes ended, and of nothing else; everything before its end is told.
TEST(PictureWatchTest, TellsOfEachPictureOnceItIsWrittenAndOfNothingElse) {
    const jobtest::ScratchFolder scratch;
    const std::wstring folder = scratch.path();
    std::vector<std::wstring> told;
    {
        const vellumet::PictureWatch watch(folder, L"*.png",
                                           [&told](const std::wstring& picture) { told.push_back(picture); });
        fs::create_directory(vellumet::ToPath(folder + L"/Folder.png"));
        std::ofstream open(vellumet::ToPath(folder + L"/Slide9.png"));  // still being written
        for (const wchar_t* name :
             {L"Slide2.png", L".hidden.png", L"Slides.pdf", L"Slide10.PNG", L"Zoë 1.png"}) {
            std::ofstream(vellumet::ToPath(folder + L"/" + name)) << "png";
        }
        fs::rename(vellumet::ToPath(folder + L"/Slides.pdf"), vellumet::ToPath(folder + L"/Moved.png"));
        open << "png";
        open.close();
    }
    EXPECT_EQ(told, (std::vector<std::wstring>{folder + L"/Slide2.png", folder + L"/Slide10.PNG",
                                               folder + L"/Zoë 1.png", folder + L"/Slide9.png"}));
}

TEST(PictureWatchTest, AFolderThatCannotBeWatchedTellsOfNothing) {
    bool told = false;
    const vellumet::PictureWatch missing(L"/nonexistent/folder", L"*.png",
                                         [&told](const std::wstring&) { told = true; });
    const vellumet::PictureWatch silent(L"/tmp", L"*.png", nullptr);
    EXPECT_FALSE(told);
}
