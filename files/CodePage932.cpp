#include "files/CodePage932.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace kelvane {
namespace {

// One iconv conversion descriptor, closed on every way out.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("no character conversion from ") + from + " to " + to);
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as much of [*in, *in + *inLeft) as it can into `out`; returns 0
  // when all input was consumed, else the errno that stopped it.
  int Run(const char** in, std::size_t* inLeft, std::string& out) {
    char buffer[1024];
    while (*inLeft > 0) {
      char* dst = buffer;
      std::size_t dstLeft = sizeof buffer;
      char* src = const_cast<char*>(*in);
      const std::size_t r = iconv(cd_, &src, inLeft, &dst, &dstLeft);
      const int err = errno;
      *in = src;
      out.append(buffer, static_cast<std::size_t>(dst - buffer));
      if (r == static_cast<std::size_t>(-1) && err != E2BIG) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        return err;
      }
    }
    return 0;
  }

 private:
  iconv_t cd_;
};

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

bool Utf8ToCp932(std::string_view utf8, std::string& out) {
  out.clear();
  // The code page keeps all of ASCII (0x5C and 0x7E included) as it is.
  if (IsAscii(utf8)) {
    out.assign(utf8);
    return true;
  }
  Converter cv("CP932", "UTF-8");
  const char* in = utf8.data();
  std::size_t left = utf8.size();
  return cv.Run(&in, &left, out) == 0;
}

std::string Cp932ToUtf8(std::string_view bytes) {
  if (IsAscii(bytes)) return std::string(bytes);
  Converter cv("UTF-8", "CP932");
  std::string out;
  const char* in = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    if (cv.Run(&in, &left, out) == 0) break;
    // EILSEQ or EINVAL: an undefined byte or a lead byte without its trail.
    out += "\xEF\xBF\xBD";
    ++in;
    --left;
  }
  return out;
}

}  // namespace kelvane
