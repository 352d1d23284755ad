// vellumet-convert with the device catalogue, the user's own devices and --page-size, run as a
// user runs it on picture folders (no office needed).

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "CliTestSupport.h"
#include "frontend/UserDevices.h"
#include "settings/RegistryValue.h"
#include "settings/SettingsTable.h"
#include "settings/SqliteStore.h"

namespace clitest {
namespace {

namespace fs = std::filesystem;

// Stores `text` as the user's device list of the sandbox, and `scheme` as the remembered device.
void StoreDevices(const Sandbox& box, const std::wstring& text, const std::wstring& scheme = L"") {
    settings::SqliteStore store(box.StoreFile());
    settings::registry_string<std::wstring>(vellumet::kUserDevicesPath, L"", settings::registry_value::force,
                                            &store)
        .set(text);
    if (!scheme.empty()) {
        settings::registry_string<std::wstring>(settings::kSchemePath, L"", settings::registry_value::force,
                                                &store)
            .set(scheme);
    }
}

const std::wstring kDeskReader =
    L"vellumet-devices=1\x1ename=Desk Reader\twidth=900\theight=1300\tscreen=colour";

TEST(DeviceCliTest, ListDevicesShowsTheCatalogueThenTheUsersDevicesAndWritesNothing) {
    Sandbox box;
    StoreDevices(box, kDeskReader);
    const std::string storeBefore = ReadFile(box.StoreFile());

    const ProcessResult run = box.Run({"--list-devices"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const char* five[] = {"Amazon Kindle DX  ", "Amazon Kindle 2  ", "Small (600*800)  ",
                          "Medium (900*1200)  ", "Large (1200*1600)  "};
    size_t at = 0;
    for (const char* start : five) {
        ASSERT_EQ(run.out.compare(at, std::strlen(start), start), 0) << start;
        at = run.out.find('\n', at) + 1;
    }
    EXPECT_NE(run.out.find("Kobo Clara Colour  "), std::string::npos);
    // The user's device comes last, in the same columns.
    const size_t last = run.out.rfind('\n', run.out.size() - 2) + 1;
    EXPECT_EQ(run.out.compare(last, 13, "Desk Reader  "), 0) << run.out.substr(last);
    const std::string size = "  900 x 1300   colour\n";
    EXPECT_EQ(run.out.compare(run.out.size() - size.size(), size.size(), size), 0) << run.out.substr(last);
    EXPECT_EQ(ReadFile(box.StoreFile()), storeBefore);
}

TEST(DeviceCliTest, AUsersDeviceIsTakenByNameAndRemembered) {
    Sandbox box;
    StoreDevices(box, kDeskReader, L"desk");
    WriteSlidePictures(box.Root() / "pics", 2, 1045, 784);
    const std::string storeBefore = ReadFile(box.StoreFile());

    const ProcessResult named = box.Run({"-q", "-d", "DESK reader", "-o", "named", "pics"});
    ASSERT_EQ(named.exitCode, 0) << named.err;
    ExpectSoundPdf(box.Root() / "named" / "pics.pdf", 2, 900, 1300);

    // The remembered scheme "desk" selects the user's device as the dialog would.
    const ProcessResult remembered = box.Run({"-q", "-o", "remembered", "pics"});
    ASSERT_EQ(remembered.exitCode, 0) << remembered.err;
    ExpectSoundPdf(box.Root() / "remembered" / "pics.pdf", 2, 900, 1300);

    const ProcessResult catalogue = box.Run({"-q", "-d", "kobo clara colour", "-o", "kobo", "pics"});
    ASSERT_EQ(catalogue.exitCode, 0) << catalogue.err;
    ExpectSoundPdf(box.Root() / "kobo" / "pics.pdf", 2, 1072, 1448);

    const ProcessResult unknown = box.Run({"-q", "-d", "Desk", "-o", "unknown", "pics"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("unknown device \"Desk\""), std::string::npos);
    EXPECT_NE(unknown.err.find("\n  Desk Reader\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(box.Root() / "unknown"));
    EXPECT_EQ(ReadFile(box.StoreFile()), storeBefore);
}

TEST(DeviceCliTest, PageSizeGivesAnyPageAndRefusesAnythingElseWithStatusTwo) {
    Sandbox box;
    WriteSlidePictures(box.Root() / "pics", 1, 1045, 784);
    const ProcessResult given = box.Run({"-q", "--page-size", "1000x700", "-o", "out", "pics"});
    ASSERT_EQ(given.exitCode, 0) << given.err;
    ExpectSoundPdf(box.Root() / "out" / "pics.pdf", 1, 1000, 700);
    const ProcessResult later =
        box.Run({"-q", "--page-size=300x400", "-d", "Amazon Kindle 2", "-o", "kindle", "pics"});
    ASSERT_EQ(later.exitCode, 0) << later.err;
    ExpectSoundPdf(box.Root() / "kindle" / "pics.pdf", 1, 560, 750);

    for (const char* bad : {"0x800", "-600x800", "600x20001", "huge", "600x", "99999999999999999999x1"}) {
        const ProcessResult refused = box.Run({"--page-size", bad, "-o", "bad", "pics"});
        EXPECT_EQ(refused.exitCode, 2) << bad;
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(refused.err, std::string("vellumet-convert: invalid page size '") + bad +
                                   "': give WIDTHxHEIGHT in pixels, each from 1 to 20000\n"
                                   "Try 'vellumet-convert --help' for more information.\n");
    }
    EXPECT_FALSE(fs::exists(box.Root() / "bad"));
    EXPECT_FALSE(fs::exists(box.StoreFile()));
}

TEST(DeviceCliTest, DamagedEntriesAreSkippedWithANoticeAndLeftAsTheyAre) {
    Sandbox box;
    const std::wstring damaged = kDeskReader + L"\x1ename=Broken\twidth=0\theight=800\tscreen=gray16" +
                                 L"\x1ename=Wall\twidth=600\theight=800\tscreen=gray16";
    StoreDevices(box, damaged);
    WriteSlidePictures(box.Root() / "pics", 1, 1045, 784);
    const std::string storeBefore = ReadFile(box.StoreFile());

    const std::string notice =
        "vellumet-convert: The stored device \"Broken\" was skipped: its size is missing or not a number of "
        "pixels.\n";
    const ProcessResult list = box.Run({"--list-devices"});
    ASSERT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.err, notice);
    EXPECT_NE(list.out.find("\nDesk Reader  "), std::string::npos);
    EXPECT_NE(list.out.find("\nWall  "), std::string::npos);
    EXPECT_EQ(list.out.find("Broken"), std::string::npos);

    const ProcessResult run = box.Run({"-q", "-d", "Wall", "-o", "out", "pics"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, notice);
    ExpectSoundPdf(box.Root() / "out" / "pics.pdf", 1, 600, 800);
    EXPECT_EQ(ReadFile(box.StoreFile()), storeBefore) << "the command line never writes settings";

    // A value that is no list at all: the catalogue still works.
    StoreDevices(box, L"\xfffe garbage");
    const ProcessResult garbage = box.Run({"-q", "-d", "Kobo Nia", "-o", "nia", "pics"});
    ASSERT_EQ(garbage.exitCode, 0) << garbage.err;
    EXPECT_NE(garbage.err.find("cannot be read"), std::string::npos);
    ExpectSoundPdf(box.Root() / "nia" / "pics.pdf", 1, 758, 1024);
}

}  // namespace
}  // namespace clitest
