#include "powerpoint/libreoffice/OfficeVersion.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "common/WideText.h"
#include "powerpoint/DispatchIds.h"
#include "support/TempFolder.h"

namespace {

TEST(ParseOfficeRelease, ProductTexts) {
    int major = -1;
    int minor = -1;
    EXPECT_TRUE(powerpoint::ParseOfficeRelease("LibreOffice 7.4", major, minor));
    EXPECT_EQ(major, 7);
    EXPECT_EQ(minor, 4);
    EXPECT_TRUE(powerpoint::ParseOfficeRelease("LibreOffice 24.2.1.2 ", major, minor));
    EXPECT_EQ(major, 24);
    EXPECT_EQ(minor, 2);
    EXPECT_TRUE(powerpoint::ParseOfficeRelease("7.10", major, minor));
    EXPECT_EQ(minor, 10);

    major = minor = -1;
    for (const char* bad : {"", "LibreOffice", "LibreOffice 7", "LibreOffice 7.", "LibreOffice .4",
                            "LibreOffice 7.x", "LibreOffice -7.4", "LibreOffice 99999999999.1"}) {
        EXPECT_FALSE(powerpoint::ParseOfficeRelease(bad, major, minor)) << bad;
    }
    EXPECT_EQ(major, -1);  // untouched on failure
}

TEST(OfficeVersion, LibreOfficeOpensLikeALaterRelease) {
    EXPECT_EQ(powerpoint::OpenDispIdForVersion(powerpoint::kLibreOfficeVersionCode),
              powerpoint::dispid::Presentations::Open);
}

TEST(OfficeVersion, RefusalNamesTheOldestRelease) {
    const std::wstring refusal = powerpoint::kOfficeVersionRefusal;
    EXPECT_NE(refusal.find(std::wstring(L"LibreOffice ") + powerpoint::kOldestLibreOffice + L" or later"),
              std::wstring::npos);
}

// A made-up program folder, removed afterwards.
class ProgramFolder : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* chosen = std::getenv(powerpoint::kOfficeProgramVariable)) {
            savedVariable_ = chosen;
        }
    }
    void TearDown() override {
        if (savedVariable_) {
            ::setenv(powerpoint::kOfficeProgramVariable, savedVariable_->c_str(), 1);
        } else {
            ::unsetenv(powerpoint::kOfficeProgramVariable);
        }
    }

    void Install(const std::string& bootstrap, bool executable = true) {
        std::ofstream(folder_ / "soffice.bin") << "#!/bin/false\n";
        std::filesystem::permissions(folder_ / "soffice.bin", executable
                                                                  ? std::filesystem::perms::owner_all
                                                                  : std::filesystem::perms::owner_read);
        std::ofstream(folder_ / "bootstraprc", std::ios::binary) << bootstrap;
    }

    const vellumet_test::TempFolder temp_{"officeprobe-"};
    const std::filesystem::path folder_ = temp_.Path();
    std::optional<std::string> savedVariable_;
};

TEST_F(ProgramFolder, SupportedReleases) {
    for (const char* bootstrap :
         {"[Bootstrap]\nInstallMode=<installmode>\nProductKey=LibreOffice 7.4\nUserInstallation=x\n",
          "[Bootstrap]\r\nProductKey=LibreOffice 7.4.7.2\r\n", "ProductKey=LibreOffice 7.6",
          "ProductKey=LibreOffice 24.8\n", "ProductKey=LibreOfficeDev 8.0\n"}) {
        Install(bootstrap);
        EXPECT_EQ(powerpoint::OfficeVersionCode(folder_), powerpoint::kLibreOfficeVersionCode) << bootstrap;
    }
}

TEST_F(ProgramFolder, MissingOldOrUnreadable) {
    EXPECT_EQ(powerpoint::OfficeVersionCode(folder_), 0);  // nothing installed
    EXPECT_EQ(powerpoint::OfficeVersionCode(folder_ / "absent"), 0);
    EXPECT_EQ(powerpoint::OfficeVersionCode({}), 0);

    for (const char* bootstrap : {"ProductKey=LibreOffice 7.3\n", "ProductKey=LibreOffice 6.4\n",
                                  "[Bootstrap]\nInstallMode=x\n", "ProductKey=LibreOffice\n",
                                  "ProductKey=LibreOffice seven\n", " ProductKey=LibreOffice 7.4\n", ""}) {
        Install(bootstrap);
        EXPECT_EQ(powerpoint::OfficeVersionCode(folder_), 0) << bootstrap;
    }

    Install("ProductKey=LibreOffice 7.4\n", false);  // the program cannot run
    EXPECT_EQ(powerpoint::OfficeVersionCode(folder_), 0);

    Install("ProductKey=LibreOffice 7.4\n");
    std::filesystem::remove(folder_ / "bootstraprc");
    EXPECT_EQ(powerpoint::OfficeVersionCode(folder_), 0);
}

TEST_F(ProgramFolder, EnvironmentChoosesTheFolder) {
    Install("ProductKey=LibreOffice 7.4\n");
    ::setenv(powerpoint::kOfficeProgramVariable, folder_.c_str(), 1);
    EXPECT_EQ(powerpoint::OfficeProgramFolder(), folder_);
    EXPECT_EQ(powerpoint::GetPowerPointVersion(), powerpoint::kLibreOfficeVersionCode);

    // A chosen folder without an office is not replaced by the usual locations.
    ::setenv(powerpoint::kOfficeProgramVariable, (folder_ / "absent").c_str(), 1);
    EXPECT_EQ(powerpoint::GetPowerPointVersion(), 0);
}

TEST_F(ProgramFolder, InstalledOffice) {
    ::unsetenv(powerpoint::kOfficeProgramVariable);
    const auto folder = powerpoint::OfficeProgramFolder();
    if (folder.empty()) {
        EXPECT_EQ(powerpoint::GetPowerPointVersion(), 0);
        GTEST_SKIP() << "no LibreOffice installed";
    }
    EXPECT_TRUE(std::filesystem::exists(folder / "soffice.bin"));
    EXPECT_GE(powerpoint::GetPowerPointVersion(), 4);
}

}  // namespace
