#pragma once
// The desktop program's command line: `vellumet [FILE]`, plus --help and --version. Qt's own
// options (-platform, -style, ...) are taken out by QApplication before the arguments get here.

#include <string>
#include <vector>

namespace vellumet {

enum class StartAction { OpenDialog, Help, Version, UsageError };

struct StartArguments {
    StartAction action = StartAction::OpenDialog;
    std::wstring sourceFile;  // absolute; empty when no FILE was given
    std::string error;        // set for UsageError
};

// Parses the arguments after the program name. --help and --version win wherever they stand, even
// after an error, so that they can be answered before Qt has removed its own options; "--" ends
// the options. More than one FILE is a usage error.
StartArguments ParseStartArguments(const std::vector<std::string>& args);

std::string StartUsageText();
std::string StartVersionText();

// The exit status for a usage error, as vellumet-convert uses it.
inline constexpr int kStartExitUsage = 2;

}  // namespace vellumet
