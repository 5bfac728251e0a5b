#include "image/image_texels.h"

#include <algorithm>
#include <utility>

#include "image/image_decode.h"

namespace bw {
namespace {

// Where one source texel falls among the reduced texels along one axis:
// wholly inside First (Weight1 0), or across the edge between First and
// First + 1, each getting the part of the texel that lies inside it.
// Weights are in units of 1 / (source size * reduced size) of the axis, so
// that they stay integers: a source texel is `to` units long, a reduced
// texel `from`.
struct TSpan {
  uint32_t First = 0;
  uint64_t Weight0 = 0, Weight1 = 0;
};

TSpan SpanOf(uint64_t at, uint64_t from, uint64_t to) {
  const uint64_t start = at * to, end = start + to;
  const uint64_t first = start / from;
  const uint64_t edge = (first + 1) * from;
  if (end <= edge) return {static_cast<uint32_t>(first), to, 0};
  return {static_cast<uint32_t>(first), edge - start, end - edge};
}

// The longer side becomes kMaxTexels, the shorter keeps the ratio, rounded
// to nearest and never below 1. An image that fits is not reduced.
std::pair<int32_t, int32_t> ReducedSize(uint32_t width, uint32_t height) {
  constexpr auto kMax = static_cast<uint32_t>(kMaxTexels);
  if (width <= kMax && height <= kMax) return {static_cast<int32_t>(width), static_cast<int32_t>(height)};
  const auto scaled = [](uint64_t side, uint64_t longer) {
    return static_cast<int32_t>(std::max<uint64_t>(1, (side * kMax + longer / 2) / longer));
  };
  if (width >= height) return {kMaxTexels, scaled(height, width)};
  return {scaled(width, height), kMaxTexels};
}

// An area-weighted box filter fed as the texels are decoded: each reduced
// texel ends as the mean of the source texels under it, each weighed by the
// part of its area that lies inside, so that a reduced texel across an edge
// between colours shows them in the share it covers. The sums of the
// reduced texels are all that is held.
class TBoxFilter final : public TTexelSink {
 public:
  TBoxFilter(const TImageDecoder& decoder, uint32_t level, int32_t width, int32_t height)
      : FSourceWidth(decoder.Width(level)),
        FSourceHeight(decoder.Height(level)),
        FBottomUp(decoder.BottomUp()),
        FRightToLeft(decoder.RightToLeft()),
        FWidth(static_cast<uint32_t>(width)),
        FHeight(static_cast<uint32_t>(height)),
        FSums(static_cast<size_t>(width) * static_cast<size_t>(height) * 3) {}

  void Texels(uint32_t row, uint32_t column, std::span<const TRgb> texels) override {
    const TSpan ys = RowSpan(row);
    const auto count = static_cast<uint32_t>(texels.size());
    // Walked left to right as shown, so that the reduced texel under each
    // source texel moves on by steps rather than by a division each.
    uint64_t start = uint64_t{ShownColumn(column, count)} * FWidth;
    uint64_t cell = start / FSourceWidth, edge = (cell + 1) * FSourceWidth;
    for (uint32_t k = 0; k < count; ++k) {
      const TRgb c = texels[FRightToLeft ? count - 1 - k : k];
      const uint64_t end = start + FWidth;
      // A source texel is no wider than a reduced one: it ends inside its
      // cell, on its edge, or in the next cell.
      if (end < edge) {
        AddCell(ys, cell, end - start, c);
      } else {
        AddCell(ys, cell, edge - start, c);
        ++cell;
        if (end > edge) AddCell(ys, cell, end - edge, c);
        edge += FSourceWidth;
      }
      start = end;
    }
  }
  void Repeat(uint32_t row, uint32_t column, uint32_t count, TRgb colour) override {
    const TSpan ys = RowSpan(row);
    // One colour: each reduced texel the run reaches takes the run's part
    // of it at once.
    uint64_t start = uint64_t{ShownColumn(column, count)} * FWidth;
    const uint64_t end = start + uint64_t{count} * FWidth;
    while (start < end) {
      const uint64_t cell = start / FSourceWidth;
      const uint64_t stop = std::min(end, (cell + 1) * FSourceWidth);
      AddCell(ys, cell, stop - start, colour);
      start = stop;
    }
  }

  // Each reduced texel's weights add up to the source level's area (its
  // width along one axis times its height along the other). That area, the
  // texels a level's bytes hold, is far below 2^56, so 255 times it fits.
  void Finish(std::vector<TRgb>& rgb) const {
    const uint64_t area = uint64_t{FSourceWidth} * FSourceHeight;
    const auto mean = [&](uint64_t sum) { return static_cast<uint8_t>((sum + area / 2) / area); };
    rgb.resize(FSums.size() / 3);
    for (size_t k = 0; k < rgb.size(); ++k)
      rgb[k] = {mean(FSums[3 * k]), mean(FSums[3 * k + 1]), mean(FSums[3 * k + 2])};
  }

 private:
  TSpan RowSpan(uint32_t row) const {
    const uint32_t y = FBottomUp ? FSourceHeight - 1 - row : row;
    return SpanOf(y, FSourceHeight, FHeight);
  }
  // The first shown column of `count` stored from `column` on.
  uint32_t ShownColumn(uint32_t column, uint32_t count) const {
    return FRightToLeft ? FSourceWidth - column - count : column;
  }
  // Adds a colour to reduced column `cell` of the rows `ys` names, with
  // `weight` the part of the reduced texel's width it covers.
  void AddCell(const TSpan& ys, uint64_t cell, uint64_t weight, TRgb c) {
    AddTo(ys.First, cell, weight * ys.Weight0, c);
    if (ys.Weight1) AddTo(ys.First + 1, cell, weight * ys.Weight1, c);
  }
  void AddTo(uint32_t y, uint64_t x, uint64_t weight, TRgb c) {
    uint64_t* sum = &FSums[(static_cast<size_t>(y) * FWidth + static_cast<size_t>(x)) * 3];
    sum[0] += c.R * weight;
    sum[1] += c.G * weight;
    sum[2] += c.B * weight;
  }

  uint32_t FSourceWidth, FSourceHeight;
  bool FBottomUp, FRightToLeft;
  uint32_t FWidth, FHeight;
  std::vector<uint64_t> FSums;  // red, green, blue of each reduced texel, row by row
};

}  // namespace

bool ReducedTexels(std::span<const uint8_t> image, TTexels& out) {
  TImageDecoder decoder;
  if (!decoder.Open(image)) return false;
  // The largest level that fits is the copy the image's own writer reduced
  // (often with a better filter than a box): taken where the file holds it
  // whole. A chain cut short before it leaves the first level to filter.
  uint32_t level = 0;
  for (uint32_t k = 0; k < TImageDecoder::kMaxLevels; ++k) {
    if (decoder.Width(k) > static_cast<uint32_t>(kMaxTexels) ||
        decoder.Height(k) > static_cast<uint32_t>(kMaxTexels))
      continue;
    if (decoder.HasLevel(k)) level = k;
    break;
  }
  const auto [width, height] = ReducedSize(decoder.Width(level), decoder.Height(level));
  TBoxFilter filter(decoder, level, width, height);
  if (!decoder.Walk(level, filter)) return false;
  TTexels texels;
  texels.Width = width;
  texels.Height = height;
  filter.Finish(texels.Rgb);
  out = std::move(texels);
  return true;
}

}  // namespace bw
