#pragma once

#include <cstdint>
#include <string>

namespace bw {

struct TRun;

// Index of the last node named "Cmpnd" (any case), or -1.
int32_t FindCmpnd(TRun& run);
// Rebuilds MeshGroups with one record per part whose part reference carries
// NameHash(lodName). Returns the Cmpnd node's index, or -1.
int32_t ReadCompoundParts(TRun& run, const std::string& lodName);

}  // namespace bw
