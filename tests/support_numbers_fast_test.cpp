// The number texts against a plain reference of their rule, over every
// single in some ranges, the halfway cases and random singles: whatever path
// a value takes inside, its text must be the rule's.

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/number_text.h"

using namespace bw;

namespace {

// The rule: the first 18 significant digits of the value, cut to at most
// `sig` significant digits and at most `decimals` decimals, the magnitude
// rounded up when the first dropped digit is 5 or more; written with exactly
// `decimals` decimals, or in scientific form when `scientific` is allowed and
// the integer part has more than `sig` digits. Zero has no sign.
std::string Reference(double v, int sig, int decimals, bool scientific) {
  const bool negative = std::signbit(v);
  std::string digits;  // value = digits[0].digits[1..] x 10^exp
  int exp = 0;
  if (v != 0) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, 17);
    const std::string text(buf, res.ptr);
    const size_t e = text.find('e');
    digits = text.substr(0, 1) + text.substr(2, e - 2);
    exp = std::stoi(text.substr(e + 1));
  }
  const int keep = std::min(sig, exp + 1 + decimals);
  if (!digits.empty() && keep < static_cast<int>(digits.size())) {
    const bool up = keep >= 0 && digits[static_cast<size_t>(keep)] >= '5';
    digits.resize(static_cast<size_t>(std::max(keep, 0)));
    if (up) {
      int i = keep - 1;
      while (i >= 0 && digits[static_cast<size_t>(i)] == '9') digits[static_cast<size_t>(i--)] = '0';
      if (i >= 0) {
        ++digits[static_cast<size_t>(i)];
      } else {
        digits.insert(digits.begin(), '1');
        ++exp;
      }
    }
  }
  if (digits.find_first_not_of('0') == std::string::npos)
    return "0." + std::string(static_cast<size_t>(decimals), '0');

  std::string out = negative ? "-" : "";
  if (scientific && exp + 1 > sig) {
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    out += digits[0];
    if (digits.size() > 1) out += "." + digits.substr(1);
    std::string power = std::to_string(exp);
    return out + "E" + std::string(power.size() < 3 ? 3 - power.size() : 0, '0') + power;
  }
  auto digitAt = [&](int pos) {  // the digit for 10^pos
    const int idx = exp - pos;
    return idx >= 0 && idx < static_cast<int>(digits.size()) ? digits[static_cast<size_t>(idx)] : '0';
  };
  if (exp < 0) out += '0';
  for (int pos = exp; pos >= 0; --pos) out += digitAt(pos);
  out += '.';
  for (int pos = -1; pos >= -decimals; --pos) out += digitAt(pos);
  return out;
}

float FromBits(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

uint32_t Bits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

// Every form checked for one single; counts the mismatches and reports the
// first few.
class TChecker {
 public:
  void Check(float f) {
    const double d = f;
    Expect("TexCoordText", f, TexCoordText(f), Reference(d, 8, 6, false));
    Expect("FloatText", f, FloatText(d), Reference(d, 8, 3, true));
    char buf[kFixedTextMax];
    Expect("FixedChars", f, std::string(buf, FixedChars(d, 8, buf)), Reference(d, 8, 3, true));
    Expect("F5", f, F5(d), Reference(d, 5, 3, true));
    Expect("F4", f, F4(d), Reference(d, 4, 3, true));
  }
  // Both signs of every single from `from` on, `count` of them.
  void Range(float from, uint32_t count) {
    const uint32_t first = Bits(from);
    for (uint32_t i = 0; i < count; ++i) {
      Check(FromBits(first + i));
      Check(-FromBits(first + i));
    }
  }
  int Failures() const { return FFailures; }

 private:
  void Expect(const char* form, float f, const std::string& got, const std::string& want) {
    if (got == want) return;
    if (++FFailures <= 10)
      ADD_FAILURE() << form << " of " << Reference(f, 17, 17, false) << " (bits 0x" << std::hex << Bits(f)
                    << "): " << got << ", the rule gives " << want;
  }
  int FFailures = 0;
};

}  // namespace

