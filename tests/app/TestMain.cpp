// Runs the app tests inside a QApplication on the offscreen platform, with the user's
// configuration folder moved to a throwaway one.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string config = (std::filesystem::temp_directory_path() / "vellumet-app-config-XXXXXX").string();
    if (::mkdtemp(config.data()) == nullptr) {
        return 1;
    }
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    // Qt's runtime folder, so that nothing is looked up in the user's.
    const std::string runtime = config + "/runtime";
    std::filesystem::create_directory(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();

    std::error_code ignored;
    std::filesystem::remove_all(config, ignored);
    return status;
}
