#include "support/progress_line.h"

#include <algorithm>

#include "support/platform.h"
#include "support/text_helpers.h"

namespace bw {

TProgressLine::TProgressLine(bool on, size_t total)
    : FOn(on && plat::ErrorIsTerminal()), FTotal(total), FStart(Clock::now()) {}

void TProgressLine::Show(size_t done, int32_t failed, const std::string& last) {
  if (!FOn) return;
  const double seconds = std::chrono::duration<double>(Clock::now() - FStart).count();
  std::string text = UIntText(static_cast<uint32_t>(done)) + " / " + UIntText(static_cast<uint32_t>(FTotal));
  if (failed > 0) text += ", " + IntText(failed) + " failed";
  const auto tenths = static_cast<int64_t>(seconds * 10);
  std::string tail = "  " + IntText(tenths / 10) + "." + IntText(tenths % 10) + " s";
  std::string name = "  " + last;
  // Never wider than a narrow terminal, so that it never wraps: a long
  // path loses its middle.
  const size_t room = kWidth > text.size() + tail.size() ? kWidth - text.size() - tail.size() : 0;
  if (name.size() > room)
    name = room > 5 ? name.substr(0, room / 2 - 1) + "..." + name.substr(name.size() - (room - room / 2 - 2)) : "";
  text += name + tail;
  text.resize(std::max(text.size(), FShown), ' ');
  FShown = std::min(text.size(), kWidth);
  plat::WriteError("\r" + text);
}

void TProgressLine::Clear() {
  if (!FOn || FShown == 0) return;
  std::string blank(FShown + 2, ' ');
  blank.front() = '\r';
  blank.back() = '\r';
  plat::WriteError(blank);
  FShown = 0;
}

}  // namespace bw
