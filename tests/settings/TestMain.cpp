// Runs the settings tests with a throwaway home and configuration folder, so that nothing here can
// reach the user's own store.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "support/TempFolder.h"

int main(int argc, char** argv) {
    const vellumet_test::TempFolder scratch("vellumet-settings-");
    const std::filesystem::path home = scratch.Path() / "home";
    std::filesystem::create_directories(home / ".config");
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);

    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
