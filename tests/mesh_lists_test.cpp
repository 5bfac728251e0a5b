#include "mesh/mesh_lists.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "driver/run_state.h"

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

TEST(MeshLists, CompareVertOrdersByKeyThenCoordinatesAndNeverMatchesNaN) {
  EXPECT_EQ(CompareVert(Vert(2, 0, 0, 0), Vert(1, 9, 9, 9)), 1);
  EXPECT_EQ(CompareVert(Vert(1, 1, 5, 5), Vert(1, 2, 0, 0)), -1);
  EXPECT_EQ(CompareVert(Vert(1, 2, 1, 3), Vert(1, 2, 1, 2)), 1);
  EXPECT_EQ(CompareVert(Vert(1, -0.0f, 0, -0.0f), Vert(1, 0.0f, -0.0f, 0.0f)), 0);
  EXPECT_EQ(CompareVert(Vert(1, kNaN, 0, 0), Vert(1, kNaN, 0, 0)), -1);
  EXPECT_EQ(CompareVert(Vert(1, 0, 0, 0), Vert(1, 0, 0, kNaN)), -1);
}

TEST(MeshLists, VerticesAreSharedByKeyAndPositionOnly) {
  TRun run;
  EXPECT_EQ(AddModelVert(run, 1, 1, 2, 3, 0.25f, 0.5f), 0);
  // The first record is returned, its texture coordinate untouched.
  EXPECT_EQ(AddModelVert(run, 1, 1, 2, 3, 0.75f, 0.125f), 0);
  EXPECT_EQ(run.ModelVertList[0].U, 0.25f);
  EXPECT_EQ(AddModelVert(run, 2, 1, 2, 3, 0, 0), 1);
  EXPECT_EQ(AddModelVert(run, 1, 0.0f, -0.0f, 0.0f, 0, 0), 2);
  EXPECT_EQ(AddModelVert(run, 1, -0.0f, 0.0f, -0.0f, 9, 9), 2);
  EXPECT_EQ(AddModelVert(run, 1, kNaN, 0, 0, 0, 0), 3);
  EXPECT_EQ(AddModelVert(run, 1, kNaN, 0, 0, 0, 0), 4);
  EXPECT_EQ(AddPartVert(run, 1, 1, 2, 3, 0, 0), 0);
  run.ModelVertList.FreeAll();
  EXPECT_EQ(run.ModelVertList.Find(1, 1, 2, 3), -1);
  EXPECT_EQ(AddModelVert(run, 2, 1, 2, 3, 0, 0), 0);

  // Records appended without the index are still found, the first of equals.
  TVertList list;
  list.Add(Vert(0, 1, 1, 1));
  list.Add(Vert(0, 1, 1, 1));
  EXPECT_EQ(list.FindOrAdd(Vert(0, 1, 1, 1)), 0);
  EXPECT_EQ(list.Count(), 2);
}

TEST(MeshLists, MaterialsAndPartsAreFoundFirstAdded) {
  TRun run;
  EXPECT_EQ(AddModelMatr(run, 7), 0);
  EXPECT_EQ(AddModelMatr(run, 9), 1);
  EXPECT_EQ(AddModelMatr(run, 7), -1);
  EXPECT_EQ(run.ModelMatrList.IndexOf(9), 1);
  run.ModelMatrList.FreeAll();
  EXPECT_EQ(run.ModelMatrList.IndexOf(7), -1);

  EXPECT_EQ(run.MeshGroups.FindPart("x"), nullptr);
  const TMeshGroup& g = AddMeshGroup(run, "Root", "Wing_Left", 2, 3, 4, 5, 6, 7, 0, 0, 0, {}, {1, 2, 3}, 10);
  EXPECT_EQ(g.W, 1.0f);
  EXPECT_EQ(g.Mtx, kIdentity);
  AddMeshGroup(run, "Root", "WING_LEFT", 0, 0, 0, 0, 0, 0, 0, 0, 0, {}, {}, 0);
  AddMeshGroup(run, "Root", "Tail\xC4", 0, 0, 0, 0, 0, 0, 0, 0, 0, {}, {}, 0);
  EXPECT_EQ(run.MeshGroups.IndexOfPart("wInG_LeFt"), 0);
  EXPECT_EQ(run.MeshGroups.FindPart("wing_left"), &run.MeshGroups[0]);
  // Only A-Z fold.
  EXPECT_EQ(run.MeshGroups.IndexOfPart("TAIL\xC4"), 2);
  EXPECT_EQ(run.MeshGroups.IndexOfPart("tail\xE4"), -1);
  run.MeshGroups.FreeAll();
  EXPECT_EQ(run.MeshGroups.IndexOfPart("wing_left"), -1);
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
