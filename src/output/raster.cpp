#include "output/raster.h"

#include <cstring>

namespace bw {

TRgbImage::TRgbImage(int32_t width, int32_t height, uint32_t rgb) : Width(width), Height(height) {
  // Written once, a row at a time from one row of the colour: the vector
  // is not first cleared, and the copies are short enough to stay in the
  // cache.
  std::vector<uint8_t> row(static_cast<size_t>(std::max(width, 0)) * 3);
  for (size_t i = 0; i < row.size(); i += 3) {
    row[i] = static_cast<uint8_t>(rgb >> 16);
    row[i + 1] = static_cast<uint8_t>(rgb >> 8);
    row[i + 2] = static_cast<uint8_t>(rgb);
  }
  Rgb.reserve(row.size() * static_cast<size_t>(std::max(height, 0)));
  for (int32_t y = 0; y < height; ++y) Rgb.insert(Rgb.end(), row.begin(), row.end());
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