TEST(NumberTextsFollowTheirRule, EverySingleInRangesWhereTheCutMoves) {
  TChecker c;
  c.Range(0.0f, 1u << 12);                                  // zero and the smallest subnormals
  c.Range(FromBits(Bits(5.0e-7f) - (1u << 13)), 1u << 14);  // rounding to 0.000000 or 0.000001
  c.Range(FromBits(Bits(5.0e-4f) - (1u << 13)), 1u << 14);  // rounding to 0.000 or 0.001
  c.Range(FromBits(Bits(1.0f) - (1u << 13)), 1u << 14);     // both sides of 1
  c.Range(FromBits(Bits(9.999f)), 1u << 14);                // F4 turns to 10.00
  c.Range(FromBits(Bits(99.99f)), 1u << 12);                // F5 and TexCoordText leave their fast range
  c.Range(FromBits(Bits(100.0f) - 64), 128);
  c.Range(FromBits(Bits(99999.9f)), 1u << 10);  // FloatText leaves its fast range
  c.Range(FromBits(Bits(99999992.0f)), 64);     // 10^8: the fixed form gains a digit
  EXPECT_EQ(c.Failures(), 0);
}

TEST(NumberTextsFollowTheirRule, HalfwayValues) {
  TChecker c;
  // Odd multiples of 2^-7 end in a 5 at the seventh decimal, odd multiples
  // of 2^-4 at the fourth: exact ties of the six- and three-decimal cuts.
  for (uint32_t k = 1; k < 100 * 128; k += 2) {
    c.Check(static_cast<float>(k) / 128.0f);
    c.Check(-static_cast<float>(k) / 128.0f);
  }
  for (uint32_t k = 1; k < 100000 * 16; k += 2 * 17) c.Check(static_cast<float>(k) / 16.0f);
  // Ties of eight significant digits beyond the decimals: 12345678.5 and
  // the like hold only as integers of the single's grid.
  for (float f : {1234567.5f, 9999999.5f, 123456.785f, 10000000.5f, 99999.995f, 999.9995f, 0.0000005f})
    c.Check(f);
  EXPECT_EQ(c.Failures(), 0);
}

TEST(NumberTextsFollowTheirRule, RandomSingles) {
  TChecker c;
  std::mt19937 gen(20240607);
  // Any finite single, and singles of the sizes texture coordinates and
  // coordinates have.
  std::uniform_int_distribution<uint32_t> anyBits(0, 0xFFFFFFFFu);
  std::uniform_real_distribution<float> usual(-120.0f, 120.0f);
  for (int i = 0; i < 50000; ++i) {
    const float f = FromBits(anyBits(gen));
    if (std::isfinite(f)) c.Check(f);
    c.Check(usual(gen));
  }
  EXPECT_EQ(c.Failures(), 0);
}

TEST(NumberTextsFollowTheirRule, DoublesThatAreNotSingles) {
  // F4, F5 and FloatText also take doubles: those keep the general path.
  for (double d :
       {12.34567, -0.5, 0.0004999999999, 0.00050000000001, 99999.99949, 1e-300, 1234.5675, 2.0 / 3}) {
    EXPECT_EQ(FloatText(d), Reference(d, 8, 3, true)) << d;
    EXPECT_EQ(F5(d), Reference(d, 5, 3, true)) << d;
    EXPECT_EQ(F4(d), Reference(d, 4, 3, true)) << d;
  }
}

