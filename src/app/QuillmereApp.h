#pragma once
// The program: one application object whose start-up runs the main dialog modally; the process
// ends when the dialog ends.

namespace vellumet {

class CQuillmereApp {
public:
    // Creates the Qt application over the command line, runs InitInstance and returns the exit
    // status. Call once, from main.
    int Run(int argc, char** argv);

    // Sets up the application's identity, runs the main dialog modally and returns false: there is
    // no message loop after the dialog.
    bool InitInstance();
};

}  // namespace vellumet
