#include "app/StartArguments.h"

#include <filesystem>
#include <system_error>

#include "common/Version.h"
#include "common/WideText.h"

namespace vellumet {

StartArguments ParseStartArguments(const std::vector<std::string>& args) {
    StartArguments start;
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == "-h" || arg == "--help")) {
            return {StartAction::Help, {}, {}};
        } else if (!optionsEnded && arg == "--version") {
            return {StartAction::Version, {}, {}};
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (start.error.empty()) {
                start.error = "unknown option '" + arg + "'";
            }
        } else {
            files.push_back(arg);
        }
    }
    if (start.error.empty() && files.size() > 1) {
        start.error = "one presentation at a time; got " + std::to_string(files.size());
    }
    if (!start.error.empty()) {
        start.action = StartAction::UsageError;
        return start;
    }
    if (!files.empty()) {
        // The dialog's Convert checks judge whether the file exists; here it only gets anchored to
        // the folder the program was started in. No normalising: "link/.." need not be ".".
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(files.front(), error);
        start.sourceFile = FromNative(error ? files.front() : absolute.string());
    }
    return start;
}

std::string StartUsageText() {
    return "Usage: vellumet [OPTIONS] [FILE]\n"
           "Opens the Vellumet dialog, which turns a presentation into a PDF of page pictures for an\n"
           "e-book reader. FILE (.ppt, .pptx, .odp, or anything else LibreOffice Impress opens) is\n"
           "shown as the source file.\n"
           "\n"
           "  -h, --help      print this help and exit\n"
           "      --version   print the version and exit\n"
           "\n"
           "Qt's own options (such as -platform NAME or -style NAME) are accepted too.\n"
           "vellumet-convert does the same conversion from the command line.\n";
}

std::string StartVersionText() {
    return std::string("vellumet ") + kVersion + "\n";
}

}  // namespace vellumet
