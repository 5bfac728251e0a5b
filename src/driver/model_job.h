#pragma once
// One model of a run, start to end: its files opened, its blocks converted
// under the single handler, its files closed. Single-model runs and folder
// runs convert every model this one way.

#include <string>

#include "driver/run_state.h"

namespace bw {

class TImageCache;
struct TContext;

// The line that says a model's conversion failed.
inline constexpr const char* kDamageMessage = "  Error! Unknown structure/format tables or file damage!";
// The line that says a model was stopped part way.
inline constexpr const char* kStoppedMessage = "  Stopped: the run was interrupted.";

// The names of a model's files, its outputs named after `baseName` (a path
// without extension).
TModelNames ModelNamesOf(const std::string& input, const std::string& baseName, const TSettings& settings);

// Converts the job's model. Its lines go to ctx.Console as they come; ctx
// also gives the work bound and the run's control. `outputs` holds what the
// models before it wrote into its folder, `images` what the pictures draw
// of the material files' images, which every model shares.
TJobResult ConvertJob(const TRunInputs& run, const TModelJob& job, TFolderOutputs& outputs, TImageCache& images,
                      const TContext& ctx);

// The line that tells that a material file names nothing.
std::string NotUtfWarning(const std::string& matFileName);

}  // namespace bw
