#pragma once
// Text of the benchmark reports: written straight through, numbers with a
// fixed number of decimals, columns padded to a width.

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

namespace bwbench {

inline void Out(std::string_view s) {
  std::fwrite(s.data(), 1, s.size(), stdout);
  std::fflush(stdout);
}

inline std::string Fixed(double v, int decimals) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  return std::string(buf, res.ptr);
}

inline std::string Cell(std::string s, size_t width, bool left = false) {
  if (s.size() < width) s.insert(left ? s.end() : s.begin(), width - s.size(), ' ');
  return s;
}

}  // namespace bwbench
