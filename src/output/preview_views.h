#pragma once
// What every form of the preview picture shares, so that the SVG and the
// PNG picture of a block show the same views at the same scale, in the same
// colours, with the same words: the views along the axes, the fitting of
// the model into a panel, the material colours and shading levels, and the
// texts of the caption and the swatches (see preview_svg.h).

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "output/preview_svg.h"

namespace bw::preview {

// Distinct, mid-light colours, so that the darker shading levels still tell
// materials apart.
inline constexpr std::array<uint32_t, 12> kPalette = {0x4e79a7, 0xf28e2b, 0xe15759, 0x76b7b2, 0x59a14f, 0xedc948,
                                                      0xb07aa1, 0xff9da7, 0x9c755f, 0xbab0ac, 0x8cd17d, 0xa0cbe8};
// Brightness by facing level, from edge-on to square-on. Four levels are
// enough to show a model's shape and few enough that neighbouring triangles
// of a surface often share one SVG path.
inline constexpr std::array<int, 4> kShadePercent = {55, 70, 85, 100};
inline constexpr int kLevels = static_cast<int>(kShadePercent.size());

// Swatches: at most this many, then a line that says how many more; a
// texture name shows this many bytes at most.
inline constexpr size_t kSwatchMax = 32;
inline constexpr size_t kSwatchNameMax = 40;

// Point coordinates in the order the views pick them from: +x, -y (down the
// page is minus y), +z.
inline constexpr size_t kX = 0, kDownY = 1, kZ = 2;

struct TView {
  std::string_view Label;
  size_t Right, Down;  // the picture coordinates' columns
  size_t Facing;       // model axis toward the viewer: 0 x, 1 y, 2 z
  bool FacingNeg;      // the viewer is on that axis's minus side
};
inline constexpr std::array<TView, 3> kViews = {{
    {"top: looking down -y, x right, z down", kX, kZ, 1, false},
    {"side: looking along +x, z right, y up", kZ, kDownY, 0, true},
    {"front: looking along -z, x right, y up", kX, kDownY, 2, false},
}};

inline constexpr std::string_view kEdgeOnNote = "edge-on: no area from this side";
inline constexpr std::string_view kNoTrianglesNote = "no triangles in this block";

// The bounding box of the points that the triangles use, and the mapping
// of model coordinates into a panel.
struct TFit {
  TPreviewPoint Lo{}, Hi{};
  std::array<double, 3> Centre{};
  double Scale = 0;  // picture units per model unit
};

// Fits the model's largest extent into `span` picture units. Raises the
// range failure for a triangle index outside `points`; a block without
// triangles gets the empty fit.
TFit FitModel(std::span<const TPreviewPoint> points, const TTriList& tris, double span);

// A material's colour: its texture's mean, else its palette colour.
uint32_t MaterialColour(const TPreviewCaption& caption, int32_t matIndex);

// A piece of caption text: the picture's own words in ASCII, or a name as
// the block or the system gives it, which each form shows its own way.
struct TTextPiece {
  enum TForm { Plain, Name8, NameUtf8 };
  std::string Text;
  TForm Form = Plain;
};
using TTextLine = std::vector<TTextPiece>;

// The three caption lines: the input file, the block, and the counts with
// the model's size (left out for a block without triangles). Names over
// 120 bytes are cut, a path keeping its end.
std::array<TTextLine, 3> CaptionLines(const TPreviewCaption& caption, const TFit& fit, bool empty);
// The swatch line of material k: its index, and its texture's name and state.
TTextLine SwatchLine(const TPreviewMaterial& m, size_t k);
// How many swatches are shown, and the line for the rest ("and N more").
size_t SwatchesShown(const TPreviewCaption& caption);
std::string MoreSwatchesLine(const TPreviewCaption& caption);

}  // namespace bw::preview
