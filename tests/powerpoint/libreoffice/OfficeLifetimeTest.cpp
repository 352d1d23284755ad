// Start, end, watchdog and cancellation of the office: nothing hangs and nothing is left behind.

#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "OfficeTestSupport.h"
#include "common/ExportFlags.h"
#include "common/WideText.h"
#include "powerpoint/DispatchIds.h"
#include "powerpoint/SlideExport.h"
#include "powerpoint/libreoffice/OfficeProcess.h"

namespace powerpoint::test {
namespace {

using Clock = std::chrono::steady_clock;

class OfficeLifetime : public OfficeTest {};

std::vector<pid_t> ReadPids(const std::filesystem::path& file) {
    std::vector<pid_t> pids;
    std::ifstream in(file);
    pid_t pid = 0;
    while (in >> pid) {
        pids.push_back(pid);
    }
    return pids;
}

TEST_F(OfficeLifetime, ReleasingTheApplicationEndsTheOfficeAndRemovesItsTraces) {
    SKIP_WITHOUT_OFFICE();
    LibreOfficeServer server(Options());
    AutomationHolder application(server.CreateObject(kApplicationProgId));
    ASSERT_TRUE(application) << vellumet::ToNative(server.LastError());
    const OfficeFootprint footprint = server.LastFootprint();
    EXPECT_TRUE(ProcessAlive(footprint.pid));
    EXPECT_TRUE(std::filesystem::is_directory(footprint.privateFolder));
    EXPECT_TRUE(footprint.privateFolder.parent_path() == officeRoot_);
    application.Reset();
    ExpectNoTraces(server);
}

TEST_F(OfficeLifetime, AnOfficeThatNeverAnswersIsKilledWithItsWholeGroup) {
    // A stand-in office that starts a helper and then never opens its pipe.
    const std::filesystem::path pids = root_ / "pids";
    const std::filesystem::path script = root_ / "hung-office";
    std::ofstream(script) << "#!/bin/sh\necho $$ >> '" << pids.string() << "'\nsleep 300 &\necho $! >> '"
                          << pids.string() << "'\nwait\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);

    LibreOfficeOptions options = Options();
    options.officeBinary = script.string();
    options.startBudget = std::chrono::milliseconds(1500);
    LibreOfficeServer server(options);
    const auto started = Clock::now();
    AutomationHolder application(server.CreateObject(kApplicationProgId));
    const auto took = Clock::now() - started;
    EXPECT_FALSE(application);
    EXPECT_NE(server.LastError().find(L"in time"), std::wstring::npos)
        << vellumet::ToNative(server.LastError());
    EXPECT_LT(took, std::chrono::seconds(20));
    const std::vector<pid_t> started_pids = ReadPids(pids);
    ASSERT_EQ(started_pids.size(), 2u);
    for (pid_t pid : started_pids) {
        EXPECT_FALSE(ProcessAlive(pid)) << pid;
    }
    ExpectNoTraces(server);
}

TEST_F(OfficeLifetime, TheOfficesOwnOutputIsKeptOnlyWhileARunIsDiagnosed) {
    const std::filesystem::path script = root_ / "talking-office";
    std::ofstream(script) << "#!/bin/sh\necho on standard output\necho on standard error >&2\nexit 3\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    LibreOfficeOptions options = Options();
    options.officeBinary = script.string();
    const std::filesystem::path log = root_ / "office.log";

    ::setenv(kOfficeLogVariable, log.c_str(), 1);
    {
        LibreOfficeServer server(options);
        AutomationHolder application(server.CreateObject(kApplicationProgId));
        EXPECT_FALSE(application);
        EXPECT_NE(server.LastError().find(L"exit code 3"), std::wstring::npos)
            << vellumet::ToNative(server.LastError());
        ExpectNoTraces(server);
    }
    ::unsetenv(kOfficeLogVariable);
    std::ifstream in(log);
    const std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, "on standard output\non standard error\n");

    // Without the variable nothing is kept anywhere.
    std::filesystem::remove(log);
    LibreOfficeServer quiet(options);
    AutomationHolder none(quiet.CreateObject(kApplicationProgId));
    EXPECT_FALSE(none);
    EXPECT_FALSE(std::filesystem::exists(log));
}

TEST_F(OfficeLifetime, AProgramThatIsNoOfficeFailsTheStart) {
    LibreOfficeOptions options = Options();
    options.officeBinary = (root_ / "no-such-office").string();
    LibreOfficeServer server(options);
    AutomationHolder application(server.CreateObject(kApplicationProgId));
    EXPECT_FALSE(application);
    EXPECT_FALSE(server.LastError().empty());
    ExpectNoTraces(server);
}

TEST_F(OfficeLifetime, ACancelBeforeTheStartStartsNothingThatSurvives) {
    SKIP_WITHOUT_OFFICE();
    vellumet::CancelToken cancel;
    cancel.RequestCancel();
    std::filesystem::path folder;
    EXPECT_NE(Export(CorpusDir() / "Single_Coloured_Page.ppt", 0, 400, 300, folder, &cancel), kExportDone);
    EXPECT_TRUE(Pictures(folder).empty());
}

TEST_F(OfficeLifetime, ACancelDuringTheExportStopsTheOfficeAndLeavesNoPictures) {
    SKIP_WITHOUT_OFFICE();
    vellumet::CancelToken cancel;
    const std::filesystem::path folder = root_ / "export1";  // the folder Export uses first
    std::thread canceller([&] {
        const auto until = Clock::now() + std::chrono::seconds(120);
        while (Clock::now() < until && !std::filesystem::exists(folder / "Slide2.png")) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        cancel.RequestCancel();
    });
    std::filesystem::path used;
    const auto started = Clock::now();
    // The office's own picture export, whose pictures come one by one as it goes.
    LibreOfficeOptions options = Options();
    options.cancel = &cancel;
    options.exportThroughPdf = false;
    const int result =
        Export(CorpusDir() / "alterman_security.ppt", ExportFlags::OmitShadow, 800, 600, used, options);
    canceller.join();
    EXPECT_EQ(used, folder);
    EXPECT_EQ(result, kExportCancelled);
    EXPECT_TRUE(Pictures(folder).empty());
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(120));
}

