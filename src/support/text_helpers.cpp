#include "support/text_helpers.h"

#include <array>
#include <charconv>

namespace bw {
namespace {

// The name hash's table: the reflected CRC-32 table of $EDB88320 built with
// an arithmetic right shift (bit 31 kept), so most entries differ from the
// common CRC-32 table in their top byte.
constexpr std::array<uint32_t, 256> MakeHashTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t x = i;
    for (int step = 0; step < 8; ++step) {
      const uint32_t shifted = (x >> 1) | (x & 0x80000000u);
      x = (x & 1u) ? (shifted ^ 0xEDB88320u) : shifted;
    }
    table[i] = x;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kHashTable = MakeHashTable();
static_assert(kHashTable[1] == 0x09073096u && kHashTable[2] == 0x120E612Cu && kHashTable[3] == 0x1B0951BAu);
static_assert(kHashTable[64] == 0xF6DC4190u && kHashTable[128] == 0xEDB88320u &&
              kHashTable[255] == 0x0702EF8Du);

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

std::string PadLeft(std::string_view s, int32_t width, char fill) {
  std::string out;
  if (width > 0 && s.size() < static_cast<size_t>(width))
    out.assign(static_cast<size_t>(width) - s.size(), fill);
  out.append(s);
  return out;
}

std::string ByteToHex(uint8_t b) {
  return {kHexDigits[b >> 4], kHexDigits[b & 15]};
}

std::string DWordToHex(uint32_t v) {
  std::string out(8, '0');
  for (int i = 7; i >= 0; --i, v >>= 4) out[static_cast<size_t>(i)] = kHexDigits[v & 15];
  return out;
}

uint32_t NameHash(std::string_view name) {
  uint32_t h = 0xFFFFFFFFu;
  for (char ch : name) {
    const auto k = static_cast<uint8_t>(LowerAscii(ch));
    h = kHashTable[(k ^ h) & 0xFFu] ^ (h >> 8);
  }
  return h ^ 0xFFFFFFFFu;
}

std::string LowerCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

std::string UpperCase(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

std::string_view TrimControl(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

std::string DateTimeText(int year, int month, int day, int hour, int minute, int second) {
  if (year < 0 || year > 9999) return {};
  const auto two = [](int v) { return PadLeft(IntText(v), 2, '0'); };
  std::string out = two(year / 100) + two(year % 100) + "-" + two(month) + "-" + two(day);
  if (hour == 0 && minute == 0 && second == 0) return out;
  return out + " " + two(hour) + ":" + two(minute) + ":" + two(second);
}

std::string IntText(int64_t v) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

std::string UIntText(uint64_t v) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

bool IsValidUtf8(std::string_view s) {
  char32_t code = 0;
  for (size_t i = 0; i < s.size();) {
    const size_t len = Utf8CharAt(s, i, code);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

size_t Utf8CharAt(std::string_view s, size_t i, char32_t& code) {
  const auto lead = static_cast<unsigned char>(s[i]);
  size_t len = 0;
  char32_t least = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    len = 2, least = 0x80, code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    len = 3, least = 0x800, code = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    len = 4, least = 0x10000, code = lead & 0x07u;
  } else {
    return 0;
  }
  if (s.size() - i < len) return 0;
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    code = (code << 6) | (b & 0x3Fu);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return len;
}

void AppendUtf8(std::string& out, char32_t c) {
  auto put = [&out](uint32_t v) { out += static_cast<char>(v); };
  if (c < 0x80) {
    put(c);
  } else if (c < 0x800) {
    put(0xC0 | (c >> 6)), put(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    put(0xE0 | (c >> 12)), put(0x80 | ((c >> 6) & 0x3F)), put(0x80 | (c & 0x3F));
  } else {
    put(0xF0 | (c >> 18)), put(0x80 | ((c >> 12) & 0x3F)), put(0x80 | ((c >> 6) & 0x3F)),
        put(0x80 | (c & 0x3F));
  }
}

char32_t Cp1252Char(unsigned char b) {
  // Elsewhere the code page is Latin-1.
  static constexpr std::array<char16_t, 32> kHigh = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  return b >= 0x80 && b < 0xA0 ? char32_t{kHigh[b - 0x80]} : char32_t{b};
}

}  // namespace bw
