#pragma once
// The throwaway folder every test suite uses: a new private folder under the temporary folder,
// removed with everything in it when the object goes.

#include <filesystem>
#include <string>
#include <vector>

namespace vellumet_test {

class TempFolder {
public:
    // Creates "<prefix>XXXXXX" (mode 0700) under $TMPDIR, or /tmp when it is unset. Throws
    // std::system_error when the folder cannot be created, which fails the test that asked for it.
    explicit TempFolder(const std::string& prefix = "vellumet-test-");
    // Removes the folder and everything in it, read-only folders inside included.
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The folder's path as the system's wide text.
    std::wstring WidePath() const;
    // The wide path of the entry `name` in the folder.
    std::wstring File(const std::string& name) const;

    // Writes `bytes` to the file `name` in the folder.
    void WriteFile(const std::string& name, const std::string& bytes) const;
    // The names of the folder's entries, sorted.
    std::vector<std::string> Entries() const;

private:
    std::filesystem::path path_;
};

}  // namespace vellumet_test