TEST(NumberTextsFollowTheirRule, IntegersAsTheLibraryWritesThem) {
  std::vector<int64_t> values = {0, INT64_MIN, INT64_MAX, INT64_MIN + 1, 4294967295, 4294967296, -4294967296};
  for (int64_t power = 1; power <= INT64_MAX / 10; power *= 10)
    for (int64_t v : {power - 1, power, power + 1}) {
      values.push_back(v);
      values.push_back(-v);
    }
  std::mt19937_64 gen(7);
  for (int i = 0; i < 20000; ++i) {
    values.push_back(static_cast<int64_t>(gen()));
    values.push_back(static_cast<int64_t>(gen() % 200000) - 100000);
  }
  int failures = 0;
  for (int64_t v : values) {
    char got[24], want[24];
    const size_t len = IntChars(v, got);
    const auto res = std::to_chars(want, want + sizeof want, v);
    if (std::string(got, len) != std::string(want, res.ptr) && ++failures <= 10)
      ADD_FAILURE() << v << " written as " << std::string(got, len);
  }
  EXPECT_EQ(failures, 0);
}

TEST(NumberTextsFollowTheirRule, ScaledCoordinatesRoundHalfToEven) {
  // The rule in floating point: the exact product, its floor, and a rest of
  // one half going to the even neighbour.
  auto reference = [](float v, float f) {
    const double product = static_cast<double>(v) * static_cast<double>(f);
    const double below = std::floor(product);
    const double rest = product - below;
    return static_cast<int64_t>(rest > 0.5 || (rest == 0.5 && std::fmod(below, 2.0) != 0) ? below + 1
                                                                                          : below);
  };
  std::mt19937 gen(11);
  std::uniform_real_distribution<float> coord(-70000.0f, 70000.0f);
  std::uniform_int_distribution<int> halves(-400000, 400000);
  const float factors[] = {1000.0f, -1000.0f, 1.0f, 0.001f, 16.0f, 1000000.0f, -3.5f};
  int mismatches = 0;
  for (int i = 0; i < 100000; ++i) {
    const float f = factors[static_cast<size_t>(i) % std::size(factors)];
    // Random values, and halves that land on ties.
    for (float v :
         {coord(gen), static_cast<float>(halves(gen)) / 2.0f, static_cast<float>(halves(gen)) / 2048.0f})
      if (ScaledCoord(v, f) != reference(v, f) && ++mismatches <= 10)
        ADD_FAILURE() << v << " x " << f << ": " << ScaledCoord(v, f) << ", the rule gives "
                      << reference(v, f);
  }
  // The largest ties a product of singles can make (near 2^47), and products
  // from 2^52 on, which take the general path.
  const std::pair<float, float> edges[] = {{8388607.5f, 16777215.0f},
                                           {-8388607.5f, 16777213.0f},
                                           {4503599627370496.0f, 1.0f},
                                           {-67108864.0f, 67108864.0f},
                                           {67108860.0f, 67108868.0f}};
  for (const auto& [v, f] : edges) EXPECT_EQ(ScaledCoord(v, f), reference(v, f)) << v << " x " << f;
  EXPECT_EQ(mismatches, 0);
}

TEST(NumberTextsFollowTheirRule, EveryShortIntegerAndEveryCount) {
  // Every integer whose digits come as one word, from both ends of that
  // path and across each change of length; and a count carried up as text
  // past each new digit.
  int failures = 0;
  auto check = [&](int64_t v, const std::string& got) {
    char want[24];
    const auto res = std::to_chars(want, want + sizeof want, v);
    if (got != std::string(want, res.ptr) && ++failures <= 10) ADD_FAILURE() << v << " written as " << got;
  };
  std::vector<int64_t> values;
  for (int64_t v = -1100000; v <= 1100000; ++v) values.push_back(v);
  for (int64_t power = 10; power <= 1000000000; power *= 10)
    for (int64_t d = -1000; d <= 1000; ++d) values.push_back(power + d);
  for (int64_t v : values) {
    char buf[32];
    check(v, std::string(buf, IntChars(v, buf)));
    check(-v, std::string(buf, PutInt(buf, -v)));
  }
  TCountText count;
  for (int64_t v = 0; v <= 1100000; ++v, count.Next()) {
    char buf[32];
    check(v, std::string(buf, count.Put(buf)));
  }
  EXPECT_EQ(failures, 0);
}
