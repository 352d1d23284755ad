#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "TestSupport.h"
#include "settings/DocumentsFolder.h"
#include "settings/SettingsTable.h"
#include "settings/SqliteStore.h"
#include "support/MemoryStore.h"

using namespace settings;
using settings_test::Plant;
using settings_test::Read;
using settings_test::Utf16;

namespace {

const std::wstring kKey = L"Software\\Mavrel\\Vellumet";

// Remembers the names of the values written, in order.
class RecordingStore : public MemoryStore {
public:
    StoreStatus SetValue(StoreKey* key, std::wstring_view name, uint32_t type, const uint8_t* data,
                         uint32_t size) override {
        written.emplace_back(name);
        return MemoryStore::SetValue(key, name, type, data, size);
    }
    std::vector<std::wstring> written;
};

TEST(SettingsTable, FreshAccountReadsDefaults) {
    MemoryStore store;
    SettingsChoice choice = ReadSettings(&store, L"/home/ann/Documents");
    EXPECT_EQ(choice.outputFolder, L"/home/ann/Documents/eBooks");
    EXPECT_EQ(choice.scheme, L"Amazon Kindle DX");
    EXPECT_TRUE(choice.omitBackground);
    EXPECT_TRUE(choice.omitShadow);
    EXPECT_FALSE(choice.twoSlidesPerPage);
    EXPECT_EQ(ReadSettings(&store, L"").outputFolder, L"") << "no documents folder: no default folder";
    EXPECT_FALSE(store.HasKey(kKey)) << "reading creates nothing";
}

TEST(SettingsTable, OnlyTwoSlidesPerPageMeansTwo) {
    MemoryStore store;
    Plant(store, kKey, L"SlidesPerPage", REG_DWORD, {3, 0, 0, 0});
    EXPECT_EQ(registry_int<long>(kKey + L"\\SlidesPerPage", 1, 2, &store).get(), 3);
    EXPECT_FALSE(ReadSettings(&store, L"/d").twoSlidesPerPage);
    Plant(store, kKey, L"SlidesPerPage", REG_DWORD, {2, 0, 0, 0});
    EXPECT_TRUE(ReadSettings(&store, L"/d").twoSlidesPerPage);
}

TEST(SettingsTable, ConvertOnAFreshAccountWritesOnlyTheOutputFolder) {
    RecordingStore store;
    SettingsChoice choice;
    choice.outputFolder = L"/home/ann/Documents/eBooks/";
    WriteSettings(choice, &store);
    EXPECT_EQ(store.written, std::vector<std::wstring>{L"OutputFolder"});
    EXPECT_TRUE(store.HasKey(kKey));
    EXPECT_EQ(ReadSettings(&store, L"/elsewhere").outputFolder, choice.outputFolder);
}

TEST(SettingsTable, ConvertRewritesStoredValuesInReverseOrder) {
    RecordingStore store;
    Plant(store, kKey, L"Scheme", REG_SZ, Utf16("Large (1200*1600)"));
    Plant(store, kKey, L"OmitBackground", REG_DWORD, {0, 0, 0, 0});
    Plant(store, kKey, L"OmitShadow", REG_DWORD, {1, 0, 0, 0});
    Plant(store, kKey, L"SlidesPerPage", REG_DWORD, {2, 0, 0, 0});
    store.written.clear();

    SettingsChoice choice;  // every value back at its default, which is written since one is stored
    choice.outputFolder = L"/out/";
    WriteSettings(choice, &store);
    EXPECT_EQ(store.written, (std::vector<std::wstring>{L"SlidesPerPage", L"OmitShadow", L"OmitBackground",
                                                        L"Scheme", L"OutputFolder"}));
    SettingsChoice back = ReadSettings(&store, L"/d");
    EXPECT_EQ(back.scheme, L"Amazon Kindle DX");
    EXPECT_TRUE(back.omitBackground);
    EXPECT_FALSE(back.twoSlidesPerPage);
    EXPECT_EQ(Read(store, kKey, L"SlidesPerPage").bytes[0], 1);
}

TEST(SettingsTable, ChoicesSurviveInTheUsersStore) {
    // The user's store lives under XDG_CONFIG_HOME, which the test run points at a scratch folder.
    std::filesystem::path file = DefaultStorePath();
    EXPECT_EQ(file, std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "vellumet" / "settings.db");
    SettingsChoice choice;
    choice.outputFolder = L"/media/reader/";
    choice.scheme = L"Amazon Kindle 2";
    choice.omitShadow = false;
    choice.twoSlidesPerPage = true;
    WriteSettings(choice);
    SettingsChoice back = ReadSettings();
    EXPECT_EQ(back.outputFolder, choice.outputFolder);
    EXPECT_EQ(back.scheme, choice.scheme);
    EXPECT_TRUE(back.omitBackground);
    EXPECT_FALSE(back.omitShadow);
    EXPECT_TRUE(back.twoSlidesPerPage);
    EXPECT_TRUE(std::filesystem::exists(file));
}

TEST(DocumentsFolder, ComesFromTheDesktopOrElseHome) {
    std::filesystem::path home = std::getenv("HOME");
    std::filesystem::path userDirs = std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "user-dirs.dirs";
    std::ofstream(userDirs) << "XDG_DOCUMENTS_DIR=\"$HOME/Papiers\"\n";
    std::filesystem::create_directories(home / "Papiers");
    EXPECT_EQ(DocumentsFolder(), (home / "Papiers").wstring());
    EXPECT_EQ(DefaultOutputFolder(DocumentsFolder()), (home / "Papiers" / "eBooks").wstring());

    std::filesystem::remove(home / "Papiers");
    EXPECT_EQ(DocumentsFolder(), home.wstring()) << "a documents folder that does not exist";
    std::filesystem::remove(userDirs);
}

// Without HOME the account's home from the password database is used; without either there is no
// default output folder at all (and Convert asks for one) rather than "/eBooks" at the root.
TEST(DocumentsFolder, WithoutHomeComesFromTheAccount) {
    const passwd* entry = getpwuid(getuid());
    const std::string accountHome = entry != nullptr ? entry->pw_dir : "";
    EXPECT_EQ(HomeFolder(nullptr, getuid()), accountHome);
    EXPECT_EQ(HomeFolder("", getuid()), accountHome);
    EXPECT_EQ(HomeFolder("/home/zoe", getuid()), "/home/zoe");
    uid_t unknown = 4000000;
    while (getpwuid(unknown) != nullptr) {
        ++unknown;
    }
    EXPECT_EQ(HomeFolder(nullptr, unknown), "");
    EXPECT_EQ(DefaultOutputFolder(L""), L"");

    const std::wstring expected =
        accountHome.empty() ? L"" : DefaultOutputFolder(std::wstring(accountHome.begin(), accountHome.end()));
    const pid_t pid = fork();
    if (pid == 0) {
        unsetenv("HOME");
        _exit(DefaultOutputFolder(DocumentsFolder()) == expected ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "HOME unset gives another folder";
}

}  // namespace
