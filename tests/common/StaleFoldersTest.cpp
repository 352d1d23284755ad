#include "common/StaleFolders.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vellumet {
namespace {

namespace fs = std::filesystem;

class StaleFolders : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vellumet-stale-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override { fs::remove_all(root_); }

    // A folder with leftovers in it, marked by a process that has ended.
    fs::path LeftBehind(const std::string& name) {
        const fs::path folder = root_ / name;
        fs::create_directories(folder / "profile");
        std::ofstream(folder / "profile" / "data") << "x";
        const pid_t pid = fork();
        if (pid == 0) {
            _exit(MarkFolderOwner(folder) ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        return folder;
    }

    // The mark's fields, for tests that forge one.
    static std::vector<std::string> MarkFields(const fs::path& folder) {
        std::ifstream in(folder / kOwnerMarkName);
        std::vector<std::string> fields;
        std::string field;
        while (in >> field) {
            fields.push_back(field);
        }
        return fields;
    }
    static void WriteMark(const fs::path& folder, const std::vector<std::string>& fields,
                          bool complete = true) {
        std::ofstream out(folder / kOwnerMarkName, std::ios::trunc);
        for (size_t i = 0; i < fields.size(); ++i) {
            out << (i == 0 ? "" : " ") << fields[i];
        }
        if (complete) {
            out << "\n";
        }
    }

    fs::path root_;
};

TEST_F(StaleFolders, OnlyFoldersOfEndedOwnersAreReclaimed) {
    const fs::path stale = LeftBehind("run-stale");
    const fs::path otherPrefix = LeftBehind("other-stale");
    const fs::path unmarked = root_ / "run-unmarked";
    fs::create_directories(unmarked);
    const fs::path live = root_ / "run-live";
    fs::create_directories(live);
    ASSERT_TRUE(MarkFolderOwner(live));
    EXPECT_EQ(FolderOwnerPid(live), static_cast<long>(getpid()));
    // A link with the prefix to a stale folder elsewhere: neither the link nor the target goes.
    const fs::path target = LeftBehind("elsewhere");
    fs::create_directory_symlink(target, root_ / "run-link");

    std::vector<fs::path> told;
    EXPECT_EQ(
        ReclaimStaleFolders(root_, "run-", [&](const fs::path& folder, long) { told.push_back(folder); }), 1);
    EXPECT_EQ(told, std::vector<fs::path>{stale});
    EXPECT_FALSE(fs::exists(stale));
    for (const fs::path& kept : {otherPrefix, unmarked, live, target, root_ / "run-link"}) {
        EXPECT_TRUE(fs::exists(fs::symlink_status(kept))) << kept;
    }
    EXPECT_TRUE(fs::exists(target / kOwnerMarkName));
}

TEST_F(StaleFolders, AReusedProcessIdOrAnEarlierBootProvesTheOwnerGone) {
    const fs::path reused = LeftBehind("run-reused");
    std::vector<std::string> fields = MarkFields(reused);
    ASSERT_EQ(fields.size(), 4u);
    // This process's id with a start time after this process's own (the child started no earlier).
    fields[0] = std::to_string(getpid());
    fields[1] = std::to_string(std::stoull(fields[1]) + 1);
    WriteMark(reused, fields);

    const fs::path rebooted = LeftBehind("run-rebooted");
    fields = MarkFields(rebooted);
    fields[0] = std::to_string(getpid());
    fields[2] = "00000000-0000-0000-0000-000000000000";
    WriteMark(rebooted, fields);

    EXPECT_EQ(ReclaimStaleFolders(root_, "run-"), 2);
    EXPECT_FALSE(fs::exists(reused));
    EXPECT_FALSE(fs::exists(rebooted));
}

TEST_F(StaleFolders, WhatCannotBeProvenStaleIsKept) {
    // A mark cut short while it was written.
    const fs::path partial = LeftBehind("run-partial");
    WriteMark(partial, MarkFields(partial), false);
    // An owner in another process-id namespace of this boot cannot be looked up from here.
    const fs::path foreign = LeftBehind("run-foreign");
    std::vector<std::string> fields = MarkFields(foreign);
    fields[3] = "pid:[1]";
    WriteMark(foreign, fields);
    std::vector<fs::path> kept = {partial, foreign};
    // Another user's folder (only root can make one).
    if (geteuid() == 0) {
        const fs::path others = LeftBehind("run-others");
        ASSERT_EQ(chown(others.c_str(), 12345, 12345), 0);
        kept.push_back(others);
    }
    EXPECT_EQ(ReclaimStaleFolders(root_, "run-"), 0);
    for (const fs::path& folder : kept) {
        EXPECT_TRUE(fs::exists(folder)) << folder;
    }
}

}  // namespace
}  // namespace vellumet
