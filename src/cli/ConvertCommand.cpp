#include "cli/ConvertCommand.h"

#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "cli/TerminalHost.h"
#include "common/WideText.h"
#include "frontend/ConvertChecks.h"
#include "frontend/DeviceList.h"
#include "frontend/FrontEndRules.h"
#include "frontend/UserDevices.h"
#include "job/JobMessages.h"
#include "job/SlidePictures.h"
#include "job/TempFolder.h"

namespace vellumet::cli {

namespace {

namespace fs = std::filesystem;

// `path` made absolute and normal, without a trailing separator (except for the root itself).
fs::path Normalised(const fs::path& path) {
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    if (error) {
        absolute = path;
    }
    absolute = absolute.lexically_normal();
    if (!absolute.has_filename() && absolute.has_relative_path()) {
        absolute = absolute.parent_path();
    }
    return absolute;
}

bool SameFile(const fs::path& a, const fs::path& b) {
    if (a == b) {
        return true;
    }
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

std::string Quoted(const std::wstring& text) {
    return "\"" + ToNative(text) + "\"";
}

}  // namespace

bool PlanInputs(const std::vector<std::wstring>& inputs, const std::wstring& outputFolder,
                std::vector<PlannedInput>& plan, std::string& error) {
    plan.clear();
    for (const std::wstring& input : inputs) {
        const fs::path source = Normalised(ToPath(input));
        std::error_code ignored;
        PlannedInput planned;
        planned.source = FromPath(source);
        planned.pictureFolder = fs::is_directory(source, ignored);
        if (!source.has_filename()) {
            error = "cannot name a PDF after " + Quoted(input);
            return false;
        }
        planned.outputPath = OutputPathFor(planned.source, planned.pictureFolder, outputFolder);
        plan.push_back(std::move(planned));
    }

    // Nothing a run writes may replace an input or the PDF of another input.
    for (size_t i = 0; i < plan.size(); ++i) {
        const fs::path output = ToPath(plan[i].outputPath);
        for (size_t k = 0; k < plan.size(); ++k) {
            if (k < i && plan[k].outputPath == plan[i].outputPath) {
                error = Quoted(plan[k].source) + " and " + Quoted(plan[i].source) +
                        " would both be written to " + Quoted(plan[i].outputPath);
                return false;
            }
            if (SameFile(ToPath(plan[k].source), output)) {
                error = Quoted(plan[k].source) + " would be replaced by the PDF of " + Quoted(plan[i].source);
                return false;
            }
        }
    }
    return true;
}

int ExitStatusForResult(int jobResult) {
    switch (jobResult) {
        case JobResult::Succeeded:
            return kExitSuccess;
        case JobResult::Cancelled:
            return kExitInterrupted;
        case JobResult::NoOffice:
        case JobResult::NoPictures:
        case JobResult::ComposeFailed:
        case JobResult::SaveFailed:
            return -jobResult;
        default:
            return -JobResult::ComposeFailed;
    }
}

ConvertCommand::ConvertCommand(const CommandServices& services) : services_(services) {}

bool ConvertCommand::Print(std::FILE* stream, const std::string& text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    return std::fflush(stream) == 0 && written && !std::ferror(stream);
}

void ConvertCommand::PrintOutput(const std::string& text) {
    errno = 0;
    if (Print(services_.out, text) || outputLost_) {
        return;
    }
    // The paths are what scripts read: losing them is a failure of the run.
    outputLost_ = true;
    const std::string why = errno != 0 ? std::strerror(errno) : "write error";
    Print(services_.err, std::string(kProgramName) + ": cannot write to standard output: " + why + "\n");
}

int ConvertCommand::UsageError(const std::string& error) {
    Print(services_.err, std::string(kProgramName) + ": " + error + "\nTry '" + kProgramName +
                             " --help' for more information.\n");
    return kExitUsage;
}

bool ConvertCommand::Parse(const std::vector<std::string>& args) {
    ParseResult result = ParseCommandLine(args);
    if (!result.ok) {
        UsageError(result.error);
        return false;
    }
    line_ = std::move(result.line);
    parsed_ = true;
    return true;
}

int ConvertCommand::Run() {
    if (!parsed_) {
        return kExitUsage;
    }
    try {
        switch (line_.action) {
            case Action::Help:
                PrintOutput(UsageText());
                return outputLost_ ? kExitOutputLost : kExitSuccess;
            case Action::Version:
                PrintOutput(VersionText());
                return outputLost_ ? kExitOutputLost : kExitSuccess;
            case Action::ListDevices:
                LoadDevices();
                PrintOutput(DeviceListText(devices_));
                return outputLost_ ? kExitOutputLost : kExitSuccess;
            case Action::Convert:
                break;
        }
        const int status = RunConversions();
        return status == kExitSuccess && outputLost_ ? kExitOutputLost : status;
    } catch (const std::exception& error) {
        // Allocation failures and file-system errors outside the job.
        Print(services_.err, std::string(kProgramName) + ": " + error.what() + "\n");
        return ExitStatusForResult(JobResult::ComposeFailed);
    }
}

void ConvertCommand::LoadDevices() {
    const UserDevices user = ReadUserDevices(services_.store);
    for (const std::wstring& notice : user.notices) {
        Print(services_.err, std::string(kProgramName) + ": " + ToNative(notice) + "\n");
    }
    devices_ = DeviceListOf(user.devices);
}

int ConvertCommand::RunConversions() {
    LoadDevices();
    std::string deviceError;
    if (!ResolveDevice(line_, devices_, deviceError)) {
        return UsageError(deviceError);
    }
    settings::SettingsChoice remembered;
    if (NeedsRemembered(line_)) {
        // Never other choices than the remembered ones without a word.
        std::string problem;
        remembered = settings::ReadSettings(services_.store, &problem);
        if (!problem.empty()) {
            Print(services_.err,
                  std::string(kProgramName) + ": the remembered choices cannot be read: " + problem +
                      "\nGive the device, the output folder and the options on the command line.\n");
            return kExitUsage;
        }
    }
    const settings::SettingsChoice choice = ApplyRemembered(line_, remembered, devices_);

    // Convert's checks, on the folder made absolute.
    std::wstring outputFolder = choice.outputFolder;
    if (!outputFolder.empty()) {
        outputFolder = WithTrailingSeparator(FromPath(Normalised(ToPath(outputFolder))));
    }
    for (const std::wstring& input : line_.inputs) {
        const std::wstring refusal = CheckConvertInputs(input, outputFolder);
        if (!refusal.empty()) {
            Print(services_.err, ToNative(refusal) + "\n");
            return kExitUsage;
        }
    }

    std::vector<PlannedInput> plan;
    std::string planError;
    if (!PlanInputs(line_.inputs, outputFolder, plan, planError)) {
        return UsageError(planError);
    }
    // A folder that cannot take the PDF fails now, not after the whole export.
    const std::wstring folderProblem = OutputFolderProblem(outputFolder);
    if (!folderProblem.empty()) {
        Print(services_.err,
              ToNative(kSaveFailedMessage + plan.front().outputPath) + "\n" + ToNative(folderProblem) + "\n");
        return ExitStatusForResult(JobResult::SaveFailed);
    }

    if (services_.armCancellation) {
        services_.armCancellation();
    }

    std::vector<SlideExporter*> exporters = {services_.exporter};
    if (services_.spareExporter != nullptr && plan.size() > 1) {
        exporters.push_back(services_.spareExporter);
    }
    return ConvertAll(plan, choice, outputFolder, exporters);
}

std::unique_ptr<TerminalHost> ConvertCommand::HostFor(size_t index, size_t count, const std::wstring& source,
                                                      bool held) const {
    std::wstring label = GetFileName(source);
    if (count > 1) {
        label = L"(" + std::to_wstring(index + 1) + L"/" + std::to_wstring(count) + L") " + label;
    }
    return std::make_unique<TerminalHost>(services_.err, services_.errIsTerminal && !line_.quiet, label,
                                          services_.cancel, held);
}

int ConvertCommand::ConvertAll(const std::vector<PlannedInput>& plan, const settings::SettingsChoice& choice,
                               const std::wstring& outputFolder,
                               const std::vector<SlideExporter*>& exporters) {
    // The inputs are handed out in order to the lanes, one office each; the results are reported
    // in input order, and a job's messages reach the terminal once the jobs before it are done. A
    // lane whose office cannot be started gives its input back and ends, as long as another lane
    // goes on; the last lane converts whatever is left, failures included.
    std::mutex mutex;
    std::condition_variable finished;
    std::deque<size_t> waiting;  // inputs not yet handed out, in input order
    for (size_t i = 0; i < plan.size(); ++i) {
        waiting.push_back(i);
    }
    size_t front = 0;      // the first input not yet reported
    size_t lanesLeft = 0;  // lanes still taking inputs
    bool go = false;       // set once every lane is there
    bool stop = false;
    std::vector<std::unique_ptr<TerminalHost>> hosts(plan.size());
    std::vector<std::optional<int>> results(plan.size());
    std::vector<bool> handedOut(plan.size(), false);
    const auto stopRequested = [this] {
        return services_.cancel != nullptr && services_.cancel->IsCancelled();
    };
    const auto lane = [&](SlideExporter* exporter) noexcept {
        std::unique_lock lock(mutex);
        finished.wait(lock, [&] { return go; });
        for (;;) {
            if (stop || waiting.empty() || stopRequested()) {
                stop = true;
                --lanesLeft;
                finished.notify_all();
                return;
            }
            const size_t index = waiting.front();
            waiting.pop_front();
            handedOut[index] = true;
            const bool alone = lanesLeft == 1;
            lock.unlock();
            if (!alone && !plan[index].pictureFolder && !exporter->PrepareForExport(services_.cancel)) {
                lock.lock();
                if (lanesLeft > 1) {
                    --lanesLeft;
                    handedOut[index] = false;
                    waiting.push_front(index);
                    finished.notify_all();
                    return;
                }
                lock.unlock();
            }
            int result = JobResult::ComposeFailed;
            try {
                {
                    std::lock_guard hostLock(mutex);
                    hosts[index] = HostFor(index, plan.size(), plan[index].source, index != front);
                }
                result = ConvertOne(plan[index], choice, outputFolder, *hosts[index], exporter);
            } catch (...) {
                // Allocation failures around the job: this input failed.
            }
            lock.lock();
            results[index] = result;
            stop = stop || result == JobResult::Cancelled;
            finished.notify_all();
        }
    };

    std::vector<std::thread> lanes;
    for (SlideExporter* exporter : exporters) {
        try {
            lanes.emplace_back(lane, exporter);
        } catch (const std::exception&) {
            break;  // fewer lanes
        }
    }
    {
        std::lock_guard lock(mutex);
        lanesLeft = lanes.empty() ? 1 : lanes.size();
        go = true;
        finished.notify_all();
    }
    if (lanes.empty()) {
        lane(exporters.front());
    }

    int status = kExitSuccess;
    for (size_t i = 0; i < plan.size(); ++i) {
        std::unique_lock lock(mutex);
        finished.wait(lock,
                      [&] { return results[i].has_value() || (stop && !handedOut[i]) || lanes.empty(); });
        if (!results[i]) {
            break;  // never started: the run was stopped
        }
        const int result = *results[i];
        std::unique_ptr<TerminalHost> host = std::move(hosts[i]);
        lock.unlock();
        if (host) {
            host->Release();
            host.reset();
        }
        if (result == JobResult::Succeeded) {
            PrintOutput(ToNative(plan[i].outputPath) + "\n");
        } else if (result == JobResult::Cancelled || stopRequested()) {
            cancelled_ = true;
        } else if (status == kExitSuccess) {
            status = ExitStatusForResult(result);
        }
        // The next input's messages may go out now.
        lock.lock();
        front = i + 1;
        if (front < hosts.size() && hosts[front]) {
            hosts[front]->Release();
        }
    }
    {
        std::lock_guard lock(mutex);
        stop = true;
    }
    for (std::thread& thread : lanes) {
        thread.join();
    }
    if (cancelled_ || stopRequested()) {
        cancelled_ = true;
        return kExitInterrupted;
    }
    return status;
}

int ConvertCommand::ConvertOne(const PlannedInput& input, const settings::SettingsChoice& choice,
                               const std::wstring& outputFolder, TerminalHost& host,
                               SlideExporter* exporter) {
    ConversionJob job;
    job.settings = JobSettingsFromChoice(choice, devices_, input.source, outputFolder, MakeTempFolderName());
    if (line_.pageSize) {
        job.settings.pageSize = line_.pageSize;
    }
    job.settings.outline = line_.outline.value_or(job.settings.outline);
    job.settings.searchable = line_.searchable.value_or(job.settings.searchable);
    job.settings.notesPages = line_.notes.value_or(job.settings.notesPages);
    job.settings.colours = ColoursOfRun(line_, job.settings.colours);
    job.host = &host;
    job.exporter = exporter;
    job.compose = services_.compose;
    job.composer = services_.composer;
    job.source = input.pictureFolder ? JobSource::PictureFolder : JobSource::Presentation;
    return ConversionThreadProc(&job);
}

}  // namespace vellumet::cli
