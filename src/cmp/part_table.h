#pragma once
// The part table of one mesh data block: one record per model part that
// draws meshes of the block, with the part's mesh range, its reference's
// values and its placement.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "support/matrix.h"
#include "support/rec_list.h"

namespace bw {

struct TMeshGroup {
  std::string RootName;
  std::string PartName;
  int32_t BegMesh = 0;
  int32_t MeshCnt = 0;
  int32_t StartVertex = 0, EndVertex = 0, StartIndex = 0, EndIndex = 0;
  float X = 0, Y = 0, Z = 0, W = 1;
  std::array<float, 6> Bounds{};
  std::array<float, 3> U{};
  float Radius = 0;
  TMatrix Mtx = kIdentity;
  // The part the decoder adds when the model has no part table; its meshes
  // find their vertices through RootFirstVertex, not through StartVertex.
  bool DefaultPart = false;
};

class TMeshGroups : public TRecList<TMeshGroup> {
 public:
  // The first group whose PartName equals `name` without regard to ASCII case.
  TMeshGroup* FindPart(std::string_view name);
  const TMeshGroup* FindPart(std::string_view name) const;
  int32_t IndexOfPart(std::string_view name) const;
  TMeshGroup& AddGroup(TMeshGroup group);
  void FreeAll();

 private:
  void CatchUp() const;
  mutable std::unordered_map<std::string, int32_t> FIndex;  // lower-cased name -> first group
  mutable int32_t FIndexed = 0;
};

TMeshGroup& AddMeshGroup(TMeshGroups& groups, std::string rootName, std::string partName, int32_t begMesh,
                         int32_t meshCnt, int32_t startVertex, int32_t endVertex, int32_t startIndex,
                         int32_t endIndex, float x, float y, float z, const std::array<float, 6>& bounds,
                         const std::array<float, 3>& u, float radius);

}  // namespace bw
