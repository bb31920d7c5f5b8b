#include "files/StagedFile.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "files/FileBytes.h"

namespace kelvane {
namespace {

// "dir/" and "name" of a path ("" and the path itself without a slash).
void SplitPath(const std::string& path, std::string& folder, std::string& name) {
  const std::size_t slash = path.rfind('/');
  folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  name = slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a chain of symbolic links ends at (which need not exist yet: a
// link to a file still to be written).  False with errno set for a loop.
bool FollowLinks(const std::string& path, std::string& target) {
  target = path;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(target.c_str(), buf, sizeof buf);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof buf) {
      if (n >= 0) errno = ENAMETOOLONG;
      return false;
    }
    const std::string link(buf, static_cast<std::size_t>(n));
    std::string folder, name;
    SplitPath(target, folder, name);
    target = link.front() == '/' ? link : folder + link;
  }
  errno = ELOOP;
  return false;
}

std::atomic<unsigned> counter{0};

// The temporary files not yet committed or discarded, in fixed slots that a
// signal handler can walk without taking a lock or allocating.  A slot is
// free (0), being filled (1) or live (2).
constexpr int kSlots = 128;
struct TempSlot {
  std::atomic<int> State{0};
  char Path[PATH_MAX];
};
TempSlot tempSlots[kSlots];

int Register(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = 0;
    if (!tempSlots[i].State.compare_exchange_strong(expected, 1)) continue;
    std::memcpy(tempSlots[i].Path, path.c_str(), path.size() + 1);
    tempSlots[i].State.store(2);
    return i;
  }
  return -1;  // more temporaries at once than slots: this one is not listed
}

void Unregister(int& slot) {
  if (slot >= 0) tempSlots[slot].State.store(0);
  slot = -1;
}

}  // namespace

StagedFile::StagedFile(std::string finalPath) : final_(std::move(finalPath)) {}

StagedFile::~StagedFile() { Discard(); }

bool StagedFile::RegularFileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool StagedFile::Open() {
  Discard();
  noTemporary_ = false;
  if (!FollowLinks(final_, target_)) return false;
  struct stat st {};
  existed_ = ::lstat(target_.c_str(), &st) == 0;
  // Devices, pipes and the like are written as they are.
  if (existed_ && !S_ISREG(st.st_mode)) return true;
  if (!existed_ && newInPlace_) return true;
  std::string folder, name;
  SplitPath(target_, folder, name);
  if (name.empty()) return true;  // a folder name: the writer's open reports it
  // The temporary's short name fits where the final one may not: a name
  // that its folder cannot hold is refused now, before any work is done for
  // it, not when the finished file is moved.
  const long nameMax = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  if ((nameMax > 0 && name.size() > static_cast<std::size_t>(nameMax)) || target_.size() >= PATH_MAX) {
    errno = ENAMETOOLONG;
    return false;
  }

  // A short name of its own, so that it fits in a folder wherever the final
  // name does (whatever that name's length).
  int err = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char base[48];
    std::snprintf(base, sizeof base, ".kelvane-%ld-%u", static_cast<long>(::getpid()), counter++);
    const std::string candidate = folder + base;
    // Listed before it is made: a fatal signal the moment after finds it.
    int slot = Register(candidate);
    // Created like the final file would be: mode 0666 less the umask.
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      // Keep the mode of the file being replaced.
      if (existed_) (void)::fchmod(fd, st.st_mode & 07777);
      ::close(fd);
      temp_ = candidate;
      slot_ = slot;
      staged_ = true;
      return true;
    }
    err = errno;
    Unregister(slot);
    if (err != EEXIST) break;
  }
  if (!existed_) return true;  // nothing to lose: the writer's open decides
  noTemporary_ = true;
  errno = err;
  return false;
}

std::string StagedFile::Describe(int error) const {
  if (noTemporary_)
    return std::string("no temporary file can be created beside it to replace it whole (") + std::strerror(error) +
           "); the earlier file is left as it was";
  return std::strerror(error);
}

bool StagedFile::Commit() {
  if (!staged_) return true;
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    const int err = errno;
    Discard();
    errno = err;
    return false;
  }
  Unregister(slot_);
  staged_ = false;
  temp_.clear();
  return true;
}

void StagedFile::Discard() {
  if (!staged_) return;
  const int err = errno;
  ::unlink(temp_.c_str());
  Unregister(slot_);
  errno = err;
  staged_ = false;
  temp_.clear();
}

std::string ResolvedOutputPath(const std::string& path) {
  std::string target;
  if (!FollowLinks(path, target)) return path;
  while (target.size() > 1 && target.back() == '/') target.pop_back();
  std::string folder, name;
  SplitPath(target, folder, name);
  std::string resolved;
  char buf[PATH_MAX];
  if (::realpath(folder.empty() ? "." : folder.c_str(), buf) != nullptr) resolved = buf;
  else if (folder.size() > 1) resolved = ResolvedOutputPath(folder.substr(0, folder.size() - 1));  // not made yet
  else return target;
  if (name.empty() || name == ".") return resolved;
  if (name == "..") return resolved.substr(0, std::max<std::size_t>(1, resolved.rfind('/')));
  if (resolved.back() != '/') resolved += '/';
  return resolved + name;
}

void RemoveStagedFilesNow() {
  for (TempSlot& s : tempSlots)
    if (s.State.load() == 2) ::unlink(s.Path);
}

StagedWriteResult WriteStagedFile(const std::string& path, const std::string& bytes) {
  StagedFile file(path);
  if (!file.Open()) {
    const int err = errno;
    return {WriteStatus::OpenFailed, err, file.Describe(err)};
  }
  // A new file written in place is created here; a staged one already is.
  const WriteResult w = WriteFileBytes(file.Path(), O_CREAT | O_TRUNC, bytes);
  if (w.Status == WriteStatus::Ok && file.Commit()) return {};
  const int err = w.Status == WriteStatus::Ok ? errno : w.ErrorCode;
  const WriteStatus status = w.Status == WriteStatus::Ok ? WriteStatus::WriteFailed : w.Status;
  file.Discard();
  return {status, err, file.Describe(err)};
}

}  // namespace kelvane
