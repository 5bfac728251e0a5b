#pragma once

#include <cstdint>
#include <string>

#include "mesh/mesh_lists.h"

namespace bw {

struct TRun;

enum class TConsKind { Fixed, Revolute, Sphere };

// One constraint record as read from a table.
struct TConsRecord {
  std::string RootName;
  std::string PartName;
  std::array<float, 3> Origin{};
  std::array<float, 3> Unk1{};
  std::array<float, 9> Mtx{};
  std::array<float, 6> Unk2{};
};

// Builds the part table of the block, applies the constraint tables and
// composes the placements. Always true; raises EIdxError for a table of an
// unknown size.
bool ReadPartPlacement(TRun& run, const std::string& lodName);
void ApplyConsTable(TRun& run, int32_t node, TConsKind kind);
void PrintConstraint(TRun& run, TConsKind kind, const TConsRecord& rec);
void ComposePlacements(TRun& run);

}  // namespace bw
