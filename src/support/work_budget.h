#pragma once
// A bound on the work of one run. A file can make the program repeat work
// that it describes once: many parts all using every mesh of a block, many
// mesh data nodes sharing one block's bytes, parent chains that loop. Each
// repetition costs time, memory and output out of proportion to the file, so
// every unit of such work is charged here, and a run that goes past the
// limit fails as a damaged file does, before it has made the output.
//
// What counts as one unit: a part read from the part table, a constraint
// record applied, a step along a part's parent chain, a mesh, triangle or
// vertex record decoded, a mesh number that a part refers to, a triangle
// placed, and a node searched for texture libraries or a step along their
// chains. A real model of several levels of detail, each as large as a block
// can be, needs well under a tenth of the limit.

#include <cstdint>

#include "support/errors.h"

namespace bw {

inline constexpr uint64_t kWorkLimit = uint64_t{1} << 22;

struct TWorkBudget {
  uint64_t Limit = kWorkLimit;
  uint64_t Used = 0;

  void Charge(uint64_t units) {
    if (units > Limit - Used) RaiseRange("more work than any real model needs");
    Used += units;
  }
};

}  // namespace bw
