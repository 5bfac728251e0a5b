#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace bw {

std::string PadLeft(std::string_view s, int32_t width, char fill);
std::string ByteToHex(uint8_t b);
std::string DWordToHex(uint32_t v);

// The 32-bit name hash that ties names to the IDs stored in CMP data.
uint32_t NameHash(std::string_view name);

// ASCII-only case folding: A-Z to a-z, every other byte unchanged.
inline char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
std::string LowerCase(std::string_view s);
std::string UpperCase(std::string_view s);
bool SameName(std::string_view a, std::string_view b);
// True for well-formed UTF-8: no overlong forms, surrogates or code points
// beyond U+10FFFF.
bool IsValidUtf8(std::string_view s);
// The length of the well-formed UTF-8 sequence at s[i], as IsValidUtf8
// judges it, with its code point; 0 when there is none.
size_t Utf8CharAt(std::string_view s, size_t i, char32_t& code);
void AppendUtf8(std::string& out, char32_t code);

// The character of a byte of Windows-1252 text (the code page of the game's
// tools); 0 for the five bytes it leaves unassigned (0x81, 0x8D, 0x8F, 0x90,
// 0x9D), which each output shows its own way.
char32_t Cp1252Char(unsigned char b);

// Removes the characters of codes 0 to 32 at both ends.
std::string_view TrimControl(std::string_view s);

// "YYYY-MM-DD HH:MM:SS"; the time part is left out at exactly midnight, and
// a year outside 0..9999 gives the empty text.
std::string DateTimeText(int year, int month, int day, int hour, int minute, int second);

// Decimal text of an integer, locale-free.
std::string IntText(int64_t v);
std::string UIntText(uint64_t v);

}  // namespace bw
