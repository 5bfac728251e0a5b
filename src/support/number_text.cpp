#include "support/number_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

#include "support/errors.h"

namespace bw {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The accepted number form: [sign] digits [. digits] | [sign] . digits,
// then an optional exponent [eE] [sign] digits. Returns the part that
// from_chars reads (no blanks, no "+" in front), or false.
bool NumberCore(std::string_view field, std::string_view& core, bool& negative) {
  while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
  while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
  size_t i = 0;
  negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
    negative = field[i] == '-';
    ++i;
  }
  const size_t start = i;
  size_t digits = 0;
  while (i < field.size() && IsDigit(field[i])) ++i, ++digits;
  if (i < field.size() && field[i] == '.') {
    ++i;
    while (i < field.size() && IsDigit(field[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < field.size() && (field[i] == 'e' || field[i] == 'E')) {
    ++i;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < field.size() && IsDigit(field[i])) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  if (i != field.size()) return false;
  core = field.substr(start);
  if (negative) core = field.substr(start - 1);
  return true;
}

// For a number whose value from_chars could not represent: true when it is
// too small (it rounds to zero), false when it is too large. Works on the
// decimal exponent of the first significant digit.
bool TooSmall(std::string_view core) {
  size_t i = 0;
  if (i < core.size() && core[i] == '-') ++i;
  int64_t lead = 0;  // decimal exponent of the first non-zero digit, before the exponent part
  bool seen = false;
  int64_t intDigits = 0;
  for (; i < core.size() && IsDigit(core[i]); ++i) {
    if (seen || core[i] != '0') seen = true;
    if (seen) ++intDigits;
  }
  if (seen) {
    lead = intDigits - 1;
  } else if (i < core.size() && core[i] == '.') {
    int64_t zeros = 0;
    for (++i; i < core.size() && core[i] == '0'; ++i) ++zeros;
    lead = -zeros - 1;
  }
  while (i < core.size() && core[i] != 'e' && core[i] != 'E') ++i;
  int64_t exp = 0;
  if (i < core.size()) {
    ++i;
    bool expNegative = false;
    if (i < core.size() && (core[i] == '+' || core[i] == '-')) expNegative = core[i++] == '-';
    for (; i < core.size(); ++i) exp = std::min<int64_t>(exp * 10 + (core[i] - '0'), int64_t{1} << 40);
    if (expNegative) exp = -exp;
  }
  return lead + exp < 0;
}


// A finite value as decimal digits: value = d[0].d[1]d[2]... x 10^Exp, with
// the first 18 significant digits of the exact value (no trailing zeros).
struct TDecimal {
  bool Negative = false;
  char Digits[24] = {};
  int Count = 0;  // 0 for the value zero
  int Exp = 0;
};

TDecimal ToDecimal(double value) {
  TDecimal dec;
  dec.Negative = std::signbit(value);
  const double magnitude = std::fabs(value);
  if (magnitude == 0) return dec;
  char buf[40];
  const auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, 17);
  // "d.ddddddddddddddddde[+-]XX"
  const char* p = buf;
  dec.Digits[dec.Count++] = *p++;
  if (*p == '.') {
    ++p;
    while (*p != 'e') dec.Digits[dec.Count++] = *p++;
  }
  ++p;  // 'e'
  int exp = 0;
  std::from_chars(*p == '+' ? p + 1 : p, res.ptr, exp);
  dec.Exp = exp;
  while (dec.Count > 1 && dec.Digits[dec.Count - 1] == '0') --dec.Count;
  return dec;
}

// Keeps at most `sigDigits` significant digits and at most `decimals` digits
// after the point, rounding the magnitude up when the first dropped digit is
// 5 or more. The result may lose every digit (Count 0: the value zero).
void RoundDecimal(TDecimal& dec, int sigDigits, int decimals) {
  if (dec.Count == 0) return;
  const int keep = std::min(sigDigits, dec.Exp + 1 + decimals);
  if (keep >= dec.Count) return;
  if (keep < 0) {
    dec.Count = 0;
    return;
  }
  const bool up = dec.Digits[keep] >= '5';
  dec.Count = keep;
  if (up) {
    int i = keep - 1;
    while (i >= 0 && dec.Digits[i] == '9') --i;
    if (i < 0) {
      // All nines (or nothing kept): the value becomes 1 x 10^(Exp + 1).
      dec.Digits[0] = '1';
      dec.Count = 1;
      dec.Exp += 1;
      return;
    }
    dec.Digits[i] += 1;
    dec.Count = i + 1;
  }
  while (dec.Count > 0 && dec.Digits[dec.Count - 1] == '0') --dec.Count;
}

// Writes the rounded decimal in fixed form with exactly `decimals` decimals.
size_t WriteFixed(const TDecimal& dec, int decimals, char* out) {
  char* p = out;
  if (dec.Count == 0) {
    *p++ = '0';
  } else {
    if (dec.Negative) *p++ = '-';
    if (dec.Exp < 0) {
      *p++ = '0';
    } else {
      for (int i = 0; i <= dec.Exp; ++i) *p++ = i < dec.Count ? dec.Digits[i] : '0';
    }
  }
  if (decimals > 0) {
    *p++ = '.';
    for (int pos = 1; pos <= decimals; ++pos) {
      // Digit for 10^-pos sits at index Exp + pos.
      const int idx = dec.Exp + pos;
      *p++ = (dec.Count != 0 && idx >= 0 && idx < dec.Count) ? dec.Digits[idx] : '0';
    }
  }
  return static_cast<size_t>(p - out);
}

// ---- Fast exact paths ------------------------------------------------------
//
// For the values the files mostly hold (texture coordinates below 100,
// coordinates and placements of singles below 10^5) the cut falls at a fixed
// number of decimals d, and the text follows from the exact value
// |v| x 10^d: its integer part, plus one when the rest is one half or more.
// Starting from the 18 significant digits instead cannot change that there:
// the rest is a multiple of the single's last bit, at least |v| x 2^-24 after
// scaling, so it is one half or that far from it, while rounding to 18 digits
// moves it by at most |v| x 10^-17 and, one half being one of those 18-digit
// decimals itself, never across it.

constexpr uint64_t kPow5[] = {1, 5, 25, 125, 625, 3125, 15625};
// 10^0 ... 10^19.
constexpr std::array<uint64_t, 20> kPow10 = [] {
  std::array<uint64_t, 20> table{};
  uint64_t power = 1;
  for (uint64_t& entry : table) {
    entry = power;
    power *= 10;  // wraps once, after the last entry
  }
  return table;
}();

// |f| x 10^d (d <= 6) rounded half up, for |f| x 10^d below 2^40.
uint64_t ScaledHalfUp(float f, int d) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  const uint32_t biased = (bits >> 23) & 0xFF;
  uint64_t mantissa = bits & 0x7FFFFF;
  int exp2 = -149;  // subnormal
  if (biased != 0) {
    mantissa |= 0x800000;
    exp2 = static_cast<int>(biased) - 150;
  }
  // |f| x 10^d = mantissa x 5^d x 2^(exp2 + d), all exact in 64 bits.
  const uint64_t product = mantissa * kPow5[d];  // below 2^38
  const int shift = exp2 + d;
  if (shift >= 0) return product << shift;
  const int drop = -shift;
  if (drop > 40) return 0;  // less than 2^-2: rounds to 0
  const uint64_t whole = product >> drop;
  const uint64_t rest = product & ((uint64_t{1} << drop) - 1);
  return whole + (rest >= (uint64_t{1} << (drop - 1)) ? 1 : 0);
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

void PutPair(char* p, uint32_t v) {
  std::memcpy(p, kDigitPairs + 2 * v, 2);
}

// Decimal digits of v at p; returns the end. p has 8 bytes of room at
// least (the short numbers are stored as a whole word).
char* WriteUnsigned(uint64_t v, char* p) {
  if (std::endian::native == std::endian::little && v < 100000000)
    return PutDigits(p, static_cast<uint32_t>(v));
  // The digit count from the bit length: log10(2) ~ 1233 / 4096, at most
  // one short, which one comparison settles.
  const int estimate = (64 - std::countl_zero(v | 1)) * 1233 >> 12;
  const int n = estimate + ((v | 1) >= kPow10[static_cast<size_t>(estimate)] ? 1 : 0);
  char* q = p + n;
  while (v > 0xFFFFFFFFu) {
    q -= 2;
    PutPair(q, static_cast<uint32_t>(v % 100));
    v /= 100;
  }
  auto w = static_cast<uint32_t>(v);
  while (w >= 100) {
    q -= 2;
    PutPair(q, w % 100);
    w /= 100;
  }
  if (w >= 10)
    PutPair(q - 2, w);
  else
    q[-1] = static_cast<char>('0' + w);
  return p + n;
}

// The text of the rounded integer `scaled` = |v| x 10^Decimals; a value that
// rounded to zero has no sign.
template <int Decimals>
size_t WriteScaled(bool negative, uint64_t scaled, char* out) {
  static_assert(Decimals == 3 || Decimals == 6);
  constexpr uint64_t kUnit = kPow10[Decimals];
  char* p = out;
  if (negative && scaled != 0) *p++ = '-';
  p = WriteUnsigned(scaled / kUnit, p);
  *p++ = '.';
  const auto frac = static_cast<uint32_t>(scaled % kUnit);
  if constexpr (Decimals == 6) {
    PutPair(p, frac / 10000);
    PutPair(p + 2, frac / 100 % 100);
    PutPair(p + 4, frac % 100);
  } else {
    p[0] = static_cast<char>('0' + frac / 100);
    PutPair(p + 1, frac % 100);
  }
  return static_cast<size_t>(p + Decimals - out);
}

size_t NonFiniteText(double value, char* out) {
  const char* text = std::isnan(value) ? "NAN" : (value < 0 ? "-INF" : "INF");
  const size_t len = std::strlen(text);
  std::memcpy(out, text, len);
  return len;
}

}  // namespace

namespace {

// FixedText into `buf`, which must hold a sign, max(sigDigits, 18) digits, a
// point and three decimals: the fixed form has at most sigDigits integer
// digits, the scientific form at most 18 digits.
size_t FixedInto(double value, int sigDigits, char* buf) {
  if (!std::isfinite(value)) return NonFiniteText(value, buf);
  constexpr int kDecimals = 3;
  // Below 10^(sigDigits - 3) the three decimals are the cut (see above).
  if (sigDigits > kDecimals && sigDigits <= 8) {
    const auto single = static_cast<float>(value);
    if (static_cast<double>(single) == value &&
        std::fabs(value) < static_cast<double>(kPow10[sigDigits - kDecimals]))
      return WriteScaled<kDecimals>(std::signbit(value), ScaledHalfUp(single, kDecimals), buf);
  }
  TDecimal dec = ToDecimal(value);
  RoundDecimal(dec, sigDigits, kDecimals);
  if (dec.Count != 0 && dec.Exp + 1 > sigDigits) {
    // Too many integer digits for the fixed form.
    char* p = buf;
    if (dec.Negative) *p++ = '-';
    *p++ = dec.Digits[0];
    if (dec.Count > 1) {
      *p++ = '.';
      for (int i = 1; i < dec.Count; ++i) *p++ = dec.Digits[i];
    }
    *p++ = 'E';
    char expBuf[8];
    const auto res = std::to_chars(expBuf, expBuf + sizeof expBuf, dec.Exp);
    for (auto n = res.ptr - expBuf; n < 3; ++n) *p++ = '0';
    for (const char* q = expBuf; q != res.ptr; ++q) *p++ = *q;
    return static_cast<size_t>(p - buf);
  }
  return WriteFixed(dec, kDecimals, buf);
}

}  // namespace

std::string FixedText(double value, int sigDigits) {
  char buf[512];
  return std::string(buf, FixedInto(value, sigDigits, buf));
}

size_t FixedChars(double value, int sigDigits, char* out) {
  // Up to 18 significant digits the text fits kFixedTextMax bytes.
  if (sigDigits > 18) throw EInvalidOp("more significant digits than a fixed text holds");
  return FixedInto(value, sigDigits, out);
}

size_t TexCoordText(float value, char* out) {
  return static_cast<size_t>(PutTexCoord(out, value) - out);
}

char* TexCoordTextGeneral(float value, char* out) {
  // Below 100 the six decimals are the cut (see above).
  if (std::fabs(value) < 100.0f)
    return out + WriteScaled<6>(std::signbit(value), ScaledHalfUp(value, 6), out);
  static constexpr char kZero[] = "0.000000";
  if (!std::isfinite(value)) {
    std::memcpy(out, kZero, sizeof kZero - 1);
    return out + sizeof kZero - 1;
  }
  TDecimal dec = ToDecimal(static_cast<double>(value));
  RoundDecimal(dec, 8, 6);
  return out + WriteFixed(dec, 6, out);
}

std::string TexCoordText(float value) {
  char buf[kTexTextMax];
  return std::string(buf, TexCoordText(value, buf));
}

int64_t ScaledCoordGeneral(float value, float factor) {
  const double product = static_cast<double>(value) * static_cast<double>(factor);
  if (!std::isfinite(product)) throw EInvalidOp("coordinate is not a finite number");
  const double below = std::floor(product);
  const double frac = product - below;  // exact
  double rounded = below;
  if (frac > 0.5 || (frac == 0.5 && std::fmod(below, 2.0) != 0)) rounded = below + 1;
  // 2^63 is exactly representable; the range is [-2^63, 2^63).
  if (rounded < -9223372036854775808.0 || rounded >= 9223372036854775808.0)
    throw EInvalidOp("scaled coordinate out of range");
  return static_cast<int64_t>(rounded);
}

size_t IntChars(int64_t v, char* out) {
  return static_cast<size_t>(PutInt(out, v) - out);
}

char* IntCharsGeneral(int64_t v, char* out) {
  char* p = out;
  uint64_t magnitude = static_cast<uint64_t>(v);
  if (v < 0) {
    *p++ = '-';
    magnitude = 0 - magnitude;  // also right for the smallest int64
  }
  return WriteUnsigned(magnitude, p);
}

void AppendInt(std::string& s, int64_t v, size_t width) {
  char digits[24];
  const size_t len = IntChars(v, digits);
  if (len < width) s.append(width - len, ' ');
  s.append(digits, len);
}

bool ReadFloat(std::string_view field, float& value) {
  std::string_view core;
  bool negative = false;
  if (!NumberCore(field, core, negative)) return false;
  float parsed = 0;
  const auto res =
      std::from_chars(core.data(), core.data() + core.size(), parsed, std::chars_format::general);
  if (res.ptr != core.data() + core.size()) return false;
  if (res.ec == std::errc::result_out_of_range) {
    if (!TooSmall(core)) return false;
    parsed = negative ? -0.0f : 0.0f;
  } else if (res.ec != std::errc()) {
    return false;
  }
  if (!std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

}  // namespace bw
