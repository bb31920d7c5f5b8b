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
void Expand18Printf(long double ax, char digits[kSignificant], int& E) {
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

// 10^k for k = 0 .. 38 as 128-bit integers.
struct Pow10Table {
  unsigned __int128 v[39];
  constexpr Pow10Table() : v() {
    v[0] = 1;
    for (int k = 1; k < 39; ++k) v[k] = v[k - 1] * 10;
  }
};
constexpr Pow10Table kPow10;

// The same 18 digits by integer arithmetic, exact and much faster than the
// multi-precision expansion of printf: with x = m 2^b (m the 64-bit
// significand) and k = 18 - E, the digits are m 10^k 2^b rounded to an
// integer, ties to even.  Covers values from about 1e-20 to 1e18, the range
// of everything the result file prints; false sends the rest to printf.
// Bits from .. from+63 of a 192-bit number held as three 64-bit limbs.
unsigned long long Bits64(const unsigned long long limb[3], int from) {
  const int w = from / 64, off = from % 64;
  unsigned long long part = w < 3 ? limb[w] >> off : 0;
  if (off && w + 1 < 3) part |= limb[w + 1] << (64 - off);
  return part;
}

// Whether any of the bits 0 .. n-1 is set.
bool AnyBelow(const unsigned long long limb[3], int n) {
  for (int w = 0; w < 3 && n > 0; ++w, n -= 64) {
    const unsigned long long mask = n >= 64 ? ~0ULL : ((1ULL << n) - 1);
    if (limb[w] & mask) return true;
  }
  return false;
}

bool Expand18Integer(long double ax, char digits[kSignificant], int& E) {
  int bexp = 0;
  const long double frac = std::frexp(ax, &bexp);  // ax = frac 2^bexp, 0.5 <= frac < 1
  const auto m = static_cast<unsigned long long>(std::ldexp(frac, 64));  // the 64-bit significand, exactly
  const int s = 64 - bexp;  // ax = m 2^-s
  // First guess of E from the binary exponent; corrected below.
  int e10 = static_cast<int>(std::floor((bexp - 1) * 0.30102999566398120)) + 1;
  constexpr unsigned long long kLow = 100000000000000000ULL;    // 10^17
  constexpr unsigned long long kHigh = 1000000000000000000ULL;  // 10^18
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int k = kSignificant - e10;
    if (k < 0 || k > 38 || s <= 0 || s > 190) return false;
    // P = m 10^k as three 64-bit limbs.
    const unsigned __int128 p = kPow10.v[k];
    const unsigned __int128 lo = static_cast<unsigned __int128>(m) * static_cast<unsigned long long>(p);
    const unsigned __int128 hi = static_cast<unsigned __int128>(m) * static_cast<unsigned long long>(p >> 64);
    unsigned long long limb[3];
    limb[0] = static_cast<unsigned long long>(lo);
    const unsigned __int128 mid = (lo >> 64) + static_cast<unsigned long long>(hi);
    limb[1] = static_cast<unsigned long long>(mid);
    limb[2] = static_cast<unsigned long long>((mid >> 64) + (hi >> 64));
    // q = floor(P 2^-s); the digits need 10^17 <= q < 10^18.
    const bool large = Bits64(limb, s + 64) != 0 || (s + 128 < 192 && Bits64(limb, s + 128) != 0);
    const unsigned long long q = Bits64(limb, s);
    if (large || q >= kHigh) {
      ++e10;
      continue;
    }
    if (q < kLow) {
      --e10;
      continue;
    }
    // Round to nearest, ties to even, on the bits below the shift.
    unsigned long long r = q;
    const bool half = (limb[(s - 1) / 64] >> ((s - 1) % 64)) & 1ULL;
    if (half && (AnyBelow(limb, s - 1) || (r & 1))) ++r;
    if (r == kHigh) {
      r = kLow;
      ++e10;
    }
    for (int i = kSignificant - 1; i >= 0; --i) {
      digits[i] = static_cast<char>('0' + r % 10);
      r /= 10;
    }
    E = e10;
    return true;
  }
  return false;
}

void Expand18(long double ax, char digits[kSignificant], int& E) {
  if (!Expand18Integer(ax, digits, E)) Expand18Printf(ax, digits, E);
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