TEST_F(OfficeLifetime, ACancelWhileThePagesAreRenderedStopsEverythingAndLeavesNoPictures) {
    SKIP_WITHOUT_OFFICE();
    // A page renderer that never answers (it may write nothing, being confined): a child of this
    // process that sleeps.
    const std::filesystem::path renderer = root_ / "silent-renderer";
    std::ofstream(renderer) << "#!/bin/sh\nexec sleep 300\n";
    std::filesystem::permissions(renderer, std::filesystem::perms::owner_all);
    auto rendererRuns = [] {
        for (pid_t child : ChildProcesses()) {
            std::ifstream comm("/proc/" + std::to_string(child) + "/comm");
            std::string name;
            if (std::getline(comm, name) && name == "sleep") {
                return true;
            }
        }
        return false;
    };
    std::atomic<bool> sawRenderer{false};
    vellumet::CancelToken cancel;
    std::thread canceller([&] {
        const auto until = Clock::now() + std::chrono::seconds(120);
        while (Clock::now() < until && !rendererRuns()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        sawRenderer = rendererRuns();
        cancel.RequestCancel();
    });
    LibreOfficeOptions options = Options();
    options.cancel = &cancel;
    options.rasteriserProgram = renderer.string();
    std::filesystem::path folder;
    const int result = Export(CorpusDir() / "alterman_security.ppt", 0, 800, 600, folder, options);
    canceller.join();
    EXPECT_TRUE(sawRenderer);
    EXPECT_EQ(result, kExportCancelled);
    EXPECT_TRUE(Pictures(folder).empty());
}

// Whatever the length of the deck, an office that stops making progress is stopped after the stall
// budget; the start budget here alone would wait ten minutes.
TEST_F(OfficeLifetime, AnOfficeThatStopsMakingProgressIsStoppedAfterTheStallBudget) {
    SKIP_WITHOUT_OFFICE();
    LibreOfficeOptions options = Options();
    options.startBudget = std::chrono::minutes(10);
    options.stallBudget = std::chrono::seconds(2);
    LibreOfficeServer server(options);
    const auto begun = Clock::now();
    {
        AutomationHolder application(server.CreateObject(kApplicationProgId));
        ASSERT_TRUE(application) << vellumet::ToNative(server.LastError());
        InvokeResult r = application->Invoke(dispid::Application::Presentations, InvokeKind::PropertyGet, {});
        AutomationHolder presentations(r.object);
        r = presentations->Invoke(
            dispid::Presentations::Open, InvokeKind::Method,
            {AutomationArgument::Text(vellumet::FromPath(CorpusDir() / "PPT95.ppt")),
             AutomationArgument::Int32(1), AutomationArgument::Int32(0), AutomationArgument::Int32(0)});
        ASSERT_TRUE(r.succeeded) << vellumet::ToNative(r.error);
        AutomationHolder presentation(r.object);
        // The office freezes: every call from now on waits for it.
        ASSERT_EQ(::kill(server.LastFootprint().pid, SIGSTOP), 0);
        r = presentation->Invoke(dispid::Presentation::Export, InvokeKind::Method,
                                 {AutomationArgument::Text(vellumet::FromPath(root_ / "pictures")),
                                  AutomationArgument::Text(L"png"), AutomationArgument::Int32(400),
                                  AutomationArgument::Int32(300)});
        EXPECT_FALSE(r.succeeded);
        EXPECT_NE(r.error.find(L"in time"), std::wstring::npos) << vellumet::ToNative(r.error);
    }
    EXPECT_LT(Clock::now() - begun, std::chrono::minutes(5));
    EXPECT_TRUE(Pictures(root_ / "pictures").empty());
    ExpectNoTraces(server);
}

TEST_F(OfficeLifetime, TwoConversationsAtOnceShareNothing) {
    SKIP_WITHOUT_OFFICE();
    OfficeFootprint footprints[2];
    int results[2] = {-99, -99};
    const std::filesystem::path folders[2] = {root_ / "first", root_ / "second"};
    auto run = [&](int i) {
        LibreOfficeServer server(Options());
        results[i] =
            ExportSlides(0, vellumet::FromPath(CorpusDir() / "numbers2.ppt"), vellumet::FromPath(folders[i]),
                         400, 300, dispid::Presentations::Open, server);
        footprints[i] = server.LastFootprint();
    };
    std::thread first(run, 0);
    std::thread second(run, 1);
    first.join();
    second.join();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(results[i], kExportDone);
        EXPECT_EQ(Pictures(folders[i]), ExpectedPictures(folders[i], 2));
    }
    EXPECT_NE(footprints[0].pid, footprints[1].pid);
    EXPECT_NE(footprints[0].privateFolder, footprints[1].privateFolder);
    EXPECT_NE(footprints[0].pipeSockets, footprints[1].pipeSockets);
}

}  // namespace
}  // namespace powerpoint::test
