#include "output/body_generation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "support/context.h"
#include "support/errors.h"
#include "support/writers.h"

namespace bw {
namespace {

// BOD polygons hold 16-bit vertex positions.
constexpr int32_t kMaxVertexPos = 65535;

void CountUp(int32_t& counter) {
  if (counter == INT32_MAX) RaiseRange("mesh ordinal overflows");
  ++counter;
}

uint16_t VertexPos(int32_t pos) {
  if (pos < 0 || pos > kMaxVertexPos) RaiseRange("more than 65536 vertices in one body");
  return static_cast<uint16_t>(pos);
}

// The corners the meshes firstMesh .. endMesh - 1 hand to a vertex list, or
// as many vertices as a body can hold when that is fewer: room enough for
// a part's working list to fill without growing. It visits no more meshes
// than the placing of the part does, which charges each to the work bound.
size_t CornersOf(const TMeshList& meshes, int64_t firstMesh, int64_t endMesh) {
  constexpr size_t kMaxVertices = kMaxVertexPos + 1;
  size_t corners = 0;
  for (int64_t i = std::max<int64_t>(firstMesh, 0); i < endMesh && i < meshes.Count(); ++i) {
    const TMeshRec& mesh = meshes[static_cast<int32_t>(i)];
    if (mesh.EndTriangle >= mesh.StartTriangle)
      corners += 3 * (size_t{mesh.EndTriangle} - mesh.StartTriangle + 1);
    if (corners >= kMaxVertices) return kMaxVertices;
  }
  return corners;
}

int64_t EndMesh(const TMeshGroup& group) {
  return int64_t{group.BegMesh} + (group.MeshCnt > 0 ? group.MeshCnt : 0);
}

bool IsIdentity(const TMatrix& m) {
  return std::memcmp(m.data(), kIdentity.data(), sizeof m) == 0;
}

// TransformVertex, told whether m is the identity (asked once per part).
std::array<float, 4> PlaceVertex(const TVertRec& p, const std::array<float, 4>& offset, const TMatrix& m,
                                 bool identity) {
  // MatVec's arithmetic, written out here because it runs for every corner
  // twice: each product summed in extended precision and rounded once to
  // single; then the offset added the same way.
  std::array<float, 4> out;
  if (identity && std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z)) {
    // The identity (the matrix of most parts) adds only zeros, and the
    // last zero, +0, turns a zero sum into +0.
    auto keep = [](float v) { return v == 0.0f ? 0.0f : v; };
    out = {keep(p.X), keep(p.Y), keep(p.Z), 1.0f};
  } else {
    const long double x = p.X, y = p.Y, z = p.Z;
    for (size_t j = 0; j < 4; ++j) {
      long double sum = x * m[j];
      sum += y * m[4 + j];
      sum += z * m[8 + j];
      sum += 1.0L * m[12 + j];
      out[j] = static_cast<float>(sum);
    }
  }
  for (size_t j = 0; j < 3; ++j)
    out[j] = static_cast<float>(static_cast<long double>(out[j]) + static_cast<long double>(offset[j]));
  return out;
}

bool HasNaN(const std::array<float, 4>& p) {
  return std::isnan(p[0]) || std::isnan(p[1]) || std::isnan(p[2]);
}

void SetCorners(TTriRec& tri, const TVertRec* const corner[3]) {
  tri.UA = corner[0]->U;
  tri.VA = corner[0]->V;
  tri.UB = corner[1]->U;
  tri.VB = corner[1]->V;
  tri.UC = corner[2]->U;
  tri.VC = corner[2]->V;
}

}  // namespace

std::array<float, 4> TransformVertex(const TVertRec& p, const std::array<float, 4>& offset,
                                     const TMatrix& m) {
  return PlaceVertex(p, offset, m, IsIdentity(m));
}

