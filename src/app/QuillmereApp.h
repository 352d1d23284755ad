#pragma once
// The program: one application object whose start-up runs the main dialog modally; the process
// ends when the dialog ends. `vellumet FILE` opens the dialog with FILE as the source file.

#include <string>

namespace vellumet {

class CQuillmereApp {
public:
    // Answers --help and --version, or creates the Qt application over the command line, runs
    // InitInstance and returns the exit status. Call once, from main.
    int Run(int argc, char** argv);

    // Sets up the application's identity, runs the main dialog modally and returns false: there is
    // no message loop after the dialog.
    bool InitInstance();

private:
    std::wstring sourceFile_;  // from the command line; empty when none was given
};

}  // namespace vellumet
