#pragma once
// The one colour that stands for a texture where a picture has room for no
// more: the mean of its image's texels, read from the image's bytes as a
// texture library stores them (a DDS or a TGA file).

#include <cstdint>
#include <span>

namespace bw {

struct TRgb {
  uint8_t R = 0, G = 0, B = 0;
  bool operator==(const TRgb&) const = default;
};

// The mean colour of an image's first (largest) level: red, green and blue
// each averaged over every texel as stored (scaled to 0..255, the sum
// divided by the count and rounded to nearest), alpha ignored. Reads DDS
// files of DXT1, DXT3 or DXT5 blocks or of 16, 24 or 32 bits per pixel
// described by channel masks, and TGA files of types 1, 2, 3, 9, 10 and 11.
//
// False, with `mean` untouched, when the image is of no form read here, or
// its header promises more than its bytes hold (then the caller keeps its
// own colour). Only the first level has to be there: a mipmap chain cut
// short still has a mean. The work and the memory are bounded by the
// image's bytes, whatever its header claims.
bool MeanColour(std::span<const uint8_t> image, TRgb& mean);

}  // namespace bw
