#pragma once
// The preview picture of one converted block as a PNG image, for the
// Preview setting with the extension ".png" (in any letter case).
//
// Four square panels of kPngPanel pixels in a row: the top, side and front
// views of the SVG picture (the same axes and orientation, one scale shared
// by the three, see preview_svg.h), then a three-quarter view from above,
// the front and the left, orthographic, with a scale of its own that fits
// the model as that view sees it. Below them the caption and the swatches
// of the SVG picture, in the same words, drawn with the program's own
// bitmap font (bitmap_font.h: each character beyond ASCII shows as '?').
//
// Each triangle is filled where its pixels are nearest to the viewer (a
// depth buffer), without edges, at the SVG picture's four shading levels by
// how squarely it faces the viewer. A triangle whose material has a reduced
// texture (TPreviewMaterial::Texels), in a block whose vertices carry texture
// coordinates, shows that texture: the nearest texel to the texture
// coordinates at the pixel's centre, interpolated across the triangle from
// its corners' coordinates as the model BOD file writes them (rounded to six
// decimals), u from the texture's left to its right, v down from its top
// row, repeating outside 0 to 1. Every other triangle takes the flat colour
// of the SVG picture. A swatch shows the texture or the colour its material
// is drawn with.
//
// The same model gives the same pixels on every build: the rasteriser works
// in integers on a sub-pixel grid (raster.h), and the few steps in floating
// point (fitting, projection, interpolation of depth and texture
// coordinates) are single IEEE operations, never fused and never library
// functions, whose results every conforming build shares. With the same
// zlib the file's bytes are the same too.

#include <span>
#include <string>
#include <string_view>

#include "output/preview_svg.h"
#include "output/raster.h"

namespace bw {

inline constexpr int32_t kPngPanel = 160;

// True for the extension that asks for the PNG picture.
bool IsPngPreview(std::string_view ext);

// Appends the whole PNG file to `out`. Triangles index `points` by A, B, C;
// an index outside `points` raises the range failure before anything is
// appended.
void RenderPreviewPng(std::span<const TPreviewPoint> points, const TTriList& tris,
                      const TPreviewCaption& caption, std::string& out);

// The PNG file of an image: 8-bit RGB, every row with the same filter,
// compressed by zlib at fixed settings.
void EncodePng(const TRgbImage& image, std::string& out);

}  // namespace bw
