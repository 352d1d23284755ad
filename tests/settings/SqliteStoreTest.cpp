#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "TestSupport.h"
#include "settings/RegistryValue.h"
#include "settings/SettingsTable.h"
#include "settings/SqliteStore.h"

using namespace settings;
using settings_test::Read;

namespace {

const std::wstring kKey = L"Software\\Mavrel\\Vellumet";

class SqliteStoreTest : public settings_test::ScratchTest {
protected:
    std::filesystem::path File() const { return dir_ / "vellumet" / "settings.db"; }

    SqliteStore MakeStore() {
        return SqliteStore(File(), [this](const std::string& message) { reports_.push_back(message); });
    }

    std::string Contents(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Whether the file is a sound SQLite database, checked by SQLite itself.
    bool Sound(const std::filesystem::path& path) {
        sqlite3* db = nullptr;
        bool ok = false;
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* check = nullptr;
            sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr);
            ok = sqlite3_step(check) == SQLITE_ROW &&
                 std::string(reinterpret_cast<const char*>(sqlite3_column_text(check, 0))) == "ok";
            sqlite3_finalize(check);
        }
        sqlite3_close(db);
        return ok;
    }

    std::vector<std::string> reports_;
};

// Runs body in a child process and returns its exit status (or 128 + signal).
template <class Body>
int InChild(Body body) {
    pid_t pid = fork();
    if (pid == 0) {
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Opens a second connection that holds the store's write lock until it is destroyed, as another
// program in the middle of a long transaction does.
class LockHolder {
public:
    LockHolder(const std::filesystem::path& file, const char* begin) {
        sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        held_ = sqlite3_exec(db_, begin, nullptr, nullptr, nullptr) == SQLITE_OK &&
                sqlite3_exec(db_, "UPDATE registry_values SET type = type", nullptr, nullptr, nullptr) ==
                    SQLITE_OK;
    }
    ~LockHolder() {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db_);
    }
    bool Held() const { return held_; }

private:
    sqlite3* db_ = nullptr;
    bool held_ = false;
};

TEST_F(SqliteStoreTest, KeysExistOnceCreatedWithTheirAncestors) {
    SqliteStore store = MakeStore();
    StoreKey* key = nullptr;
    EXPECT_EQ(store.OpenKey(kKey, &key), StoreStatus::NotFound);
    EXPECT_EQ(key, nullptr);
    ASSERT_EQ(store.CreateKey(kKey, &key), StoreStatus::Ok);
    store.CloseKey(key);
    for (const wchar_t* path : {L"Software", L"Software\\Mavrel", L"Software\\Mavrel\\Vellumet\\"}) {
        ASSERT_EQ(store.OpenKey(path, &key), StoreStatus::Ok) << path;
        uint32_t size = 0;
        EXPECT_EQ(store.QueryValue(key, L"Any", nullptr, nullptr, &size), StoreStatus::NotFound);
        uint8_t byte = 1;
        EXPECT_EQ(store.SetValue(key, L"Any", REG_DWORD, &byte, 1), StoreStatus::AccessDenied);
        store.CloseKey(key);
    }
    EXPECT_TRUE(reports_.empty());
}

TEST_F(SqliteStoreTest, QueryReportsTheSizeABufferNeeds) {
    SqliteStore store = MakeStore();
    settings_test::Plant(store, kKey, L"V", REG_BINARY, {1, 2, 3, 4, 5, 6});
    StoreKey* key = nullptr;
    ASSERT_EQ(store.OpenKey(kKey, &key), StoreStatus::Ok);
    uint8_t buffer[4] = {};
    uint32_t size = sizeof buffer;
    uint32_t type = REG_NONE;
    EXPECT_EQ(store.QueryValue(key, L"V", &type, buffer, &size), StoreStatus::MoreData);
    EXPECT_EQ(size, 6u);
    store.CloseKey(key);
}

TEST_F(SqliteStoreTest, TwoProcessesWritingAtOnceBothSucceed) {
    constexpr int kWriters = 3;
    constexpr int kRounds = 15;
    std::vector<pid_t> children;
    for (int writer = 0; writer < kWriters; ++writer) {
        pid_t pid = fork();
        if (pid == 0) {
            SqliteStore store(File(), [](const std::string&) { _exit(3); });
            const std::wstring own = kKey + L"\\Writer" + std::to_wstring(writer);
            for (long round = 1; round <= kRounds; ++round) {
                registry_int<long> mine(own, 0, registry_value::no_write_back, &store);
                registry_int<long> shared(kKey + L"\\Shared", 0, registry_value::no_write_back, &store);
                mine.set(round);
                shared.set(writer * 1000 + round);
                if (!mine.save() || !shared.save()) {
                    _exit(1);
                }
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer status " << status;
    }
    SqliteStore store = MakeStore();
    for (int writer = 0; writer < kWriters; ++writer) {
        EXPECT_EQ(registry_int<long>(kKey + L"\\Writer" + std::to_wstring(writer), 0, 2, &store).get(),
                  kRounds);
    }
    EXPECT_EQ(registry_int<long>(kKey + L"\\Shared", 0, 2, &store).get() % 1000, kRounds);
    EXPECT_TRUE(Sound(File()));
}

TEST_F(SqliteStoreTest, DamagedFileIsKeptAsideAndReportedOnce) {
    std::filesystem::create_directories(File().parent_path());
    const std::string garbage(5000, '\x5a');
    std::ofstream(File(), std::ios::binary) << garbage;

    SqliteStore store = MakeStore();
    EXPECT_EQ(registry_string<std::wstring>(kKey + L"\\Scheme", L"Amazon Kindle DX", 2, &store).get(),
              L"Amazon Kindle DX");
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_NE(reports_[0].find("damaged"), std::string::npos);
    std::filesystem::path aside = File().string() + ".damaged";
    EXPECT_EQ(Contents(aside), garbage);

    // The store starts afresh; a second damaged file does not replace the first one kept aside.
    registry_int<long>(kKey + L"\\SlidesPerPage", 1, 0, &store).set(2);
    EXPECT_EQ(registry_int<long>(kKey + L"\\SlidesPerPage", 1, 2, &store).get(), 2);
    std::string sound = Contents(File());
    std::fstream patch(File(), std::ios::in | std::ios::out | std::ios::binary);
    patch.seekp(static_cast<std::streamoff>(sound.size() - 4096));
    patch << std::string(4096, '\xff');
    patch.close();
    EXPECT_EQ(registry_int<long>(kKey + L"\\SlidesPerPage", 1, 2, &store).get(), 1);
    EXPECT_EQ(Contents(aside), garbage);
    EXPECT_TRUE(std::filesystem::exists(File().string() + ".damaged-2"));
    EXPECT_EQ(reports_.size(), 1u) << "reported once";
}

TEST_F(SqliteStoreTest, UnreadableFileGivesDefaultsAndIsLeftAlone) {
    std::filesystem::create_directories(File() / "not-a-file");  // a folder where the file should be
    SqliteStore store = MakeStore();
    registry_int<bool> flag(kKey + L"\\OmitShadow", true, 0, &store);
    EXPECT_TRUE(flag.get());
    flag.set(false);
    EXPECT_FALSE(flag.save());
    EXPECT_TRUE(std::filesystem::is_directory(File() / "not-a-file"));
    EXPECT_EQ(reports_.size(), 1u);
}

TEST_F(SqliteStoreTest, ProblemsGoToStderrOnceByDefault) {
    std::filesystem::create_directories(File() / "not-a-file");
    SqliteStore store(File());
    testing::internal::CaptureStderr();
    EXPECT_TRUE(registry_int<bool>(kKey + L"\\OmitShadow", true, 2, &store).get());
    EXPECT_TRUE(registry_int<bool>(kKey + L"\\OmitBackground", true, 2, &store).get());
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_NE(errors.find(File().string()), std::string::npos);
}

TEST_F(SqliteStoreTest, FullDiskLeavesThePreviousValue) {
    {
        SqliteStore store = MakeStore();
        registry_string<std::wstring>(kKey + L"\\OutputFolder", L"", 0, &store).set(L"/kept/");
    }
    const auto limit = static_cast<rlim_t>(std::filesystem::file_size(File()));
    int status = InChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit fileSize{limit, limit};
        setrlimit(RLIMIT_FSIZE, &fileSize);
        SqliteStore store(File(), [](const std::string&) {});
        registry_string<std::wstring> folder(kKey + L"\\OutputFolder", L"", registry_value::no_write_back,
                                             &store);
        folder.set(std::wstring(200000, L'x'));
        return folder.save() ? 1 : 0;
    });
    EXPECT_EQ(status, 0) << "the write that cannot fit must fail";
    EXPECT_TRUE(Sound(File()));
    SqliteStore store = MakeStore();
    EXPECT_EQ(registry_string<std::wstring>(kKey + L"\\OutputFolder", L"", 2, &store).get(), L"/kept/");
}

TEST_F(SqliteStoreTest, KilledWriterLeavesASoundStore) {
    int started[2];
    ASSERT_EQ(pipe(started), 0);
    pid_t pid = fork();
    if (pid == 0) {
        SqliteStore store(File(), [](const std::string&) {});
        for (long round = 1;; ++round) {
            registry_string<std::wstring>(kKey + L"\\Scheme", L"", 0, &store).set(std::to_wstring(round));
            if (round == 1 && write(started[1], "x", 1) != 1) {
                _exit(1);
            }
        }
    }
    // Kill the writer once it has written, somewhere in the middle of a later write.
    char byte = 0;
    EXPECT_EQ(read(started[0], &byte, 1), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(started[0]);
    close(started[1]);

    SqliteStore store = MakeStore();
    std::wstring last = registry_string<std::wstring>(kKey + L"\\Scheme", L"none", 2, &store).get();
    EXPECT_NE(last, L"none");
    EXPECT_TRUE(reports_.empty());
    EXPECT_TRUE(Sound(File()));
}

}  // namespace

namespace {

// Anything but a regular file in the store's place is refused before it is opened, so neither a
// FIFO nor a device can make the program wait. The child's alarm only turns a hang into a failure.
TEST_F(SqliteStoreTest, SpecialFilesInPlaceOfTheStoreAreRefusedAtOnce) {
    struct Case {
        const char* what;
        std::function<void(const std::filesystem::path&)> make;
        std::function<bool(const std::filesystem::path&)> leftAlone;
    };
    const Case cases[] = {
        {"a FIFO", [](const std::filesystem::path& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); },
         [](const std::filesystem::path& p) { return std::filesystem::is_fifo(p); }},
        {"a device", [](const std::filesystem::path& p) { std::filesystem::create_symlink("/dev/zero", p); },
         [](const std::filesystem::path& p) { return std::filesystem::is_symlink(p); }},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        std::filesystem::remove_all(File().parent_path());
        std::filesystem::create_directories(File().parent_path());
        each.make(File());
        const int status = InChild([&] {
            alarm(30);
            std::vector<std::string> reports;
            SqliteStore store(File(), [&](const std::string& message) { reports.push_back(message); });
            registry_int<bool> flag(kKey + L"\\OmitShadow", true, 0, &store);
            if (!flag.get()) {
                return 1;
            }
            flag.set(false);
            if (flag.save()) {
                return 2;
            }
            if (reports.size() != 1 || reports[0].find("not a regular file") == std::string::npos) {
                return 3;
            }
            return store.LastProblem().find("not a regular file") == std::string::npos ? 4 : 0;
        });
        EXPECT_EQ(status, 0) << "1: no default, 2: written, 3: not reported, 4: no reason, 142: hung";
        EXPECT_TRUE(each.leftAlone(File()));
    }
}

// A writer that holds the store must not make a reader wait, nor give it other choices silently.
TEST_F(SqliteStoreTest, ReadersDoNotWaitForAWriter) {
    {
        SqliteStore store = MakeStore();
        SettingsChoice choice;
        choice.outputFolder = L"/remembered/";
        choice.scheme = L"Amazon Kindle 2";
        WriteSettings(choice, &store);
    }
    for (const char* begin : {"BEGIN IMMEDIATE", "BEGIN EXCLUSIVE"}) {
        SCOPED_TRACE(begin);
        LockHolder writer(File(), begin);
        ASSERT_TRUE(writer.Held());
        SqliteStore store = MakeStore();
        std::string problem = "untouched";
        const SettingsChoice back = ReadSettings(&store, L"/docs", &problem);
        EXPECT_EQ(back.outputFolder, L"/remembered/");
        EXPECT_EQ(back.scheme, L"Amazon Kindle 2");
        EXPECT_EQ(problem, "") << "everything was read";
    }
    EXPECT_TRUE(reports_.empty());
}

// A store in the older rollback-journal form cannot be read while another program writes it: the
// read gives up soon and says why, and the next write moves the store to the form readers need not
// wait in.
TEST_F(SqliteStoreTest, AStoreThatCannotBeReadSaysWhy) {
    {
        SqliteStore store = MakeStore();
        SettingsChoice choice;
        choice.outputFolder = L"/remembered/";
        WriteSettings(choice, &store);
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(File().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    {
        LockHolder writer(File(), "BEGIN EXCLUSIVE");
        ASSERT_TRUE(writer.Held());
        SqliteStore store = MakeStore();
        std::string problem;
        const SettingsChoice back = ReadSettings(&store, L"/docs", &problem);
        EXPECT_EQ(back.outputFolder, L"/docs/eBooks") << "the defaults, as before";
        EXPECT_NE(problem.find(File().string()), std::string::npos) << problem;
        EXPECT_NE(problem.find("in use"), std::string::npos) << problem;
    }
    SqliteStore store = MakeStore();
    std::string problem = "untouched";
    EXPECT_EQ(ReadSettings(&store, L"/docs", &problem).outputFolder, L"/remembered/");
    EXPECT_EQ(problem, "");
    WriteSettings(ReadSettings(&store, L"/docs"), &store);
    ASSERT_EQ(sqlite3_open_v2(File().c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* mode = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &mode, nullptr);
    ASSERT_EQ(sqlite3_step(mode), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(mode, 0)), "wal");
    sqlite3_finalize(mode);
    sqlite3_close(db);
}

}  // namespace
