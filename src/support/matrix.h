#pragma once
// 4x4 matrices of singles and the two products the placement of parts needs.

#include <array>

namespace bw {

// 16 singles, row-major (element [i][j] is number 4i + j), used with row
// vectors: a point is the row (x, y, z, 1) multiplied from the left.
using TMatrix = std::array<float, 16>;
inline constexpr TMatrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// res := m2 x m1 (res[i][j] = sum over k of m2[i][k] * m1[k][j]), each element
// accumulated in extended precision and rounded once to single.
void MatMul(const TMatrix& m1, const TMatrix& m2, TMatrix& res);
// out := p x m for the row vector p, accumulated the same way.
void MatVec(const TMatrix& m, const std::array<float, 4>& p, std::array<float, 4>& out);

}  // namespace bw
