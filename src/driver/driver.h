#pragma once
// The program: its command line, the one start-up of every run, and the
// run of its models. A single model is a run of one.

#include <string>
#include <vector>

namespace bw {

struct TContext;
struct TRunInputs;
struct TRunPlan;

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// A whole run. `ctx` gives the console, the work bound of each model and the
// run's control (the request to stop, which the caller sets: this installs
// no handler). Returns the exit status.
int RunProgram(const TContext& ctx, const std::string& ownPath, const std::vector<std::string>& args);

// Everything before the first model: the settings, the models and material
// files found, the material files read, the date. Returns -1 to go on, or
// the exit status when the run ends here (usage, help, version, a file not
// found, an unguarded failure).
int StartUp(const TContext& ctx, const std::string& ownPath, const std::vector<std::string>& args, TRunInputs& run,
            TRunPlan& plan);

}  // namespace bw
