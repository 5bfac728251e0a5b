#pragma once

#include <string>

namespace bw {

struct TConsole;

// What `--help` prints after the banner: every form of the command line,
// where the settings file is looked for (beside `ownPath`) and where the
// manual is.
void WriteHelp(const TConsole& console, const std::string& ownPath);

}  // namespace bw
