#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/body_generation.h"
#include "support/context.h"
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

// A block, its part table and what body generation makes of them. The
// lists of the last part are kept as they were handed over.
struct TBodies {
  TMeshData Block;
  TMeshGroups Groups;
  bool OriginOn = false;
  TContext Ctx;
  TBodyLists Model;
  TBodyLists Part;
  int32_t PartsHandedOver = 0;

  void Generate() {
    GenerateBodies(Block, Groups, OriginOn, Model, Ctx,
                   [this](int32_t g, const TMeshGroup&, const TBodyLists& part) {
                     EXPECT_EQ(g, PartsHandedOver++);
                     Part = part;
                   });
  }
};

// A mesh of one triangle (0, 1, 2) over three new vertices.
void AddTriangleMesh(TBodies& t, uint32_t material, std::array<float, 3> a, std::array<float, 3> b,
                     std::array<float, 3> c) {
  const auto firstVert = static_cast<uint16_t>(t.Block.VertList.Count());
  const auto tri = static_cast<uint16_t>(t.Block.TriList.Count());
  AddMesh(t.Block.MeshList, material, firstVert, static_cast<uint16_t>(firstVert + 2), 3, tri, tri,
          firstVert);
  for (const auto& p : {a, b, c})
    AddVert(t.Block.VertList, p[0], p[1], p[2], 0.25f * t.Block.VertList.Count(), 0.5f);
  AddTri(t.Block.TriList, 0, 1, 2);
}

TMeshGroup& AddGroup(TBodies& t, int32_t begMesh, int32_t meshCnt) {
  TMeshGroup g;
  g.PartName = "part" + std::to_string(t.Groups.Count());
  g.BegMesh = begMesh;
  g.MeshCnt = meshCnt;
  return t.Groups.AddGroup(g);
}

}  // namespace