void GenerateBodies(const TMeshData& block, const TMeshGroups& groups, bool originOn, TBodyLists& model,
                    TContext& ctx, const TGroupSink& writeGroup) {
  const TMeshList& meshes = block.MeshList;
  const TVertList& verts = block.VertList;
  const TCornerList& tris = block.TriList;
  model.VertList.FreeAll();
  model.TriList.FreeAll();
  model.MatrList.FreeAll();
  for (const TMeshRec& mesh : meshes) model.MatrList.AddUnique(mesh.Material);
  // Room for every triangle of the block placed once, as far as a body can
  // hold it. A guess from the block alone: asking every part would cost, for
  // a file whose parts all name every mesh, more than the work this block is
  // allowed; the lists grow past the guess when parts share meshes.
  const size_t modelCorners = std::min<size_t>(3 * static_cast<size_t>(tris.Count()), kMaxVertexPos + 1);
  model.VertList.ReserveIndexed(modelCorners);
  model.TriList.Reserve(modelCorners / 3);

  // One part's lists at a time, emptied for the next part.
  TBodyLists part;
  int32_t meshOrd = 0;
  // Within one mesh of one part a block vertex always places to the same
  // point with the same keys, so the lists would find the record its first
  // corner found or added: later corners of the mesh that repeat it take its
  // positions from here, without placing it or looking it up again. Held by
  // corner number as far as the meshes' stored vertex ranges reach (corners
  // past that are placed and looked up each time), marked with the mesh's
  // stamp; a vertex with a NaN is never kept (it is never shared).
  struct TPlaced {
    int32_t Stamp = -1;
    uint16_t ModelPos = 0;
    uint16_t PartPos = 0;
  };
  size_t widestMesh = 0;
  for (const TMeshRec& mesh : meshes)
    if (mesh.EndVertex >= mesh.StartVertex)
      widestMesh = std::max<size_t>(widestMesh, size_t{mesh.EndVertex} - mesh.StartVertex + 1);
  std::vector<TPlaced> placed(widestMesh);
  int32_t stamp = 0;
  // With the origin on, a part's points are the model's (the fourth offset
  // takes no part in placing): one placement serves both lists.
  const bool samePoints = originOn;
  for (int32_t g = 0; g < groups.Count(); ++g) {
    const TMeshGroup& group = groups[g];
    part.VertList.FreeAll();
    part.TriList.FreeAll();
    part.MatrList.FreeAll();
    int32_t partMeshOrd = 0;

    const int64_t firstMesh = group.BegMesh;
    const int64_t endMesh = EndMesh(group);
    const bool identity = IsIdentity(group.Mtx);
    const size_t partCorners = CornersOf(meshes, firstMesh, endMesh);
    part.VertList.ReserveIndexed(partCorners);
    part.TriList.Reserve(partCorners / 3);
    for (int64_t i = firstMesh; i < endMesh; ++i) {
      ctx.Work.Charge(1);
      if (i < 0 || i >= meshes.Count()) {
        ctx.Console.Line("  Error index of mesh!!");
        continue;
      }
      const TMeshRec& mesh = meshes[static_cast<int32_t>(i)];
      const int32_t modelMat = model.MatrList.IndexOf(mesh.Material);
      part.MatrList.AddUnique(mesh.Material);
      // The polygons of a group file name its material lines, which hold
      // each distinct material of the group once.
      const int32_t partMat = part.MatrList.IndexOf(mesh.Material);

      const std::array<float, 4> offset{group.X, group.Y, group.Z, group.W};
      const std::array<float, 4> partOffset = originOn ? std::array<float, 4>{group.X, group.Y, group.Z, 0.0f}
                                                       : std::array<float, 4>{0.0f, 0.0f, 0.0f, 0.0f};
      const int32_t last = verts.Count() - 1;
      // A part's meshes count their vertices from its reference's start.
      const int32_t firstVertex =
          group.DefaultPart ? mesh.RootFirstVertex : group.StartVertex + mesh.StoredStartVertex;
      if (mesh.EndTriangle >= mesh.StartTriangle)
        ctx.Work.Charge(uint64_t{mesh.EndTriangle} - mesh.StartTriangle + 1);

      ++stamp;
      for (int32_t k = mesh.StartTriangle; k <= mesh.EndTriangle; ++k) {
        const TCornerRec& tri = tris[k];
        const uint16_t cornerIdx[3] = {tri.A, tri.B, tri.C};
        const TVertRec* corner[3];
        uint16_t modelPos[3];
        uint16_t partPos[3];

        // A triangle with a bad corner goes through the steps in their plain
        // order, which end in the failure of its first bad corner or of a
        // list that overflows before it, whichever the plain order meets
        // first (the diagnostics file then says the same): each corner
        // checked and added to the model list in turn, then to the part list.
        const int32_t first = firstVertex + cornerIdx[0], second = firstVertex + cornerIdx[1],
                      third = firstVertex + cornerIdx[2];
        if (std::min({first, second, third}) < 0 || std::max({first, second, third}) > last) {
          for (int c = 0; c < 3; ++c) {
            corner[c] = &verts[CheckIndex(ctx, firstVertex + cornerIdx[c], 0, last)];
            const auto p = PlaceVertex(*corner[c], offset, group.Mtx, identity);
            VertexPos(model.VertList.FindOrAdd({p[0], p[1], p[2], corner[c]->U, corner[c]->V, modelMat}));
          }
          for (int c = 0; c < 3; ++c) {
            const auto q = PlaceVertex(*corner[c], partOffset, group.Mtx, identity);
            VertexPos(part.VertList.FindOrAdd({q[0], q[1], q[2], corner[c]->U, corner[c]->V, partMeshOrd}));
          }
        }

        // The corners are placed first and their slots in both lists' indexes
        // asked for ahead, so that the three lookups wait for memory at once
        // rather than one after another.
        TPlaced* seen[3];
        std::array<float, 4> p[3], q[3];
        for (int c = 0; c < 3; ++c) {
          const TVertRec& v = verts[firstVertex + cornerIdx[c]];
          corner[c] = &v;
          seen[c] = cornerIdx[c] < placed.size() ? &placed[cornerIdx[c]] : nullptr;
          if (seen[c] && seen[c]->Stamp == stamp) continue;
          p[c] = PlaceVertex(v, offset, group.Mtx, identity);
          q[c] = samePoints ? p[c] : PlaceVertex(v, partOffset, group.Mtx, identity);
          model.VertList.Prefetch(modelMat, p[c][0], p[c][1], p[c][2]);
          part.VertList.Prefetch(partMeshOrd, q[c][0], q[c][1], q[c][2]);
        }
        for (int c = 0; c < 3; ++c) {
          if (seen[c] && seen[c]->Stamp == stamp) {
            modelPos[c] = seen[c]->ModelPos;
            partPos[c] = seen[c]->PartPos;
            continue;
          }
          const TVertRec& v = *corner[c];
          modelPos[c] = VertexPos(model.VertList.FindOrAdd({p[c][0], p[c][1], p[c][2], v.U, v.V, modelMat}));
          partPos[c] = VertexPos(part.VertList.FindOrAdd({q[c][0], q[c][1], q[c][2], v.U, v.V, partMeshOrd}));
          if (seen[c] && !HasNaN(p[c]) && !HasNaN(q[c])) *seen[c] = {stamp, modelPos[c], partPos[c]};
        }
        TTriRec& modelTri = model.TriList.Add(TTriRec{modelPos[0], modelPos[1], modelPos[2]});
        modelTri.MatIndex = modelMat;
        SetCorners(modelTri, corner);
        modelTri.MeshSeq = meshOrd;

        TTriRec& partTri = part.TriList.Add(TTriRec{partPos[0], partPos[1], partPos[2]});
        partTri.MatIndex = partMat;
        SetCorners(partTri, corner);
        partTri.MeshSeq = meshOrd;
      }
      CountUp(partMeshOrd);
      CountUp(meshOrd);
    }
    if (writeGroup) writeGroup(g, group, part);
  }
}

}  // namespace bw
