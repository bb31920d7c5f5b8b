#include "files/StagedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace kelvane {
namespace {

// "dir/" and "name" of a path ("" and the path itself without a slash).
void SplitPath(const std::string& path, std::string& folder, std::string& name) {
  const std::size_t slash = path.rfind('/');
  folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  name = slash == std::string::npos ? path : path.substr(slash + 1);
}

std::atomic<unsigned> counter{0};

}  // namespace

StagedFile::StagedFile(std::string finalPath) : final_(std::move(finalPath)) {}

StagedFile::~StagedFile() { Discard(); }

bool StagedFile::RegularFileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool StagedFile::Open() {
  Discard();
  struct stat st {};
  existed_ = ::lstat(final_.c_str(), &st) == 0;
  // Devices, pipes, symbolic links and the like are written as they are.
  if (existed_ && !S_ISREG(st.st_mode)) return true;
  std::string folder, name;
  SplitPath(final_, folder, name);
  if (name.empty()) return true;  // a folder name: the writer's open reports it

  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".kelvane-%ld-%u", static_cast<long>(::getpid()), counter++);
    const std::string candidate = folder + "." + name + suffix;
    // Created like the final file would be: mode 0666 less the umask.
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      // Keep the mode of the file being replaced.
      if (existed_) (void)::fchmod(fd, st.st_mode & 07777);
      ::close(fd);
      temp_ = candidate;
      staged_ = true;
      return true;
    }
    if (errno != EEXIST) break;
  }
  // No temporary file here (a folder that only lets the file itself be
  // written, say): write in place, as without staging.
  return true;
}

bool StagedFile::Commit() {
  if (!staged_) return true;
  if (::rename(temp_.c_str(), final_.c_str()) != 0) {
    const int err = errno;
    Discard();
    errno = err;
    return false;
  }
  staged_ = false;
  temp_.clear();
  return true;
}

void StagedFile::Discard() {
  if (!staged_) return;
  const int err = errno;
  ::unlink(temp_.c_str());
  errno = err;
  staged_ = false;
  temp_.clear();
}

}  // namespace kelvane
