#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "driver/run_state.h"
#include "mesh/mesh_lists.h"

namespace {

using namespace bw;

TVertRec Vert(int32_t key, float x, float y, float z) {
  TVertRec r;
  r.Key = key;
  r.X = x;
  r.Y = y;
  r.Z = z;
  return r;
}

TEST(MeshLists, CompareVertOrdersByKeyThenCoordinatesAndNeverMatchesNaN) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(CompareVert(Vert(2, 0, 0, 0), Vert(1, 9, 9, 9)), 1);
  EXPECT_EQ(CompareVert(Vert(1, 9, 9, 9), Vert(2, 0, 0, 0)), -1);
  EXPECT_EQ(CompareVert(Vert(1, 1, 5, 5), Vert(1, 2, 0, 0)), -1);
  EXPECT_EQ(CompareVert(Vert(1, 2, 0, 9), Vert(1, 2, 1, 0)), -1);
  EXPECT_EQ(CompareVert(Vert(1, 2, 1, 3), Vert(1, 2, 1, 2)), 1);
  EXPECT_EQ(CompareVert(Vert(1, -0.0f, 0, -0.0f), Vert(1, 0.0f, -0.0f, 0.0f)), 0);
  EXPECT_EQ(CompareVert(Vert(1, nan, 0, 0), Vert(1, nan, 0, 0)), -1);
  EXPECT_EQ(CompareVert(Vert(1, 0, 0, 0), Vert(1, 0, 0, nan)), -1);
}

TEST(MeshLists, ModelVertsAreSharedByKeyAndPositionOnly) {
  TRun run;
  EXPECT_EQ(run.ModelVertList.Find(0, 0, 0, 0), -1);

  EXPECT_EQ(AddModelVert(run, 1, 1, 2, 3, 0.25f, 0.5f), 0);
  // Same key and position: the first record, texture coordinate untouched.
  EXPECT_EQ(AddModelVert(run, 1, 1, 2, 3, 0.75f, 0.125f), 0);
  EXPECT_EQ(run.ModelVertList[0].U, 0.25f);
  EXPECT_EQ(run.ModelVertList[0].V, 0.5f);
  // Another key gives a record of its own.
  EXPECT_EQ(AddModelVert(run, 2, 1, 2, 3, 0, 0), 1);
  // -0.0 finds +0.0 and the other way round.
  EXPECT_EQ(AddModelVert(run, 1, 0.0f, -0.0f, 0.0f, 0, 0), 2);
  EXPECT_EQ(AddModelVert(run, 1, -0.0f, 0.0f, -0.0f, 9, 9), 2);
  // A NaN coordinate is never shared.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(AddModelVert(run, 1, nan, 0, 0, 0, 0), 3);
  EXPECT_EQ(AddModelVert(run, 1, nan, 0, 0, 0, 0), 4);
  EXPECT_EQ(run.ModelVertList.Count(), 5);
  // The part list is a list of its own.
  EXPECT_EQ(AddPartVert(run, 1, 1, 2, 3, 0, 0), 0);
  EXPECT_EQ(run.PartVertList.Count(), 1);
  EXPECT_EQ(run.ModelVertList[1].Key, 2);

  run.ModelVertList.FreeAll();
  EXPECT_EQ(run.ModelVertList.Count(), 0);
  EXPECT_EQ(run.ModelVertList.Find(1, 1, 2, 3), -1);
  EXPECT_EQ(AddModelVert(run, 1, 1, 2, 3, 0, 0), 0);
}

TEST(MeshLists, FindSeesRecordsAppendedDirectlyAndKeepsTheFirst) {
  TVertList list;
  list.Add(Vert(0, 1, 1, 1));
  list.Add(Vert(0, 1, 1, 1));
  EXPECT_EQ(list.Find(0, 1, 1, 1), 0);
  list.Add(Vert(0, 2, 2, 2));
  EXPECT_EQ(list.Find(0, 2, 2, 2), 2);
  EXPECT_EQ(list.FindOrAdd(Vert(0, 2, 2, 2)), 2);
  EXPECT_EQ(list.Count(), 3);
}

TEST(MeshLists, MaterialsAreAddedOncePerId) {
  TRun run;
  EXPECT_EQ(run.ModelMatrList.IndexOf(7), -1);
  EXPECT_EQ(AddModelMatr(run, 7), 0);
  EXPECT_EQ(AddModelMatr(run, 9), 1);
  EXPECT_EQ(AddModelMatr(run, 7), -1);
  EXPECT_EQ(run.ModelMatrList.Count(), 2);
  EXPECT_EQ(run.ModelMatrList.IndexOf(9), 1);
  EXPECT_EQ(run.ModelMatrList[1].Name, "");
  EXPECT_EQ(AddPartMatr(run, 7), 0);
  run.ModelMatrList.FreeAll();
  EXPECT_EQ(run.ModelMatrList.IndexOf(7), -1);
  EXPECT_EQ(AddModelMatr(run, 9), 0);

  TMatrList names;
  EXPECT_EQ(names.AddUnique(5, "a.tga"), 0);
  EXPECT_EQ(names.AddUnique(5, "b.tga"), -1);
  EXPECT_EQ(names[0].Name, "a.tga");
}

