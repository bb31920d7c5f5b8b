#include "cli/ResumeTable.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "files/InputFile.h"

namespace kelvane {

namespace {

// At most `limit` + 1 bytes of the file: enough to tell that it is larger
// than `limit` without reading a huge (or sparse, or growing) file whole.
bool ReadBounded(InputFile& file, std::size_t limit, std::string& text) {
  char buf[65536];
  while (text.size() <= limit) {
    const long n = file.Read(buf, std::min(sizeof buf, limit + 1 - text.size()));
    if (n < 0) return false;
    if (n == 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

std::size_t MaxResumedTableBytes(std::size_t rows) {
  // A row's line holds its values, a message of a few hundred characters
  // and a dozen figures: 64 KiB a row leaves room for any of them.
  return std::max<std::size_t>(1 << 20, (rows + 1) * 65536);
}

bool LoadResumedTable(const std::string& path, const StudyDefinition& study, const std::vector<StudyRow>& rows,
                      std::vector<std::optional<RowResult>>& kept, bool quiet) {
  kept.assign(rows.size(), std::nullopt);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
    if (!quiet) std::fprintf(stderr, "kelvane-run study: no earlier table %s; every row runs\n", path.c_str());
    return true;
  }
  // A pipe would wait for ever, a device never end: only a file is a table.
  InputFile file(path);
  const std::size_t limit = MaxResumedTableBytes(rows.size());
  std::string text;
  if (!file.IsOpen() || !ReadBounded(file, limit, text)) {
    std::fprintf(stderr, "kelvane-run study: cannot read %s: %s; the file is left as it is\n", path.c_str(),
                 file.Reason().c_str());
    return false;
  }
  if (text.size() > limit) {
    std::fprintf(stderr,
                 "kelvane-run study: cannot resume from %s: it is far larger than a table of %zu rows; the file is "
                 "left as it is\n",
                 path.c_str(), rows.size());
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

}  // namespace kelvane
