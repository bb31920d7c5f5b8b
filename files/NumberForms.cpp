#include "files/NumberForms.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kelvane {
namespace {

constexpr int kSignificant = 18;

// A value reduced to its printed digits: |x| = 0.d1 d2 ... dn x 10^E, with
// no trailing zero digits.  Zero has no digits, E = 0 and no sign.
struct Reduced {
  char digits[kSignificant];
  int count = 0;
  int E = 0;
  bool negative = false;
};

// |x| (positive, normal, finite) written with 18 significant digits, rounded
// to nearest with ties to even on its exact binary value.  glibc's printf
// expands the long double exactly and rounds in the current rounding mode,
// which is round-to-nearest-even throughout the program.
void Expand18(long double ax, char digits[kSignificant], int& E) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*Le", kSignificant - 1, ax);
  // The shape is d<point>ddd...e<sign>xx; the point follows the process
  // locale, so only the digits before the 'e' are taken.
  int n = 0;
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9' && n < kSignificant) digits[n++] = *p;
  const int exp10 = *p == 'e' ? std::atoi(p + 1) : 0;
  E = exp10 + 1;  // d1.d2... x 10^exp10 = 0.d1d2... x 10^(exp10+1)
}

// The digit string of x keeping `keep` significant digits (capped at 18):
// the digit after the last kept one decides, 5 or more rounding the kept
// digits up, so a tie on the 18-digit string goes away from zero.
// keepFor(E) gives the number of digits to keep once E is known.
template <class KeepFor>
Reduced Reduce(long double x, KeepFor keepFor) {
  Reduced r;
  const int cls = std::fpclassify(x);
  if (cls == FP_ZERO || cls == FP_SUBNORMAL) return r;

  char d[kSignificant];
  int E = 0;
  Expand18(std::fabs(x), d, E);

  int n = keepFor(E);
  if (n > kSignificant) n = kSignificant;
  if (n < 0) return r;

  if (n < kSignificant && d[n] >= '5') {
    int i = n - 1;
    while (i >= 0 && d[i] == '9') d[i--] = '0';
    if (i >= 0) {
      ++d[i];
    } else {
      // Carry out of the first digit (or n = 0 with d1 >= 5): 10^E.
      d[0] = '1';
      n = 1;
      ++E;
    }
  }
  while (n > 0 && d[n - 1] == '0') --n;
  if (n == 0) return r;

  for (int i = 0; i < n; ++i) r.digits[i] = d[i];
  r.count = n;
  r.E = E;
  r.negative = std::signbit(x);
  return r;
}

// "INF" / "NAN", with "-" when the sign bit is set; empty for finite x.
std::string NonFinite(long double x) {
  if (std::isfinite(x)) return {};
  std::string s = std::signbit(x) ? "-" : "";
  s += std::isnan(x) ? "NAN" : "INF";
  return s;
}

void AppendPaddedNumber(std::string& out, long long value, int minDigits) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < minDigits) out.append(minDigits - digits.size(), '0');
  out += digits;
}

// The general exponent form FIX falls back to for more than P integer
// digits: d1[.d2...]E<exponent>, no plus sign, the exponent padded to D
// digits when D is 4 or less.
std::string GeneralExponent(const Reduced& r, int D, char sep) {
  std::string out;
  if (r.negative) out += '-';
  out += r.count > 0 ? r.digits[0] : '0';
  if (r.count > 1) {
    out += sep;
    out.append(r.digits + 1, r.count - 1);
  }
  out += 'E';
  long long e = r.count > 0 ? r.E - 1 : 0;
  if (e < 0) {
    out += '-';
    e = -e;
  }
  AppendPaddedNumber(out, e, D <= 4 ? D : 0);
  return out;
}

}  // namespace

std::string FormatFix(long double x, int P, int D, char decimalSeparator) {
  if (std::string s = NonFinite(x); !s.empty()) return s;

  const Reduced r = Reduce(x, [&](int E) { return E + D < P ? E + D : P; });
  if (r.E > P) return GeneralExponent(r, D, decimalSeparator);

  std::string out;
  if (r.negative) out += '-';
  // Digit i (0-based) of the string stands at the place 10^(E-1-i).
  auto digitAt = [&](int i) { return i >= 0 && i < r.count ? r.digits[i] : '0'; };
  if (r.E <= 0) {
    out += '0';
  } else {
    for (int i = 0; i < r.E; ++i) out += digitAt(i);
  }
  if (D > 0) {
    out += decimalSeparator;
    // Decimal j (1-based) is the place 10^-j, i.e. digit E + j - 1.
    for (int j = 1; j <= D; ++j) out += digitAt(r.E + j - 1);
  }
  return out;
}

std::string FormatExp(long double x, int P, int X, char decimalSeparator) {
  if (std::string s = NonFinite(x); !s.empty()) return s;

  const Reduced r = Reduce(x, [&](int) { return P; });

  std::string out;
  if (r.negative) out += '-';
  out += r.count > 0 ? r.digits[0] : '0';
  out += decimalSeparator;
  for (int i = 1; i < P; ++i) out += i < r.count ? r.digits[i] : '0';
  out += 'E';
  long long e = r.count > 0 ? r.E - 1 : 0;
  if (e < 0) {
    out += '-';
    e = -e;
  } else {
    out += '+';
  }
  AppendPaddedNumber(out, e, X);
  return out;
}

std::string FormatInt(int32_t n) { return std::to_string(n); }

std::string PadLeft(const std::string& text, std::size_t width) {
  if (text.size() >= width) return text;
  return std::string(width - text.size(), ' ') + text;
}

}  // namespace kelvane
