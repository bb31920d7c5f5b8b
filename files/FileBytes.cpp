#include "files/FileBytes.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kelvane {

WriteResult WriteFileBytes(const std::string& path, int openFlags, const std::string& bytes) {
  // A name cut short at an embedded NUL would name another file.
  if (path.find('\0') != std::string::npos) return {WriteStatus::OpenFailed, EINVAL};
  int fd;
  do fd = ::open(path.c_str(), openFlags | O_WRONLY | O_CLOEXEC, 0666);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return {WriteStatus::OpenFailed, errno};

  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      return {WriteStatus::WriteFailed, err};
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  // Some file systems report a failed write-back only when the file closes.
  if (::close(fd) != 0 && errno != EINTR) return {WriteStatus::WriteFailed, errno};
  return {};
}

}  // namespace kelvane
