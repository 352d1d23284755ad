#include "common/WholeTransfers.h"

#include <unistd.h>

#include <cerrno>

namespace vellumet {

bool WriteWhole(int fd, const void* data, size_t size) {
    const auto* at = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t put = ::write(fd, at, size);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        at += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}

bool ReadWhole(int fd, void* buffer, size_t size) {
    auto* at = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t got = ::read(fd, at, size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        at += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

}  // namespace vellumet
