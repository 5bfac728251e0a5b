#pragma once
// The preview picture of one converted block: an SVG drawing of the placed
// model from three sides, for a modder to see at a glance what a conversion
// produced without loading the BOD file into a game or an editor.
//
// The panels, left to right, are views along the BOD file's axes, each a
// right-handed view of a right-handed model (none of them is a mirror image):
//   top:   looking down -y from above, x to the right, z down the page;
//   side:  looking along +x (from the -x side), z to the right, y up;
//   front: looking along -z (from the +z side), x to the right, y up.
// Side and front share the row and the scale, so a point's height is the
// same in both; top and front share the x axis.
//
// All three use one scale, the one that fits the model's largest extent into
// a panel: a length then reads the same in every view, and a flat or long
// model looks flat or long instead of being stretched to fill each panel.
//
// Triangles are filled back to front along each view's depth axis (their
// centroids; equal depths in triangle list order), in their material's
// colour: the mean colour of its texture's image where the sources hold
// one, else a colour of a fixed palette (MatIndex modulo the palette's
// size), the same in every view; shaded in four levels by how squarely they
// face the viewer, with thin translucent edges. Below the caption, a swatch
// per material (at most 32) says which colour is whose and why. Consecutive
// triangles of one fill share a <path>. A triangle whose projection covers
// less than 0.01 square picture units in a view is left out of that view.
// A triangle costs at most 60 bytes a view (in a path of its own), so the
// largest block's picture (21845 triangles) stays under 4 MB whatever its
// shape (3.94 MB at worst).
//
// The document is plain SVG 1.1 in ASCII: no scripts, no links or other
// external references, no style sheet, whole numbers only (view coordinates
// in tenths of a unit, inside groups scaled by 0.1). Names are 8-bit text;
// bytes of 0x80 and above are read as Windows-1252 (the code page of the
// game's tools) and written as character references, control bytes as
// U+FFFD, so any name gives well-formed XML. Names over 120 bytes are cut.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "image/image_texels.h"
#include "mesh/mesh_lists.h"
#include "output/bod_writer.h"

namespace bw {

// A material of the block as the picture shows it, in material-line order:
// its texture's colour when a source names its texture and holds an image
// of it, and the swatch that says which.
struct TPreviewMaterial {
  uint32_t ID = 0;
  bool Named = false;        // a source names its texture
  std::string TextureName;   // the name (8-bit text), when Named
  bool HasImage = false;     // a source holds the texture's image
  bool HasColour = false;    // the image was read: Rgb is its mean colour
  uint32_t Rgb = 0;          // 0xRRGGBB
  // The image's reduced copy, for a picture that draws textures: none when
  // the image is missing, of no form read, or not asked for.
  const TTexels* Texels = nullptr;
};

struct TPreviewCaption {
  std::string InputName;  // the input file's name as the user gave it
  std::string BlockName;  // the block's name (8-bit text)
  int32_t Parts = 0, Materials = 0, Vertices = 0, Triangles = 0;
  bool InputNameUtf8 = false;  // InputName is UTF-8 (else 8-bit text)
  // The block's vertex records carry texture coordinates (their layout
  // says so); without them every material is drawn flat.
  bool TexCoords = true;
  // The materials, by the triangles' MatIndex; one beyond the list, or a
  // list left empty, takes its palette colour and has no swatch.
  std::vector<TPreviewMaterial> MaterialList;
};

// One model vertex in the BOD file's integer coordinates (x, y, z).
using TPreviewPoint = std::array<int64_t, 3>;

// Appends the whole SVG document to `out`. Triangles index `points` by A, B,
// C; an index outside `points` raises the range failure before anything is
// appended. The picture depends on nothing but the arguments: the same model
// gives the same bytes.
void RenderPreview(std::span<const TPreviewPoint> points, const TTriList& tris,
                   const TPreviewCaption& caption, std::string& out);

// The picture of block n, <base>_NN<PreviewExt>, from the model's placed
// lists and the number of its parts. Its points are the model BOD file's
// coordinates, scaled and rounded the same way, so a block whose model file
// cannot be written gets no picture either. `texCoords` says whether the
// block's vertex records carry texture coordinates (TPreviewCaption). With
// the extension ".png" in any letter case, the PNG picture of
// preview_png.h; else this SVG picture. The name of the file written.
std::string WritePreviewFile(const TBodyLists& model, int32_t n, const std::string& lodName, int32_t parts,
                             std::vector<TPreviewMaterial> materials, const TBodOutput& out,
                             bool texCoords = true);

}  // namespace bw
