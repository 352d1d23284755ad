#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "JobFakes.h"
#include "common/StaleFolders.h"
#include "common/WideText.h"
#include "job/TempFolder.h"

namespace fs = std::filesystem;
using vellumet::ToPath;

namespace {

// Sets an environment variable for the scope and restores the old value.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace

TEST(TempFolderName, FormatsTheLocalTimeAfterThePath) {
    std::tm time = {};
    time.tm_year = 2009 - 1900;
    time.tm_mon = 11;
    time.tm_mday = 30;
    time.tm_hour = 2;
    time.tm_min = 21;
    time.tm_sec = 30;
    EXPECT_EQ(vellumet::FormatTempFolderName(L"/tmp/", time), L"/tmp/PPT20091230022130");
    EXPECT_EQ(vellumet::FormatTempFolderName(L"/home/zoë/tmp/", time), L"/home/zoë/tmp/PPT20091230022130");
}

TEST(TempFolderName, UserTempPathFollowsTmpdir) {
    {
        const ScopedEnv env("TMPDIR", "/var/scratch");
        EXPECT_EQ(vellumet::UserTempPath(), L"/var/scratch/");
    }
    {
        const ScopedEnv env("TMPDIR", "/var/scratch/");
        EXPECT_EQ(vellumet::UserTempPath(), L"/var/scratch/");
    }
    {
        const ScopedEnv env("TMPDIR", "");
        EXPECT_EQ(vellumet::UserTempPath(), L"/tmp/");
    }
    {
        const ScopedEnv env("TMPDIR", nullptr);
        EXPECT_EQ(vellumet::UserTempPath(), L"/tmp/");
        const std::wstring name = vellumet::MakeTempFolderName();
        ASSERT_EQ(name.size(), std::wstring(L"/tmp/PPT20091230022130").size());
        EXPECT_EQ(name.substr(0, 8), L"/tmp/PPT");
    }
}

TEST(PrivateFolder, FreshPrivateAndUniquePerCall) {
    const jobtest::ScratchFolder scratch;
    const std::wstring prefix = scratch.path() + L"/PPT20091230022130";

    const std::wstring first = vellumet::CreatePrivateFolder(prefix);
    const std::wstring second = vellumet::CreatePrivateFolder(prefix);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    EXPECT_EQ(first.substr(0, prefix.size()), prefix);
    EXPECT_GT(first.size(), prefix.size());

    struct stat st = {};
    ASSERT_EQ(::stat(vellumet::ToNative(first).c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, ::getuid());

    // A parent that does not exist, and an empty prefix, give no folder.
    EXPECT_EQ(vellumet::CreatePrivateFolder(scratch.path() + L"/missing/PPT"), L"");
    EXPECT_EQ(vellumet::CreatePrivateFolder(L""), L"");
}

TEST(PrivateFolder, FoldersOfKilledRunsAreReclaimedAndLiveOnesKept) {
    const jobtest::ScratchFolder scratch;
    const fs::path root = ToPath(scratch.path());
    const std::wstring prefix = scratch.path() + L"/PPT20091230022130";

    // A run that was killed before it could clean up: its folder, marked by a process now gone.
    const fs::path killed = ToPath(vellumet::CreatePrivateFolder(prefix));
    ASSERT_FALSE(killed.empty());
    fs::remove(killed / vellumet::kOwnerMarkName);
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(vellumet::MarkFolderOwner(killed) ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(status, 0);
    std::ofstream(killed / "Slide1.png") << "left behind";
    // A folder of a run that is still going (this process), and a folder of someone else's program.
    const fs::path live = ToPath(vellumet::CreatePrivateFolder(prefix));
    fs::create_directory(root / "PPT-not-ours");

    const fs::path fresh = ToPath(vellumet::CreatePrivateFolder(prefix));
    ASSERT_FALSE(fresh.empty());
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(root / "PPT-not-ours"));
    EXPECT_EQ(vellumet::FolderOwnerPid(fresh), static_cast<long>(::getpid()));
}

TEST(PrivateFolder, RemoveFolderTreeTakesContentButNotLinkTargets) {
    const jobtest::ScratchFolder scratch;
    const fs::path root = ToPath(scratch.path());
    const fs::path outside = root / "outside";
    fs::create_directory(outside);
    std::ofstream(outside / "keep.txt") << "keep";

    const fs::path folder = ToPath(vellumet::CreatePrivateFolder(scratch.path() + L"/PPT"));
    fs::create_directory(folder / "nested");
    std::ofstream(folder / "nested" / "Slide1.png") << "x";
    std::ofstream(folder / ".hidden") << "x";
    fs::create_directory_symlink(outside, folder / "link");

    vellumet::RemoveFolderTree(vellumet::FromPath(folder));
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(fs::exists(outside / "keep.txt"));

    // A missing folder or an empty text is no error.
    vellumet::RemoveFolderTree(vellumet::FromPath(folder));
    vellumet::RemoveFolderTree(L"");
}
