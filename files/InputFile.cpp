#include "files/InputFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane {

InputFile::InputFile(const std::string& path) {
  // A name cut short at an embedded NUL would name another file.
  if (path.find('\0') != std::string::npos) {
    reason_ = std::strerror(EINVAL);
    return;
  }
  // O_NONBLOCK: opening a FIFO that nobody writes to returns at once; the
  // file type is checked before the first read.
  int fd;
  do fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    reason_ = std::strerror(errno);
    return;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    reason_ = std::strerror(errno);
    ::close(fd);
    return;
  }
  if (!S_ISREG(st.st_mode)) {
    reason_ = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file";
    ::close(fd);
    return;
  }
  fd_ = fd;
  size_ = st.st_size;
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

long InputFile::Read(char* buffer, std::size_t n) {
  if (fd_ < 0) return -1;
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, n);
    if (got >= 0) return static_cast<long>(got);
    if (errno == EINTR) continue;
    reason_ = std::strerror(errno);
    return -1;
  }
}

}  // namespace kelvane
