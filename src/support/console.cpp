#include "support/console.h"

#include <cstdio>

#include "support/platform.h"

namespace bw {

void TConsole::Line(std::string_view text) const {
  if (Capture) {
    Capture->append(text);
    Capture->push_back('\n');
    return;
  }
  // A reader that went away (a pipe into `head`) takes nothing more.
  if (std::ferror(stdout)) return;
  if (plat::WriteConsoleLine(text)) return;
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputs(plat::LineBreak(), stdout);
}

}  // namespace bw
