#pragma once
// What every stage of a conversion shares, and nothing else: where its
// messages go (the console, the diagnostics file, the log), the bound on
// repeated work, and the run's control (the request to stop). The driver owns the streams; a stage learns whether an
// output is on from its pointer, so that it builds dump text only then.

#include "support/console.h"
#include "support/run_control.h"
#include "support/work_budget.h"

namespace bw {

class TBufStream;

struct TContext {
  TConsole Console;
  TBufStream* DbgStream = nullptr;  // the diagnostics file; null while off
  TBufStream* LogStream = nullptr;  // the log file; null while off
  TWorkBudget Work;
  // Given by the caller of the run (main() or a test); none when null.
  TRunControl* Control = nullptr;

  bool StopRequested() const { return Control && Control->StopRequested(); }

  bool DebugOn() const { return DbgStream != nullptr; }
};

}  // namespace bw
