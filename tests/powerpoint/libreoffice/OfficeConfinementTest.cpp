// What the office may reach while it converts a deck that is out to do harm: its pipe and folders
// are the user's alone, it has no network and fetches nothing, nothing in a deck runs, and a killed
// run's leftovers are reclaimed by the next one.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <thread>

#include "OfficeTestSupport.h"
#include "common/StaleFolders.h"
#include "common/WideText.h"
#include "powerpoint/DispatchIds.h"
#include "powerpoint/SlideExport.h"
#include "powerpoint/libreoffice/OfficeProcess.h"

namespace powerpoint::test {
namespace {

using Clock = std::chrono::steady_clock;

// A one-slide flat OpenDocument presentation: `head` goes before the styles (scripts, link
// declarations), `shapes` onto the slide.
void WriteFlatDeck(const std::filesystem::path& file, const std::string& head, const std::string& shapes) {
    std::ofstream(file, std::ios::binary)
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
           "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
           "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
           "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
           "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
           "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
           "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
           "xmlns:presentation=\"urn:oasis:names:tc:opendocument:xmlns:presentation:1.0\" "
           "xmlns:script=\"urn:oasis:names:tc:opendocument:xmlns:script:1.0\" "
           "xmlns:ooo=\"http://openoffice.org/2004/office\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
           "office:version=\"1.2\" office:mimetype=\"application/vnd.oasis.opendocument.presentation\">\n"
        << head
        << "<office:automatic-styles><style:page-layout style:name=\"PM1\"><style:page-layout-properties "
           "fo:page-width=\"28cm\" fo:page-height=\"21cm\"/></style:page-layout></office:automatic-styles>\n"
           "<office:master-styles><style:master-page style:name=\"M\" style:page-layout-name=\"PM1\"/>"
           "</office:master-styles>\n"
           "<office:body><office:presentation><draw:page draw:name=\"p1\" draw:master-page-name=\"M\">\n"
           "<draw:frame svg:x=\"1cm\" svg:y=\"1cm\" svg:width=\"20cm\" svg:height=\"2cm\"><draw:text-box>"
           "<text:p>Hostile deck</text:p></draw:text-box></draw:frame>\n"
        << shapes << "</draw:page></office:presentation></office:body></office:document>\n";
}

// A TCP listener on 127.0.0.1 that counts the connections it is offered. It stops by itself after
// five minutes at the latest.
class LoopbackListener {
public:
    LoopbackListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(fd_, 8) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] {
            const auto until = Clock::now() + std::chrono::minutes(5);
            while (!stop_ && Clock::now() < until) {
                pollfd wait{fd_, POLLIN, 0};
                if (::poll(&wait, 1, 100) == 1) {
                    const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
                    if (client >= 0) {
                        ++connections_;
                        ::close(client);
                    }
                }
            }
        });
    }
    ~LoopbackListener() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int Port() const { return port_; }
    int Connections() const { return connections_; }

private:
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

// Names, sizes and change times of everything beneath a folder.
std::map<std::string, std::pair<uintmax_t, long>> Snapshot(const std::filesystem::path& folder) {
    std::map<std::string, std::pair<uintmax_t, long>> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        struct stat info {};
        ::lstat(entry.path().c_str(), &info);
        entries[entry.path().string()] = {static_cast<uintmax_t>(info.st_size),
                                          info.st_mtim.tv_sec * 1000000000L + info.st_mtim.tv_nsec};
    }
    return entries;
}

