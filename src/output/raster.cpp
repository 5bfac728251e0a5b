#include "output/raster.h"

namespace bw {

TRgbImage::TRgbImage(int32_t width, int32_t height, uint32_t rgb)
    : Width(width), Height(height), Rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3) {
  Fill(0, 0, width, height, rgb);
}

void TRgbImage::Fill(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rgb) {
  const int32_t xEnd = std::min(Width, x + w), yEnd = std::min(Height, y + h);
  for (int32_t j = std::max(0, y); j < yEnd; ++j)
    for (int32_t i = std::max(0, x); i < xEnd; ++i) Set(i, j, rgb);
}

void TRgbImage::Frame(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rgb) {
  Fill(x, y, w, 1, rgb);
  Fill(x, y + h - 1, w, 1, rgb);
  Fill(x, y, 1, h, rgb);
  Fill(x + w - 1, y, 1, h, rgb);
}

}  // namespace bw
