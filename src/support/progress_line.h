#pragma once
// The line that shows a run of many models under way on standard error,
// rewritten in place, and only on a terminal that can (a script, a pipe or
// a file sees none of it): models done out of all, the failures so far, the
// model last started and the time.

#include <chrono>
#include <cstdint>
#include <string>

namespace bw {

class TProgressLine {
 public:
  TProgressLine(bool on, size_t total);
  void Show(size_t done, int32_t failed, const std::string& last);
  // Takes the line away, before other text is printed and at the end.
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;
  // Never wider than a narrow terminal, so that it never wraps.
  static constexpr size_t kWidth = 79;
  bool FOn;
  size_t FTotal;
  Clock::time_point FStart;
  size_t FShown = 0;
};

}  // namespace bw