TEST(MeshLists, PartsAreFoundByNameWithoutRegardToAsciiCase) {
  TRun run;
  EXPECT_EQ(run.MeshGroups.IndexOfPart("x"), -1);
  EXPECT_EQ(run.MeshGroups.FindPart("x"), nullptr);
  const std::array<float, 6> bounds{1, 2, 3, 4, 5, 6};
  const std::array<float, 3> u{7, 8, 9};
  TMeshGroup& g = AddMeshGroup(run, "Root", "Wing_Left", 2, 3, 4, 5, 6, 7, 0, 0, 0, bounds, u, 10);
  EXPECT_EQ(g.RootName, "Root");
  EXPECT_EQ(g.BegMesh, 2);
  EXPECT_EQ(g.MeshCnt, 3);
  EXPECT_EQ(g.StartVertex, 4);
  EXPECT_EQ(g.EndVertex, 5);
  EXPECT_EQ(g.StartIndex, 6);
  EXPECT_EQ(g.EndIndex, 7);
  EXPECT_EQ(g.W, 1.0f);
  EXPECT_EQ(g.Bounds, bounds);
  EXPECT_EQ(g.U, u);
  EXPECT_EQ(g.Radius, 10.0f);
  EXPECT_EQ(g.Mtx, kIdentity);
  AddMeshGroup(run, "Root", "WING_LEFT", 0, 0, 0, 0, 0, 0, 0, 0, 0, {}, {}, 0);
  AddMeshGroup(run, "Root", "Tail\xC4", 0, 0, 0, 0, 0, 0, 0, 0, 0, {}, {}, 0);
  EXPECT_EQ(run.MeshGroups.IndexOfPart("wing_left"), 0);
  EXPECT_EQ(run.MeshGroups.FindPart("wInG_LeFt"), &run.MeshGroups[0]);
  // Only A-Z fold: a byte above 127 compares as itself.
  EXPECT_EQ(run.MeshGroups.IndexOfPart("TAIL\xC4"), 2);
  EXPECT_EQ(run.MeshGroups.IndexOfPart("tail\xE4"), -1);
  run.MeshGroups.FreeAll();
  EXPECT_EQ(run.MeshGroups.IndexOfPart("wing_left"), -1);
}

TEST(MeshLists, ListAccessOutsideRaisesTheRangeFailure) {
  TRun run;
  AddTri(run, 1, 2, 3);
  EXPECT_EQ(run.TriList[0].C, 3);
  EXPECT_THROW(run.TriList[1], ERangeError);
  EXPECT_THROW(run.TriList[-1], ERangeError);
}

TEST(MeshLists, MatrixProductsRoundOnceFromExtendedSums) {
  const TMatrix a = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const TMatrix b = {2, 0, 0, 0, 0, 3, 0, 0, 1, 0, 1, 0, 0, 5, 0, 1};
  TMatrix res{};
  MatMul(a, kIdentity, res);
  EXPECT_EQ(res, a);
  MatMul(kIdentity, a, res);
  EXPECT_EQ(res, a);
  // res = b x a.
  MatMul(a, b, res);
  const TMatrix expected = {2, 4, 6, 8, 15, 18, 21, 24, 10, 12, 14, 16, 38, 44, 50, 56};
  EXPECT_EQ(res, expected);

  std::array<float, 4> out{};
  MatVec(kIdentity, {1.5f, -2, 3, 1}, out);
  EXPECT_EQ(out, (std::array<float, 4>{1.5f, -2, 3, 1}));
  // Row 3 acts as the translation.
  TMatrix move = kIdentity;
  move[12] = 10;
  move[13] = 20;
  move[14] = 30;
  MatVec(move, {1, 2, 3, 1}, out);
  EXPECT_EQ(out, (std::array<float, 4>{11, 22, 33, 1}));

  // 1 + 2^-24 - 1 is lost when every step rounds to single; one rounding
  // at the end keeps it.
  const float tiny = std::ldexp(1.0f, -24);
  TMatrix m{};
  m[0] = 1;
  m[4] = 1;
  m[8] = -1;
  MatVec(m, {1, tiny, 1, 0}, out);
  EXPECT_EQ(out[0], tiny);
}

}  // namespace