// Whether this kernel lets a process have a network namespace of its own (as root directly, else
// inside a user namespace), tried in a child.
bool KernelAllowsOwnNetwork() {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(::unshare(CLONE_NEWNET) == 0 || ::unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

long LandlockAbi() {
    return ::syscall(SYS_landlock_create_ruleset, nullptr, 0, 1U);
}

std::string NetworkNamespace(pid_t pid) {
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/ns/net", ec).string();
}

// Whether the nobody account can connect to the Unix socket at `path`, tried in a child (root only).
bool NobodyCanConnect(const std::filesystem::path& path) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(2);
        }
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        ::_exit(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class OfficeConfinement : public OfficeTest {};

TEST_F(OfficeConfinement, PipeAndFoldersAreTheUsersAloneUnderAnyUmask) {
    SKIP_WITHOUT_OFFICE();
    const mode_t previous = ::umask(0);
    LibreOfficeServer server(Options());
    AutomationHolder application(server.CreateObject(kApplicationProgId));
    ::umask(previous);
    ASSERT_TRUE(application) << vellumet::ToNative(server.LastError());
    const OfficeFootprint footprint = server.LastFootprint();

    struct stat info {};
    ASSERT_EQ(::stat(footprint.privateFolder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(footprint.privateFolder)) {
        ::lstat(entry.path().c_str(), &info);
        EXPECT_EQ(info.st_mode & 077, 0u) << entry.path();
    }
    int sockets = 0;
    for (const auto& socket : footprint.pipeSockets) {
        if (::lstat(socket.c_str(), &info) != 0) {
            continue;
        }
        ++sockets;
        EXPECT_EQ(info.st_mode & 077, 0u) << socket;
        if (::geteuid() == 0) {
            EXPECT_FALSE(NobodyCanConnect(socket)) << "another account reaches " << socket;
        }
    }
    EXPECT_GE(sockets, 1) << "the office listens on its pipe";
    application.Reset();
    ExpectNoTraces(server);
}

TEST_F(OfficeConfinement, TheOfficeHasNoNetworkAndWritesOnlyWhereItMust) {
    SKIP_WITHOUT_OFFICE();
    LibreOfficeServer server(Options());
    AutomationHolder application(server.CreateObject(kApplicationProgId));
    ASSERT_TRUE(application) << vellumet::ToNative(server.LastError());
    const OfficeFootprint footprint = server.LastFootprint();
    if (KernelAllowsOwnNetwork()) {
        EXPECT_TRUE(footprint.ownNetwork);
        EXPECT_NE(NetworkNamespace(footprint.pid), NetworkNamespace(::getpid()));
    }
    if (LandlockAbi() >= 1) {
        EXPECT_TRUE(footprint.writesConfined);
    }
    if (LandlockAbi() >= 4) {
        EXPECT_TRUE(footprint.tcpRefused);
    }
    EXPECT_TRUE(footprint.ownNetwork || footprint.tcpRefused)
        << "neither a network namespace nor Landlock's TCP rules: only the office's settings keep it offline";
    application.Reset();
    ExpectNoTraces(server);

    // Pictures the office itself is asked to write in a folder outside the temporary folders (here,
    // beside the test program) cannot be written when writes are confined. (Through PDF, the office
    // writes only into its private folder, and this process writes the pictures.)
    if (footprint.writesConfined) {
        const std::filesystem::path deck = root_ / "plain.fodp";
        WriteFlatDeck(deck, "", "");
        char pattern[] = "landlock-probe-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        const std::filesystem::path outside = std::filesystem::absolute(pattern);
        LibreOfficeOptions slideBySlide = Options();
        slideBySlide.exportThroughPdf = false;
        LibreOfficeServer confined(slideBySlide);
        EXPECT_EQ(ExportSlides(0, vellumet::FromPath(deck), vellumet::FromPath(outside), 400, 300,
                               dispid::Presentations::Open, confined),
                  kExportCallFailed);
        EXPECT_TRUE(std::filesystem::is_empty(outside));
        ExpectNoTraces(confined);
        std::filesystem::remove_all(outside);
    }
}

// A linked picture is never fetched: the loopback listener it points at is offered no connection,
// and the slide converts with the picture missing.
TEST_F(OfficeConfinement, LinkedPicturesAreNeverFetched) {
    SKIP_WITHOUT_OFFICE();
    LoopbackListener listener;
    ASSERT_NE(listener.Port(), 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(listener.Port());
    const std::filesystem::path deck = root_ / "linked.fodp";
    WriteFlatDeck(deck, "",
                  "<draw:frame svg:x=\"2cm\" svg:y=\"4cm\" svg:width=\"10cm\" svg:height=\"8cm\"><draw:image "
                  "xlink:href=\"" +
                      url +
                      "/pixel.png\" xlink:type=\"simple\" xlink:show=\"embed\" xlink:actuate=\"onLoad\"/>"
                      "</draw:frame>\n"
                      "<draw:frame svg:x=\"14cm\" svg:y=\"4cm\" svg:width=\"10cm\" svg:height=\"8cm\">"
                      "<draw:object xlink:href=\"" +
                      url +
                      "/chart.ods\" xlink:type=\"simple\" xlink:show=\"embed\" xlink:actuate=\"onLoad\"/>"
                      "</draw:frame>\n");
    std::filesystem::path folder;
    EXPECT_EQ(Export(deck, 0, 400, 300, folder), kExportDone);
    EXPECT_EQ(Pictures(folder), ExpectedPictures(folder, 1));
    EXPECT_EQ(listener.Connections(), 0) << "the office fetched linked content";
}

// Decks with an auto-run macro, a linked OLE object and a DDE link: the macro does not run and
// nothing outside the office's folders changes. The conversion succeeds, except that LibreOffice 7.4
// aborts while it loads a DDE field into a presentation: that deck may fail, but cleanly.
TEST_F(OfficeConfinement, ActiveContentDoesNotRunAndTouchesNothing) {
    SKIP_WITHOUT_OFFICE();
    const std::filesystem::path outside = root_ / "outside";
    std::filesystem::create_directories(outside);
    std::ofstream(outside / "source.csv") << "1,2,3\n";
    const std::string source = FileUrl((outside / "source.csv").string());
    const std::filesystem::path ran = outside / "MACRO-RAN";

    struct Deck {
        const char* name;
        std::string head;
        std::string shapes;
        bool mayKillTheOffice = false;
    };
    const Deck decks[] = {
        {"macro",
         "<office:scripts><office:script script:language=\"ooo:Basic\"><ooo:libraries>"
         "<ooo:library-embedded ooo:name=\"Standard\"><ooo:module ooo:name=\"Module1\"><ooo:source-code>"
         "Sub Main\n  Dim n As Integer\n  n = FreeFile\n  Open \"" +
             ran.string() +
             "\" For Output As #n\n  Print #n, \"ran\"\n  Close #n\nEnd Sub\n"
             "</ooo:source-code></ooo:module></ooo:library-embedded></ooo:libraries></office:script>"
             "<office:event-listeners><script:event-listener script:language=\"ooo:script\" "
             "script:event-name=\"dom:load\" xlink:href=\"vnd.sun.star.script:Standard.Module1.Main?"
             "language=Basic&amp;location=document\" xlink:type=\"simple\"/></office:event-listeners>"
             "</office:scripts>\n",
         ""},
        {"ole", "",
         "<draw:frame svg:x=\"2cm\" svg:y=\"4cm\" svg:width=\"10cm\" svg:height=\"8cm\"><draw:object-ole "
         "xlink:href=\"" +
             source +
             "\" xlink:type=\"simple\" xlink:show=\"embed\" xlink:actuate=\"onLoad\"/></draw:frame>\n"},
        {"dde", "",
         "<draw:frame svg:x=\"2cm\" svg:y=\"4cm\" svg:width=\"20cm\" svg:height=\"3cm\"><draw:text-box>"
         "<text:dde-connection-decls><text:dde-connection-decl office:name=\"Link1\" "
         "office:dde-application=\"soffice\" office:dde-topic=\"" +
             source +
             "\" office:dde-item=\"A1\" office:automatic-update=\"true\"/></text:dde-connection-decls>"
             "<text:p><text:dde-connection "
             "text:connection-name=\"Link1\">cached</text:dde-connection></text:p>"
             "</draw:text-box></draw:frame>\n",
         true},
    };
    for (const Deck& deck : decks) {
        SCOPED_TRACE(deck.name);
        const std::filesystem::path file = root_ / (std::string(deck.name) + ".fodp");
        WriteFlatDeck(file, deck.head, deck.shapes);
        const auto before = Snapshot(outside);
        std::filesystem::path folder;
        const int result = Export(file, 0, 400, 300, folder);
        if (deck.mayKillTheOffice && result == kExportCallFailed) {
            EXPECT_TRUE(Pictures(folder).empty());
        } else {
            EXPECT_EQ(result, kExportDone);
            EXPECT_EQ(Pictures(folder), ExpectedPictures(folder, 1));
        }
        EXPECT_FALSE(std::filesystem::exists(ran)) << "the deck's macro ran";
        EXPECT_EQ(Snapshot(outside), before) << "something outside the office's folders changed";
    }
}

// A run killed with SIGKILL (its office dies with it) leaves the office's folder and pipe sockets;
// the next start removes them, and leaves alone the folder of a run that is still alive.
TEST_F(OfficeConfinement, TheNextStartReclaimsWhatAKilledRunLeft) {
    SKIP_WITHOUT_OFFICE();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t run = ::fork();
    if (run == 0) {
        // The killed run: an office that has made its pipe, and then no chance to clean up.
        OfficeProcess office(VELLUMET_SOFFICE_BIN, officeRoot_);
        std::wstring error;
        if (!office.Start(error)) {
            ::_exit(1);
        }
        for (int wait = 0; wait < 2400; ++wait) {
            const int exit = office.Poll();
            if (exit == OfficeProcess::kRestartRequest) {
                office.Reap();
                if (!office.Start(error)) {
                    ::_exit(2);
                }
            } else if (exit != OfficeProcess::kRunning) {
                ::_exit(3);
            }
            for (const auto& socket : office.PipeSockets()) {
                if (socket.filename().string().find(office.PipeName()) != std::string::npos &&
                    std::filesystem::is_socket(socket)) {
                    const pid_t pid = office.Pid();
                    if (::write(ready[1], &pid, sizeof pid) == sizeof pid) {
                        ::pause();
                    }
                    ::_exit(4);
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::_exit(5);
    }
    ::close(ready[1]);
    pid_t office = -1;
    const bool started = ::read(ready[0], &office, sizeof office) == sizeof office;
    ::close(ready[0]);
    ::kill(run, SIGKILL);
    int status = 0;
    ::waitpid(run, &status, 0);
    ASSERT_TRUE(started) << "the office of the run did not start, status " << status;
    for (const auto until = Clock::now() + std::chrono::seconds(60);
         ProcessAlive(office) && Clock::now() < until;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_FALSE(ProcessAlive(office)) << "the office outlived its run";

    std::vector<std::filesystem::path> leftovers;
    for (const auto& entry : std::filesystem::directory_iterator(officeRoot_)) {
        leftovers.push_back(entry.path());
    }
    ASSERT_EQ(leftovers.size(), 1u);
    std::vector<std::filesystem::path> sockets;
    for (const auto& entry : std::filesystem::directory_iterator("/tmp")) {
        if (entry.path().filename().string().find("vellumet_" + std::to_string(run) + "_") !=
            std::string::npos) {
            sockets.push_back(entry.path());
        }
    }
    ASSERT_FALSE(sockets.empty()) << "the killed office left no pipe socket";

    // A folder of a live run (this one) looks just the same but is kept.
    const std::filesystem::path live = officeRoot_ / "vellumet-office-live00";
    std::filesystem::create_directories(live / "profile");
    ASSERT_TRUE(vellumet::MarkFolderOwner(live));

    LibreOfficeServer server(Options());
    AutomationHolder application(server.CreateObject(kApplicationProgId));
    ASSERT_TRUE(application) << vellumet::ToNative(server.LastError());
    EXPECT_FALSE(std::filesystem::exists(leftovers[0]));
    for (const auto& socket : sockets) {
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(socket))) << socket;
    }
    EXPECT_TRUE(std::filesystem::exists(live));
    application.Reset();
    ExpectNoTraces(server);
    std::filesystem::remove_all(live);
}

}  // namespace
}  // namespace powerpoint::test
