// Takes the input as a texture image and asks for its mean colour and its
// reduced copy. Beyond the sanitizers' checks: a refusal leaves the
// caller's colour or copy as it was, no exception leaves the reader, the
// two readers accept the same images, a copy has 1 to kMaxTexels texels
// each way and all of them, and bytes after an image read (a TGA footer,
// more of a mipmap chain) change no mean, as the image is read from its
// header's sizes and never from the end of the bytes. (They may change the
// copy: a lower level made whole is then taken.)

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/image_colour.h"
#include "image/image_texels.h"

namespace {

// Checks a copy's shape; false when it was refused.
bool Reduced(const std::vector<uint8_t>& bytes) {
  bw::TTexels texels;
  texels.Width = -1;
  if (!bw::ReducedTexels(bytes, texels)) {
    if (texels.Width != -1 || !texels.Rgb.empty()) std::abort();
    return false;
  }
  if (texels.Width < 1 || texels.Width > bw::kMaxTexels || texels.Height < 1 || texels.Height > bw::kMaxTexels ||
      texels.Rgb.size() != static_cast<size_t>(texels.Width) * static_cast<size_t>(texels.Height))
    std::abort();
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const bw::TRgb untouched{1, 2, 3};
  bw::TRgb mean = untouched;
  const std::vector<uint8_t> exact(data, data + size);
  const bool read = bw::MeanColour(exact, mean);
  if (Reduced(exact) != read) std::abort();
  if (!read) {
    if (!(mean == untouched)) std::abort();
    return 0;
  }
  std::vector<uint8_t> longer(exact);
  longer.insert(longer.end(), 16, 0xa5);
  bw::TRgb again = untouched;
  if (!bw::MeanColour(longer, again) || !(again == mean) || !Reduced(longer)) std::abort();
  return 0;
}
