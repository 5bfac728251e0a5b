#pragma once

#include <cstdint>
#include <string>

#include "cmp/part_table.h"
#include "cmp/utf_tree.h"

namespace bw {

struct TContext;

// Index of the last node named "Cmpnd" (any case), or -1.
int32_t FindCmpnd(const TNodesList& nodes, TContext& ctx);
// Rebuilds `groups` with one record per part whose part reference carries
// NameHash(lodName). Returns the Cmpnd node's index, or -1.
int32_t ReadCompoundParts(const TNodesList& nodes, const std::string& lodName, TMeshGroups& groups,
                          TContext& ctx);

}  // namespace bw
