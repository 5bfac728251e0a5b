#pragma once

#include <string>

#include "cmp/part_table.h"
#include "cmp/utf_tree.h"
#include "mesh/mesh_lists.h"

namespace bw {

struct TContext;

// Decodes the mesh data block whose parent node is named `lodName` into
// `block` (emptied first). Adds the default part "Root" to `groups` when
// the model has no part table.
void DecodeMeshData(const TNodesList& nodes, const std::string& lodName, TMeshGroups& groups,
                    TMeshData& block, TContext& ctx);

}  // namespace bw
