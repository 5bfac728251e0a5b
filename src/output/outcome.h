#pragma once

#include <cstddef>

namespace bw {

// What became of one model of a run.
enum class EOutcome {
  NotConverted,  // the run stopped before it started
  Converted,
  NoMeshData,
  Failed,
  Stopped,  // the run stopped while it was converted
  Skipped,  // the folder walk could not take it
};
inline constexpr size_t kOutcomeKinds = static_cast<size_t>(EOutcome::Skipped) + 1;

}  // namespace bw
