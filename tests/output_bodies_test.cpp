#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/run_state.h"
#include "output/body_generation.h"
#include "support/errors.h"

using namespace bw;

namespace {

struct TV {
  float X, Y, Z;
  int32_t Key;
  bool operator==(const TV&) const = default;
};
struct TT {
  int A, B, C, Mat, Seq;
  bool operator==(const TT&) const = default;
};

std::vector<TV> Verts(const TVertList& list) {
  std::vector<TV> out;
  for (const TVertRec& v : list) out.push_back({v.X, v.Y, v.Z, v.Key});
  return out;
}
std::vector<TT> Tris(const TTriList& list) {
  std::vector<TT> out;
  for (const TTriRec& t : list) out.push_back({t.A, t.B, t.C, t.MatIndex, t.MeshSeq});
  return out;
}
std::vector<uint32_t> Ids(const TMatrList& list) {
  std::vector<uint32_t> out;
  for (const TMatrRec& m : list) out.push_back(m.ID);
  return out;
}

// A mesh of one triangle (0, 1, 2) over three new vertices.
void AddTriangleMesh(TRun& run, uint32_t material, std::array<float, 3> a, std::array<float, 3> b,
                     std::array<float, 3> c) {
  const auto firstVert = static_cast<uint16_t>(run.VertList.Count());
  const auto tri = static_cast<uint16_t>(run.TriList.Count());
  AddMesh(run, material, firstVert, static_cast<uint16_t>(firstVert + 2), 3, tri, tri, firstVert);
  for (const auto& p : {a, b, c}) AddVert(run, p[0], p[1], p[2], 0.25f * run.VertList.Count(), 0.5f);
  AddTri(run, 0, 1, 2);
}

TMeshGroup& AddGroup(TRun& run, int32_t begMesh, int32_t meshCnt) {
  TMeshGroup g;
  g.PartName = "part" + std::to_string(run.MeshGroups.Count());
  g.BegMesh = begMesh;
  g.MeshCnt = meshCnt;
  return run.MeshGroups.AddGroup(g);
}

}  // namespace

