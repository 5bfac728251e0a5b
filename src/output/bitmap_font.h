#pragma once
// The text of the PNG picture, drawn with a font built into the program:
// 5 x 7 pixel glyphs of printable ASCII (and a row below for descenders)
// in cells kGlyphAdvance pixels wide,
// so that a picture needs no font file and looks the same everywhere.

#include <cstdint>
#include <string>
#include <string_view>

#include "output/raster.h"

namespace bw {

inline constexpr int32_t kGlyphAdvance = 6;
inline constexpr int32_t kGlyphHeight = 8;

// Text as the font shows it: printable ASCII as it is, every other
// character as one '?', whether it is a UTF-8 sequence, a control
// character, or a byte that begins no UTF-8 sequence. Names of any
// encoding thus show their ASCII and one mark per character beyond it
// (the page shows them in full).
void AppendShown(std::string& out, std::string_view text);

// Draws `text`, a byte a glyph (a byte outside printable ASCII as '?': a
// name goes through AppendShown first), with the top left of its first
// glyph at (x, y); what falls outside the image is left out. Returns the x
// after the last glyph.
int32_t DrawText(TRgbImage& image, int32_t x, int32_t y, std::string_view text, uint32_t rgb);

}  // namespace bw
