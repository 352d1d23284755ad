#include "powerpoint/libreoffice/OfficeProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <rtl/digest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

#include "common/StaleFolders.h"
#include "common/WideText.h"

extern char** environ;

namespace powerpoint {
namespace {

// The private folders' names: this prefix and a unique suffix from mkdtemp.
constexpr const char* kFolderPrefix = "vellumet-office-";

// The pipe name of the office whose private folder is `folder`, started by process `owner`.
std::string PipeNameFor(const std::filesystem::path& folder, long owner) {
    const std::string suffix = folder.filename().string().substr(std::strlen(kFolderPrefix));
    return "vellumet_" + std::to_string(owner) + "_" + suffix;
}

// The office names its single-instance pipe after the MD5 of the profile URL as UTF-16 code units,
// each digest byte in hexadecimal without leading zero.
std::string SingleInstancePipeName(const std::string& profileUrl) {
    std::vector<sal_uInt16> units(profileUrl.begin(), profileUrl.end());  // the URL is ASCII
    std::vector<unsigned char> bytes;
    for (sal_uInt16 u : units) {
        bytes.push_back(static_cast<unsigned char>(u & 0xff));
        bytes.push_back(static_cast<unsigned char>(u >> 8));
    }
    sal_uInt8 digest[RTL_DIGEST_LENGTH_MD5];
    if (rtl_digest_MD5(bytes.data(), static_cast<sal_uInt32>(bytes.size()), digest, sizeof digest) !=
        rtl_Digest_E_None) {
        return {};
    }
    std::string name = "SingleOfficeIPC_";
    for (sal_uInt8 b : digest) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%x", b);
        name += hex;
    }
    return name;
}

// A profile that the office takes as already set up for this version: no restart request for the
// extension cache, no first-start work, no graphics self-test.
std::string SeedRegistry(const std::string& buildId) {
    std::string xcu =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
        "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n";
    auto item = [&xcu](const char* path, const char* name, const std::string& value) {
        xcu += std::string("<item oor:path=\"") + path + "\"><prop oor:name=\"" + name +
               "\" oor:op=\"fuse\"><value>" + value + "</value></prop></item>\n";
    };
    item("/org.openoffice.Setup/Office", "ooSetupInstCompleted", "true");
    item("/org.openoffice.Setup/Product", "ooSetupLastVersion", "7.4");
    if (!buildId.empty()) {
        item("/org.openoffice.Setup/Office", "LastCompatibilityCheckID", buildId);
    }
    item("/org.openoffice.Setup/L10N", "ooLocale", "en-US");
    item("/org.openoffice.Office.Common/Misc", "FirstRun", "false");
    item("/org.openoffice.Office.Common/Misc", "ShowTipOfTheDay", "false");
    // Nothing a deck brings may run or reach out: no macros at any security level, and no linked
    // pictures or other external content from places that are not trusted (no place is).
    item("/org.openoffice.Office.Common/Security/Scripting", "DisableMacrosExecution", "true");
    item("/org.openoffice.Office.Common/Security/Scripting", "MacroSecurityLevel", "3");
    item("/org.openoffice.Office.Common/Security/Scripting", "BlockUntrustedRefererLinks", "true");
    // Linked objects are fetched all the same, so every web request goes to a proxy on this
    // machine's port 1, where nothing listens: the request fails without leaving the machine.
    for (const char* scheme : {"HTTP", "HTTPS", "FTP"}) {
        item("/org.openoffice.Inet/Settings", (std::string("ooInet") + scheme + "ProxyName").c_str(),
             "127.0.0.1");
        item("/org.openoffice.Inet/Settings", (std::string("ooInet") + scheme + "ProxyPort").c_str(), "1");
    }
    item("/org.openoffice.Inet/Settings", "ooInetNoProxy", "");
    item("/org.openoffice.Inet/Settings", "ooInetProxyType", "2");
    xcu += "</oor:items>\n";
    return xcu;
}

// The build identifier from the versionrc beside the office program; empty when there is none.
std::string BuildId(const std::filesystem::path& binary) {
    std::ifstream in(binary.parent_path() / "versionrc");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("buildid=", 0) == 0) {
            const std::string id = line.substr(8);
            // Only plain text goes into the XML.
            return id.find_first_of("<>&\"") == std::string::npos ? id : std::string();
        }
    }
    return {};
}

