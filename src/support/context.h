#pragma once
// What every stage of a conversion shares, and nothing else: where its
// messages go (the console, the diagnostics file, the log) and the bound on
// repeated work. The driver owns the streams; a stage learns whether an
// output is on from its pointer, so that it builds dump text only then.

#include "support/console.h"
#include "support/work_budget.h"

namespace bw {

class TBufStream;

struct TContext {
  TConsole Console;
  TBufStream* DbgStream = nullptr;  // the diagnostics file; null while off
  TBufStream* LogStream = nullptr;  // the log file; null while off
  TWorkBudget Work;

  bool DebugOn() const { return DbgStream != nullptr; }
};

}  // namespace bw
