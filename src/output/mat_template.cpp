#include "output/mat_template.h"

#include <charconv>

namespace bw {
namespace {

// A template comes from the user's settings file: widths and precisions
// beyond this are refused rather than honoured with a huge allocation.
constexpr int32_t kMaxField = 4096;

struct TConversion {
  int32_t ArgNo = -1;  // -1: the next argument in order
  bool LeftAlign = false;
  int32_t Width = 0;
  int32_t Prec = -1;  // -1: none given
  char Type = 0;      // lower case
};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads a run of digits at `pos`; false when the number exceeds kMaxField.
// No digits give 0.
bool ReadNumber(std::string_view s, size_t& pos, int32_t& value) {
  value = 0;
  while (pos < s.size() && IsDigit(s[pos])) {
    value = value * 10 + (s[pos] - '0');
    if (value > kMaxField) return false;
    ++pos;
  }
  return true;
}

// Parses the conversion that follows a "%" (pos is just after it):
// [argument ":"] ["-"] [width] ["." precision] type.
bool ParseConversion(std::string_view s, size_t& pos, TConversion& conv) {
  const size_t digitsStart = pos;
  int32_t number = 0;
  if (!ReadNumber(s, pos, number)) return false;
  const bool hasDigits = pos > digitsStart;
  const bool hasColon = pos < s.size() && s[pos] == ':';
  if (hasColon && !hasDigits) return false;
  if (hasDigits && !hasColon) {
    // Digits without ":" are already the width.
    conv.Width = number;
  } else {
    if (hasColon) {
      conv.ArgNo = number;
      ++pos;
    }
    if (pos < s.size() && s[pos] == '-') {
      conv.LeftAlign = true;
      ++pos;
    }
    if (!ReadNumber(s, pos, conv.Width)) return false;
  }
  if (pos < s.size() && s[pos] == '.') {
    ++pos;
    if (!ReadNumber(s, pos, conv.Prec)) return false;
  }
  if (pos >= s.size()) return false;
  const char t = s[pos] >= 'A' && s[pos] <= 'Z' ? static_cast<char>(s[pos] + 32) : s[pos];
  if (t != 'd' && t != 'i' && t != 'u' && t != 'x' && t != 's') return false;
  conv.Type = t;
  ++pos;
  return true;
}

void AppendPadded(std::string& out, std::string_view body, const TConversion& conv) {
  const size_t width = static_cast<size_t>(conv.Width);
  const size_t pad = body.size() < width ? width - body.size() : 0;
  if (!conv.LeftAlign) out.append(pad, ' ');
  out.append(body);
  if (conv.LeftAlign) out.append(pad, ' ');
}

void AppendInteger(std::string& out, int32_t value, const TConversion& conv) {
  char digits[16];
  bool negative = false;
  std::to_chars_result res{};
  if (conv.Type == 'x') {
    res = std::to_chars(digits, digits + sizeof digits, static_cast<uint32_t>(value), 16);
    for (char* p = digits; p != res.ptr; ++p)
      if (*p >= 'a' && *p <= 'f') *p = static_cast<char>(*p - 32);
  } else if (conv.Type == 'u') {
    res = std::to_chars(digits, digits + sizeof digits, static_cast<uint32_t>(value));
  } else {
    negative = value < 0;
    const uint32_t magnitude = negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    res = std::to_chars(digits, digits + sizeof digits, magnitude);
  }
  const size_t count = static_cast<size_t>(res.ptr - digits);
  const size_t prec = conv.Prec > 0 ? static_cast<size_t>(conv.Prec) : 0;
  std::string body;
  body.reserve((negative ? 1 : 0) + (prec > count ? prec : count));
  if (negative) body.push_back('-');
  if (prec > count) body.append(prec - count, '0');
  body.append(digits, count);
  AppendPadded(out, body, conv);
}

}  // namespace

bool FormatTemplate(std::string_view tmpl, int32_t index, const std::string* name, std::string& out) {
  out.clear();
  const int32_t argCount = name ? 2 : 1;
  int32_t nextArg = 0;
  size_t pos = 0;
  while (pos < tmpl.size()) {
    const char c = tmpl[pos++];
    if (c != '%') {
      out.push_back(c);
      continue;
    }
    if (pos < tmpl.size() && tmpl[pos] == '%') {
      out.push_back('%');
      ++pos;
      continue;
    }
    TConversion conv;
    if (!ParseConversion(tmpl, pos, conv)) return false;
    const int32_t arg = conv.ArgNo >= 0 ? conv.ArgNo : nextArg;
    if (arg >= argCount) return false;
    nextArg = arg + 1;
    if (arg == 0) {
      if (conv.Type == 's') return false;
      AppendInteger(out, index, conv);
    } else {
      if (conv.Type != 's') return false;
      std::string_view text = *name;
      if (conv.Prec >= 0 && text.size() > static_cast<size_t>(conv.Prec))
        text = text.substr(0, static_cast<size_t>(conv.Prec));
      AppendPadded(out, text, conv);
    }
  }
  return true;
}

}  // namespace bw
