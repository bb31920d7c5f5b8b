#include "run/OutputDevice.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace kelvane {

bool IsNullDevice(const std::string& path) {
  struct stat a {}, b {};
  return ::stat(path.c_str(), &a) == 0 && S_ISCHR(a.st_mode) && ::stat("/dev/null", &b) == 0 &&
         a.st_rdev == b.st_rdev;
}

bool IsDeviceOrPipe(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISFIFO(st.st_mode) ||
                                            S_ISSOCK(st.st_mode));
}

DeviceBuffer::~DeviceBuffer() {
  if (!path_.empty()) ::unlink(path_.c_str());
}

bool DeviceBuffer::Open() {
  const char* dir = std::getenv("TMPDIR");
  std::string tmpl = std::string(dir && *dir ? dir : "/tmp") + "/kelvane-XXXXXX";
  const int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return false;
  ::close(fd);
  path_ = tmpl;
  return true;
}

bool DeviceBuffer::CopyTo(const std::string& target) const {
  std::FILE* in = std::fopen(path_.c_str(), "rb");
  if (!in) return false;
  std::FILE* out = std::fopen(target.c_str(), "wb");
  if (!out) {
    const int err = errno;
    std::fclose(in);
    errno = err;
    return false;
  }
  char buf[1 << 16];
  bool ok = true;
  for (std::size_t n; ok && (n = std::fread(buf, 1, sizeof buf, in)) > 0;) ok = std::fwrite(buf, 1, n, out) == n;
  const int err = errno;
  std::fclose(in);
  ok = std::fclose(out) == 0 && ok;
  if (!ok && errno == 0) errno = err ? err : EIO;
  return ok;
}

}  // namespace kelvane
