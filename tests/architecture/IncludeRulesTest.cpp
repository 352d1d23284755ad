// The layering rules, read off the sources' #include lines: the job knows the office only through
// its exporter interface, only the LibreOffice folder speaks UNO, and the two front ends are
// siblings that share what lies below them.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Include {
    fs::path file;
    std::string target;  // as written between the quotes or angle brackets
};

// Every #include of every C++ file below src/`folder` (the whole tree for an empty folder).
std::vector<Include> IncludesBelow(const std::string& folder) {
    static const std::regex kInclude(R"(^\s*#\s*include\s*[<"]([^>"]+)[>"])");
    std::vector<Include> includes;
    const fs::path root = fs::path(VELLUMET_SOURCE_DIR) / "src" / folder;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp")) {
            continue;
        }
        std::ifstream in(entry.path());
        std::string line;
        std::smatch match;
        while (std::getline(in, line)) {
            if (std::regex_search(line, match, kInclude)) {
                includes.push_back({entry.path(), match[1].str()});
            }
        }
    }
    return includes;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsUnoHeader(const std::string& target) {
    for (const char* prefix : {"com/sun/star/", "cppu/", "cppuhelper/", "rtl/", "osl/", "uno/", "sal/"}) {
        if (StartsWith(target, prefix)) {
            return true;
        }
    }
    return false;
}

TEST(IncludeRulesTest, SourcesAreFound) {
    // Guards the rules below against passing on an empty tree.
    EXPECT_GT(IncludesBelow("job").size(), 10u);
    EXPECT_GT(IncludesBelow("powerpoint/libreoffice").size(), 10u);
}

TEST(IncludeRulesTest, TheJobNeverNamesTheOffice) {
    for (const Include& include : IncludesBelow("job")) {
        EXPECT_FALSE(StartsWith(include.target, "powerpoint/")) << include.file << ": " << include.target;
        EXPECT_FALSE(IsUnoHeader(include.target)) << include.file << ": " << include.target;
    }
}

TEST(IncludeRulesTest, OnlyTheLibreOfficeFolderSpeaksUno) {
    const std::string libreoffice = (fs::path(VELLUMET_SOURCE_DIR) / "src/powerpoint/libreoffice/").string();
    for (const Include& include : IncludesBelow("")) {
        if (IsUnoHeader(include.target)) {
            EXPECT_TRUE(StartsWith(include.file.string(), libreoffice))
                << include.file << ": " << include.target;
        }
    }
}

TEST(IncludeRulesTest, TheFrontEndsAreSiblings) {
    for (const Include& include : IncludesBelow("cli")) {
        EXPECT_FALSE(StartsWith(include.target, "app/")) << include.file << ": " << include.target;
        EXPECT_FALSE(StartsWith(include.target, "shell/")) << include.file << ": " << include.target;
        EXPECT_FALSE(StartsWith(include.target, "Q")) << include.file << ": " << include.target;
    }
    for (const Include& include : IncludesBelow("app")) {
        EXPECT_FALSE(StartsWith(include.target, "cli/")) << include.file << ": " << include.target;
    }
}

TEST(IncludeRulesTest, NothingBelowTheFrontEndsIncludesThem) {
    for (const char* lower :
         {"common", "pdfwriter", "imaging", "powerpoint", "settings", "job", "frontend"}) {
        for (const Include& include : IncludesBelow(lower)) {
            for (const char* upper : {"app/", "cli/", "shell/"}) {
                EXPECT_FALSE(StartsWith(include.target, upper)) << include.file << ": " << include.target;
            }
        }
    }
}

}  // namespace
