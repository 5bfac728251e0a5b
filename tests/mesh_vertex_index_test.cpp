// The vertex index against a plain first-match search, over lists large
// enough to grow the index many times, with the values that compare oddly.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "mesh/mesh_lists.h"

namespace {

using namespace bw;

int32_t LinearFind(const TVertList& list, const TVertRec& q) {
  for (int32_t i = 0; i < list.Count(); ++i)
    if (CompareVert(list[i], q) == 0) return i;
  return -1;
}

TEST(VertexIndex, FindsWhatALinearSearchFinds) {
  std::mt19937 gen(3);
  // Few distinct values, so that most lookups hit; -0.0 beside 0.0 and NaN.
  const float values[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 1e-30f, std::numeric_limits<float>::quiet_NaN()};
  std::uniform_int_distribution<size_t> pick(0, std::size(values) - 1);
  std::uniform_int_distribution<int32_t> key(-2, 40);
  std::uniform_int_distribution<int> action(0, 9);

  TVertList list;
  int mismatches = 0;
  for (int round = 0; round < 3; ++round) {
    for (int step = 0; step < 6000; ++step) {
      TVertRec q;
      q.Key = key(gen);
      q.X = values[pick(gen)];
      q.Y = values[pick(gen)];
      q.Z = values[pick(gen)];
      const int32_t want = LinearFind(list, q);
      switch (action(gen)) {
        case 0:  // appended past the index, which must catch up
          list.Add(q);
          break;
        case 1:
          if (list.Find(q.Key, q.X, q.Y, q.Z) != want) ++mismatches;
          break;
        default: {
          const int32_t count = list.Count();
          const int32_t got = list.FindOrAdd(q);
          if (got != (want >= 0 ? want : count)) ++mismatches;
        }
      }
    }
    list.FreeAll();
    EXPECT_EQ(list.Find(0, 0, 0, 0), -1);
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
