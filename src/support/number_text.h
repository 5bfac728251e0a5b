#pragma once
// Number forms of the program's text files. All are locale-free and built
// from std::to_chars digits with the program's own rounding.

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace bw {

// Fixed-point text with at most `sigDigits` significant digits and exactly
// three decimals, rounded half up on the decimal digits ("12.350" for
// FixedText(12.34567, 4)). When the rounded integer part has more than
// `sigDigits` digits the scientific form is used instead ("1.2346E005").
// A value that rounds to zero is written without a sign.
std::string FixedText(double value, int sigDigits);
// The same text written into `out` (at least kFixedTextMax bytes); returns
// the length.
inline constexpr size_t kFixedTextMax = 64;
size_t FixedChars(double value, int sigDigits, char* out);
inline std::string F4(double v) {
  return FixedText(v, 4);
}
inline std::string F5(double v) {
  return FixedText(v, 5);
}
// The float form of the mesh data listings: eight significant digits.
inline std::string FloatText(double v) {
  return FixedText(v, 8);
}

// A texture coordinate: at most 8 significant digits and 6 decimals, rounded
// half up, exactly six decimals, never an exponent and never "-0.000000";
// values that are not finite are written "0.000000". Writes into `out`
// (at least kTexTextMax bytes) and returns the length.
inline constexpr size_t kTexTextMax = 64;
size_t TexCoordText(float value, char* out);
std::string TexCoordText(float value);

// A coordinate scaled by its axis factor: the product in double, rounded to
// the nearest integer with ties to even. Raises EInvalidOp when the product
// is not finite or does not fit a signed 64-bit integer.
int64_t ScaledCoordGeneral(float value, float factor);
inline int64_t ScaledCoord(float value, float factor) {
  // The product of two singles is exact in double. Below 2^51 in magnitude,
  // adding 1.5 x 2^52 leaves no bits below the units: the addition itself
  // rounds to the nearest integer, ties to even (the constant is even), and
  // taking the constant away again is exact. A product that is not finite
  // fails the comparison and goes the general way, which raises.
  const double product = static_cast<double>(value) * static_cast<double>(factor);
  if (std::fabs(product) < 2251799813685248.0) {
    constexpr double kRounder = 6755399441055744.0;
    return static_cast<int64_t>((product + kRounder) - kRounder);
  }
  return ScaledCoordGeneral(value, factor);
}

// The text of a count that is written at every step (the numbers of the
// lines of a list): kept as text and carried up digit by digit.
class TCountText {
 public:
  // The text at `out` (at least 24 bytes); returns its end.
  char* Put(char* out) const {
    std::memcpy(out, FDigits, sizeof FDigits);
    return out + FLen;
  }
  void Next() {
    size_t i = FLen;
    while (i > 0 && FDigits[i - 1] == '9') FDigits[--i] = '0';
    if (i > 0) {
      ++FDigits[i - 1];
      return;
    }
    // All nines: one digit more, a 1 and zeros.
    FDigits[FLen++] = '0';
    FDigits[0] = '1';
  }

 private:
  char FDigits[20] = {'0'};
  size_t FLen = 1;
};

// Decimal integer into `out` (at least 24 bytes); returns the length.
size_t IntChars(int64_t v, char* out);
// Appends the decimal integer to `s`, right-aligned in `width` characters
// (blanks before it): for lines built in one reused string.
void AppendInt(std::string& s, int64_t v, size_t width = 0);

// ---- Inline forms for the loops that write the BOD files -----------------
//
// The texts of TexCoordText and IntChars written at `out`, the usual values
// (texture coordinates below 100, integers below 10^8 in magnitude) without
// a call; both return the end of the text and may store up to 8 bytes past
// it, within the room their out-of-line forms ask for.

// The eight decimal digits of v < 10^8, leading zeros included, as the bytes
// of a word in text order (the first digit in the lowest byte), without the
// '0' added: each step splits every lane of the word at once, the divisions
// done as multiplications that are exact for the lane's range.
inline uint64_t EightDigits(uint32_t v) {
  const uint32_t high = v / 10000;
  uint64_t x = high | (uint64_t{v - high * 10000} << 32);                 // two lanes below 10^4
  const uint64_t hundreds = ((x * 10486) >> 20) & 0x0000007F0000007Full;  // x / 100 per lane
  x = hundreds | ((x - hundreds * 100) << 16);                            // four lanes below 100
  const uint64_t tens = ((x * 103) >> 10) & 0x000F000F000F000Full;        // x / 10 per lane
  return tens | ((x - tens * 10) << 8);
}

// v < 10^8 at p, stored as one word less its leading zeros (zero keeps its
// last digit); p has 8 bytes of room.
inline char* PutDigits(char* p, uint32_t v) {
  const uint64_t digits = EightDigits(v);
  const int zeros = std::countr_zero(digits | (uint64_t{1} << 56)) >> 3;
  const uint64_t text = (digits | 0x3030303030303030ull) >> (8 * zeros);
  std::memcpy(p, &text, sizeof text);
  return p + 8 - zeros;
}

char* TexCoordTextGeneral(float value, char* out);
char* IntCharsGeneral(int64_t v, char* out);

inline char* PutTexCoord(char* out, float value) {
  // Below 100, |value| x 10^6 is exact in double (24 bits times 20), and so
  // is adding one half (or the sum stays below 1): the integer part is the
  // six-decimal cut rounded half up.
  const float magnitude = std::fabs(value);
  if (std::endian::native == std::endian::little && magnitude < 100.0f) {
    const auto scaled = static_cast<uint64_t>(static_cast<double>(magnitude) * 1e6 + 0.5);
    if (scaled < 100000000) {
      // The integer part's one or two digits, the point, the six decimals,
      // each placed by a store of the whole word.
      *out = '-';
      char* p = out + (std::signbit(value) && scaled != 0 ? 1 : 0);
      const uint64_t text = EightDigits(static_cast<uint32_t>(scaled)) | 0x3030303030303030ull;
      const int lead = scaled < 10000000 ? 1 : 0;  // a one-digit integer part
      const uint64_t head = text >> (8 * lead);
      const uint64_t decimals = text >> 16;
      std::memcpy(p, &head, sizeof head);
      p[2 - lead] = '.';
      std::memcpy(p + 3 - lead, &decimals, sizeof decimals);
      return p + 9 - lead;
    }
  }
  return TexCoordTextGeneral(value, out);
}

inline char* PutInt(char* out, int64_t v) {
  if (std::endian::native == std::endian::little && v > -100000000 && v < 100000000) {
    *out = '-';
    return PutDigits(out + (v < 0 ? 1 : 0), static_cast<uint32_t>(v < 0 ? -v : v));
  }
  return IntCharsGeneral(v, out);
}

// Reads a field of text as a single-precision number: blanks around it,
// [sign] digits [. digits] or [sign] . digits, then an optional exponent
// [eE] [sign] digits. NOTE: a field that is a number but rounds beyond the
// single range (above FLT_MAX) counts as no number: a scale factor of
// infinity would make every coordinate unwritable. One too small to be told
// from zero is zero. False, with `value` untouched, for no number.
bool ReadFloat(std::string_view field, float& value);

}  // namespace bw