TEST(GenerateBodies, SharingInModelAndPartLists) {
  TBodies t;
  // Two meshes of one material touching at (1, 0, 0); the second mesh's copy
  // of that corner carries other texture coordinates.
  AddTriangleMesh(t, 0xA, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
  AddTriangleMesh(t, 0xA, {1, 0, 0}, {2, 0, 0}, {1, 1, 0});
  AddGroup(t, 0, 2);
  t.Generate();

  EXPECT_EQ(Ids(t.Model.MatrList), std::vector<uint32_t>{0xA});
  EXPECT_EQ(Verts(t.Model.VertList),
            (std::vector<TV>{{0, 0, 0, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {2, 0, 0, 0}, {1, 1, 0, 0}}));
  EXPECT_EQ(Tris(t.Model.TriList), (std::vector<TT>{{0, 1, 2, 0, 0}, {1, 3, 4, 0, 1}}));
  EXPECT_EQ(
      Verts(t.Part.VertList),
      (std::vector<TV>{{0, 0, 0, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {1, 0, 0, 1}, {2, 0, 0, 1}, {1, 1, 0, 1}}));
  EXPECT_EQ(Tris(t.Part.TriList), (std::vector<TT>{{0, 1, 2, 0, 0}, {3, 4, 5, 0, 1}}));

  // The shared model vertex keeps its first U; each triangle its own corners'.
  EXPECT_EQ(t.Model.VertList[1].U, 0.25f);
  EXPECT_EQ(t.Model.TriList[1].UA, 0.75f);
  EXPECT_EQ(t.Model.TriList[1].UB, 1.0f);
  EXPECT_EQ(t.Model.TriList[1].VC, 0.5f);
  EXPECT_EQ(t.Part.TriList[1].UA, 0.75f);
}

TEST(GenerateBodies, PlacementWithOriginOnAndOff) {
  for (const bool originOn : {false, true}) {
    TBodies t;
    t.OriginOn = originOn;
    AddTriangleMesh(t, 1, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    TMeshGroup& g = AddGroup(t, 0, 1);
    g.X = 1;
    g.Y = 2;
    g.Z = 3;
    g.Mtx[12] = 10;
    t.Generate();
    EXPECT_EQ(Verts(t.Model.VertList), (std::vector<TV>{{11, 2, 3, 0}, {12, 2, 3, 0}, {11, 3, 3, 0}}));
    if (originOn)
      EXPECT_EQ(Verts(t.Part.VertList), Verts(t.Model.VertList));
    else
      EXPECT_EQ(Verts(t.Part.VertList), (std::vector<TV>{{10, 0, 0, 0}, {11, 0, 0, 0}, {10, 1, 0, 0}}));
  }
}

TEST(GenerateBodies, GroupsSharingAMeshAndMissingMeshes) {
  TBodies t;
  std::string console;
  t.Ctx.Console.Capture = &console;
  AddTriangleMesh(t, 5, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
  AddTriangleMesh(t, 6, {0, 0, 1}, {1, 0, 1}, {0, 1, 1});
  AddGroup(t, 0, 1).X = 4;
  AddGroup(t, 1, 3);  // meshes 2 and 3 do not exist
  AddGroup(t, 0, 0);
  AddGroup(t, 0, 1);
  t.Generate();

  EXPECT_EQ(console, "  Error index of mesh!!\n  Error index of mesh!!\n");
  EXPECT_EQ(Ids(t.Model.MatrList), (std::vector<uint32_t>{5, 6}));
  // Mesh 0 twice, each with its own placement; missing meshes are not counted.
  EXPECT_EQ(Tris(t.Model.TriList), (std::vector<TT>{{0, 1, 2, 0, 0}, {3, 4, 5, 1, 1}, {6, 7, 8, 0, 2}}));
  EXPECT_EQ(t.Model.VertList[0].X, 4.0f);
  EXPECT_EQ(t.Model.VertList[6].X, 0.0f);
  // The part lists hold the last group.
  EXPECT_EQ(Tris(t.Part.TriList), (std::vector<TT>{{0, 1, 2, 0, 2}}));
  EXPECT_EQ(Ids(t.Part.MatrList), std::vector<uint32_t>{5});

  // A second block starts from empty model lists.
  t.Groups.FreeAll();
  t.Generate();
  EXPECT_EQ(Ids(t.Model.MatrList), (std::vector<uint32_t>{5, 6}));
  EXPECT_EQ(t.Model.VertList.Count(), 0);
  EXPECT_EQ(t.Model.TriList.Count(), 0);
}

TEST(GenerateBodies, PartTrianglesNameTheirMaterialLines) {
  TBodies t;
  // Materials A, A, B in one group, and C used by no group; all at one spot.
  for (uint32_t mat : {0xA, 0xA, 0xB, 0xC}) AddTriangleMesh(t, mat, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
  AddGroup(t, 0, 3);
  t.Generate();

  EXPECT_EQ(Ids(t.Model.MatrList), (std::vector<uint32_t>{0xA, 0xB, 0xC}));
  EXPECT_EQ(Ids(t.Part.MatrList), (std::vector<uint32_t>{0xA, 0xB}));
  EXPECT_EQ(Tris(t.Model.TriList), (std::vector<TT>{{0, 1, 2, 0, 0}, {0, 1, 2, 0, 1}, {3, 4, 5, 1, 2}}));
  // Part vertices of different meshes never merge, even at one spot.
  EXPECT_EQ(Tris(t.Part.TriList), (std::vector<TT>{{0, 1, 2, 0, 0}, {3, 4, 5, 0, 1}, {6, 7, 8, 1, 2}}));
  EXPECT_EQ(t.Part.VertList[3].Key, 1);
  EXPECT_EQ(t.Part.VertList[6].Key, 2);
}

TEST(GenerateBodies, BadVertexIndexAndVertexLimit) {
  {
    TBodies t;
    AddTriangleMesh(t, 1, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    t.Block.TriList[0].C = 3;
    AddGroup(t, 0, 1);
    EXPECT_THROW(t.Generate(), EIdxError);
    EXPECT_EQ(t.Model.TriList.Count(), 0);
  }
  // Positions must fit 16 bits: 65536 distinct vertices pass, 65537 fail.
  for (const int32_t vertCount : {65536, 65537}) {
    TBodies t;
    for (int32_t i = 0; i < vertCount; ++i) AddVert(t.Block.VertList, static_cast<float>(i), 0, 0, 0, 0);
    for (int i = 0; i < 21845; ++i)
      AddTri(t.Block.TriList, static_cast<uint16_t>(3 * i), static_cast<uint16_t>(3 * i + 1),
             static_cast<uint16_t>(3 * i + 2));
    AddTri(t.Block.TriList, 0, static_cast<uint16_t>(vertCount - 65536), 0);
    AddMesh(t.Block.MeshList, 1, 0, 65534, 0, 0, 21844, 0);
    AddMesh(t.Block.MeshList, 1, 65535, 65535, 0, 21845, 21845, 65535);
    AddGroup(t, 0, 2);
    if (vertCount == 65536) {
      t.Generate();
      EXPECT_EQ(t.Model.VertList.Count(), 65536);
      EXPECT_EQ(t.Model.TriList.Count(), 21846);
    } else {
      EXPECT_THROW(t.Generate(), ERangeError);
      EXPECT_EQ(t.Model.TriList.Count(), 21845);
    }
  }
}
