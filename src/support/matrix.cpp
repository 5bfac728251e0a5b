#include "support/matrix.h"

#include <cstddef>

namespace bw {

// NOTE: the products of two singles are exact in long double; the sums are
// formed left to right there and rounded to single once, so a composed
// matrix does not drift with the order of intermediate roundings.
// Both write through a local result, so res or out may be one of the inputs.
void MatMul(const TMatrix& m1, const TMatrix& m2, TMatrix& res) {
  TMatrix r;
  for (size_t i = 0; i < 4; ++i)
    for (size_t j = 0; j < 4; ++j) {
      long double sum = static_cast<long double>(m2[4 * i + 0]) * m1[0 * 4 + j];
      sum += static_cast<long double>(m2[4 * i + 1]) * m1[1 * 4 + j];
      sum += static_cast<long double>(m2[4 * i + 2]) * m1[2 * 4 + j];
      sum += static_cast<long double>(m2[4 * i + 3]) * m1[3 * 4 + j];
      r[4 * i + j] = static_cast<float>(sum);
    }
  res = r;
}

void MatVec(const TMatrix& m, const std::array<float, 4>& p, std::array<float, 4>& out) {
  std::array<float, 4> r;
  for (size_t j = 0; j < 4; ++j) {
    long double sum = static_cast<long double>(p[0]) * m[0 * 4 + j];
    sum += static_cast<long double>(p[1]) * m[1 * 4 + j];
    sum += static_cast<long double>(p[2]) * m[2 * 4 + j];
    sum += static_cast<long double>(p[3]) * m[3 * 4 + j];
    r[j] = static_cast<float>(sum);
  }
  out = r;
}

}  // namespace bw
