// The number forms against a second rendering of the same rule, written
// apart from them: the 18 significant digits come from printf's exact
// expansion (the forms take them from integer arithmetic where they can),
// and rounding, carrying and placing the digits are done on a string.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "files/NumberForms.h"

using namespace kelvane;

namespace {

// 0.digits x 10^E, digits without trailing zeros; empty digits for zero.
struct Decimal {
  std::string digits;
  int E = 0;
  bool negative = false;
};

// |x| to 18 significant digits, then kept to `keep(E)` digits with the
// digit after them deciding (5 or more rounds up).
template <class Keep>
Decimal Round(long double x, Keep keep) {
  Decimal d;
  const int cls = std::fpclassify(x);
  if (cls == FP_ZERO || cls == FP_SUBNORMAL) return d;
  char buf[80];
  std::snprintf(buf, sizeof buf, "%.17Le", std::fabs(x));
  std::string all;
  const char* e = std::strchr(buf, 'e');
  for (const char* p = buf; p < e; ++p)
    if (*p >= '0' && *p <= '9') all += *p;
  int E = std::atoi(e + 1) + 1;
  int n = keep(E);
  if (n > 18) n = 18;
  if (n < 0) return d;
  std::string kept = all.substr(0, n);
  if (n < 18 && all[n] >= '5') {
    // Add one in the last kept place: "" + 1 = "1"; "999" + 1 = "1000".
    int i = n - 1;
    for (; i >= 0 && kept[i] == '9'; --i) kept[i] = '0';
    if (i >= 0) {
      ++kept[i];
    } else {
      kept.insert(kept.begin(), '1');
      ++E;
    }
  }
  while (!kept.empty() && kept.back() == '0') kept.pop_back();
  if (kept.empty()) return d;
  d.digits = kept;
  d.E = E;
  d.negative = std::signbit(x);
  return d;
}

std::string Special(long double x) {
  std::string s = std::signbit(x) ? "-" : "";
  return s + (std::isnan(x) ? "NAN" : "INF");
}

std::string Exponent(long long e, int minDigits, bool plus) {
  std::string s = e < 0 ? "-" : (plus ? "+" : "");
  std::string digits = std::to_string(e < 0 ? -e : e);
  while (static_cast<int>(digits.size()) < minDigits) digits.insert(digits.begin(), '0');
  return s + digits;
}

std::string Fix(long double x, int P, int D, char sep) {
  if (!std::isfinite(x)) return Special(x);
  const Decimal d = Round(x, [&](int E) { return std::min(E + D, P); });
  std::string out = d.negative ? "-" : "";
  if (d.E > P) {  // the general exponent form
    out += d.digits.empty() ? std::string("0") : d.digits.substr(0, 1);
    if (d.digits.size() > 1) out += sep + d.digits.substr(1);
    return out + "E" + Exponent(d.digits.empty() ? 0 : d.E - 1, D <= 4 ? D : 0, false);
  }
  // Place the digits on a line of positions: position p holds 10^(E-1-p).
  auto at = [&](long p) { return p >= 0 && p < static_cast<long>(d.digits.size()) ? d.digits[p] : '0'; };
  if (d.E <= 0) out += '0';
  for (long p = 0; p < d.E; ++p) out += at(p);
  if (D > 0) {
    out += sep;
    for (long p = d.E; p < d.E + D; ++p) out += at(p);
  }
  return out;
}

std::string Exp(long double x, int P, int X, char sep) {
  if (!std::isfinite(x)) return Special(x);
  const Decimal d = Round(x, [&](int) { return P; });
  std::string mantissa = d.digits.empty() ? "0" : d.digits;
  mantissa.resize(static_cast<size_t>(P), '0');
  return (d.negative ? "-" : "") + mantissa.substr(0, 1) + sep + mantissa.substr(1) + "E" +
         Exponent(d.digits.empty() ? 0 : d.E - 1, X, true);
}

// Any valid x87 extended value from 10 bytes: the explicit integer bit is
// set for normal numbers, infinities and NaNs and clear for zeros and
// subnormals.
long double Extended(const uint8_t* p) {
  uint64_t mantissa;
  uint16_t signExponent;
  std::memcpy(&mantissa, p, 8);
  std::memcpy(&signExponent, p + 8, 2);
  const unsigned exponent = signExponent & 0x7FFF;
  if (exponent == 0) mantissa &= ~(1ULL << 63);
  else mantissa |= 1ULL << 63;
  unsigned char bytes[sizeof(long double)] = {};
  std::memcpy(bytes, &mantissa, 8);
  std::memcpy(bytes + 8, &signExponent, 2);
  long double x;
  std::memcpy(&x, bytes, sizeof x);
  return x;
}

}  // namespace

// The input: 10 bytes of an extended value, or 8 of a double (the writer's
// stored values) when only those are given, then P, D/X and the decimal mark.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 11) return 0;
  long double x;
  if (data[0] & 1) {
    x = Extended(data + 1);
  } else {
    double stored;
    std::memcpy(&stored, data + 1, 8);
    x = stored;
  }
  const uint8_t* rest = data + 11;
  const size_t left = size - 11;
  const int P = 1 + (left > 0 ? rest[0] % 20 : 6);
  const int D = left > 1 ? rest[1] % 12 : 2;
  const char sep = left > 2 && (rest[2] & 1) ? ',' : '.';

  const std::string fix = FormatFix(x, P, D, sep);
  const std::string fixRef = Fix(x, P, D, sep);
  if (fix != fixRef) {
    std::fprintf(stderr, "FIX(%d,%d) of %.21Lg: \"%s\", rule \"%s\"\n", P, D, x, fix.c_str(), fixRef.c_str());
    FUZZ_CHECK(fix == fixRef);
  }
  const int X = 1 + D % 4;
  const std::string exp = FormatExp(x, P, X, sep);
  const std::string expRef = Exp(x, P, X, sep);
  if (exp != expRef) {
    std::fprintf(stderr, "EXP(%d,%d) of %.21Lg: \"%s\", rule \"%s\"\n", P, X, x, exp.c_str(), expRef.c_str());
    FUZZ_CHECK(exp == expRef);
  }
  return 0;
}
