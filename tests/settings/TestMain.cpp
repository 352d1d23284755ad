// Runs the settings tests with a throwaway home and configuration folder, so that nothing here can
// reach the user's own store.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    std::string scratch = (std::filesystem::temp_directory_path() / "vellumet-settings-XXXXXX").string();
    if (mkdtemp(scratch.data()) == nullptr) {
        return 2;
    }
    std::filesystem::create_directories(scratch + "/home/.config");
    setenv("HOME", (scratch + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (scratch + "/home/.config").c_str(), 1);
    setenv("VELLUMET_TEST_SCRATCH", scratch.c_str(), 1);

    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    return result;
}
