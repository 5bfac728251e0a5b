#include "mesh/mesh_lists.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "cmp/part_table.h"
#include "support/matrix.h"

namespace {

using namespace bw;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TVertRec Vert(int32_t key, float x, float y, float z) {
  TVertRec r;
  r.Key = key;
  r.X = x;
  r.Y = y;
  r.Z = z;
  return r;
}

int32_t FindOrAdd(TVertList& list, int32_t key, float x, float y, float z, float u, float v) {
  return list.FindOrAdd({x, y, z, u, v, key});
}

TEST(MeshLists, CompareVertOrdersByKeyThenCoordinatesAndNeverMatchesNaN) {
  EXPECT_EQ(CompareVert(Vert(2, 0, 0, 0), Vert(1, 9, 9, 9)), 1);
  EXPECT_EQ(CompareVert(Vert(1, 1, 5, 5), Vert(1, 2, 0, 0)), -1);
  EXPECT_EQ(CompareVert(Vert(1, 2, 1, 3), Vert(1, 2, 1, 2)), 1);
  EXPECT_EQ(CompareVert(Vert(1, -0.0f, 0, -0.0f), Vert(1, 0.0f, -0.0f, 0.0f)), 0);
  EXPECT_EQ(CompareVert(Vert(1, kNaN, 0, 0), Vert(1, kNaN, 0, 0)), -1);
  EXPECT_EQ(CompareVert(Vert(1, 0, 0, 0), Vert(1, 0, 0, kNaN)), -1);
}

TEST(MeshLists, VerticesAreSharedByKeyAndPositionOnly) {
  TVertList model;
  TVertList part;
  EXPECT_EQ(FindOrAdd(model, 1, 1, 2, 3, 0.25f, 0.5f), 0);
  // The first record is returned, its texture coordinate untouched.
  EXPECT_EQ(FindOrAdd(model, 1, 1, 2, 3, 0.75f, 0.125f), 0);
  EXPECT_EQ(model[0].U, 0.25f);
  EXPECT_EQ(FindOrAdd(model, 2, 1, 2, 3, 0, 0), 1);
  EXPECT_EQ(FindOrAdd(model, 1, 0.0f, -0.0f, 0.0f, 0, 0), 2);
  EXPECT_EQ(FindOrAdd(model, 1, -0.0f, 0.0f, -0.0f, 9, 9), 2);
  EXPECT_EQ(FindOrAdd(model, 1, kNaN, 0, 0, 0, 0), 3);
  EXPECT_EQ(FindOrAdd(model, 1, kNaN, 0, 0, 0, 0), 4);
  EXPECT_EQ(FindOrAdd(part, 1, 1, 2, 3, 0, 0), 0);
  model.FreeAll();
  EXPECT_EQ(model.Find(1, 1, 2, 3), -1);
  EXPECT_EQ(FindOrAdd(model, 2, 1, 2, 3, 0, 0), 0);

  // Records appended without the index are still found, the first of equals.
  TVertList list;
  list.Add(Vert(0, 1, 1, 1));
  list.Add(Vert(0, 1, 1, 1));
  EXPECT_EQ(list.FindOrAdd(Vert(0, 1, 1, 1)), 0);
  EXPECT_EQ(list.Count(), 2);
}

TEST(MeshLists, MaterialsAndPartsAreFoundFirstAdded) {
  TMatrList mats;
  TMeshGroups groups;
  EXPECT_EQ(mats.AddUnique(7), 0);
  EXPECT_EQ(mats.AddUnique(9), 1);
  EXPECT_EQ(mats.AddUnique(7), -1);
  EXPECT_EQ(mats.IndexOf(9), 1);
  mats.FreeAll();
  EXPECT_EQ(mats.IndexOf(7), -1);

  EXPECT_EQ(groups.FindPart("x"), nullptr);
  const TMeshGroup& g =
      AddMeshGroup(groups, "Root", "Wing_Left", 2, 3, 4, 5, 6, 7, 0, 0, 0, {}, {1, 2, 3}, 10);
  EXPECT_EQ(g.W, 1.0f);
  EXPECT_EQ(g.Mtx, kIdentity);
  AddMeshGroup(groups, "Root", "WING_LEFT", 0, 0, 0, 0, 0, 0, 0, 0, 0, {}, {}, 0);
  AddMeshGroup(groups, "Root", "Tail\xC4", 0, 0, 0, 0, 0, 0, 0, 0, 0, {}, {}, 0);
  EXPECT_EQ(groups.IndexOfPart("wInG_LeFt"), 0);
  EXPECT_EQ(groups.FindPart("wing_left"), &groups[0]);
  // Only A-Z fold.
  EXPECT_EQ(groups.IndexOfPart("TAIL\xC4"), 2);
  EXPECT_EQ(groups.IndexOfPart("tail\xE4"), -1);
  groups.FreeAll();
  EXPECT_EQ(groups.IndexOfPart("wing_left"), -1);
}

TEST(MeshLists, MatrixProductsRoundOnceFromExtendedSums) {
  const TMatrix a = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const TMatrix b = {2, 0, 0, 0, 0, 3, 0, 0, 1, 0, 1, 0, 0, 5, 0, 1};
  TMatrix res{};
  MatMul(a, kIdentity, res);
  EXPECT_EQ(res, a);
  MatMul(kIdentity, a, res);
  EXPECT_EQ(res, a);
  MatMul(a, b, res);  // b x a
  EXPECT_EQ(res, (TMatrix{2, 4, 6, 8, 15, 18, 21, 24, 10, 12, 14, 16, 38, 44, 50, 56}));

  std::array<float, 4> out{};
  TMatrix move = kIdentity;
  move[12] = 10;
  move[13] = 20;
  move[14] = 30;
  MatVec(move, {1, 2, 3, 1}, out);
  EXPECT_EQ(out, (std::array<float, 4>{11, 22, 33, 1}));
  // 1 + 2^-24 - 1 is lost when each step rounds to single.
  const float tiny = std::ldexp(1.0f, -24);
  TMatrix m{};
  m[0] = 1;
  m[4] = 1;
  m[8] = -1;
  MatVec(m, {1, tiny, 1, 0}, out);
  EXPECT_EQ(out[0], tiny);
}

}  // namespace