TEST(GenerateBodies, SharingInModelAndPartLists) {
  TRun run;
  // Two meshes of one material touching at (1, 0, 0); the second mesh's copy
  // of that corner carries other texture coordinates.
  AddTriangleMesh(run, 0xA, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
  AddTriangleMesh(run, 0xA, {1, 0, 0}, {2, 0, 0}, {1, 1, 0});
  AddGroup(run, 0, 2);
  GenerateBodies(run, 0);

  EXPECT_EQ(Ids(run.ModelMatrList), std::vector<uint32_t>{0xA});
  EXPECT_EQ(Verts(run.ModelVertList),
            (std::vector<TV>{{0, 0, 0, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {2, 0, 0, 0}, {1, 1, 0, 0}}));
  EXPECT_EQ(Tris(run.ModelTriList), (std::vector<TT>{{0, 1, 2, 0, 0}, {1, 3, 4, 0, 1}}));
  EXPECT_EQ(
      Verts(run.PartVertList),
      (std::vector<TV>{{0, 0, 0, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {1, 0, 0, 1}, {2, 0, 0, 1}, {1, 1, 0, 1}}));
  EXPECT_EQ(Tris(run.PartTriList), (std::vector<TT>{{0, 1, 2, 0, 0}, {3, 4, 5, 0, 1}}));

  // The shared model vertex keeps its first U; each triangle its own corners'.
  EXPECT_EQ(run.ModelVertList[1].U, 0.25f);
  EXPECT_EQ(run.ModelTriList[1].UA, 0.75f);
  EXPECT_EQ(run.ModelTriList[1].UB, 1.0f);
  EXPECT_EQ(run.ModelTriList[1].VC, 0.5f);
  EXPECT_EQ(run.PartTriList[1].UA, 0.75f);
}

TEST(GenerateBodies, PlacementWithOriginOnAndOff) {
  for (const bool originOn : {false, true}) {
    TRun run;
    run.Settings.OriginOn = originOn;
    AddTriangleMesh(run, 1, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    TMeshGroup& g = AddGroup(run, 0, 1);
    g.X = 1;
    g.Y = 2;
    g.Z = 3;
    g.Mtx[12] = 10;
    GenerateBodies(run, 0);
    EXPECT_EQ(Verts(run.ModelVertList), (std::vector<TV>{{11, 2, 3, 0}, {12, 2, 3, 0}, {11, 3, 3, 0}}));
    if (originOn)
      EXPECT_EQ(Verts(run.PartVertList), Verts(run.ModelVertList));
    else
      EXPECT_EQ(Verts(run.PartVertList), (std::vector<TV>{{10, 0, 0, 0}, {11, 0, 0, 0}, {10, 1, 0, 0}}));
  }
}

TEST(GenerateBodies, GroupsSharingAMeshAndMissingMeshes) {
  TRun run;
  std::string console;
  run.Console.Capture = &console;
  AddTriangleMesh(run, 5, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
  AddTriangleMesh(run, 6, {0, 0, 1}, {1, 0, 1}, {0, 1, 1});
  AddGroup(run, 0, 1).X = 4;
  AddGroup(run, 1, 3);  // meshes 2 and 3 do not exist
  AddGroup(run, 0, 0);
  AddGroup(run, 0, 1);
  GenerateBodies(run, 0);

  EXPECT_EQ(console, "  Error index of mesh!!\n  Error index of mesh!!\n");
  EXPECT_EQ(Ids(run.ModelMatrList), (std::vector<uint32_t>{5, 6}));
  // Mesh 0 twice, each with its own placement; missing meshes are not counted.
  EXPECT_EQ(Tris(run.ModelTriList), (std::vector<TT>{{0, 1, 2, 0, 0}, {3, 4, 5, 1, 1}, {6, 7, 8, 0, 2}}));
  EXPECT_EQ(run.ModelVertList[0].X, 4.0f);
  EXPECT_EQ(run.ModelVertList[6].X, 0.0f);
  // The part lists hold the last group.
  EXPECT_EQ(Tris(run.PartTriList), (std::vector<TT>{{0, 1, 2, 0, 2}}));
  EXPECT_EQ(Ids(run.PartMatrList), std::vector<uint32_t>{5});

  // A second block starts from empty model lists.
  run.MeshGroups.FreeAll();
  GenerateBodies(run, 1);
  EXPECT_EQ(Ids(run.ModelMatrList), (std::vector<uint32_t>{5, 6}));
  EXPECT_EQ(run.ModelVertList.Count(), 0);
  EXPECT_EQ(run.ModelTriList.Count(), 0);
}

TEST(GenerateBodies, PartTrianglesNameTheirMaterialLines) {
  TRun run;
  // Materials A, A, B in one group, and C used by no group; all at one spot.
  for (uint32_t mat : {0xA, 0xA, 0xB, 0xC}) AddTriangleMesh(run, mat, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
  AddGroup(run, 0, 3);
  GenerateBodies(run, 0);

  EXPECT_EQ(Ids(run.ModelMatrList), (std::vector<uint32_t>{0xA, 0xB, 0xC}));
  EXPECT_EQ(Ids(run.PartMatrList), (std::vector<uint32_t>{0xA, 0xB}));
  EXPECT_EQ(Tris(run.ModelTriList), (std::vector<TT>{{0, 1, 2, 0, 0}, {0, 1, 2, 0, 1}, {3, 4, 5, 1, 2}}));
  // Part vertices of different meshes never merge, even at one spot.
  EXPECT_EQ(Tris(run.PartTriList), (std::vector<TT>{{0, 1, 2, 0, 0}, {3, 4, 5, 0, 1}, {6, 7, 8, 1, 2}}));
  EXPECT_EQ(run.PartVertList[3].Key, 1);
  EXPECT_EQ(run.PartVertList[6].Key, 2);
}

TEST(GenerateBodies, BadVertexIndexAndVertexLimit) {
  {
    TRun run;
    AddTriangleMesh(run, 1, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    run.TriList[0].C = 3;
    AddGroup(run, 0, 1);
    EXPECT_THROW(GenerateBodies(run, 0), EIdxError);
    EXPECT_EQ(run.ModelTriList.Count(), 0);
  }
  // Positions must fit 16 bits: 65536 distinct vertices pass, 65537 fail.
  for (const int32_t vertCount : {65536, 65537}) {
    TRun run;
    for (int32_t i = 0; i < vertCount; ++i) AddVert(run, static_cast<float>(i), 0, 0, 0, 0);
    for (int i = 0; i < 21845; ++i)
      AddTri(run, static_cast<uint16_t>(3 * i), static_cast<uint16_t>(3 * i + 1),
             static_cast<uint16_t>(3 * i + 2));
    AddTri(run, 0, static_cast<uint16_t>(vertCount - 65536), 0);
    AddMesh(run, 1, 0, 65534, 0, 0, 21844, 0);
    AddMesh(run, 1, 65535, 65535, 0, 21845, 21845, 65535);
    AddGroup(run, 0, 2);
    if (vertCount == 65536) {
      GenerateBodies(run, 0);
      EXPECT_EQ(run.ModelVertList.Count(), 65536);
      EXPECT_EQ(run.ModelTriList.Count(), 21846);
    } else {
      EXPECT_THROW(GenerateBodies(run, 0), ERangeError);
      EXPECT_EQ(run.ModelTriList.Count(), 21845);
    }
  }
}
