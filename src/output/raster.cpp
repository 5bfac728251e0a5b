#include "output/raster.h"

#include <cstring>

namespace bw {

TRgbImage::TRgbImage(int32_t width, int32_t height, uint32_t rgb)
    : Width(width), Height(height), Rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3) {
  Fill(0, 0, width, height, rgb);
}

void TRgbImage::Fill(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rgb) {
  const int32_t x0 = std::max(0, x), y0 = std::max(0, y);
  const int32_t xEnd = std::min(Width, x + w), yEnd = std::min(Height, y + h);
  if (x0 >= xEnd || y0 >= yEnd) return;
  // The first row pixel by pixel, the others copied from it.
  for (int32_t i = x0; i < xEnd; ++i) Set(i, y0, rgb);
  const size_t bytes = static_cast<size_t>(xEnd - x0) * 3;
  const uint8_t* first = &Rgb[(static_cast<size_t>(y0) * static_cast<size_t>(Width) + static_cast<size_t>(x0)) * 3];
  for (int32_t j = y0 + 1; j < yEnd; ++j)
    std::memcpy(&Rgb[(static_cast<size_t>(j) * static_cast<size_t>(Width) + static_cast<size_t>(x0)) * 3], first, bytes);
}

void TRgbImage::Frame(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rgb) {
  Fill(x, y, w, 1, rgb);
  Fill(x, y + h - 1, w, 1, rgb);
  Fill(x, y, 1, h, rgb);
  Fill(x + w - 1, y, 1, h, rgb);
}

}  // namespace bw
