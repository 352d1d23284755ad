#include "job/SlidePictures.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <new>
#include <string>

#include "common/WideText.h"

namespace vellumet {

namespace {

// Closes a directory stream on every way out.
class DirectoryReader {
public:
    explicit DirectoryReader(const std::string& path) : dir_(opendir(path.c_str())) {}
    ~DirectoryReader() {
        if (dir_ != nullptr) {
            closedir(dir_);
        }
    }
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    DIR* get() const { return dir_; }

private:
    DIR* dir_;
};

// Fills the entry's creation time if `name` in `dirFd` is a regular file (links not followed).
bool StatRegularFile(int dirFd, const char* name, SlidePictureEntry& entry) {
    struct statx sx = {};
    if (statx(dirFd, name, AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_MTIME | STATX_BTIME, &sx) == 0) {
        if ((sx.stx_mask & STATX_TYPE) == 0 || !S_ISREG(sx.stx_mode)) {
            return false;
        }
        const struct statx_timestamp& t = (sx.stx_mask & STATX_BTIME) != 0 ? sx.stx_btime : sx.stx_mtime;
        entry.seconds = t.tv_sec;
        entry.nanoseconds = t.tv_nsec;
        return true;
    }
    if (errno != ENOSYS && errno != EPERM) {
        return false;
    }
    // Kernels or sandboxes without statx: the modification time.
    struct stat st = {};
    if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    entry.seconds = st.st_mtim.tv_sec;
    entry.nanoseconds = static_cast<uint32_t>(st.st_mtim.tv_nsec);
    return true;
}

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// -1, 0 or 1 as `a` sorts before, with or after `b` in natural order.
int NaturalCompare(std::wstring_view a, std::wstring_view b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // Compare the digit runs by value: without leading zeros, the longer run is larger,
            // and runs of equal length compare digit by digit.
            size_t iEnd = i;
            while (iEnd < a.size() && IsDigit(a[iEnd])) {
                ++iEnd;
            }
            size_t jEnd = j;
            while (jEnd < b.size() && IsDigit(b[jEnd])) {
                ++jEnd;
            }
            while (i + 1 < iEnd && a[i] == L'0') {
                ++i;
            }
            while (j + 1 < jEnd && b[j] == L'0') {
                ++j;
            }
            if (iEnd - i != jEnd - j) {
                return iEnd - i < jEnd - j ? -1 : 1;
            }
            const int digits = a.substr(i, iEnd - i).compare(b.substr(j, jEnd - j));
            if (digits != 0) {
                return digits < 0 ? -1 : 1;
            }
            i = iEnd;
            j = jEnd;
        } else {
            if (a[i] != b[j]) {
                return a[i] < b[j] ? -1 : 1;
            }
            ++i;
            ++j;
        }
    }
    if (i < a.size()) {
        return 1;
    }
    return j < b.size() ? -1 : 0;
}

}  // namespace

bool NaturalLess(std::wstring_view a, std::wstring_view b) {
    return NaturalCompare(a, b) < 0;
}

void OrderSlidePictures(std::vector<SlidePictureEntry>& entries) {
    std::sort(entries.begin(), entries.end(), [](const SlidePictureEntry& a, const SlidePictureEntry& b) {
        if (a.seconds != b.seconds) {
            return a.seconds < b.seconds;
        }
        if (a.nanoseconds != b.nanoseconds) {
            return a.nanoseconds < b.nanoseconds;
        }
        const int natural = NaturalCompare(a.name, b.name);
        if (natural != 0) {
            return natural < 0;
        }
        return a.name < b.name;
    });
}

bool IsSlidePictureName(const char* name, const std::string& nativePattern) {
    return name[0] != '.' && fnmatch(nativePattern.c_str(), name, FNM_CASEFOLD) == 0;
}

std::vector<std::wstring> CollectSlidePictures(std::wstring_view pattern, std::wstring_view folder) {
    std::vector<std::wstring> pictures;
    if (folder.empty()) {
        return pictures;
    }
    try {
        std::wstring directory(folder);
        if (directory.back() != L'/') {
            directory.push_back(L'/');
        }

        const DirectoryReader reader(ToNative(directory));
        if (reader.get() == nullptr) {
            return pictures;
        }
        const std::string nativePattern = ToNative(pattern);
        const int dirFd = dirfd(reader.get());

        // Keep the matches that are visible regular files; "." and ".." start with "." too.
        std::vector<SlidePictureEntry> entries;
        while (const dirent* item = readdir(reader.get())) {
            const char* name = item->d_name;
            if (!IsSlidePictureName(name, nativePattern)) {
                continue;
            }
            SlidePictureEntry entry;
            if (StatRegularFile(dirFd, name, entry)) {
                entry.name = FromNative(name);
                entries.push_back(std::move(entry));
            }
        }
        OrderSlidePictures(entries);

        pictures.reserve(entries.size());
        for (const SlidePictureEntry& entry : entries) {
            pictures.push_back(directory + entry.name);
        }
    } catch (const std::bad_alloc&) {
        pictures.clear();
    }
    return pictures;
}

std::wstring GetFileName(std::wstring_view path) {
    const size_t slash = path.rfind(L'/');
    if (slash != std::wstring_view::npos && slash != 0) {
        return std::wstring(path.substr(slash + 1));
    }
    return std::wstring(path);
}

std::wstring GetBaseName(std::wstring_view path) {
    std::wstring name = GetFileName(path);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot != 0) {
        name.resize(dot);
    }
    return name;
}

std::wstring OutputPathFor(std::wstring_view source, bool pictureFolder, const std::wstring& outputFolder) {
    return outputFolder + (pictureFolder ? GetFileName(source) : GetBaseName(source)) + L".pdf";
}

}  // namespace vellumet
