// Runs the app tests inside a QApplication on the offscreen platform, with the user's
// configuration folder moved to a throwaway one.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>

#include "support/TempFolder.h"

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const vellumet_test::TempFolder config("vellumet-app-config-");
    ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    // Qt's runtime folder, so that nothing is looked up in the user's.
    const std::filesystem::path runtime = config.Path() / "runtime";
    std::filesystem::create_directory(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
