#pragma once
// Reading and writing a whole buffer through a file descriptor (a file, a pipe), however many calls
// the kernel needs, calls interrupted by a signal retried.

#include <cstddef>

namespace vellumet {

// True once all `size` bytes are written; false on an error (errno says which), including a pipe
// whose reader is gone (with SIGPIPE ignored).
bool WriteWhole(int fd, const void* data, size_t size);

// True once all `size` bytes are read; false at the end of the input or on an error.
bool ReadWhole(int fd, void* buffer, size_t size);

}  // namespace vellumet
