#pragma once
// Number forms of the program's text files. All are locale-free and built
// from std::to_chars digits with the program's own rounding.

#include <cstddef>
#include <cstdint>
#include <string>

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
int64_t ScaledCoord(float value, float factor);

// Decimal integer into `out` (at least 24 bytes); returns the length.
size_t IntChars(int64_t v, char* out);
// Appends the decimal integer to `s`, right-aligned in `width` characters
// (blanks before it): for lines built in one reused string.
void AppendInt(std::string& s, int64_t v, size_t width = 0);

}  // namespace bw
