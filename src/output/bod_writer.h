#pragma once

#include <cstdint>
#include <string>

#include "mesh/mesh_lists.h"

namespace bw {

struct TRun;

// The model BOD file of block n (when GenBod is on).
void WriteBodFile(TRun& run, int32_t n, const std::string& lodName);
// The group mesh file of group g of block n, from the part working lists.
void WriteGroupFile(TRun& run, int32_t n, int32_t g, const TMeshGroup& group);

}  // namespace bw
