#pragma once

#include <cstdint>
#include <string>

#include "cmp/part_table.h"
#include "cmp/utf_tree.h"

namespace bw {

struct TContext;

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

// The part table of the block whose parent node is named `lodName`, with
// every part placed: the constraint tables applied and the placements
// composed along the parent chains. Raises EIdxError for a table of an
// unknown size.
TMeshGroups ReadPartPlacement(const TNodesList& nodes, const std::string& lodName, TContext& ctx);
void ApplyConsTable(const TUtfNode& table, TConsKind kind, TMeshGroups& groups, TContext& ctx);
void PrintConstraint(TContext& ctx, TConsKind kind, const TConsRecord& rec);
void ComposePlacements(TMeshGroups& groups, TContext& ctx);

}  // namespace bw
