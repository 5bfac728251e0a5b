#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "cmp/part_table.h"
#include "mesh/mesh_lists.h"
#include "support/matrix.h"

namespace bw {

struct TContext;

// Takes the placed lists of part g as soon as they are complete (to write
// its group mesh file); they are valid only during the call.
using TGroupSink = std::function<void(int32_t g, const TMeshGroup& group, const TBodyLists& part)>;

// Places one vertex: (X, Y, Z, 1) x m, then the offset added to X, Y, Z.
std::array<float, 4> TransformVertex(const TVertRec& p, const std::array<float, 4>& offset, const TMatrix& m);

// Places every triangle of every part's meshes: into `model` (emptied first)
// in model space, and into each part's own lists, which go to `writeGroup`
// when it is set. With `originOn` a part's lists include its position.
void GenerateBodies(const TMeshData& block, const TMeshGroups& groups, bool originOn, TBodyLists& model,
                    TContext& ctx, const TGroupSink& writeGroup);

}  // namespace bw
