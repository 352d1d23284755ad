// The user's devices in the settings store: the round trip, damaged entries and values, lists of a
// newer version, and that nothing stored is ever lost.

#include "frontend/UserDevices.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "common/WideText.h"
#include "frontend/DeviceList.h"
#include "settings/RegistryValue.h"
#include "settings/SqliteStore.h"

namespace vellumet {
namespace {

namespace fs = std::filesystem;
using settings::registry_int;
using settings::registry_string;
using settings::registry_value;

constexpr wchar_t kRS = L'\x1e';

DeviceProfile User(const wchar_t* name, int32_t width, int32_t height, Screen screen = Screen::Gray16) {
    return {name, {width, height}, screen, DeviceOrigin::User, {}, {}};
}

std::wstring Record(const std::wstring& fields) {
    return std::wstring(1, kRS) + fields;
}

class UserDevicesTest : public ::testing::Test {
protected:
    UserDevicesTest() {
        std::string pattern = (fs::temp_directory_path() / "vellumet-devices-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            root_ = pattern;
        }
        store_ = std::make_unique<settings::SqliteStore>(root_ / "settings.db");
    }
    ~UserDevicesTest() override {
        store_.reset();
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    void StoreText(const wchar_t* path, const std::wstring& text) {
        registry_string<std::wstring>(path, L"", registry_value::force, store_.get()).set(text);
    }
    std::wstring StoredText(const wchar_t* path) {
        return registry_string<std::wstring>(path, L"<absent>", registry_value::no_write_back, store_.get())
            .get();
    }

    fs::path root_;
    std::unique_ptr<settings::SqliteStore> store_;
};

TEST_F(UserDevicesTest, DevicesRoundTripThroughTheStoreInTheirOrder) {
    UserDevices list;
    list.devices = {User(L"Desk Reader", 1200, 1600),
                    User(L"Lecteur \u00e9 couleur", 1072, 1448, Screen::Colour),
                    User(L"\U0001F4D6 reader", 600, 800)};
    EXPECT_FALSE(fs::exists(root_ / "settings.db")) << "nothing is written before a save";
    ASSERT_EQ(WriteUserDevices(list, store_.get()), L"");

    const UserDevices read = ReadUserDevices(store_.get());
    EXPECT_TRUE(read.notices.empty());
    EXPECT_FALSE(read.damaged);
    ASSERT_EQ(read.devices.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(read.devices[i].name, list.devices[i].name);
        EXPECT_EQ(read.devices[i].page, list.devices[i].page);
        EXPECT_EQ(read.devices[i].screen, list.devices[i].screen);
        EXPECT_EQ(read.devices[i].origin, DeviceOrigin::User);
    }
    // Nothing stored reads as an empty list, without notices.
    const UserDevices none = UserDevices();
    EXPECT_TRUE(ParseUserDevices(FormatUserDevices(none.devices)).devices.empty());
}

TEST_F(UserDevicesTest, DamagedEntriesAreSkippedWithANoticeAndTheRestIsKept) {
    const std::wstring good1 = L"name=First\twidth=1000\theight=1400\tscreen=gray16";
    const std::wstring good2 = L"screen=colour\theight=1500\twidth=1100\tname=Second";
    struct Row {
        std::wstring record;
        const wchar_t* notice;
    };
    const Row damaged[] = {
        {L"width=600\theight=800\tscreen=gray16", L"Stored device 2 was skipped: it has no name."},
        {L"name=\twidth=600\theight=800\tscreen=gray16",
         L"Stored device 2 was skipped: Please enter a name for the device."},
        {L"name=Two  spaces\twidth=600\theight=800\tscreen=gray16",
         L"Stored device 2 was skipped: The name contains two spaces in a row."},
        {L"name=Zero\twidth=0\theight=800\tscreen=gray16",
         L"The stored device \"Zero\" was skipped: its size is missing or not a number of pixels."},
        {L"name=Neg\twidth=-600\theight=800\tscreen=gray16",
         L"The stored device \"Neg\" was skipped: its size is missing or not a number of pixels."},
        {L"name=Huge\twidth=600\theight=99999999999\tscreen=gray16",
         L"The stored device \"Huge\" was skipped: its size is missing or not a number of pixels."},
        {L"name=Wide\twidth=1448\theight=1072\tscreen=gray16",
         L"The stored device \"Wide\" was skipped: Enter the page upright: the width may not exceed the "
         L"height."},
        {L"name=Thin\twidth=10\theight=800\tscreen=gray16",
         L"The stored device \"Thin\" was skipped: The page is too narrow: it may be at most 4 times as high "
         L"as it is "
         L"wide."},
        {L"name=Mono\twidth=600\theight=800\tscreen=mono",
         L"The stored device \"Mono\" was skipped: its screen is missing or unknown."},
        {L"name=Twice\tname=Again\twidth=600\theight=800\tscreen=gray16",
         L"Stored device 2 was skipped: the field \"name\" appears twice."},
        {L"garbage", L"Stored device 2 was skipped: a field has no value."},
        {L"name=first\twidth=600\theight=800\tscreen=gray16",
         L"The stored device \"first\" was skipped: There is already a device named \"First\"."},
        {L"name=Kobo Clara HD\twidth=600\theight=800\tscreen=gray16",
         L"The stored device \"Kobo Clara HD\" was skipped: There is already a device named \"Kobo Clara "
         L"HD\"."},
        {L"name=Kindle\twidth=600\theight=800\tscreen=gray16",
         L"The stored device \"Kindle\" was skipped: The name \"Kindle\" would select \"Kindle Basic (2022, "
         L"2024)\", "
         L"which begins with it and comes first in the list."},
    };
    for (const Row& row : damaged) {
        const UserDevices read =
            ParseUserDevices(L"vellumet-devices=1" + Record(good1) + Record(row.record) + Record(good2));
        ASSERT_EQ(read.notices.size(), 1u) << row.notice;
        EXPECT_EQ(read.notices[0], row.notice);
        EXPECT_TRUE(read.damaged);
        ASSERT_EQ(read.devices.size(), 2u) << row.notice;
        EXPECT_EQ(read.devices[0].name, L"First");
        EXPECT_EQ(read.devices[1].name, L"Second");
        EXPECT_EQ(read.devices[1].page, (PixelSize{1100, 1500}));
        EXPECT_EQ(read.devices[1].screen, Screen::Colour);
    }
}

TEST_F(UserDevicesTest, ADamagedListIsKeptAsideBeforeItIsReplaced) {
    const std::wstring stored = L"vellumet-devices=1" +
                                Record(L"name=Kept\twidth=600\theight=800\tscreen=gray16") +
                                Record(L"name=Broken\twidth=0");
    StoreText(kUserDevicesPath, stored);
    UserDevices read = ReadUserDevices(store_.get());
    ASSERT_EQ(read.devices.size(), 1u);
    EXPECT_EQ(StoredText(kSetAsideDevicesPath), L"<absent>") << "reading writes nothing";

    read.devices.push_back(User(L"Added", 700, 900));
    ASSERT_EQ(WriteUserDevices(read, store_.get()), L"");
    EXPECT_EQ(StoredText(kSetAsideDevicesPath), stored);
    const UserDevices again = ReadUserDevices(store_.get());
    EXPECT_TRUE(again.notices.empty());
    ASSERT_EQ(again.devices.size(), 2u);
    EXPECT_EQ(again.devices[1].name, L"Added");
}

TEST_F(UserDevicesTest, AValueThatIsNoDeviceListAtAllIsKeptAsideToo) {
    for (const std::wstring& text : {std::wstring(L"not a list"), std::wstring(L"vellumet-devices=0"),
                                     std::wstring(L"vellumet-devices=x"), std::wstring()}) {
        StoreText(kUserDevicesPath, text);
        UserDevices read = ReadUserDevices(store_.get());
        EXPECT_TRUE(read.devices.empty());
        ASSERT_EQ(read.notices.size(), 1u);
        EXPECT_NE(read.notices[0].find(L"cannot be read"), std::wstring::npos);
        read.devices.push_back(User(L"Fresh", 600, 800));
        ASSERT_EQ(WriteUserDevices(read, store_.get()), L"");
        EXPECT_EQ(StoredText(kSetAsideDevicesPath), text);
    }

    // Another type altogether: a number where the list belongs.
    registry_int<long>(kUserDevicesPath, 0, registry_value::force, store_.get()).set(42);
    UserDevices read = ReadUserDevices(store_.get());
    EXPECT_TRUE(read.damaged);
    ASSERT_EQ(WriteUserDevices(read, store_.get()), L"");
    EXPECT_EQ(registry_int<long>(kSetAsideDevicesPath, 0, registry_value::no_write_back, store_.get()).get(),
              42);
    EXPECT_TRUE(ReadUserDevices(store_.get()).notices.empty());
}

TEST_F(UserDevicesTest, AListOfANewerVersionIsUsedButNeverWritten) {
    const std::wstring stored =
        L"vellumet-devices=2" + Record(L"name=Future\twidth=900\theight=1200\tscreen=gray16\tpalette=gray4");
    StoreText(kUserDevicesPath, stored);
    UserDevices read = ReadUserDevices(store_.get());
    EXPECT_TRUE(read.newerFormat);
    ASSERT_EQ(read.devices.size(), 1u);
    EXPECT_EQ(read.devices[0].name, L"Future");
    EXPECT_EQ(read.devices[0].colours, DefaultColoursFor(Screen::Gray16))
        << "an unknown palette of a newer list";
    ASSERT_EQ(read.notices.size(), 1u);
    EXPECT_NE(read.notices[0].find(L"newer version"), std::wstring::npos);

    read.devices.clear();
    EXPECT_NE(WriteUserDevices(read, store_.get()), L"");
    EXPECT_EQ(StoredText(kUserDevicesPath), stored);
}

TEST_F(UserDevicesTest, FieldsOfLaterOptionsSurviveARoundTrip) {
    StoreText(
        kUserDevicesPath,
        L"vellumet-devices=1" +
            Record(L"name=Opts\toutline=on\twidth=900\theight=1200\tscreen=gray16\tpalette=gray\tx=a=b"));
    UserDevices read = ReadUserDevices(store_.get());
    ASSERT_EQ(read.devices.size(), 1u);
    EXPECT_EQ(read.devices[0].unknownFields, (std::vector<std::wstring>{L"x=a=b"}));
    EXPECT_EQ(read.devices[0].colours, (PageColours{Palette::Gray, Dither::Ordered}));
    read.devices[0].name = L"Renamed";
    ASSERT_EQ(WriteUserDevices(read, store_.get()), L"");
    EXPECT_EQ(
        StoredText(kUserDevicesPath),
        L"vellumet-devices=1" + Record(L"name=Renamed\twidth=900\theight=1200\tscreen=gray16\tpalette=gray"
                                       L"\tdither=ordered\toutline=on\tsearchable=on\tnotes=off\tx=a=b"));
}

TEST_F(UserDevicesTest, PageColoursAreStoredWithTheDeviceAndDefaultToTheScreens) {
    // Stored by a version that knew no palette: each screen's default.
    StoreText(kUserDevicesPath,
              L"vellumet-devices=1" + Record(L"name=Old gray\twidth=900\theight=1200\tscreen=gray16") +
                  Record(L"name=Old colour\twidth=900\theight=1200\tscreen=colour") +
                  Record(L"name=Plain\twidth=900\theight=1200\tscreen=gray16\tdither=none") +
                  Record(L"name=Odd\twidth=900\theight=1200\tscreen=gray16\tpalette=gray4") +
                  Record(L"name=Odder\twidth=900\theight=1200\tscreen=gray16\tdither=fs"));
    UserDevices read = ReadUserDevices(store_.get());
    ASSERT_EQ(read.devices.size(), 3u);
    EXPECT_EQ(read.devices[0].colours, (PageColours{Palette::Gray16, Dither::Ordered}));
    EXPECT_EQ(read.devices[1].colours, (PageColours{Palette::Rgb, Dither::Ordered}));
    EXPECT_EQ(read.devices[2].colours, (PageColours{Palette::Gray16, Dither::None}));
    ASSERT_EQ(read.notices.size(), 2u);
    EXPECT_NE(read.notices[0].find(L"palette"), std::wstring::npos) << vellumet::ToNative(read.notices[0]);
    EXPECT_NE(read.notices[1].find(L"dithering"), std::wstring::npos);

    // Chosen colours round-trip through the stored text.
    read.devices[1].colours = {Palette::Gray, Dither::None};
    ASSERT_EQ(WriteUserDevices(read, store_.get()), L"");
    const UserDevices again = ReadUserDevices(store_.get());
    ASSERT_EQ(again.devices.size(), 3u);
    EXPECT_EQ(again.devices[1].colours, (PageColours{Palette::Gray, Dither::None}));
    EXPECT_EQ(again.devices[2].colours, (PageColours{Palette::Gray16, Dither::None}));
}

TEST_F(UserDevicesTest, OutlineAndSearchableChoicesAreKeptOnWhenMissingAndCheckedWhenGiven) {
    const UserDevices read = ParseUserDevices(
        L"vellumet-devices=1" + Record(L"name=Old\twidth=900\theight=1200\tscreen=gray16") +
        Record(L"name=Plain\twidth=900\theight=1200\tscreen=gray16\toutline=off\tsearchable=off") +
        Record(L"name=Half\twidth=900\theight=1200\tscreen=colour\tsearchable=off\toutline=on") +
        Record(L"name=Bad\twidth=900\theight=1200\tscreen=gray16\toutline=yes"));
    ASSERT_EQ(read.devices.size(), 3u);
    EXPECT_TRUE(read.devices[0].outline && read.devices[0].searchable) << "a list from before the choices";
    EXPECT_FALSE(read.devices[1].outline || read.devices[1].searchable);
    EXPECT_TRUE(read.devices[2].outline);
    EXPECT_FALSE(read.devices[2].searchable);
    ASSERT_EQ(read.notices.size(), 1u);
    EXPECT_NE(read.notices[0].find(L"\"Bad\""), std::wstring::npos) << read.notices[0];
    EXPECT_TRUE(read.damaged);

    const UserDevices again = ParseUserDevices(FormatUserDevices(read.devices));
    ASSERT_EQ(again.devices.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(again.devices[i].outline, read.devices[i].outline) << i;
        EXPECT_EQ(again.devices[i].searchable, read.devices[i].searchable) << i;
    }
}

TEST_F(UserDevicesTest, NotesPagesAreOffWhenMissingAndKeptWhenGiven) {
    const UserDevices read = ParseUserDevices(
        L"vellumet-devices=1" + Record(L"name=Old\twidth=900\theight=1200\tscreen=gray16\toutline=on") +
        Record(L"name=Notes\twidth=900\theight=1200\tscreen=gray16\tnotes=on") +
        Record(L"name=Slides\twidth=900\theight=1200\tscreen=gray16\tnotes=off") +
        Record(L"name=Bad\twidth=900\theight=1200\tscreen=gray16\tnotes=1"));
    ASSERT_EQ(read.devices.size(), 3u);
    EXPECT_FALSE(read.devices[0].notes) << "a list from before the choice";
    EXPECT_TRUE(read.devices[1].notes);
    EXPECT_FALSE(read.devices[2].notes);
    ASSERT_EQ(read.notices.size(), 1u);
    EXPECT_NE(read.notices[0].find(L"\"Bad\""), std::wstring::npos) << read.notices[0];

    const UserDevices again = ParseUserDevices(FormatUserDevices(read.devices));
    ASSERT_EQ(again.devices.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(again.devices[i].notes, read.devices[i].notes) << i;
    }
}

TEST_F(UserDevicesTest, NoMoreThanTheLimitIsTaken) {
    std::wstring text = L"vellumet-devices=1";
    for (size_t i = 0; i <= kMaxUserDevices; ++i) {
        text += Record(L"name=Reader " + std::to_wstring(i) + L"\twidth=600\theight=800\tscreen=gray16");
    }
    const UserDevices read = ParseUserDevices(text);
    EXPECT_EQ(read.devices.size(), kMaxUserDevices);
    ASSERT_EQ(read.notices.size(), 1u);
    EXPECT_TRUE(read.damaged);
}

}  // namespace
}  // namespace vellumet
