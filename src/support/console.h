#pragma once

#include <string>
#include <string_view>

namespace bw {

// Standard output, line by line. A test or an in-process run sets Capture to
// collect the lines (each ended by "\n") instead of printing them.
struct TConsole {
  std::string* Capture = nullptr;
  void Line(std::string_view text) const;
};

}  // namespace bw
