#pragma once

#include <array>
#include <cstdint>

#include "mesh/mesh_lists.h"

namespace bw {

struct TRun;

// Places one vertex: (X, Y, Z, 1) x m, then the offset added to X, Y, Z.
std::array<float, 4> TransformVertex(const TVertRec& p, const std::array<float, 4>& offset, const TMatrix& m);
// Fills the model and part working lists of block n and writes each part's
// group mesh file when GenMesh is on.
void GenerateBodies(TRun& run, int32_t n);

}  // namespace bw
