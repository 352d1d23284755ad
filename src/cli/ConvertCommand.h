#pragma once
// vellumet-convert as an object: parse the arguments, then run the conversions they ask for, one
// input after another, each through the conversion job (or, for a folder of pictures, straight
// through composition), hosted on the terminal. main() only wires the real services in.

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/TerminalHost.h"
#include "common/CancelToken.h"
#include "frontend/DeviceProfile.h"
#include "job/ConversionJob.h"
#include "job/SlideExporter.h"
#include "settings/SettingsStore.h"

namespace vellumet::cli {

// Exit statuses besides the job's codes made positive (1, 3, 4, 5).
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitOutputLost = 6;     // standard output could not be written
inline constexpr int kExitInterrupted = 130;  // 128 + SIGINT

// What a run uses from outside. Everything given must outlive the command.
struct CommandServices {
    SlideExporter* exporter = nullptr;  // the office suite; required for presentations
    // A second office: with it, a run of several inputs converts two at a time. May be null.
    SlideExporter* spareExporter = nullptr;
    ComposeFunction compose = nullptr;         // page composition; null fails every conversion
    ComposerFunction composer = nullptr;       // composition begun during the export; optional
    const CancelToken* cancel = nullptr;       // set when the user asks to stop; may be null
    settings::SettingsStore* store = nullptr;  // the remembered choices; null: the current user's
    std::FILE* out = stdout;                   // the paths of the written PDF files
    std::FILE* err = stderr;                   // messages and the progress bar
    bool errIsTerminal = false;                // draw the progress bar on err (unless --quiet)
    // Called once, before the first conversion starts: from then on a stop signal cancels instead
    // of ending the process at once. May be empty.
    std::function<void()> armCancellation;
};

// One input and where its PDF goes.
struct PlannedInput {
    std::wstring source;  // absolute and normalised, no trailing separator
    bool pictureFolder = false;
    std::wstring outputPath;  // outputFolder + base name (folder name for a picture folder) + ".pdf"
};

// Plans `inputs` into `outputFolder` (absolute, ending with "/"). Refuses, with a one-line reason in
// `error`, two inputs that would write the same PDF and an input that its own PDF would replace.
bool PlanInputs(const std::vector<std::wstring>& inputs, const std::wstring& outputFolder,
                std::vector<PlannedInput>& plan, std::string& error);

// The exit status for a job result: 0 for success, the failure code made positive, and
// kExitInterrupted for a cancelled job.
int ExitStatusForResult(int jobResult);

class ConvertCommand {
public:
    explicit ConvertCommand(const CommandServices& services);

    // Parses the arguments after the program name. False on a usage error, which is then already
    // reported on the error stream; Run then only returns kExitUsage.
    bool Parse(const std::vector<std::string>& args);

    // What Parse understood.
    const CommandLine& Line() const { return line_; }

    // Does what the arguments ask and returns the exit status. Call once, after Parse.
    int Run();

    // True when the run stopped because the cancel token was set.
    bool WasCancelled() const { return cancelled_; }

private:
    // Reads the user's devices into devices_ (the whole device list) and reports their notices.
    void LoadDevices();
    int RunConversions();
    // Converts every input of `plan`, one lane (thread) per exporter, and reports each in input
    // order: its PDF's path on the output stream, or its failure in the status.
    int ConvertAll(const std::vector<PlannedInput>& plan, const settings::SettingsChoice& choice,
                   const std::wstring& outputFolder, const std::vector<SlideExporter*>& exporters);
    std::unique_ptr<TerminalHost> HostFor(size_t index, size_t count, const std::wstring& source,
                                          bool held) const;
    int ConvertOne(const PlannedInput& input, const settings::SettingsChoice& choice,
                   const std::wstring& outputFolder, TerminalHost& host, SlideExporter* exporter);
    // Writes and flushes `text`; false when the stream did not take all of it.
    bool Print(std::FILE* stream, const std::string& text);
    // Prints to the output stream; a failure is reported once on the error stream and remembered.
    void PrintOutput(const std::string& text);
    int UsageError(const std::string& error);

    CommandServices services_;
    CommandLine line_;
    std::vector<DeviceProfile> devices_;
    bool parsed_ = false;
    bool cancelled_ = false;
    bool outputLost_ = false;
};

}  // namespace vellumet::cli
