#pragma once
// The number forms of the result file: FIX(P, D), EXP(P, X), the general
// exponent form FIX falls back to, INT, and right alignment.

#include <cstdint>
#include <string>

namespace kelvane {

std::string FormatFix(long double x, int P, int D, char decimalSeparator = '.');
std::string FormatExp(long double x, int P, int X, char decimalSeparator = '.');
std::string FormatInt(int32_t n);
std::string PadLeft(const std::string& text, std::size_t width);

}  // namespace kelvane
