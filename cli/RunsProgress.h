#pragma once
// A progress bar over the runs of a study or search on standard error, when
// it is a terminal.

#include <cstddef>
#include <cstdio>
#include <string>

namespace kelvane {

class RunsProgress {
 public:
  explicit RunsProgress(bool show) : show_(show) {}
  void Update(std::size_t done, std::size_t total, const char* what = "runs") {
    if (!show_) return;
    if (total == 0) {  // a search: the runs so far
      std::fprintf(stderr, "\r%zu %s", done, what);
      std::fflush(stderr);
      shown_ = true;
      return;
    }
    constexpr std::size_t width = 30;
    std::string bar(done * width / total, '#');
    bar.resize(width, '.');
    std::fprintf(stderr, "\r%zu of %zu %s [%s] %3zu%%", done, total, what, bar.c_str(), done * 100 / total);
    std::fflush(stderr);
    shown_ = true;
  }
  void Clear() {
    if (shown_) std::fputs("\r\033[K", stderr);
    shown_ = false;
  }

 private:
  bool show_;
  bool shown_ = false;
};

}  // namespace kelvane
