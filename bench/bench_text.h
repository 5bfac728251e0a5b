#pragma once
// Text of the benchmark reports: written straight through, numbers with a
// fixed number of decimals, columns padded to a width.

#include <charconv>
#include <cstdio>
#include <exception>
#include <stdexcept>
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

// The value that follows option argv[i]; i moves on to it.
inline std::string OptionValue(int argc, char** argv, int& i) {
  if (i + 1 >= argc) throw std::runtime_error(std::string(argv[i]) + " needs a value");
  return argv[++i];
}

// A runner's main: what `run` returns, or its failure as one line on
// standard error and status 1.
template <class TRun>
int RunMain(TRun&& run) {
  try {
    return run();
  } catch (const std::exception& e) {
    std::fputs(e.what(), stderr);
    std::fputs("\n", stderr);
    return 1;
  }
}

}  // namespace bwbench
