#include "files/NumberForms.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace kelvane {
namespace {

TEST(NumberForms, FixExamples) {
  EXPECT_EQ(FormatFix(123456.789L, 8, 3), "123456.790");
  EXPECT_EQ(FormatFix(0.0009228, 10, 8), "0.00092280");
  EXPECT_EQ(FormatFix(50.0, 6, 2), "50.00");
  EXPECT_EQ(FormatFix(0.0, 4, 3), "0.000");
  EXPECT_EQ(FormatFix(-0.0, 4, 3), "0.000");
  EXPECT_EQ(FormatFix(7.0, 4, 0), "7");
  EXPECT_EQ(FormatFix(-2392.0, 6, 1), "-2392.0");
  // More integer digits than P but not than... E == P stays fixed.
  EXPECT_EQ(FormatFix(1234.4, 4, 3), "1234.000");
  EXPECT_EQ(FormatFix(0.5, 4, 0), "1");
  EXPECT_EQ(FormatFix(0.4, 4, 0), "0");
}

TEST(NumberForms, FixTiesGoAwayFromZeroOnTheDigitString) {
  // 30.125 and 0.125 are exact binary values: a true tie, decided upward.
  EXPECT_EQ(FormatFix(30.125, 6, 2), "30.13");
  EXPECT_EQ(FormatFix(0.125, 4, 2), "0.13");
  EXPECT_EQ(FormatFix(-0.125, 4, 2), "-0.13");
  EXPECT_EQ(FormatFix(2.5, 6, 0), "3");
  // 1.005 is stored just below the tie, but its 18-digit string
  // 1.00499999999999989... rounds at the 3rd digit from the 4th: down.
  EXPECT_EQ(FormatFix(1.005, 6, 2), "1.00");
  // The long double nearest 1.005 is 1.00500000000000000002...: up.
  EXPECT_EQ(FormatFix(1.005L, 6, 2), "1.01");
  // A double whose 18-digit string ends in ...5000 after a run of nines is
  // rounded from the string, not from the exact value: 0.145 is stored as
  // 0.14499999999999999001 -> 18 digits 0.144999999999999990 -> 0.14.
  EXPECT_EQ(FormatFix(0.145, 4, 2), "0.14");
}

TEST(NumberForms, NegativeValueRoundingToZeroHasNoSign) {
  EXPECT_EQ(FormatFix(-0.0004, 7, 3), "0.000");
  EXPECT_EQ(FormatFix(-0.0006, 7, 3), "-0.001");
  EXPECT_EQ(FormatFix(-0.0005, 7, 3), "-0.001");  // n = 0, d1 = 5
  EXPECT_EQ(FormatFix(-1e-30, 4, 3), "0.000");     // n < 0
  EXPECT_EQ(FormatExp(-0.0, 6, 2), "0.00000E+00");
}

TEST(NumberForms, CarryOutOfTheFirstDigit) {
  EXPECT_EQ(FormatFix(9.9996, 6, 3), "10.000");
  EXPECT_EQ(FormatFix(0.9996, 6, 3), "1.000");
  EXPECT_EQ(FormatFix(-99.96, 6, 1), "-100.0");
  EXPECT_EQ(FormatExp(9.999996, 6, 2), "1.00000E+01");
  EXPECT_EQ(FormatExp(-0.09999996, 6, 2), "-1.00000E-01");
  // The carry makes E exceed P: the general exponent form.
  EXPECT_EQ(FormatFix(9999.6, 4, 3), "1E004");
}

TEST(NumberForms, GeneralExponentFallback) {
  EXPECT_EQ(FormatFix(123456789.0, 8, 3), "1.2345679E008");
  EXPECT_EQ(FormatFix(12345.6, 4, 3), "1.235E004");
  EXPECT_EQ(FormatFix(-12345.6, 4, 3), "-1.235E004");
  EXPECT_EQ(FormatFix(12345.6, 4, 5), "1.235E4");      // D > 4: no padding
  EXPECT_EQ(FormatFix(12345.6, 4, 4), "1.235E0004");
  EXPECT_EQ(FormatFix(20000.0, 4, 1), "2E4");           // no "." without digits
  EXPECT_EQ(FormatFix(1e300, 8, 3), "1E300");
}

TEST(NumberForms, ExpExamples) {
  EXPECT_EQ(FormatExp(-601.069, 6, 2), "-6.01069E+02");
  EXPECT_EQ(FormatExp(0.0, 6, 2), "0.00000E+00");
  EXPECT_EQ(FormatExp(-2.11357E4, 6, 2), "-2.11357E+04");
  EXPECT_EQ(FormatExp(0.001316, 6, 2), "1.31600E-03");
  EXPECT_EQ(FormatExp(1e-123, 6, 2), "1.00000E-123");
  EXPECT_EQ(FormatExp(1.5, 1, 3), "2.E+000");
}

TEST(NumberForms, DecimalSeparatorIsTheCallers) {
  EXPECT_EQ(FormatFix(30.125, 6, 2, ','), "30,13");
  EXPECT_EQ(FormatFix(123456789.0, 8, 3, ','), "1,2345679E008");
  EXPECT_EQ(FormatExp(-601.069, 6, 2, ','), "-6,01069E+02");
}

TEST(NumberForms, NonFiniteValues) {
  const long double inf = std::numeric_limits<long double>::infinity();
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  EXPECT_EQ(FormatFix(inf, 8, 3), "INF");
  EXPECT_EQ(FormatFix(-inf, 8, 3), "-INF");
  EXPECT_EQ(FormatExp(nan, 6, 2), "NAN");
  EXPECT_EQ(FormatExp(-nan, 6, 2), "-NAN");
}

TEST(NumberForms, IntAndPadding) {
  EXPECT_EQ(FormatInt(0), "0");
  EXPECT_EQ(FormatInt(20), "20");
  EXPECT_EQ(FormatInt(-7), "-7");
  EXPECT_EQ(FormatInt(std::numeric_limits<int32_t>::min()), "-2147483648");
  EXPECT_EQ(PadLeft("1.5", 6), "   1.5");
  EXPECT_EQ(PadLeft("123456", 6), "123456");
  EXPECT_EQ(PadLeft("1234567", 3), "1234567");  // never cut
}

// ---------------------------------------------------------------------------
// Independent computation of the same forms.  The digit string comes from the
// exact decimal expansion of the long double (mantissa x 2^e expanded with
// big-integer arithmetic, rounded to 18 digits ties-to-even by hand), and the
// rounding to the printed place is done positionally on a map of decimal
// places, not on a digit index.

// Little-endian base-10^9 big integer.
using Big = std::vector<uint32_t>;
constexpr uint32_t kBase = 1000000000u;

void MulSmall(Big& a, uint32_t m) {
  uint64_t carry = 0;
  for (uint32_t& limb : a) {
    const uint64_t t = static_cast<uint64_t>(limb) * m + carry;
    limb = static_cast<uint32_t>(t % kBase);
    carry = t / kBase;
  }
  while (carry) {
    a.push_back(static_cast<uint32_t>(carry % kBase));
    carry /= kBase;
  }
}

std::string ToDecimal(const Big& a) {
  std::string s = std::to_string(a.back());
  for (int i = static_cast<int>(a.size()) - 2; i >= 0; --i) {
    std::string part = std::to_string(a[i]);
    s += std::string(9 - part.size(), '0') + part;
  }
  return s;
}

// Exact decimal digits of positive finite v: v = 0.digits x 10^E.
void ExactDecimal(long double v, std::string& digits, int& E) {
  int e2 = 0;
  const long double m = std::frexp(v, &e2);  // v = m 2^e2, 0.5 <= m < 1
  const uint64_t M = static_cast<uint64_t>(std::ldexp(m, 64));
  int shift = e2 - 64;  // v = M 2^shift exactly
  Big big;
  uint64_t t = M;
  do {
    big.push_back(static_cast<uint32_t>(t % kBase));
    t /= kBase;
  } while (t);
  int fractionDigits = 0;
  if (shift >= 0) {
    for (; shift >= 29; shift -= 29) MulSmall(big, 1u << 29);
    MulSmall(big, 1u << shift);
  } else {
    // M 2^-k = M 5^k / 10^k.
    const int k = -shift;
    int left = k;
    for (; left >= 13; left -= 13) MulSmall(big, 1220703125u);  // 5^13
    uint32_t p = 1;
    for (int i = 0; i < left; ++i) p *= 5;
    MulSmall(big, p);
    fractionDigits = k;
  }
  digits = ToDecimal(big);
  E = static_cast<int>(digits.size()) - fractionDigits;
}

// Round the exact digits to 18 significant digits, ties to even.
void RoundTo18(std::string& digits, int& E) {
  if (digits.size() <= 18) {
    digits.resize(18, '0');
    return;
  }
  const char next = digits[18];
  bool restNonZero = false;
  for (std::size_t i = 19; i < digits.size(); ++i) restNonZero |= digits[i] != '0';
  digits.resize(18);
  const bool up = next > '5' || (next == '5' && (restNonZero || (digits[17] - '0') % 2 == 1));
  if (!up) return;
  int i = 17;
  while (i >= 0 && digits[i] == '9') digits[i--] = '0';
  if (i >= 0) {
    ++digits[i];
  } else {
    digits = "1" + std::string(17, '0');
    ++E;
  }
}

// The value as a map from decimal place (power of ten) to digit.
using Places = std::map<int, int>;

Places ToPlaces(const std::string& digits, int E) {
  Places p;
  for (std::size_t i = 0; i < digits.size(); ++i)
    if (digits[i] != '0') p[E - 1 - static_cast<int>(i)] = digits[i] - '0';
  return p;
}

// Half-up rounding at place `last` (kept), by adding 5 one place below and
// cutting everything below `last`.
void RoundAtPlace(Places& p, int last) {
  int place = last - 1;
  int add = 5;
  while (add) {
    const int v = (p.count(place) ? p[place] : 0) + add;
    p[place] = v % 10;
    add = v / 10;
    ++place;
  }
  for (auto it = p.begin(); it != p.end();) {
    if (it->first < last || it->second == 0) it = p.erase(it);
    else ++it;
  }
}

struct OracleValue {
  Places places;  // empty for zero
  bool negative = false;
  int Top() const { return places.rbegin()->first; }
};

// Shared start of both forms: 18-digit string, then keep n digits.
OracleValue OracleReduce(long double x, int n18Keep, bool fix, int P, int D) {
  OracleValue r;
  if (x == 0 || std::fpclassify(x) == FP_SUBNORMAL) return r;
  std::string digits;
  int E = 0;
  ExactDecimal(std::fabs(x), digits, E);
  RoundTo18(digits, E);
  int n = fix ? std::min(E + D, P) : n18Keep;
  n = std::min(n, 18);
  if (n < 0) return r;
  r.places = ToPlaces(digits, E);
  RoundAtPlace(r.places, E - n);
  r.negative = !r.places.empty() && std::signbit(x);
  return r;
}

std::string OracleFix(long double x, int P, int D) {
  const OracleValue v = OracleReduce(x, 0, true, P, D);
  std::string out = v.negative ? "-" : "";
  auto digit = [&](int place) {
    auto it = v.places.find(place);
    return static_cast<char>('0' + (it == v.places.end() ? 0 : it->second));
  };
  if (!v.places.empty() && v.Top() + 1 > P) {
    // d1[.rest]E(exp) with the exponent padded to D when D <= 4.
    const int top = v.Top();
    const int bottom = v.places.begin()->first;
    out += digit(top);
    if (bottom < top) {
      out += '.';
      for (int pl = top - 1; pl >= bottom; --pl) out += digit(pl);
    }
    std::string e = std::to_string(top);
    if (D <= 4 && static_cast<int>(e.size()) < D) e = std::string(D - e.size(), '0') + e;
    return out + "E" + e;
  }
  const int top = v.places.empty() ? 0 : std::max(v.Top(), 0);
  for (int pl = top; pl >= 0; --pl) out += digit(pl);
  if (D > 0) {
    out += '.';
    for (int pl = -1; pl >= -D; --pl) out += digit(pl);
  }
  return out;
}

std::string OracleExp(long double x, int P, int X) {
  const OracleValue v = OracleReduce(x, P, false, P, 0);
  std::string out = v.negative ? "-" : "";
  const int top = v.places.empty() ? 0 : v.Top();
  auto digit = [&](int place) {
    auto it = v.places.find(place);
    return static_cast<char>('0' + (it == v.places.end() ? 0 : it->second));
  };
  out += digit(top);
  out += '.';
  for (int i = 1; i < P; ++i) out += digit(top - i);
  std::string e = std::to_string(std::abs(top));
  if (static_cast<int>(e.size()) < X) e = std::string(X - e.size(), '0') + e;
  return out + "E" + (top < 0 ? "-" : "+") + e;
}

TEST(NumberForms, EighteenDigitTiesAreBrokenToEven) {
  // Integers of 19 digits are exact in the 64-bit mantissa; ending in 5 they
  // are ties at the 18th digit, and ties-to-even picks the even 18th digit
  // before the away-from-zero step ever sees them.
  const long double a = 1000000000000000005.0L;  // -> 100000000000000000
  const long double b = 1000000000000000015.0L;  // -> 100000000000000002
  EXPECT_EQ(FormatFix(a, 18, 0), "1E18");
  EXPECT_EQ(FormatFix(a, 19, 0), "1000000000000000000");
  EXPECT_EQ(FormatFix(b, 19, 0), "1000000000000000020");
  EXPECT_EQ(FormatExp(b, 18, 2), "1.00000000000000002E+18");
  EXPECT_EQ(OracleFix(b, 19, 0), "1000000000000000020");
  // The same ties below 10^18, where the digits come from integer
  // arithmetic rather than printf.
  EXPECT_EQ(FormatExp(100000000000000000.5L, 18, 2), "1.00000000000000000E+17");
  EXPECT_EQ(FormatExp(100000000000000001.5L, 18, 2), "1.00000000000000002E+17");
  EXPECT_EQ(FormatExp(100000000000000003.5L / 1024, 18, 2), OracleExp(100000000000000003.5L / 1024, 18, 2));
}

TEST(NumberForms, RandomizedAgainstExactExpansion) {
  std::mt19937_64 rng(20240611);
  std::uniform_int_distribution<int> pDist(1, 20), dDist(0, 12), xDist(1, 4);
  std::uniform_int_distribution<int> kind(0, 5);
  std::uniform_int_distribution<int> exp2Dist(-400, 400);
  std::uniform_int_distribution<int> exp10Dist(-12, 12);
  int mismatches = 0;
  for (int iter = 0; iter < 200000 && mismatches < 10; ++iter) {
    long double x = 0;
    switch (kind(rng)) {
      case 0: {  // arbitrary long double: random 64-bit mantissa
        const uint64_t m = rng() | (1ull << 63);
        x = std::ldexp(static_cast<long double>(m), exp2Dist(rng) - 64);
        break;
      }
      case 1: {  // arbitrary double
        const uint64_t m = (rng() >> 11) | (1ull << 52);
        x = static_cast<double>(std::ldexp(static_cast<long double>(m), exp2Dist(rng) / 4 - 52));
        break;
      }
      case 2: {  // a short decimal typed by a user, stored as a double
        const long long digits = static_cast<long long>(rng() % 10000000);
        x = static_cast<double>(digits * std::pow(10.0L, exp10Dist(rng)));
        break;
      }
      case 3: {  // exact binary ties at the printed place: k / 2^j
        const long long k = static_cast<long long>(rng() % 2000000) * 2 + 1;
        x = std::ldexp(static_cast<long double>(k), -static_cast<int>(rng() % 8) - 1);
        break;
      }
      case 4: {  // 19-digit integers, ties at the 18th digit
        x = static_cast<long double>(1000000000000000000ull + (rng() % 800000000000000000ull) / 10 * 10 + 5);
        break;
      }
      default: {  // near a power of ten, where carries and E changes happen
        x = std::pow(10.0L, exp10Dist(rng)) * (1.0L - std::ldexp(1.0L, -static_cast<int>(rng() % 60) - 4));
        break;
      }
    }
    if (rng() & 1) x = -x;
    const int P = pDist(rng), D = dDist(rng), X = xDist(rng);
    const std::string fix = FormatFix(x, P, D), fixRef = OracleFix(x, P, D);
    const std::string ex = FormatExp(x, P, X), exRef = OracleExp(x, P, X);
    if (fix != fixRef || ex != exRef) {
      ++mismatches;
      ADD_FAILURE() << "x=" << static_cast<double>(x) << " P=" << P << " D=" << D << " X=" << X
                    << "\n FIX " << fix << " vs " << fixRef << "\n EXP " << ex << " vs " << exRef;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace kelvane
