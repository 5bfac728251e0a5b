// Takes the input as a texture image and asks for its mean colour. Beyond
// the sanitizers' checks: a refusal leaves the caller's colour as it was,
// no exception leaves the reader, and bytes after an image read (a mipmap
// chain, a TGA footer) change nothing, as the image is read from its
// header's sizes and never from the end of the bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/image_colour.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const bw::TRgb untouched{1, 2, 3};
  bw::TRgb mean = untouched;
  if (!bw::MeanColour({data, size}, mean)) {
    if (!(mean == untouched)) std::abort();
    return 0;
  }
  std::vector<uint8_t> longer(data, data + size);
  longer.insert(longer.end(), 16, 0xa5);
  bw::TRgb again = untouched;
  if (!bw::MeanColour(longer, again) || !(again == mean)) std::abort();
  return 0;
}
