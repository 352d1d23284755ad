#include "pdfwriter/SavePdf.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>

#include "common/ProcessSetup.h"
#include "common/WholeTransfers.h"
#include "common/WideText.h"
#include "pdfwriter/PDF.h"

namespace PDFWriter {
namespace {

// What a temporary name adds to the file's name: "." before it, "." and eight letters and ".part" after.
constexpr size_t kTemporaryExtra = 1 + 1 + 8 + 5;

// The part of `name` that the temporary name keeps: all of it when the temporary name then fits
// NAME_MAX, else as many leading bytes as fit, never ending inside a UTF-8 sequence.
std::string TemporaryStem(const std::string& name) {
    if (name.size() + kTemporaryExtra <= NAME_MAX) {
        return name;
    }
    size_t keep = NAME_MAX - kTemporaryExtra;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) {
        --keep;
    }
    return name.substr(0, keep);
}

// Creates a new, empty file next to `target`, named ".<name>.<random>.part" (the name shortened so
// that this fits). Returns its descriptor (and its path in `tempPath`), or -1.
int CreateTemporaryBeside(const std::string& folder, const std::string& name, std::string& tempPath) {
    const std::string stem = TemporaryStem(name);
    std::random_device entropy;
    std::mt19937_64 generator((static_cast<uint64_t>(entropy()) << 32) ^ entropy() ^
                              static_cast<uint64_t>(getpid()));
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix;
        for (int i = 0; i < 8; ++i) {
            suffix.push_back(kAlphabet[generator() % (sizeof kAlphabet - 1)]);
        }
        tempPath = folder + "/." + stem + "." + suffix + ".part";
        const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

void SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

}  // namespace

bool SavePdf(const std::wstring& path, const PDF& document) {
    if (document.Failed() || path.empty()) {
        return false;
    }
    const std::string target = vellumet::ToNative(path);
    const size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty()) {
        return false;
    }

    // A write past the file-size limit must fail here, not end the program with the file half made.
    vellumet::FailWritesOverTheFileSizeLimit();

    std::string tempPath;
    const int fd = CreateTemporaryBeside(folder, name, tempPath);
    if (fd < 0) {
        return false;
    }

    // A file being replaced keeps its permission bits.
    struct stat existing {};
    if (stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        fchmod(fd, existing.st_mode & 07777);
    }

    const MemoryStream& buffer = document.Buffer();
    bool ok = vellumet::WriteWhole(fd, buffer.Data(), static_cast<size_t>(buffer.Length()));
    ok = ok && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    ok = ok && rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(tempPath.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

}  // namespace PDFWriter
