// Body generation against a plain reference of its rules, on random blocks
// whose meshes repeat vertices, share positions and hold signed zeros and
// NaNs: whatever shortcuts the generation takes, its lists must be the ones
// placing every corner and searching the list for it one by one give.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "output/body_generation.h"
#include "support/context.h"

using namespace bw;

namespace {

// Every corner placed on its own and searched for from the list's start: a
// record matches on key and position (+0 = -0, NaN never), the first stays.
uint16_t Reference(TVertList& list, const TVertRec& rec) {
  int32_t pos = 0;
  for (const TVertRec& r : list) {
    if (CompareVert(r, rec) == 0) return static_cast<uint16_t>(pos);
    ++pos;
  }
  list.Add(rec);
  return static_cast<uint16_t>(pos);
}

void ReferenceBodies(const TMeshData& block, const TMeshGroups& groups, bool originOn, TBodyLists& model,
                     std::vector<TBodyLists>& parts) {
  for (const TMeshRec& mesh : block.MeshList) model.MatrList.AddUnique(mesh.Material);
  int32_t meshOrd = 0;
  for (const TMeshGroup& g : groups) {
    TBodyLists& part = parts.emplace_back();
    for (int32_t i = g.BegMesh, partOrd = 0; i < g.BegMesh + g.MeshCnt; ++i, ++partOrd, ++meshOrd) {
      const TMeshRec& mesh = block.MeshList[i];
      const int32_t modelMat = model.MatrList.IndexOf(mesh.Material);
      part.MatrList.AddUnique(mesh.Material);
      const std::array<float, 4> offset{g.X, g.Y, g.Z, g.W};
      const std::array<float, 4> partOffset{originOn ? g.X : 0, originOn ? g.Y : 0, originOn ? g.Z : 0, 0};
      for (int32_t k = mesh.StartTriangle; k <= mesh.EndTriangle; ++k) {
        const TCornerRec& t = block.TriList[k];
        uint16_t mp[3], pp[3];
        for (int c = 0; c < 3; ++c) {
          const TVertRec& v = block.VertList[g.StartVertex + mesh.StoredStartVertex +
                                             (c == 0   ? t.A
                                              : c == 1 ? t.B
                                                       : t.C)];
          const auto a = TransformVertex(v, offset, g.Mtx);
          const auto b = TransformVertex(v, partOffset, g.Mtx);
          mp[c] = Reference(model.VertList, {a[0], a[1], a[2], v.U, v.V, modelMat});
          pp[c] = Reference(part.VertList, {b[0], b[1], b[2], v.U, v.V, partOrd});
        }
        TTriRec m{mp[0], mp[1], mp[2]}, p{pp[0], pp[1], pp[2]};
        m.MatIndex = modelMat;
        p.MatIndex = part.MatrList.IndexOf(mesh.Material);
        m.MeshSeq = p.MeshSeq = meshOrd;
        model.TriList.Add(m);
        part.TriList.Add(p);
      }
    }
  }
}

bool SameVerts(const TVertList& a, const TVertList& b) {
  if (a.Count() != b.Count()) return false;
  for (int32_t i = 0; i < a.Count(); ++i)
    if (std::memcmp(&a[i], &b[i], sizeof(TVertRec)) != 0) return false;
  return true;
}

bool SameTris(const TTriList& a, const TTriList& b) {
  if (a.Count() != b.Count()) return false;
  for (int32_t i = 0; i < a.Count(); ++i)
    if (a[i].A != b[i].A || a[i].B != b[i].B || a[i].C != b[i].C || a[i].MatIndex != b[i].MatIndex ||
        a[i].MeshSeq != b[i].MeshSeq)
      return false;
  return true;
}

}  // namespace

TEST(BodiesFollowTheReference, RandomBlocksWithRepeatsZerosAndNaNs) {
  std::mt19937 gen(314);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (int round = 0; round < 60; ++round) {
    // A small pool of coordinates makes equal positions across vertices,
    // meshes and parts common.
    const float pool[] = {0.0f, -0.0f, 1.5f, -2.25f, 1e-3f, 7.0f, nan};
    auto coord = [&] { return pool[gen() % (round % 3 == 0 ? 7 : 6)]; };
    TMeshData block;
    const int meshes = 1 + static_cast<int>(gen() % 6);
    for (int m = 0; m < meshes; ++m) {
      const auto firstVert = static_cast<uint16_t>(block.VertList.Count());
      const int nv = 1 + static_cast<int>(gen() % 12), nt = 1 + static_cast<int>(gen() % 20);
      const auto firstTri = static_cast<uint16_t>(block.TriList.Count());
      AddMesh(block.MeshList, static_cast<uint32_t>(gen() % 3), firstVert,
              static_cast<uint16_t>(firstVert + nv - 1), static_cast<uint16_t>(3 * nt), firstTri,
              static_cast<uint16_t>(firstTri + nt - 1), firstVert);
      for (int v = 0; v < nv; ++v) AddVert(block.VertList, coord(), coord(), coord(), 0.5f, 0.25f);
      for (int t = 0; t < nt; ++t)
        AddTri(block.TriList, static_cast<uint16_t>(gen() % nv), static_cast<uint16_t>(gen() % nv),
               static_cast<uint16_t>(gen() % nv));
    }
    // Parts over overlapping mesh ranges, some turned and moved.
    TMeshGroups groups;
    for (int g = 0; g < 3; ++g) {
      TMeshGroup group;
      group.BegMesh = static_cast<int32_t>(gen() % static_cast<unsigned>(meshes));
      group.MeshCnt = 1 + static_cast<int32_t>(gen() % static_cast<unsigned>(meshes - group.BegMesh));
      if (gen() % 2) {
        group.Mtx = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        group.X = 1.5f;
        group.Z = -0.0f;
      }
      groups.AddGroup(group);
    }
    for (const bool originOn : {false, true}) {
      TContext ctx;
      TBodyLists model, want;
      std::vector<TBodyLists> wantParts;
      std::vector<bool> partsSame;
      ReferenceBodies(block, groups, originOn, want, wantParts);
      GenerateBodies(
          block, groups, originOn, model, ctx, [&](int32_t g, const TMeshGroup&, const TBodyLists& p) {
            const TBodyLists& w = wantParts[static_cast<size_t>(g)];
            partsSame.push_back(SameVerts(p.VertList, w.VertList) && SameTris(p.TriList, w.TriList));
          });
      EXPECT_TRUE(SameVerts(model.VertList, want.VertList)) << "round " << round << ", origin " << originOn;
      EXPECT_TRUE(SameTris(model.TriList, want.TriList)) << "round " << round << ", origin " << originOn;
      EXPECT_EQ(partsSame, std::vector<bool>(3, true)) << "round " << round << ", origin " << originOn;
    }
  }
}
