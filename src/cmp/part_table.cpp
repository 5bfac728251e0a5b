#include "cmp/part_table.h"

#include <utility>

#include "support/text_helpers.h"

namespace bw {

void TMeshGroups::CatchUp() const {
  if (FIndexed > Count()) {
    FIndex.clear();
    FIndexed = 0;
  }
  for (; FIndexed < Count(); ++FIndexed)
    FIndex.emplace(LowerCase(FItems[static_cast<size_t>(FIndexed)].PartName), FIndexed);
}

int32_t TMeshGroups::IndexOfPart(std::string_view name) const {
  CatchUp();
  const auto it = FIndex.find(LowerCase(name));
  return it == FIndex.end() ? -1 : it->second;
}

TMeshGroup* TMeshGroups::FindPart(std::string_view name) {
  const int32_t idx = IndexOfPart(name);
  return idx < 0 ? nullptr : &FItems[static_cast<size_t>(idx)];
}

const TMeshGroup* TMeshGroups::FindPart(std::string_view name) const {
  const int32_t idx = IndexOfPart(name);
  return idx < 0 ? nullptr : &FItems[static_cast<size_t>(idx)];
}

TMeshGroup& TMeshGroups::AddGroup(TMeshGroup group) {
  return Add(std::move(group));
}

void TMeshGroups::FreeAll() {
  TRecList::FreeAll();
  FIndex.clear();
  FIndexed = 0;
}

TMeshGroup& AddMeshGroup(TMeshGroups& groups, std::string rootName, std::string partName, int32_t begMesh,
                         int32_t meshCnt, int32_t startVertex, int32_t endVertex, int32_t startIndex,
                         int32_t endIndex, float x, float y, float z, const std::array<float, 6>& bounds,
                         const std::array<float, 3>& u, float radius) {
  TMeshGroup g;
  g.RootName = std::move(rootName);
  g.PartName = std::move(partName);
  g.BegMesh = begMesh;
  g.MeshCnt = meshCnt;
  g.StartVertex = startVertex;
  g.EndVertex = endVertex;
  g.StartIndex = startIndex;
  g.EndIndex = endIndex;
  g.X = x;
  g.Y = y;
  g.Z = z;
  g.W = 1.0f;
  g.Bounds = bounds;
  g.U = u;
  g.Radius = radius;
  g.Mtx = kIdentity;
  return groups.AddGroup(std::move(g));
}

}  // namespace bw
