#pragma once
// The preview picture of one converted block: an SVG drawing of the placed
// model from three sides.

namespace bw {}  // namespace bw
