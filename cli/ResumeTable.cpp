#include "cli/ResumeTable.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace kelvane {

namespace {

// The whole file; false with errno set when it cannot be read.
bool ReadWhole(const std::string& path, std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char buf[65536];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  const bool ok = !std::ferror(f);
  const int err = errno;
  std::fclose(f);
  errno = err;
  return ok;
}

}  // namespace

bool LoadResumedTable(const std::string& path, const StudyDefinition& study, const std::vector<StudyRow>& rows,
                      std::vector<std::optional<RowResult>>& kept, bool quiet) {
  kept.assign(rows.size(), std::nullopt);
  std::string text;
  if (!ReadWhole(path, text)) {
    if (errno == ENOENT) {
      if (!quiet) std::fprintf(stderr, "kelvane-run study: no earlier table %s; every row runs\n", path.c_str());
      return true;
    }
    std::fprintf(stderr, "kelvane-run study: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  try {
    kept = KeptRows(study, rows, text);
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "kelvane-run study: cannot resume from %s: %s; the file is left as it is\n", path.c_str(),
                 e.what());
    return false;
  }
  if (!quiet) {
    std::size_t n = 0;
    for (const auto& k : kept) n += k.has_value();
    std::fprintf(stderr, "kelvane-run study: %zu of %zu rows kept from %s; %zu to run\n", n, rows.size(),
                 path.c_str(), rows.size() - n);
  }
  return true;
}

std::string StagingPath(const std::string& path) {
  // Nothing to protect: the table is written in place, row by row, so that
  // a shard killed hard still leaves its first rows.
  struct stat st {};
  if (path.empty() || path == "-" || ::stat(path.c_str(), &st) != 0) return path;
  const auto slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  return dir + ".kelvane-resume-" + std::to_string(::getpid()) + ".csv";
}

bool CommitStaged(const std::string& staged, const std::string& path, bool ok) {
  if (staged == path) return ok;
  if (ok && std::rename(staged.c_str(), path.c_str()) == 0) return true;
  if (ok) std::fprintf(stderr, "kelvane-run study: cannot replace %s: %s\n", path.c_str(), std::strerror(errno));
  std::remove(staged.c_str());
  return false;
}

}  // namespace kelvane
