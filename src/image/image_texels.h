#pragma once
// A texture as a picture draws it: a reduced copy of its image, at most
// kMaxTexels by kMaxTexels, whatever the image's own size, so that the
// memory of the pictures is bounded however large the images are.

#include <cstdint>
#include <span>
#include <vector>

#include "image/image_colour.h"

namespace bw {

inline constexpr int32_t kMaxTexels = 128;

struct TTexels {
  int32_t Width = 0, Height = 0;
  // Width * Height texels, row by row from the image's top row as the image
  // is shown (a DDS file's first row; a TGA file's by its origin bits), each
  // row from its left. Alpha is not kept.
  std::vector<TRgb> Rgb;
  const TRgb& At(int32_t x, int32_t y) const { return Rgb[static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)]; }
};

// The reduced copy of an image of any form that MeanColour reads: a DDS
// file's own lower level where it has a complete one that fits, else a
// box-filtered copy of the first level. False, with `out` untouched, when
// the image is of no form read here or its header promises more than its
// bytes hold. Work and memory are bounded by the image's bytes and the
// reduced size, whatever its header claims.
bool ReducedTexels(std::span<const uint8_t> image, TTexels& out);

}  // namespace bw