// Writes a new file that only the user may read and write, whatever the umask.
void WritePrivateFile(const std::filesystem::path& file, const std::string& text) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return;
    }
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            break;
        }
        done += static_cast<size_t>(written);
    }
    ::close(fd);
}

bool DropsFromEnvironment(const char* entry) {
    for (const char* name : {"TMPDIR=", "LC_ALL=", "LC_CTYPE=", "URE_BOOTSTRAP=", "SAL_USE_VCLPLUGIN=",
                             "XDG_CACHE_HOME=", "GSETTINGS_BACKEND="}) {
        if (std::strncmp(entry, name, std::strlen(name)) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

// A file URL of an absolute path, every byte outside the unreserved set percent-encoded.
std::string FileUrl(const std::string& absolutePath) {
    std::string url = "file://";
    for (unsigned char c : absolutePath) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' ||
            c == '-' || c == '_' || c == '.' || c == '~') {
            url.push_back(static_cast<char>(c));
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            url += hex;
        }
    }
    return url;
}

OfficeProcess::OfficeProcess(std::string binary, std::filesystem::path tempRoot)
    : binary_(std::move(binary)), tempRoot_(std::move(tempRoot)) {}

OfficeProcess::~OfficeProcess() {
    Reap();
    RemoveTraces();
}

bool OfficeProcess::Prepare(std::wstring& error) {
    std::error_code ec;
    std::filesystem::path root = tempRoot_;
    if (root.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        root = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
    }
    root = std::filesystem::absolute(root, ec);
    if (ec) {
        error = L"The temporary folder cannot be found.";
        return false;
    }
    ReclaimStale(root);
    // mkdtemp makes the folder name unique on this machine, so the pipe named after it is too. It
    // makes the folder mode 0700, so what is inside is the user's alone whatever the umask.
    std::string pattern = (root / (std::string(kFolderPrefix) + "XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        error = L"The office's private folder cannot be created in " + vellumet::FromPath(root) + L".";
        return false;
    }
    folder_ = pattern;
    pipeName_ = PipeNameFor(folder_, ::getpid());
    vellumet::MarkFolderOwner(folder_);
    tempRoot_ = root;

    for (const auto& sub : {folder_ / "profile", folder_ / "profile" / "user", folder_ / "tmp"}) {
        if (!ec && !std::filesystem::create_directory(sub, ec) && !ec) {
            ec = std::make_error_code(std::errc::file_exists);
        }
        if (!ec && ::chmod(sub.c_str(), 0700) != 0) {
            ec = std::error_code(errno, std::generic_category());
        }
    }
    if (ec) {
        error = L"The office's private folder cannot be prepared.";
        return false;
    }
    // With the extension cache stamped with this build, a fresh profile needs no restart.
    const std::string buildId = BuildId(binary_);
    const std::filesystem::path extensions = folder_ / "profile" / "user" / "extensions";
    if (!buildId.empty() && ::mkdir(extensions.c_str(), 0700) == 0) {
        WritePrivateFile(extensions / "buildid", buildId);
    }
    WritePrivateFile(folder_ / "profile" / "user" / "registrymodifications.xcu", SeedRegistry(buildId));
    profileUrl_ = FileUrl((folder_ / "profile").string());
    return true;
}

bool OfficeProcess::Start(std::wstring& error) {
    if (folder_.empty() && !Prepare(error)) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        if (!reaped_) {
            error = L"The office is still running.";
            return false;
        }
    }

    // Everything the child needs is built before fork: after it, only system calls.
    std::vector<std::string> args = {
        binary_,           "-env:UserInstallation=" + profileUrl_,
        "--headless",      "--invisible",
        "--nologo",        "--nodefault",
        "--norestore",     "--nolockcheck",
        "--nocrashreport", "--accept=pipe,name=" + pipeName_ + ";urp;StarOffice.ComponentContext"};
    std::vector<std::string> env;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        if (!DropsFromEnvironment(*e)) {
            env.emplace_back(*e);
        }
    }
    env.push_back("TMPDIR=" + (folder_ / "tmp").string());
    env.push_back("LC_CTYPE=C.UTF-8");
    // Desktop caches and settings stay out of the user's home: the office may not write there.
    env.push_back("XDG_CACHE_HOME=" + (folder_ / "tmp").string());
    env.push_back("GSETTINGS_BACKEND=memory");
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    // The office may write beneath its own folder and the temporary folders, where the pipe
    // sockets, the slide pictures and shared memory go.
    std::vector<std::filesystem::path> writable = {folder_, tempRoot_, "/tmp", "/var/tmp", "/dev"};
    if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && tmp[0] == '/') {
        writable.emplace_back(tmp);
    }
    const ConfinementPlan plan(writable);

    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    // The office's own output is dropped, unless a run is being diagnosed: then it is appended to
    // the file VELLUMET_OFFICE_LOG names (opened here, so the office's confinement does not apply).
    int output = -1;
    if (const char* log = std::getenv(kOfficeLogVariable); log != nullptr && log[0] == '/') {
        output = ::open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    }
    // The child reports the confinement it reached through this pipe; exec closes it.
    int report[2] = {-1, -1};
    if (devNull < 0 || ::pipe2(report, O_CLOEXEC) != 0) {
        if (devNull >= 0) {
            ::close(devNull);
        }
        if (output >= 0) {
            ::close(output);
        }
        error = L"The office cannot be started.";
        return false;
    }
    const pid_t parent = ::getpid();
    std::lock_guard lock(mutex_);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        ::dup2(devNull, 0);
        ::dup2(output >= 0 ? output : devNull, 1);
        ::dup2(output >= 0 ? output : devNull, 2);
        if (report[1] != 3) {
            ::dup2(report[1], 3);
        }
        ::close_range(4, ~0U, 0);
        ::fcntl(3, F_SETFD, FD_CLOEXEC);
        const unsigned char confined = plan.ApplyInChild();
        if (::write(3, &confined, 1) != 1) {
            ::_exit(127);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(devNull);
    if (output >= 0) {
        ::close(output);
    }
    ::close(report[1]);
    if (pid < 0) {
        ::close(report[0]);
        error = L"The office cannot be started.";
        return false;
    }
    ::setpgid(pid, pid);  // also here, so that a kill right after fork reaches the group
    pid_ = pid;
    reaped_ = false;

    unsigned char confined = 0;
    ssize_t got = 0;
    while ((got = ::read(report[0], &confined, 1)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    confinement_ = ConfinementPlan::Decode(got == 1 ? confined : 0);
    return true;
}

int OfficeProcess::Poll() const {
    if (reaped_ || pid_ <= 0) {
        return 0;
    }
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
        info.si_pid == 0) {
        return kRunning;
    }
    return info.si_code == CLD_EXITED ? info.si_status : 128 + info.si_status;
}

bool OfficeProcess::WaitForExit(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (Poll() == kRunning) {
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void OfficeProcess::Kill() noexcept {
    std::lock_guard lock(mutex_);
    // Until reaped, the leader's pid (and so the group id) cannot be reused.
    if (!reaped_ && pid_ > 0) {
        ::kill(-pid_, SIGKILL);
    }
}

void OfficeProcess::Reap() noexcept {
    pid_t pid;
    {
        std::lock_guard lock(mutex_);
        if (reaped_ || pid_ <= 0) {
            return;
        }
        ::kill(-pid_, SIGKILL);  // helpers the office left running, or the office itself
        pid = pid_;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    std::lock_guard lock(mutex_);
    reaped_ = true;
}

namespace {

std::vector<std::filesystem::path> SocketsOf(const std::string& pipeName, const std::string& profileUrl) {
    std::vector<std::filesystem::path> sockets;
    if (pipeName.empty()) {
        return sockets;
    }
    const std::string uid = std::to_string(::getuid());
    const std::string single = SingleInstancePipeName(profileUrl);
    for (const char* dir : {"/tmp", "/var/tmp"}) {
        sockets.emplace_back(std::string(dir) + "/OSL_PIPE_" + uid + "_" + pipeName);
        if (!single.empty()) {
            sockets.emplace_back(std::string(dir) + "/OSL_PIPE_" + uid + "_" + single);
        }
    }
    return sockets;
}

}  // namespace

std::vector<std::filesystem::path> OfficeProcess::PipeSockets() const {
    return SocketsOf(pipeName_, profileUrl_);
}

int OfficeProcess::ReclaimStale(const std::filesystem::path& tempRoot) {
    std::filesystem::path root = tempRoot;
    if (root.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        root = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
    }
    return vellumet::ReclaimStaleFolders(
        root, kFolderPrefix, [](const std::filesystem::path& folder, long owner) {
            std::error_code ec;
            for (const auto& socket :
                 SocketsOf(PipeNameFor(folder, owner), FileUrl((folder / "profile").string()))) {
                // Only sockets: a file of that name that is something else is not the office's.
                if (std::filesystem::is_socket(std::filesystem::symlink_status(socket, ec))) {
                    std::filesystem::remove(socket, ec);
                }
            }
        });
}

void OfficeProcess::RemoveTraces() noexcept {
    try {
        std::error_code ec;
        for (const auto& socket : PipeSockets()) {
            std::filesystem::remove(socket, ec);
        }
        if (!folder_.empty()) {
            std::filesystem::remove_all(folder_, ec);
        }
    } catch (...) {
        // Clean-up ignores its own failures.
    }
}

Watchdog::Watchdog(std::chrono::steady_clock::time_point deadline, std::function<bool()> check,
                   std::function<void()> kill, std::function<uint64_t()> progress,
                   std::chrono::milliseconds stallLimit)
    : check_(std::move(check)),
      kill_(std::move(kill)),
      progress_(std::move(progress)),
      stallLimit_(stallLimit),
      deadline_(deadline) {
    thread_ = std::thread([this] { Run(); });
}

Watchdog::~Watchdog() {
    Stop();
}

void Watchdog::Rearm(std::chrono::steady_clock::time_point deadline) {
    std::lock_guard lock(mutex_);
    deadline_ = deadline;
    resync_ = true;
    wake_.notify_all();
}

void Watchdog::Stop() noexcept {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        wake_.notify_all();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

Watchdog::Verdict Watchdog::Fired() const {
    std::lock_guard lock(mutex_);
    return verdict_;
}

void Watchdog::Run() {
    std::unique_lock lock(mutex_);
    uint64_t progressSeen = progress_ ? progress_() : 0;
    while (!stop_) {
        if (progress_) {
            const uint64_t progress = progress_();
            if (resync_) {
                // Progress made before a new deadline was set belongs to the work before it.
                resync_ = false;
            } else if (progress != progressSeen) {
                deadline_ = std::chrono::steady_clock::now() + stallLimit_;
            }
            progressSeen = progress;
        }
        Verdict verdict = Verdict::None;
        if (check_ && check_()) {
            verdict = Verdict::Cancelled;
        } else if (std::chrono::steady_clock::now() >= deadline_) {
            verdict = Verdict::TimedOut;
        }
        if (verdict != Verdict::None) {
            verdict_ = verdict;
            lock.unlock();
            kill_();
            return;
        }
        wake_.wait_for(lock, std::chrono::milliseconds(50));
    }
}

}  // namespace powerpoint
