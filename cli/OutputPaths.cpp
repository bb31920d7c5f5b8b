#include "cli/OutputPaths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <cstdio>

#include "files/StagedFile.h"

namespace kelvane {
namespace {

bool Named(const NamedOutput& o) { return !o.Path.empty() && o.Path != "-"; }

// A device or a pipe may take several outputs; only files are replaced.
bool IsSpecial(const std::string& resolved) {
  struct stat st {};
  return ::stat(resolved.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

}  // namespace

bool DistinctOutputs(const std::string& command, const std::vector<NamedOutput>& outputs) {
  std::vector<std::string> resolved(outputs.size());
  for (std::size_t i = 0; i < outputs.size(); ++i)
    if (Named(outputs[i])) resolved[i] = ResolvedOutputPath(outputs[i].Path);
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    if (resolved[i].empty() || IsSpecial(resolved[i])) continue;
    for (std::size_t j = i + 1; j < outputs.size(); ++j) {
      if (resolved[j] != resolved[i]) continue;
      std::fprintf(stderr, "%s: %s %s and %s %s name the same file; give each output a file of its own\n",
                   command.c_str(), outputs[i].Option.c_str(), outputs[i].Path.c_str(), outputs[j].Option.c_str(),
                   outputs[j].Path.c_str());
      return false;
    }
  }
  return true;
}

bool OutsideFolder(const std::string& command, const NamedOutput& file, const NamedOutput& folder) {
  if (!Named(file) || folder.Path.empty()) return true;
  std::string dir = ResolvedOutputPath(folder.Path);
  const std::string path = ResolvedOutputPath(file.Path);
  if (IsSpecial(path)) return true;
  if (dir.empty() || dir.back() != '/') dir += '/';
  if (path.compare(0, dir.size(), dir) != 0) return true;
  std::fprintf(stderr, "%s: %s %s lies inside the folder of %s %s, where the row files go; write it elsewhere\n",
               command.c_str(), file.Option.c_str(), file.Path.c_str(), folder.Option.c_str(),
               folder.Path.c_str());
  return false;
}

bool OutputsWritable(const std::string& command, const std::vector<NamedOutput>& outputs) {
  for (const NamedOutput& o : outputs) {
    if (!Named(o)) continue;
    auto refuse = [&](const std::string& why) {
      std::fprintf(stderr, "%s: cannot write %s %s: %s\n", command.c_str(), o.Option.c_str(), o.Path.c_str(),
                   why.c_str());
      return false;
    };
    struct stat st {};
    if (::stat(o.Path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return refuse(std::strerror(EISDIR));
    StagedFile file(o.Path);
    if (!file.Open()) return refuse(file.Describe(errno));
    if (file.Staged() || file.Existed()) continue;  // the temporary is removed with `file`; a device takes anything
    // A new file that gets no temporary is written in place: try its name.
    const int fd = ::open(o.Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return refuse(std::strerror(errno));
    ::close(fd);
    ::unlink(o.Path.c_str());
  }
  return true;
}

}  // namespace kelvane
