#pragma once

#include <string>

namespace bw {

struct TRun;

// Decodes the mesh data block whose parent node is named `lodName` into
// MeshList, VertList and TriList; adds the default part "Root" when the
// model has no part table.
void DecodeMeshData(TRun& run, const std::string& lodName);

}  // namespace bw
