// TransformVertex writes out MatVec's arithmetic for speed; both must give
// the same bits for any vertex, matrix and offset.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "mesh/mesh_lists.h"
#include "output/body_generation.h"

namespace {

using namespace bw;

std::array<float, 4> ByMatVec(const TVertRec& p, const std::array<float, 4>& offset, const TMatrix& m) {
  std::array<float, 4> out{};
  MatVec(m, {p.X, p.Y, p.Z, 1.0f}, out);
  for (size_t j = 0; j < 3; ++j)
    out[j] = static_cast<float>(static_cast<long double>(out[j]) + static_cast<long double>(offset[j]));
  return out;
}

TEST(TransformVertex, GivesTheBitsOfMatVecAndTheOffset) {
  std::mt19937 gen(5);
  // Wide magnitudes, so that the sums round in extended precision and
  // again to single; now and then a value that is not a number.
  std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
  std::uniform_int_distribution<int> exponent(-30, 30);
  std::uniform_int_distribution<int> odd(0, 200);
  auto value = [&] {
    const int pick = odd(gen);
    if (pick == 0) return std::numeric_limits<float>::infinity();
    if (pick == 1) return std::numeric_limits<float>::quiet_NaN();
    if (pick == 2) return -0.0f;
    return std::ldexp(mantissa(gen), exponent(gen));
  };
  int mismatches = 0;
  for (int i = 0; i < 40000; ++i) {
    TVertRec p;
    p.X = value();
    p.Y = value();
    p.Z = value();
    // Half of the matrices are the identity, which takes a path of its own;
    // zeros of either sign and tiny values matter there.
    TMatrix m = kIdentity;
    if (i % 2 == 0) {
      for (float& e : m) e = value();
    } else if (i % 6 == 1) {
      p.X = i % 12 == 1 ? -0.0f : 1e-40f;
      p.Y = -0.0f;
    }
    const std::array<float, 4> offset = {value(), value(), value(), value()};
    const auto got = TransformVertex(p, offset, m);
    const auto want = ByMatVec(p, offset, m);
    if (std::memcmp(got.data(), want.data(), sizeof got) != 0) ++mismatches;
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
