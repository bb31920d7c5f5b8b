#pragma once
// printf-style text into a std::string, as long as it comes out.

#include <cstdio>
#include <string>

namespace kelvane {

template <typename... Args>
std::string Format(const char* fmt, Args... args) {
  const int n = std::snprintf(nullptr, 0, fmt, args...);
  if (n <= 0) return {};
  std::string s(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(s.data(), s.size(), fmt, args...);
  s.resize(static_cast<std::size_t>(n));
  return s;
}

}  // namespace kelvane
